#!/usr/bin/env bash
# nimbic-deploy.exe as a deployment tool runs it: beside NimbicSetup.exe in a Wine prefix where
# After Effects versions are registered. Lists, installs (checked byte for byte), verifies, sees a
# changed file, uninstalls around the user's own files, and refuses setup programs that are not
# ours. The whole console transcript goes to the artifacts folder.
# Usage: deploy_test.sh BUILD_DIR ARTIFACT_DIR
set -u
build=$(readlink -f "$1")
artifacts=$(mkdir -p "$2" && readlink -f "$2")
here=$(dirname "$(readlink -f "$0")")
scripts="$here/../../scripts"
# shellcheck source-path=SCRIPTDIR/../.. source=scripts/lib/wizard.sh
source "$scripts/lib/wizard.sh"

payload="$build/resources/payload/Nimbic.aex"
panel="$here/../../resources/scripts/ScriptUI Panels/Nimbic.jsx"
work=$(mktemp -d "${TMPDIR:-/tmp}/nimbic-deploy-e2e.XXXXXX")
prefix="$work/prefix"
dist="$work/dist"
transcript="$artifacts/deploy-transcript.txt"
cleanup() {
    wizard_stop_prefix "$prefix"
    rm -rf "$work"
}
trap cleanup EXIT

passes=0 failures=0 out="" status=0
# A failed check shows what the last run printed and how it ended.
check() {
    if eval "$2"; then
        passes=$((passes + 1))
    else
        echo "FAIL: $1"
        printf '  last output (exit %s):\n%s\n' "$status" "$out" | sed 's/^/  /'
        failures=$((failures + 1))
    fi
}

for needed in "$build/installer/NimbicSetup.exe" "$build/installer/nimbic-deploy.exe" "$payload"; do
    [ -f "$needed" ] || { echo "missing $needed"; echo "deploy e2e: 0 passed, 1 failed"; exit 1; }
done
"$scripts/wine-prefix" "$build/wineprefix" || exit 1
wizard_new_prefix "$prefix" "$build/wineprefix" || { echo "no Wine prefix"; exit 1; }
adobe='C:\Program Files\Adobe'
cc2018="$adobe\\Adobe After Effects CC 2018\\Support Files\\Plug-ins"
ae2019='C:/Program Files/Adobe/Adobe After Effects 2019/Support Files/Plug-ins'
wizard_register 15.0 "$cc2018"
wizard_register 16.0 "$ae2019"
plugin_of() { echo "$(wizard_unix_path "$1")/Vantrel/Nimbic.aex"; }
panel_of() { echo "$(dirname "$(wizard_unix_path "$1")")/Scripts/ScriptUI Panels/Nimbic.jsx"; }

# The two files a vendor ships, together in a download folder.
mkdir -p "$dist"
cp "$build/installer/NimbicSetup.exe" "$build/installer/nimbic-deploy.exe" "$dist/"
: >"$transcript"
# deploy ARGS...: runs nimbic-deploy.exe in the download folder; sets out (both streams) and
# status, and appends the command, its output and its exit code to the transcript.
deploy() {
    out=$(cd "$dist" && wine nimbic-deploy.exe "$@" 2>&1 | tr -d '\r'; exit "${PIPESTATUS[0]}")
    status=$?
    { printf '> nimbic-deploy.exe %s\n' "$*"; printf '%s\n' "$out"; printf '[exit %s]\n\n' "$status"; } \
        >>"$transcript"
}
has() { grep -qF -- "$1" <<<"$out"; }

deploy --help
check "--help documents the exit codes" '[ $status -eq 0 ] && has "3  Nothing to do"'
deploy list
check "list finds both versions, nothing installed, exit 0" \
    '[ $status -eq 0 ] && [ "$(grep -c "not installed" <<<"$out")" -eq 2 ]'

deploy install --from NimbicSetup.exe --log 'C:\deploy.log'
check "install ends with 0" '[ $status -eq 0 ] && has "Nimbic Plug-in installed into 2 targets."'
for version in "$cc2018" "$ae2019"; do
    check "the plug-in in $version is the payload, byte for byte" \
        'cmp -s "$payload" "$(plugin_of "$version")"'
    check "the panel script beside $version is the packed one" \
        'cmp -s "$panel" "$(panel_of "$version")"'
done
check "the log has the report with times" \
    'grep -qE "^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:]{8}  2019	scripts	installed" "$prefix/drive_c/deploy.log"'

deploy verify
check "verify after install: 0, every file matches" \
    '[ $status -eq 0 ] && has "Every file matches the payloads of this setup program."'
deploy list
check "list then says installed" '[ "$(grep -c "	installed$" <<<"$out")" -eq 2 ]'

echo "// my change" >>"$(panel_of "$ae2019")"
deploy verify
check "verify after a change: 2, naming the changed file" \
    '[ $status -eq 2 ] && has "2019	scripts	different	C:\Program Files\Adobe\Adobe After Effects 2019\Support Files\Scripts\ScriptUI Panels\Nimbic.jsx"'

foreign="$(wizard_unix_path "$cc2018")/Vantrel/Nimbic settings.txt"
echo "the studio's own file" >"$foreign"
deploy uninstall
check "uninstall: 0" '[ $status -eq 0 ] && has "Removed 3 files; kept 1 changed file."'
check "our unchanged files are gone" \
    '[ ! -e "$(plugin_of "$cc2018")" ] && [ ! -e "$(plugin_of "$ae2019")" ] && [ ! -e "$(panel_of "$cc2018")" ]'
check "the changed panel script stays" 'grep -q "my change" "$(panel_of "$ae2019")"'
check "a foreign file in Vantrel stays, and so does its folder" '[ -f "$foreign" ]'
check "an emptied Vantrel folder is removed" '[ ! -e "$(wizard_unix_path "$ae2019")/Vantrel" ]'
check "the package's own folder stays" '[ -d "$(dirname "$(panel_of "$cc2018")")" ]'

deploy uninstall
check "a second uninstall finds nothing of ours and ends with 0" \
    '[ $status -eq 0 ] && has "Removed 0 files"'

# A Custom folder deeper than MAX_PATH, named beyond ASCII: the files land there, and the report,
# redirected, is UTF-8 that names the folder.
deep='C:\Kunden'
while [ ${#deep} -lt 300 ]; do deep+='\Vorlagen für Ähnliches'; done
LC_ALL=C.UTF-8 deploy install --plugin-folder "$deep\Plug-ins" --scripts-folder "$deep\Scripts"
check "a Custom folder of ${#deep} characters gets the plug-in and the panel" \
    '[ $status -eq 0 ] && cmp -s "$payload" "$(plugin_of "$deep\Plug-ins")" &&
     cmp -s "$panel" "$(panel_of "$deep\Plug-ins")"'
check "the redirected report is UTF-8 and names that folder" \
    'iconv -f UTF-8 -t UTF-8 <<<"$out" >/dev/null && has "für Ähnliches\Plug-ins\Vantrel\Nimbic.aex"'
# In a console it shares (script(1) gives Wine a terminal, so cmd gets a real console), the
# code page stays as the caller set it.
console=$(cd "$dist" && script -qc "wine cmd /c 'chcp 850 & nimbic-deploy.exe list & chcp'" \
    /dev/null </dev/null 2>&1 | tr -d '\r')
check "the console's code page is the caller's after a run" \
    '[ "$(grep -c "code page: 850" <<<"$console")" -eq 2 ] && grep -q "CC2018" <<<"$console"'

cp "$build/tools/nimbic-hosts.exe" "$dist/"
echo "not a program" >"$dist/notes.txt"
before=$(cd "$prefix/drive_c" && find . | sort | md5sum)
deploy install --from nimbic-hosts.exe
check "another program as SETUP: 1, saying why" \
    '[ $status -eq 1 ] && has "\"nimbic-hosts.exe\" is not a Nimbic Plug-in setup program"'
deploy verify --from notes.txt
check "a text file as SETUP: 1" '[ $status -eq 1 ] && has "is not a Windows program"'
deploy install --from Missing.exe --log 'C:\never.log'
check "a missing SETUP: 1" '[ $status -eq 1 ] && has "\"Missing.exe\" does not exist"'
deploy install --plugin-folder 'C:\Custom'
check "half a custom target: 1" '[ $status -eq 1 ] && has "go together"'
check "nothing was written by the refused runs" \
    '[ "$(cd "$prefix/drive_c" && find . | sort | md5sum)" = "$before" ]'

echo "transcript: $transcript"
echo "deploy e2e: $passes passed, $failures failed"
[ "$failures" -eq 0 ]
