#!/usr/bin/env bash
# The Windows Installer package as a fleet tool deploys it, under Wine's msiexec with /qn in one
# prefix of its own: what the package holds (action types, the log folder's access list, the
# actions' texts, file versions, the winget manifest) and that it rebuilds to the same bytes and
# to another package code when only its source changes; then install with a stale registration,
# repair reaching a new version, a major upgrade to a rebuilt and signed next version, a refused
# downgrade, an uninstall keeping the plug-in (KEEPPLUGIN=1), an install whose log folder is a
# link, an uninstall with NimbicSetup.exe gone, foreign files about and a plug-in a host has
# loaded (left for the restart by the commit, which still ends), a failing install over
# older plug-ins that Windows Installer's rollback puts back byte for byte, an install and
# uninstall with rollback disabled, a wizard install that the package installed into another
# folder takes over, and a machine with nothing registered. The wizard is driven on $DISPLAY. The console
# transcript goes to the artifacts folder.
#
# What Wine cannot show, checked in the package's tables instead of in a run:
#  - SYSTEM: Wine has no SYSTEM account, so the deferred no-impersonate actions run as the
#    prefix's user. On Windows they run as LocalSystem, which is what lets them write under
#    Program Files when Group Policy or Intune installs at start-up with nobody logged on.
#  - Access lists: Wine keeps none, so the log folder's is read from MsiLockPermissionsEx.
#  - Upgrade: Wine's RemoveExistingProducts does not pass UPGRADINGPRODUCTCODE, so the older
#    package's removal also runs its uninstall before the newer one installs; Windows skips it.
#    The hosts end up with the newer files either way, and no backup is left.
#  - The downgrade message: Wine does not log a failed launch condition's text under /qn, and its
#    exit codes differ (1627 where Windows gives 1603), so only "not 0" is checked for failures.
# Wine 8 does run the rollback and commit actions (DLL actions from the Binary table), so the
# journal's rollback and commit are checked in real runs.
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
hold_file="$build/tests/hold-file.exe"
hold_pid=""
cleanup() {
    [ -n "$hold_pid" ] && kill "$hold_pid" 2>/dev/null
    wizard_stop_prefix "$prefix"
    rm -rf "$work"
}
trap cleanup EXIT

passes=0 failures=0 out="" code="" msilog=""
check() {
    if eval "$2"; then
        passes=$((passes + 1))
    else
        echo "FAIL: $1"
        printf '  last output (exit %s):\n%s\n' "$code" "$out" | sed 's/^/  /'
        failures=$((failures + 1))
    fi
}
for needed in "$msi" "$launcher" "$payload" "$programs_src/NimbicSetup.exe" "$programs_src/nimbic-deploy.exe" \
    "$programs_src/nimbic-deploy-action.dll" "$hold_file"; do
    [ -f "$needed" ] || { echo "missing $needed"; echo "msi e2e: 0 passed, 1 failed"; exit 1; }
done

# --- The package itself ------------------------------------------------------------------------
version=$(basename "$msi" | sed -E 's/^NimbicPlugin-(.*)-x64\.msi$/\1/')
IFS=. read -r major minor patch <<<"$version"
next="$major.$minor.$((patch + 1))"
table() { msiinfo export "$1" "$2" 2>/dev/null | tr -d '\r'; }
property() { table "$1" Property | awk -F'\t' -v name="$2" '$1 == name { print $2 }'; }
package_code() { msiinfo suminfo "$1" 2>/dev/null | sed -n 's/^Revision number (UUID): //p'; }
product_code=$(property "$msi" ProductCode)
summary=$(TZ=UTC msiinfo suminfo "$msi" 2>/dev/null)
stamp=$(date -u -d "@${SOURCE_DATE_EPOCH:-1704067200}" '+%a %b %e %H:%M:%S %Y')
check "a 64-bit package with the fixed times" \
    'grep -q "^Template: x64;1033$" <<<"$summary" && grep -qx "Created: $stamp" <<<"$summary" &&
     grep -qx "Last saved: $stamp" <<<"$summary"'
actions=$(table "$msi" CustomAction)
# 3073: a DLL from the Binary table, in the script, as SYSTEM; 3393 the same, rollback only and
# not checked; 3649 at commit, not checked; 51 the immediate setters of their data.
check "the actions run nimbic-deploy's DLL as SYSTEM: two forward, two rollback, one commit" \
    '[ "$(grep -cE "^Nimbic(Install|Uninstall)	3073	NimbicDeployAction	NimbicDeploy" <<<"$actions")" -eq 2 ] &&
     [ "$(grep -cE "^Nimbic(Install|Uninstall)Rollback	3393	NimbicDeployAction	" <<<"$actions")" -eq 2 ] &&
     [ "$(grep -cE "^NimbicCommit	3649	NimbicDeployAction	" <<<"$actions")" -eq 1 ] &&
     [ "$(grep -cE "^Set[A-Za-z]+	51	" <<<"$actions")" -eq 8 ] &&
     grep -q "^SetNimbicInstall	51	NimbicInstall	install --from \"\[INSTALLDIR\]NimbicSetup.exe\" --record \"\[INSTALLDIR\]install-record.txt\" --journal \"\[INSTALLDIR\]nimbic-deploy.journal\" --allow-no-versions --log-folder \"\[LOGFOLDER\]\"" <<<"$actions"'
# Rollback disabled (policy or DISABLEROLLBACK): no rollback or commit action would run, so the
# commands go without a journal, which would otherwise keep its backups for good.
sequence=$(table "$msi" InstallExecuteSequence)
check "with rollback disabled the install and uninstall run without a journal" \
    'grep -q "^SetNimbicInstallDirect	51	NimbicInstall	install --from \"\[INSTALLDIR\]NimbicSetup.exe\" --record \"\[INSTALLDIR\]install-record.txt\" --allow-no-versions --log-folder" <<<"$actions" &&
     grep -q "^SetNimbicUninstallDirect	51	NimbicUninstall	uninstall " <<<"$actions" &&
     ! grep -E "^Set[A-Za-z]+Direct	" <<<"$actions" | grep -q -- "--journal" &&
     grep -q "^SetNimbicInstallDirect	NOT REMOVE~=\"ALL\" AND RollbackDisabled	" <<<"$sequence" &&
     grep -q "^SetNimbicInstall	NOT REMOVE~=\"ALL\" AND NOT RollbackDisabled	" <<<"$sequence" &&
     grep -q "^SetNimbicUninstallDirect	.* AND RollbackDisabled	" <<<"$sequence" &&
     grep -q "^SetNimbicUninstall	.* AND NOT RollbackDisabled	" <<<"$sequence"'
check "the uninstall runs unless KEEPPLUGIN is exactly 1" \
    'table "$msi" InstallExecuteSequence | grep -q "^NimbicUninstall	REMOVE~=\"ALL\" AND NOT UPGRADINGPRODUCTCODE AND KEEPPLUGIN<>\"1\"	3498$"'
check "the actions are described" \
    'table "$msi" ActionText | grep -q "^NimbicInstall	Installing Nimbic Plug-in for After Effects into every After Effects version	"'
table "$msi" MsiLockPermissionsEx >"$artifacts/msi-log-folder-access.txt"
check "the log folder gets a protected list: SYSTEM, Administrators full, Users read" \
    'grep -qx "LogFolderAccess	LOGFOLDER	CreateFolder	O:BAG:SYD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FR;;;BU)	" "$artifacts/msi-log-folder-access.txt" &&
     table "$msi" CreateFolder | grep -qx "LOGFOLDER	LogFolder"'
check "the programs carry their versions, and no hash instead" \
    '[ "$(table "$msi" File | grep -cE "	$version\.0	1033	")" -eq 2 ] && [ "$(table "$msi" MsiFileHash | wc -l)" -eq 3 ]'
check "a newer installed version stops an older package with a message" \
    'table "$msi" LaunchCondition | grep -q "^NOT WIX_DOWNGRADE_DETECTED	A newer version of Nimbic Plug-in for After Effects is already installed"'
check "no web address is set, so Add or Remove Programs shows none" \
    '[ -z "$(property "$msi" ARPURLINFOABOUT)$(property "$msi" ARPHELPLINK)" ]'
winget="${msi%.msi}.winget"
check "the winget manifest: three files naming the package's hash and product code" \
    '[ "$(ls "$winget" | tr "\n" " ")" = "Vantrel.NimbicPlugin.installer.yaml Vantrel.NimbicPlugin.locale.en-US.yaml Vantrel.NimbicPlugin.yaml " ] &&
     grep -qx "  InstallerSha256: $(sha256sum "$msi" | cut -d" " -f1 | tr a-f A-F)" "$winget/Vantrel.NimbicPlugin.installer.yaml" &&
     grep -qx "  ProductCode: '"'"'$product_code'"'"'" "$winget/Vantrel.NimbicPlugin.installer.yaml"'

# The same inputs twice, one with newer file dates: the same bytes. A corrected .wxs alone: a
# new package code. Then the next version with the maker's web addresses, signed as a vendor's
# build signs it, with a throwaway certificate; and a name with ": " for the manifest.
mkdir -p "$work/a" "$work/b" "$work/inputs"
cp "$programs_src/NimbicSetup.exe" "$programs_src/nimbic-deploy.exe" "$programs_src/nimbic-deploy-action.dll" "$work/inputs/"
make_msi() {
    "$scripts/make-msi" --setup "$work/inputs/NimbicSetup.exe" --deploy "$work/inputs/nimbic-deploy.exe" \
        --action-dll "$work/inputs/nimbic-deploy-action.dll" "$@" >/dev/null 2>&1
}
make_msi --version "$version" --out-dir "$work/a"
touch "$work/inputs/"*
make_msi --version "$version" --out-dir "$work/b"
check "the package rebuilds to the same bytes" \
    'cmp -s "$work/a/NimbicPlugin-$version-x64.msi" "$work/b/NimbicPlugin-$version-x64.msi"'
sed 's/into every After Effects version on this computer\./into every After Effects version here./' \
    "$here/../../installer/msi/nimbic_plugin.wxs" >"$work/inputs/corrected.wxs"
make_msi --version "$version" --out-dir "$work/corrected" --wxs "$work/inputs/corrected.wxs"
corrected="$work/corrected/NimbicPlugin-$version-x64.msi"
check "a package whose .wxs alone changed has a package code of its own, and the same product code" \
    '[ -n "$(package_code "$corrected")" ] && [ "$(package_code "$corrected")" != "$(package_code "$msi")" ] &&
     [ "$(property "$corrected" ProductCode)" = "$product_code" ]'
sed -e 's|about_url = ""|about_url = "https://www.vantrel.example/nimbic"|' \
    -e 's|help_url = ""|help_url = "https://www.vantrel.example/support?topic=nimbic\&lang=en"|' \
    "$here/../../installer/product.h" >"$work/inputs/product.h"
sed 's|with_host = "[^"]*"|with_host = "Nimbic: the Plug-in for After Effects"|' "$work/inputs/product.h" \
    >"$work/inputs/colon.h"
make_msi --version "$version" --out-dir "$work/colon" --product "$work/inputs/colon.h"
check "the manifest's values stay strings in YAML, a name with \": \" too" \
    '/usr/bin/python3 -c "
import glob, sys, yaml
files = {f.rsplit(\"/\", 1)[1]: yaml.safe_load(open(f)) for f in glob.glob(sys.argv[1] + \"/*.yaml\")}
locale = files[\"Vantrel.NimbicPlugin.locale.en-US.yaml\"]
assert locale[\"PackageName\"] == \"Nimbic: the Plug-in for After Effects\", locale
assert locale[\"PublisherUrl\"] == locale[\"PackageUrl\"] == \"https://www.vantrel.example/nimbic\"
assert all(f[\"PackageVersion\"] == sys.argv[2] and f[\"ManifestVersion\"] == \"1.6.0\" for f in files.values())
assert {f[\"ManifestType\"] for f in files.values()} == {\"version\", \"installer\", \"defaultLocale\"}
assert locale[\"Publisher\"] == \"Vantrel\" and locale[\"License\"] and locale[\"ShortDescription\"]
" "$work/colon/NimbicPlugin-$version-x64.winget" "$version"'
(cd "$work" && openssl req -x509 -newkey rsa:2048 -nodes -keyout signer.key -out signer.pem -days 2 \
    -subj "/CN=Vantrel Test Signer" -addext "extendedKeyUsage=codeSigning" >/dev/null 2>&1 &&
    openssl pkcs12 -export -inkey signer.key -in signer.pem -passout pass: -out signer.p12)
make_msi --version "$next" --out-dir "$work/next" --pkcs12 "$work/signer.p12" --product "$work/inputs/product.h"
newer="$work/next/NimbicPlugin-$next-x64.msi"
newer_code=$(property "$newer" ProductCode)
check "the next version is signed, and its manifest has the signed file's hash" \
    'osslsigncode verify -CAfile "$work/signer.pem" -in "$newer" 2>&1 | grep -q "Signature verification: ok" &&
     grep -q "$(sha256sum "$newer" | cut -d" " -f1 | tr a-f A-F)" "$work/next/NimbicPlugin-$next-x64.winget/Vantrel.NimbicPlugin.installer.yaml"'
check "a new version has a product code of its own and the same upgrade code" \
    '[ -n "$newer_code" ] && [ "$newer_code" != "$product_code" ] &&
     [ "$(property "$newer" UpgradeCode)" = "$(property "$msi" UpgradeCode)" ]'

# --- Under msiexec ------------------------------------------------------------------------------
"$scripts/wine-prefix" "$build/wineprefix" || exit 1
wizard_new_prefix "$prefix" "$build/wineprefix" || { echo "no Wine prefix"; exit 1; }
cp "$msi" "$newer" "$launcher" "$work/"
: >"$transcript"
# msiexec NAME ARGS...: runs msiexec /qn through the waiting launcher (which ends a run that
# hangs), with its log in C:\msi-logs\NAME.log; sets out, code (the whole exit code) and
# msilog (the log's text), and appends the command, its output and the code to the transcript.
msiexec() {
    local log=$1
    shift
    out=$(cd "$work" && timeout 180 wine "$(basename "$launcher")" "$@" /qn /l*v "C:\\msi-logs\\$log.log" 2>&1 | tr -d '\r')
    code=$(sed -n 's/^msiexec exit code //p' <<<"$out")
    msilog=$(tr -d '\r' <"$prefix/drive_c/msi-logs/$log.log" 2>/dev/null)
    # With the lines nimbic-deploy-action.dll forwarded into the log, each run between its
    # command line and its exit code.
    { printf '# %s\n> msiexec %s /qn\n' "$log" "$*"; grep -v '^msiexec exit code' <<<"$out"
      awk '/^nimbic-deploy (install|uninstall|rollback|commit) /, /^nimbic-deploy ended with/ { print "  | " $0 }' <<<"$msilog"
      printf '[exit %s]\n\n' "$code"; } >>"$transcript"
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
# newest_log COMMAND: the text of nimbic-deploy's newest log of that command.
newest_log() {
    local newest
    newest=$(find "$logs" -maxdepth 1 -name "nimbic-deploy-$1-*.log" 2>/dev/null | sort -V | tail -n 1)
    [ -n "$newest" ] && tr -d '\r' <"$newest"
}
hosts_state() { (cd "$prefix/drive_c/Program Files/Adobe" && find . -printf '%p %s\n' | sort && find . -type f -exec md5sum {} + | sort) | md5sum; }
leftovers() { find "$prefix/drive_c/Program Files" -name '*.nimbic-old' -o -name '*.journal' -o -name '*.nimbic-new*'; }
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
entries() { wine reg query "$uninstall_key" /s /reg:64 2>/dev/null | tr -d '\r'; }
# The values of one entry: nothing at all when there is no such entry.
entry() { wine reg query "$uninstall_key\\$1" /reg:64 2>/dev/null | tr -d '\r' | grep -E '^ +[A-Za-z]'; }
value() { awk -v name="$1" '$1 == name { sub(/^ *[^ ]+ +[^ ]+ +/, ""); print }' <<<"$2"; }

# After Effects 2021 was uninstalled and left its registration behind.
wizard_register 15.0 "$cc2018"
wizard_register 16.0 "$ae2019"
wizard_register 18.0 'C:\Program Files\Adobe\Adobe After Effects 2021\Support Files\Plug-ins' no-folder
msiexec install /i "$(basename "$msi")"
check "install with two versions and a stale registration: 0" '[ "$code" = 0 ]'
check "the programs are in Program Files, byte for byte" 'programs_in_place'
check "both versions hold the plug-in and the panel, byte for byte" \
    'installed_in "$cc2018" && installed_in "$ae2019"'
check "the stale version is skipped, and the run logged in a log of its own" \
    'newest_log install | grep -q "2021	plug-in	skipped (the plug-in folder does not exist)" &&
     newest_log install | grep -q "Nimbic Plug-in installed into 2 targets."'
check "the msiexec log has the action's text and every line nimbic-deploy printed" \
    'grep -q "NimbicInstall. Installing Nimbic Plug-in for After Effects into every After Effects version" <<<"$msilog" &&
     grep -q "^2021	plug-in	skipped" <<<"$msilog" && grep -q "^Nimbic Plug-in installed into 2 targets.$" <<<"$msilog" &&
     grep -q "^Committed: the backups and the journal are deleted" <<<"$msilog"'
check "the commit left no journal and no backup" '[ -z "$(leftovers)" ] && [ -f "$programs/install-record.txt" ]'
arp=$(entry "$product_code")
check "the uninstall entry: name, publisher, version, location, no Change, the uninstall command" \
    '[ "$(value DisplayName "$arp")" = "Nimbic Plug-in for After Effects" ] &&
     [ "$(value Publisher "$arp")" = Vantrel ] && [ "$(value DisplayVersion "$arp")" = "$version" ] &&
     [ "$(value InstallLocation "$arp")" = "C:\\Program Files\\Vantrel\\Nimbic Plug-in\\" ] &&
     [ "$(value NoModify "$arp")" = 0x1 ] && [ "$(value UninstallString "$arp")" = "MsiExec.exe /X$product_code" ]'
# Add/Remove Programs takes the icon from the product's registration, a copy in Installer\{code}.
icon=$(wine reg query 'HKLM\Software\Classes\Installer\Products' /s /reg:64 2>/dev/null | tr -d '\r' |
    awk -v code="$product_code" '$1 == "ProductIcon" && index($0, code) { sub(/^ *[^ ]+ +[^ ]+ +/, ""); print }')
check "the entry's icon is the application icon" \
    '[ -n "$icon" ] && cmp -s "$here/../../resources/nimbic.ico" "$(wizard_unix_path "$icon")"'
out=$(cd "$programs" && wine nimbic-deploy.exe verify 2>&1 | tr -d '\r'; exit "${PIPESTATUS[0]}")
code=$?
check "the installed nimbic-deploy verifies every file (the stale version aside)" \
    '[ "$code" = 2 ] && [ "$(grep -c "matches" <<<"$out")" -eq 4 ] && grep -q "^2021	plug-in	missing" <<<"$out"'

# Repair reaches a version installed after the plug-in.
wizard_register 17.0 "$ae2020"
msiexec repair /i "$(basename "$msi")" REINSTALL=ALL REINSTALLMODE=vomus
check "repair: 0, and the third version gets the plug-in" '[ "$code" = 0 ] && installed_in "$ae2020"'

# The next version over this one: one entry left, everything in place. (Wine also runs the older
# package's uninstall first, which Windows skips: see the top.)
msiexec upgrade /i "$(basename "$newer")"
check "upgrade to $next: 0" '[ "$code" = 0 ]'
arp=$(entries)
check "one entry left, for $next, with the maker's web addresses" \
    '[ "$(grep -c "DisplayName.*Nimbic Plug-in for After Effects" <<<"$arp")" -eq 1 ] &&
     [ -n "$(entry "$newer_code")" ] && [ -z "$(entry "$product_code")" ] &&
     [ "$(value URLInfoAbout "$(entry "$newer_code")")" = "https://www.vantrel.example/nimbic" ] &&
     [ "$(value HelpLink "$(entry "$newer_code")")" = "https://www.vantrel.example/support?topic=nimbic&lang=en" ]'
check "after the upgrade the programs and all three versions are in place, with no backup left" \
    'programs_in_place && installed_in "$cc2018" && installed_in "$ae2019" && installed_in "$ae2020" &&
     [ -z "$(leftovers)" ]'

before=$(cd "$prefix/drive_c" && find . -path ./msi-logs -prune -o -path ./windows -prune -o -path ./users -prune -o -path ./ProgramData -prune -o -type f -print0 | sort -z | xargs -0 md5sum)
# Wine cannot show the refusal's message under /qn; Windows writes it to the msiexec log.
msiexec downgrade /i "$(basename "$msi")"
check "the older package over the newer one is refused" '[ -n "$code" ] && [ "$code" != 0 ]'
check "the newer version is untouched: its entry, its files" \
    '[ -n "$(entry "$newer_code")" ] && [ -z "$(entry "$product_code")" ] &&
     [ "$(cd "$prefix/drive_c" && find . -path ./msi-logs -prune -o -path ./windows -prune -o -path ./users -prune -o -path ./ProgramData -prune -o -type f -print0 | sort -z | xargs -0 md5sum)" = "$before" ]'

# KEEPPLUGIN=1 takes the programs away and leaves the plug-in, and the record that lists it.
msiexec keep /x "$newer_code" KEEPPLUGIN=1
check "uninstall with KEEPPLUGIN=1: 0, the programs gone, the plug-in kept everywhere" \
    '[ "$code" = 0 ] && [ ! -e "$programs/nimbic-deploy.exe" ] && [ -z "$(entry "$newer_code")" ] &&
     installed_in "$cc2018" && installed_in "$ae2019" && installed_in "$ae2020" && [ -f "$programs/install-record.txt" ]'

# A log folder someone turned into a link: refused, and the install goes on.
elsewhere="$prefix/drive_c/Elsewhere"
mkdir -p "$elsewhere"
mv "$logs" "$work/logs-kept"
ln -s "$elsewhere" "$logs"
msiexec linked-logs /i "$(basename "$msi")"
check "with the log folder a link the install still succeeds, writes nothing there, and says why" \
    '[ "$code" = 0 ] && programs_in_place && [ -z "$(ls -A "$elsewhere")" ] &&
     grep -q "^nimbic-deploy: warning: the log folder \"C:\\\\ProgramData\\\\Vantrel\" is reached through a link or mount point; no log is written$" <<<"$msilog"'
rm "$logs"
mv "$work/logs-kept" "$logs"

# Uninstall with the setup program gone (quarantined, deleted) works from the record and keeps
# what is not ours; KEEPPLUGIN=0 is no KEEPPLUGIN.
rm "$programs/NimbicSetup.exe"
foreign="$(wizard_unix_path "$ae2019")/Vantrel/studio settings.txt"
echo "the studio's own file" >"$foreign"
echo "notes" >"$prefix/drive_c/Program Files/Vantrel/readme.txt"
# After Effects 2020 runs, with the plug-in loaded as a module, until the marker goes.
marker='C:\nimbic-hold.marker'
(exec wine "$hold_file" "$ae2020\\Vantrel\\Nimbic.aex" "$marker" image >/dev/null 2>&1) &
hold_pid=$!
for _ in $(seq 1 150); do
    [ -e "$(wizard_unix_path "$marker")" ] && break
    kill -0 "$hold_pid" 2>/dev/null || break
    sleep 0.2
done
check "hold-file maps the 2020 plug-in as a module" '[ -e "$(wizard_unix_path "$marker")" ]'
msiexec uninstall /x "$product_code" KEEPPLUGIN=0
check "uninstall without NimbicSetup.exe, KEEPPLUGIN=0, a plug-in loaded: 0" '[ "$code" = 0 ]'
check "the commit leaves the loaded plug-in for the restart under its aside name, and ends" \
    'grep -q "^scheduled for deletion at restart	C:\\\\Program Files\\\\Adobe\\\\Adobe After Effects 2020\\\\Support Files\\\\Plug-ins\\\\Vantrel\\\\Nimbic.aex\.[0-9a-f]\{16\}\.nimbic-old$" <<<"$msilog" &&
     grep -q "^nimbic-deploy ended with 3010$" <<<"$msilog"'
rm -f "$(wizard_unix_path "$marker")"
wait "$hold_pid"
hold_pid=""
wine wineboot -r >/dev/null 2>&1
check "our files are gone from every version, and the product's folder from Program Files" \
    '[ ! -e "$(plugin_of "$cc2018")" ] && [ ! -e "$(plugin_of "$ae2020")" ] && [ ! -e "$(plugin_of "$ae2019")" ] &&
     [ ! -e "$(panel_of "$cc2018")" ] && [ ! -e "$programs" ] && [ -z "$(leftovers)" ]'
check "foreign files in Vantrel folders stay" \
    '[ -f "$foreign" ] && [ -f "$prefix/drive_c/Program Files/Vantrel/readme.txt" ]'
check "the entry is gone, the uninstall is logged" \
    '! grep -q "Nimbic Plug-in" <<<"$(entries)" && newest_log uninstall | grep -q "Removed 6 files"'

# A failing install over older plug-ins: 2020's Vantrel is a file, so its plug-in cannot be
# written after the others were replaced. Windows Installer rolls back; the journal's rollback
# puts the older plug-ins back byte for byte, and nothing of the package is left.
rm "$foreign"
for version in "$cc2018" "$ae2019"; do
    mkdir -p "$(dirname "$(plugin_of "$version")")"
    printf 'MZ older module' >"$(plugin_of "$version")"
done
rm -rf "$(dirname "$(plugin_of "$ae2020")")"
printf 'not a folder' >"$(dirname "$(plugin_of "$ae2020")")"
hosts_before=$(hosts_state)
msiexec failing /i "$(basename "$msi")"
check "a target that cannot be written fails the install" '[ -n "$code" ] && [ "$code" != 0 ]'
check "the rollback puts every host folder back byte for byte" \
    '[ "$(hosts_state)" = "$hosts_before" ] && [ -z "$(leftovers)" ] &&
     newest_log rollback | grep -q "^.\{21\}restored	C:\\\\Program Files\\\\Adobe\\\\Adobe After Effects 2019\\\\Support Files\\\\Plug-ins\\\\Vantrel\\\\Nimbic.aex$"'
check "the failed install left no entry and no programs, and logged the cause" \
    '! grep -q "Nimbic Plug-in" <<<"$(entries)" && [ ! -e "$programs" ] &&
     grep -q "^2020	plug-in	failed (error " <<<"$msilog"'

# Rollback disabled: Windows sets RollbackDisabled for the DisableRollback policy or
# DISABLEROLLBACK=1, and then runs no rollback or commit action, so the install and the
# uninstall go without a journal and leave no backup behind. Wine's msiexec sets it for neither
# and takes no private property from the command line: a copy of the package holds it instead.
rm -f "$(dirname "$(plugin_of "$ae2020")")"
mkdir -p "$(dirname "$(plugin_of "$ae2020")")"
cp "$msi" "$work/no-rollback.msi"
msibuild "$work/no-rollback.msi" -q "INSERT INTO Property (Property, Value) VALUES ('RollbackDisabled', '1')"
msiexec no-rollback /i no-rollback.msi
check "with rollback disabled: 0, every version installed, no journal and no backup left" \
    '[ "$code" = 0 ] && installed_in "$cc2018" && installed_in "$ae2019" && installed_in "$ae2020" &&
     [ -z "$(leftovers)" ] && grep -q "^nimbic-deploy install --from " <<<"$msilog" &&
     ! grep "^nimbic-deploy install --from " <<<"$msilog" | grep -q -- "--journal"'
msiexec no-rollback-uninstall /x "$product_code"
check "and the uninstall removes our files the same way" \
    '[ "$code" = 0 ] && [ ! -e "$(plugin_of "$cc2018")" ] && [ ! -e "$(plugin_of "$ae2020")" ] &&
     [ ! -e "$programs" ] && [ -z "$(leftovers)" ] &&
     ! grep "^nimbic-deploy uninstall " <<<"$msilog" | grep -q -- "--journal"'

# A wizard install first (into a version After Effects has since been removed from, too), then
# the package into a folder of its own: the package's install takes the wizard's over, so one
# entry stands and its uninstall removes every file of ours, the wizard's included.
ae2021='C:\Program Files\Adobe\Adobe After Effects 2021\Support Files\Plug-ins'
wizard_register 18.0 "$ae2021"
# What the check prints says where the wizard stopped, and a screenshot shows what it showed.
if [ -z "${DISPLAY:-}" ]; then
    wizard_ran="no display"
elif ! wizard_start "$programs_src/NimbicSetup.exe"; then
    wizard_ran="no wizard window (launcher ended with $wizard_launcher_status)"
elif ! wizard_go "$wizard_next_button" 30; then
    wizard_ran="NEXT did not leave the welcome page"
elif ! wizard_install 120; then
    wizard_ran="the install did not end"
else
    wizard_press "$wizard_next_button"
    wizard_ran="FINISH did not end the wizard"
    ! wizard_wait_exit 60 || wizard_ran=ok
fi
if [ "$wizard_ran" != ok ]; then
    [ -z "${wizard_window:-}" ] || wizard_shot "$artifacts/msi-wizard.png"
    out="wizard: $wizard_ran" code=""
fi
check "a wizard install: every version, its record, its program copy and its entry" \
    '[ "$wizard_ran" = ok ] && installed_in "$ae2021" && installed_in "$cc2018" &&
     [ -f "$programs/install-record.txt" ] && [ -f "$programs/NimbicSetup.exe" ] &&
     [ -n "$(entry Vantrel.NimbicPlugin)" ]'
wine reg delete "$wizard_versions_key\\18.0" /f /reg:64 >/dev/null 2>&1
foreign="$(wizard_unix_path "$ae2019")/Vantrel/studio settings.txt"
echo "the studio's own file" >"$foreign"
own_folder="$prefix/drive_c/Nimbic"
msiexec takeover /i "$(basename "$msi")" 'INSTALLDIR=C:\Nimbic\'
check "the package into a folder of its own after the wizard: 0, its record lists the wizard's files" \
    '[ "$code" = 0 ] && [ -f "$own_folder/nimbic-deploy.exe" ] &&
     grep -q "Adobe After Effects 2021.*Nimbic.aex" "$own_folder/install-record.txt" &&
     grep -q "^The wizard.s install in \"C:\\\\Program Files\\\\Vantrel\\\\Nimbic Plug-in\" joins this record" <<<"$msilog"'
check "one entry in Apps, the package's; the wizard's folder is gone, Vantrel's other file stays" \
    '[ "$(grep -c "DisplayName.*Nimbic Plug-in for After Effects" <<<"$(entries)")" -eq 1 ] &&
     [ -n "$(entry "$product_code")" ] && [ -z "$(entry Vantrel.NimbicPlugin)" ] &&
     [ ! -e "$programs" ] && [ -f "$prefix/drive_c/Program Files/Vantrel/readme.txt" ] && [ -z "$(leftovers)" ]'
# A major upgrade keeps the folder the older version was given, and the record there.
msiexec takeover-upgrade /i "$(basename "$newer")"
check "an upgrade of the package in its own folder stays there: 0, one entry, nothing in the default folder" \
    '[ "$code" = 0 ] && [ "$(value InstallLocation "$(entry "$newer_code")")" = "C:\\Nimbic\\" ] &&
     [ -f "$own_folder/nimbic-deploy.exe" ] && [ -f "$own_folder/install-record.txt" ] &&
     [ ! -e "$programs" ] && [ -z "$(entry "$product_code")" ] &&
     [ "$(grep -c "DisplayName.*Nimbic Plug-in for After Effects" <<<"$(entries)")" -eq 1 ]'
msiexec takeover-uninstall /x "$newer_code"
check "msiexec /x removes every file of ours, the wizard's too, and keeps the foreign one" \
    '[ "$code" = 0 ] && [ ! -e "$(plugin_of "$ae2021")" ] && [ ! -e "$(panel_of "$ae2021")" ] &&
     [ ! -e "$(plugin_of "$cc2018")" ] && [ ! -e "$(plugin_of "$ae2019")" ] && [ ! -e "$(plugin_of "$ae2020")" ] &&
     [ ! -e "$(panel_of "$ae2019")" ] && [ ! -e "$own_folder" ] && [ ! -e "$programs" ] &&
     [ -f "$foreign" ] && ! grep -q "Nimbic Plug-in" <<<"$(entries)"'
rm -f "$foreign"

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
