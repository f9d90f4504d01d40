#!/usr/bin/env bash
# The Windows Installer package as a fleet tool deploys it, under Wine's msiexec with /qn in a
# prefix of its own: what the package holds and that it rebuilds to the same bytes; install with
# two versions registered, repair reaching a third, a major upgrade to a rebuilt and signed next
# version, a refused downgrade, uninstall around foreign files, a failing target, and a machine
# with nothing registered. The console transcript goes to the artifacts folder.
#
# What Wine cannot show, checked in the package's tables instead of in a run:
#  - SYSTEM: Wine has no SYSTEM account, so the deferred no-impersonate actions run as the
#    prefix's user. On Windows they run as LocalSystem, which is what lets them write under
#    Program Files when Group Policy or Intune installs at start-up with nobody logged on.
#  - Rollback: Wine rolls back in an order of its own and never starts nimbic-deploy for
#    NimbicInstallRollback (no rollback log appears), so after a failing target the other hosts
#    keep their files here; Windows runs it (nimbic-deploy uninstall) before it removes the
#    programs.
#  - Upgrade: Wine's RemoveExistingProducts does not pass UPGRADINGPRODUCTCODE, so the older
#    package's removal also runs nimbic-deploy uninstall before the newer one installs; Windows
#    skips it. The hosts end up with the newer files either way.
#  - The downgrade message: Wine does not log a failed launch condition's text under /qn, and its
#    exit codes differ (1627 where Windows gives 1603), so only "not 0" is checked for failures.
# Usage: msi_test.sh BUILD_DIR ARTIFACT_DIR MSI MSIEXEC_WAIT_EXE
set -u
build=$(readlink -f "$1")
artifacts=$(mkdir -p "$2" && readlink -f "$2")
msi=$(readlink -f "$3")
launcher=$(readlink -f "$4")
here=$(dirname "$(readlink -f "$0")")
scripts="$here/../../scripts"
# shellcheck source-path=SCRIPTDIR/../.. source=scripts/lib/wizard.sh
source "$scripts/lib/wizard.sh"

programs_src="$build/installer"
payload="$build/resources/payload/Nimbic.aex"
panel="$here/../../resources/scripts/ScriptUI Panels/Nimbic.jsx"
work=$(mktemp -d "${TMPDIR:-/tmp}/nimbic-msi-e2e.XXXXXX")
prefix="$work/prefix"
transcript="$artifacts/msi-transcript.txt"
cleanup() {
    wizard_stop_prefix "$prefix"
    rm -rf "$work"
}
trap cleanup EXIT

passes=0 failures=0 out="" code=""
check() {
    if eval "$2"; then
        passes=$((passes + 1))
    else
        echo "FAIL: $1"
        printf '  last output (exit %s):\n%s\n' "$code" "$out" | sed 's/^/  /'
        failures=$((failures + 1))
    fi
}
for needed in "$msi" "$launcher" "$payload" "$programs_src/NimbicSetup.exe" "$programs_src/nimbic-deploy.exe"; do
    [ -f "$needed" ] || { echo "missing $needed"; echo "msi e2e: 0 passed, 1 failed"; exit 1; }
done

# --- The package itself ------------------------------------------------------------------------
version=$(basename "$msi" | sed -E 's/^NimbicPlugin-(.*)-x64\.msi$/\1/')
IFS=. read -r major minor patch <<<"$version"
next="$major.$minor.$((patch + 1))"
table() { msiinfo export "$1" "$2" 2>/dev/null | tr -d '\r'; }
property() { table "$1" Property | awk -F'\t' -v name="$2" '$1 == name { print $2 }'; }
product_code=$(property "$msi" ProductCode)
summary=$(TZ=UTC msiinfo suminfo "$msi" 2>/dev/null)
stamp=$(date -u -d "@${SOURCE_DATE_EPOCH:-1704067200}" '+%a %b %e %H:%M:%S %Y')
check "a 64-bit package with the fixed times" \
    'grep -q "^Template: x64;1033$" <<<"$summary" && grep -qx "Created: $stamp" <<<"$summary" &&
     grep -qx "Last saved: $stamp" <<<"$summary"'
actions=$(table "$msi" CustomAction)
# 3410: an installed program, not checked, rollback only, in the script, as SYSTEM; 3090 the same
# run forward and checked.
check "the rollback actions are rollback-only and every action runs as SYSTEM" \
    '[ "$(grep -cE "^Nimbic(Install|Uninstall)Rollback	3410	" <<<"$actions")" -eq 2 ] &&
     [ "$(grep -cE "^Nimbic(Install|Uninstall)	3090	" <<<"$actions")" -eq 2 ]'
check "a newer installed version stops an older package with a message" \
    'table "$msi" LaunchCondition | grep -q "^NOT WIX_DOWNGRADE_DETECTED	A newer version of Nimbic Plug-in for After Effects is already installed"'
manifest="${msi%.msi}.winget.yaml"
check "the winget manifest names the package's hash and product code" \
    'grep -qx "  InstallerSha256: $(sha256sum "$msi" | cut -d" " -f1 | tr a-f A-F)" "$manifest" &&
     grep -qx "  ProductCode: '"'"'$product_code'"'"'" "$manifest"'

# The same inputs twice, one with newer file dates: the same bytes. Then the next version,
# signed as a vendor's build signs it, with a throwaway certificate.
mkdir -p "$work/a" "$work/b" "$work/inputs"
cp "$programs_src/NimbicSetup.exe" "$programs_src/nimbic-deploy.exe" "$work/inputs/"
make_msi() { "$scripts/make-msi" --setup "$work/inputs/NimbicSetup.exe" --deploy "$work/inputs/nimbic-deploy.exe" "$@" >/dev/null; }
make_msi --version "$version" --out-dir "$work/a"
touch "$work/inputs/"*
make_msi --version "$version" --out-dir "$work/b"
check "the package rebuilds to the same bytes" \
    'cmp -s "$work/a/NimbicPlugin-$version-x64.msi" "$work/b/NimbicPlugin-$version-x64.msi"'
(cd "$work" && openssl req -x509 -newkey rsa:2048 -nodes -keyout signer.key -out signer.pem -days 2 \
    -subj "/CN=Vantrel Test Signer" -addext "extendedKeyUsage=codeSigning" >/dev/null 2>&1 &&
    openssl pkcs12 -export -inkey signer.key -in signer.pem -passout pass: -out signer.p12)
make_msi --version "$next" --out-dir "$work/next" --pkcs12 "$work/signer.p12" 2>/dev/null
newer="$work/next/NimbicPlugin-$next-x64.msi"
newer_code=$(property "$newer" ProductCode)
check "the next version is signed, and its manifest has the signed file's hash" \
    'osslsigncode verify -CAfile "$work/signer.pem" -in "$newer" 2>&1 | grep -q "Signature verification: ok" &&
     grep -q "$(sha256sum "$newer" | cut -d" " -f1 | tr a-f A-F)" "$work/next/NimbicPlugin-$next-x64.winget.yaml"'
check "a new version has a product code of its own and the same upgrade code" \
    '[ -n "$newer_code" ] && [ "$newer_code" != "$product_code" ] &&
     [ "$(property "$newer" UpgradeCode)" = "$(property "$msi" UpgradeCode)" ]'

# --- Under msiexec ------------------------------------------------------------------------------
"$scripts/wine-prefix" "$build/wineprefix" || exit 1
wizard_new_prefix "$prefix" "$build/wineprefix" || { echo "no Wine prefix"; exit 1; }
cp "$msi" "$newer" "$launcher" "$work/"
: >"$transcript"
# msiexec ARGS...: runs msiexec /qn through the waiting launcher; sets out and code (the whole
# exit code), and appends the command, its output and the code to the transcript.
msiexec() {
    local log=$1
    shift
    out=$(cd "$work" && wine "$(basename "$launcher")" "$@" /qn /l*v "C:\\msi-logs\\$log.log" 2>&1 | tr -d '\r')
    code=$(sed -n 's/^msiexec exit code //p' <<<"$out")
    { printf '# %s\n> msiexec %s /qn\n' "$log" "$*"; grep -v '^msiexec exit code' <<<"$out"; printf '[exit %s]\n\n' "$code"; } \
        >>"$transcript"
}
mkdir -p "$prefix/drive_c/msi-logs"
adobe='C:\Program Files\Adobe'
cc2018="$adobe\\Adobe After Effects CC 2018\\Support Files\\Plug-ins"
ae2019='C:/Program Files/Adobe/Adobe After Effects 2019/Support Files/Plug-ins'
ae2020="$adobe\\Adobe After Effects 2020\\Support Files\\Plug-ins"
plugin_of() { echo "$(wizard_unix_path "$1")/Vantrel/Nimbic.aex"; }
panel_of() { echo "$(dirname "$(wizard_unix_path "$1")")/Scripts/ScriptUI Panels/Nimbic.jsx"; }
installed_in() { cmp -s "$payload" "$(plugin_of "$1")" && cmp -s "$panel" "$(panel_of "$1")"; }
programs="$prefix/drive_c/Program Files/Vantrel/Nimbic Plug-in"
programs_in_place() {
    cmp -s "$programs_src/NimbicSetup.exe" "$programs/NimbicSetup.exe" &&
        cmp -s "$programs_src/nimbic-deploy.exe" "$programs/nimbic-deploy.exe"
}
logs="$prefix/drive_c/ProgramData/Vantrel"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
entries() { wine reg query "$uninstall_key" /s /reg:64 2>/dev/null | tr -d '\r'; }
# The values of one entry: nothing at all when there is no such entry.
entry() { wine reg query "$uninstall_key\\$1" /reg:64 2>/dev/null | tr -d '\r' | grep -E '^ +[A-Za-z]'; }
value() { awk -v name="$1" '$1 == name { sub(/^ *[^ ]+ +[^ ]+ +/, ""); print }' <<<"$2"; }

wizard_register 15.0 "$cc2018"
wizard_register 16.0 "$ae2019"
msiexec install /i "$(basename "$msi")"
check "install with two versions registered: 0" '[ "$code" = 0 ]'
check "the programs are in Program Files, byte for byte" 'programs_in_place'
check "both versions hold the plug-in and the panel, byte for byte" \
    'installed_in "$cc2018" && installed_in "$ae2019"'
check "nimbic-deploy logged the install in ProgramData" \
    'grep -q "Nimbic Plug-in installed into 2 targets." "$logs/nimbic-deploy-install.log"'
arp=$(entry "$product_code")
check "the uninstall entry: name, publisher, version, no Change, the uninstall command" \
    '[ "$(value DisplayName "$arp")" = "Nimbic Plug-in for After Effects" ] &&
     [ "$(value Publisher "$arp")" = Vantrel ] && [ "$(value DisplayVersion "$arp")" = "$version" ] &&
     [ "$(value NoModify "$arp")" = 0x1 ] && [ "$(value UninstallString "$arp")" = "MsiExec.exe /X$product_code" ]'
# Add/Remove Programs takes the icon from the product's registration, a copy in Installer\{code}.
icon=$(wine reg query 'HKLM\Software\Classes\Installer\Products' /s /reg:64 2>/dev/null | tr -d '\r' |
    awk -v code="$product_code" '$1 == "ProductIcon" && index($0, code) { sub(/^ *[^ ]+ +[^ ]+ +/, ""); print }')
check "the entry's icon is the application icon" \
    '[ -n "$icon" ] && cmp -s "$here/../../resources/nimbic.ico" "$(wizard_unix_path "$icon")"'
out=$(cd "$programs" && wine nimbic-deploy.exe verify 2>&1 | tr -d '\r'; exit "${PIPESTATUS[0]}")
code=$?
check "the installed nimbic-deploy verifies every file: 0" '[ "$code" = 0 ]'

# Repair reaches a version installed after the plug-in.
wizard_register 17.0 "$ae2020"
msiexec repair /i "$(basename "$msi")" REINSTALL=ALL REINSTALLMODE=omus
check "repair: 0, and the third version gets the plug-in" '[ "$code" = 0 ] && installed_in "$ae2020"'

# The next version over this one: one entry left, everything in place. (Wine also runs the older
# package's nimbic-deploy uninstall first, which Windows skips: see the top.)
msiexec upgrade /i "$(basename "$newer")"
check "upgrade to $next: 0" '[ "$code" = 0 ]'
arp=$(entries)
check "one entry left, for $next" \
    '[ "$(grep -c "DisplayName.*Nimbic Plug-in for After Effects" <<<"$arp")" -eq 1 ] &&
     [ -n "$(entry "$newer_code")" ] && [ -z "$(entry "$product_code")" ]'
check "after the upgrade the programs and all three versions are in place" \
    'programs_in_place && installed_in "$cc2018" && installed_in "$ae2019" && installed_in "$ae2020"'

before=$(cd "$prefix/drive_c" && find . -path ./msi-logs -prune -o -path ./windows -prune -o -path ./users -prune -o -type f -print0 | sort -z | xargs -0 md5sum)
# Wine cannot show the refusal's message under /qn; Windows writes it to the msiexec log.
msiexec downgrade /i "$(basename "$msi")"
check "the older package over the newer one is refused" '[ -n "$code" ] && [ "$code" != 0 ]'
check "the newer version is untouched: its entry, its files" \
    '[ -n "$(entry "$newer_code")" ] && [ -z "$(entry "$product_code")" ] &&
     [ "$(cd "$prefix/drive_c" && find . -path ./msi-logs -prune -o -path ./windows -prune -o -path ./users -prune -o -type f -print0 | sort -z | xargs -0 md5sum)" = "$before" ]'

# Uninstall keeps what is not ours.
foreign="$(wizard_unix_path "$ae2019")/Vantrel/studio settings.txt"
echo "the studio's own file" >"$foreign"
echo "notes" >"$prefix/drive_c/Program Files/Vantrel/readme.txt"
msiexec uninstall /x "$newer_code"
check "uninstall: 0" '[ "$code" = 0 ]'
check "our files are gone from every version and from Program Files" \
    '[ ! -e "$(plugin_of "$cc2018")" ] && [ ! -e "$(plugin_of "$ae2020")" ] && [ ! -e "$(plugin_of "$ae2019")" ] &&
     [ ! -e "$(panel_of "$cc2018")" ] && [ ! -e "$programs" ]'
check "foreign files in Vantrel folders stay" \
    '[ -f "$foreign" ] && [ -f "$prefix/drive_c/Program Files/Vantrel/readme.txt" ]'
check "the entry is gone, the uninstall is logged" \
    '! grep -q "Nimbic Plug-in" <<<"$(entries)" && grep -q "Removed 6 files" "$logs/nimbic-deploy-uninstall.log"'

# A host whose plug-in folder is gone: the package fails and is not left registered. Wine's
# rollback does not start nimbic-deploy, so the other hosts keep their files here; Windows
# removes them.
wizard_register 18.0 'C:\Program Files\Adobe\Adobe After Effects 2021\Support Files\Plug-ins' no-folder
msiexec failing /i "$(basename "$msi")"
check "a missing plug-in folder fails the install" '[ -n "$code" ] && [ "$code" != 0 ]'
check "the failed install left no entry and no programs, and logged the cause" \
    '! grep -q "Nimbic Plug-in" <<<"$(entries)" && [ ! -e "$programs" ] &&
     grep -q "2021	plug-in	failed (error 40)" "$logs/nimbic-deploy-install.log"'

# Nothing registered: installing puts the tool in place, and uninstalling still works.
wine reg delete "$wizard_versions_key" /f /reg:64 >/dev/null 2>&1
msiexec empty-install /i "$(basename "$msi")"
check "with no version registered the install succeeds" \
    '[ "$code" = 0 ] && programs_in_place && [ -n "$(entry "$product_code")" ]'
msiexec empty-uninstall /x "$product_code"
check "and so does the uninstall" '[ "$code" = 0 ] && [ -z "$(entry "$product_code")" ] && [ ! -e "$programs" ]'

mkdir -p "$artifacts/msi-logs"
cp "$prefix/drive_c/msi-logs/"*.log "$logs/"*.log "$artifacts/msi-logs/" 2>/dev/null
echo "transcript: $transcript; package $(basename "$msi"), $(stat -c %s "$msi") bytes"
echo "msi e2e: $passes passed, $failures failed"
[ "$failures" -eq 0 ]
