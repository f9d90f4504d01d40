#!/usr/bin/env bash
# nimbic-hosts as support staff run it: with versions registered in the Wine prefix's registry,
# it prints one tab-separated line per target, Custom last.
set -u
runner=$1 hosts=$2
key='HKLM\SOFTWARE\Adobe\After Effects'
$runner reg query "$key" >/dev/null 2>&1 && { echo "the prefix already has the host key; skipped"; exit 0; }
trap '$runner reg delete "$key" /f >/dev/null 2>&1' EXIT

$runner reg add "$key\\15.0" /v PluginInstallPath /t REG_SZ /d 'C:\AE\CC2018\Support Files\Plug-ins' /f >/dev/null
$runner reg add "$key\\17.0" /v PluginInstallPath /t REG_SZ /d 'C:/Program Files/Adobe/Adobe After Effects 2020/Support Files/Plug-ins' /f >/dev/null
$runner reg add "$key\\10.5" /v PluginInstallPath /t REG_SZ /d 'C:\Old\Plug-ins' /f >/dev/null

actual=$($runner "$hosts" | tr -d '\r')
expected=$(printf '%s\n' \
    '10	CC2018	1	C:\AE\CC2018\Support Files\Plug-ins	C:\AE\CC2018\Support Files\Scripts' \
    '12	2020	1	C:\Program Files\Adobe\Adobe After Effects 2020\Support Files\Plug-ins	C:\Program Files\Adobe\Adobe After Effects 2020\Support Files\Scripts' \
    '11	Custom	0		')
if [ "$actual" = "$expected" ]; then
    echo "nimbic-hosts: 1 passed, 0 failed"
    exit 0
fi
echo "nimbic-hosts printed:"; printf '%s\n' "$actual" | cat -A
echo "expected:"; printf '%s\n' "$expected" | cat -A
echo "nimbic-hosts: 0 passed, 1 failed"
exit 1
