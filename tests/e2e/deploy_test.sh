#!/usr/bin/env bash
# nimbic-deploy.exe as a deployment tool runs it: beside NimbicSetup.exe in a Wine prefix where
# After Effects versions are registered. Lists, installs (checked byte for byte), verifies, sees a
# changed file, uninstalls around the user's own files, and refuses setup programs that are not
# ours; writes logs of each run's own and refuses a linked log folder. Then links planted in
# Custom folders (nothing outside the chosen folders changes), an install over older plug-ins
# that a held file stops before it changes anything, one rolled back and one committed, and a
# held file at uninstall left for the restart. The whole console transcript goes to the
# artifacts folder.
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
    [ -n "$hold_pid" ] && kill "$hold_pid" 2>/dev/null
    wizard_stop_prefix "$prefix"
    rm -rf "$work"
}
trap cleanup EXIT

passes=0 failures=0 out="" status=0
# Exit code 3010 (done, restart Windows to finish), as a Unix exit status keeps its low 8 bits.
restart_status=$((3010 % 256))
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

hold_file="$build/tests/hold-file.exe"
hold_pid=""
for needed in "$build/installer/NimbicSetup.exe" "$build/installer/nimbic-deploy.exe" "$payload" \
    "$hold_file"; do
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

deploy verify --log-folder 'C:\Logs\'
check "verify after install: 0, every file matches" \
    '[ $status -eq 0 ] && has "Every file matches the payloads of this setup program."'
check "--log-folder's missing folder is made, with the run's log in it" \
    '! has "warning" && [ "$(ls "$prefix/drive_c/Logs" | grep -cE "^nimbic-deploy-verify-[0-9]{8}-[0-9]{6}\.log$")" -eq 1 ]'
deploy verify --log-folder 'C:\Gone\Logs'
check "--log-folder in a folder that is gone is no failure, only a warning" \
    '[ $status -eq 0 ] && has "nimbic-deploy: warning: the log folder \"C:\Gone\Logs\" does not exist; no log is written"'
# Each run's own log in the folder; a log folder that is a link is refused, and the run goes on.
rm -f "$prefix/drive_c/Logs/"*
ln -s "$prefix/drive_c/Logs" "$prefix/drive_c/Linked logs"
deploy verify --log-folder 'C:\Logs'
deploy verify --log-folder 'C:\Linked logs'
check "a linked log folder is refused with a warning; the run still ends with 0" \
    '[ $status -eq 0 ] && has "warning: the log folder \"C:\Linked logs\" is reached through a link or mount point; no log is written"'
check "--log-folder wrote one log of this run's own, named by the time" \
    '[ "$(ls "$prefix/drive_c/Logs" | grep -cE "^nimbic-deploy-verify-[0-9]{8}-[0-9]{6}\.log$")" -eq 1 ] &&
     grep -q "Every file matches" "$prefix/drive_c/Logs/"*.log'
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

# ---- Links in the Custom folders given on the command line: each write through one fails
# before anything is written, and nothing outside the chosen folders changes.
outside="$prefix/drive_c/Outside"
mkdir -p "$outside/folder" "$outside/theirs"
printf 'not ours' >"$outside/victim.aex"
printf 'not ours either' >"$outside/folder/Nimbic.aex"
printf 'a script of someone else' >"$outside/folder/Nimbic.jsx"
cp "$payload" "$outside/theirs/Nimbic.aex"
# tree_state DIR: every name below DIR, and each file's size, time and bytes (a folder's own time
# changes with any name added and taken away again, so it is left out).
tree_state() {
    (cd "$1" && find . | sort && find . -type f -printf '%p %s %T@\n' | sort &&
        find . -type f -exec md5sum {} + | sort) | md5sum
}
outside_state() { tree_state "$outside"; }
outside_before=$(outside_state)
# custom NAME: a fresh pair of Custom folders; sets custom_plugins and custom_scripts.
custom() {
    custom_plugins="C:\\Links\\$1\\Plug-ins" custom_scripts="C:\\Links\\$1\\Scripts"
    mkdir -p "$(wizard_unix_path "$custom_plugins")/Vantrel" "$(wizard_unix_path "$custom_scripts")"
}
install_custom() { deploy install --plugin-folder "$custom_plugins" --scripts-folder "$custom_scripts"; }

custom vantrel
rmdir "$(wizard_unix_path "$custom_plugins")/Vantrel"
ln -s "$outside/folder" "$(wizard_unix_path "$custom_plugins")/Vantrel"
install_custom
check "a linked Vantrel fails the plug-in with error 45 and says why" \
    '[ $status -eq 2 ] && has "Custom	plug-in	failed (error 45)" && has "link or mount point"'
custom panels
ln -s "$outside/folder" "$(wizard_unix_path "$custom_scripts")/ScriptUI Panels"
install_custom
check "a linked ScriptUI Panels fails the scripts with error 125" \
    '[ $status -eq 2 ] && has "Custom	scripts	failed (error 125)"'
custom temporary
ln -s "$outside/victim.aex" "$(wizard_unix_path "$custom_plugins")/Vantrel/Nimbic.aex.nimbic-new"
install_custom
check "a link at the temporary's old name is never written through: the plug-in lands beside it" \
    '[ $status -eq 0 ] && cmp -s "$payload" "$(wizard_unix_path "$custom_plugins")/Vantrel/Nimbic.aex" &&
     [ -L "$(wizard_unix_path "$custom_plugins")/Vantrel/Nimbic.aex.nimbic-new" ]'
custom module
ln -s "$outside/victim.aex" "$(wizard_unix_path "$custom_plugins")/Vantrel/Nimbic.aex"
install_custom
check "a link at Nimbic.aex fails the plug-in with error 45" \
    '[ $status -eq 2 ] && has "Custom	plug-in	failed (error 45)"'
custom removal
install_custom
check "a Custom install to uninstall through a link later: 0" '[ $status -eq 0 ]'
rm -r "$(wizard_unix_path "$custom_plugins")/Vantrel"
ln -s "$outside/theirs" "$(wizard_unix_path "$custom_plugins")/Vantrel"
deploy uninstall --plugin-folder "$custom_plugins" --scripts-folder "$custom_scripts"
check "uninstall through a linked Vantrel keeps the plug-in behind the link" \
    '[ $status -eq 0 ] && has "Custom	plug-in	kept (reached through a link)" &&
     has "Custom	scripts	removed" && has "1 file is reached through a link and left alone." &&
     [ -f "$outside/theirs/Nimbic.aex" ]'
check "nothing outside the chosen folders changed" '[ "$(outside_state)" = "$outside_before" ]'

# ---- An install over older plug-ins in both versions, under a journal.
older="MZ older module"
for version in "$cc2018" "$ae2019"; do
    mkdir -p "$(dirname "$(plugin_of "$version")")"
    printf '%s' "$older" >"$(plugin_of "$version")"
done
versions_state() { tree_state "$prefix/drive_c/Program Files/Adobe"; }
backups() { find "$prefix/drive_c/Program Files/Adobe" -name '*.nimbic-old' | wc -l; }
journal='C:\deploy-journal.txt'
versions_before=$(versions_state)

# hold PATH [HOW]: hold-file.exe holds the file until release, sharing reads only (so it can be
# neither renamed nor deleted) or, with "image", mapped as a module as After Effects loads its
# plug-ins; returns once it does.
marker='C:\nimbic-hold.marker'
hold() {
    (exec wine "$hold_file" "$1" "$marker" "${2:-reads}" >/dev/null 2>&1) &
    hold_pid=$!
    for _ in $(seq 1 150); do
        [ -e "$(wizard_unix_path "$marker")" ] && return 0
        kill -0 "$hold_pid" 2>/dev/null || return 1
        sleep 0.2
    done
    return 1
}
release() {
    rm -f "$(wizard_unix_path "$marker")"
    wait "$hold_pid"
    hold_pid=""
}

hold "$ae2019\\Vantrel\\Nimbic.aex"
check "hold-file holds the 2019 plug-in" '[ -n "$hold_pid" ] && [ -e "$(wizard_unix_path "$marker")" ]'
deploy install
check "an install whose second version is held fails, naming the file, and changes nothing" \
    '[ $status -eq 2 ] && has "2019	plug-in	held by another program" && ! has "	installed	" &&
     [ "$(versions_state)" = "$versions_before" ]'
release

deploy install --journal "$journal"
check "install --journal over the older plug-ins: 0, both new, the older ones kept as backups" \
    '[ $status -eq 0 ] && cmp -s "$payload" "$(plugin_of "$cc2018")" &&
     cmp -s "$payload" "$(plugin_of "$ae2019")" && [ "$(backups)" -ge 2 ]'
deploy rollback --journal "$journal"
check "rollback restores the older plug-ins byte for byte, and every file and folder as it was" \
    '[ $status -eq 0 ] && [ "$(cat "$(plugin_of "$ae2019")")" = "$older" ] &&
     [ "$(versions_state)" = "$versions_before" ] && [ ! -e "$(wizard_unix_path "$journal")" ]'
deploy rollback --journal "$journal"
check "a second rollback has nothing to do" '[ $status -eq 0 ] && has "nothing to do"'
deploy install --journal "$journal"
deploy commit --journal "$journal"
check "commit keeps the new plug-ins and leaves no backup and no journal" \
    '[ $status -eq 0 ] && cmp -s "$payload" "$(plugin_of "$cc2018")" &&
     cmp -s "$payload" "$(plugin_of "$ae2019")" && [ "$(backups)" -eq 0 ] &&
     [ ! -e "$(wizard_unix_path "$journal")" ]'

# ---- Older plug-ins a host has loaded (any real module serves; it is mapped, its code never
# runs). Windows refuses to write or delete a module in use but lets it be renamed.
older_module="$hold_file"
cp "$older_module" "$(plugin_of "$ae2019")"
versions_before=$(versions_state)
hold "$ae2019\\Vantrel\\Nimbic.aex" image
check "hold-file maps the 2019 plug-in as a module" '[ -n "$hold_pid" ]'
deploy install
check "without a journal a loaded plug-in stops the install: 2, nothing changed" \
    '[ $status -eq 2 ] && has "2019	plug-in	held by another program" && ! has "	installed	" &&
     [ "$(versions_state)" = "$versions_before" ]'
deploy install --journal "$journal"
check "under a journal the loaded plug-in is renamed aside and the new one takes its name: 0" \
    '[ $status -eq 0 ] && cmp -s "$payload" "$(plugin_of "$ae2019")" && [ "$(backups)" -eq 1 ]'
deploy commit --journal "$journal"
check "the commit leaves the loaded backup for the restart and still ends: 3010, no journal" \
    '[ $status -eq $restart_status ] && has "scheduled for deletion at restart	C:\Program Files\Adobe\Adobe After Effects 2019\Support Files\Plug-ins\Vantrel\Nimbic.aex." &&
     has "Restart Windows to finish" && [ ! -e "$(wizard_unix_path "$journal")" ] && [ "$(backups)" -eq 1 ]'
release
wine wineboot -r >/dev/null 2>&1
check "the restart deletes the backup, and the new plug-in stays" \
    '[ "$(backups)" -eq 0 ] && cmp -s "$payload" "$(plugin_of "$ae2019")"'

# After Effects loads the new plug-in after the install: the rollback still puts the older one
# back, and what it takes away goes at the restart.
cp "$older_module" "$(plugin_of "$ae2019")"
versions_before=$(versions_state)
deploy install --journal "$journal"
hold "$ae2019\\Vantrel\\Nimbic.aex" image
deploy rollback --journal "$journal"
check "rollback over a plug-in loaded since puts the older one back, the new one aside: 3010" \
    '[ $status -eq $restart_status ] && cmp -s "$older_module" "$(plugin_of "$ae2019")"'
release
wine wineboot -r >/dev/null 2>&1
check "after the restart every file is as before that install" \
    '[ "$(versions_state)" = "$versions_before" ]'
cp "$payload" "$(plugin_of "$ae2019")"

# ---- Uninstall from the record alone, with the CC2018 plug-in held so that it cannot even be
# renamed: it fails and stays recorded (never left for the restart by its own name, which a setup
# run before the restart could have written again); once released, a second uninstall ends it.
mv "$dist/NimbicSetup.exe" "$work/NimbicSetup.exe"
hold "$cc2018\\Vantrel\\Nimbic.aex"
deploy uninstall --only CC2018
check "without the setup program, a held plug-in fails its uninstall: 2, the file kept, the rest gone" \
    '[ $status -eq 2 ] && has "CC2018	plug-in	failed (another program holds it)" &&
     has "close it and run the uninstall again" && ! has "restarts" &&
     has "CC2018	scripts	removed" && [ -f "$(plugin_of "$cc2018")" ]'
release
wine wineboot -r >/dev/null 2>&1
check "a restart leaves it" '[ -f "$(plugin_of "$cc2018")" ]'
deploy uninstall --only CC2018
check "once released, the uninstall again removes it: 0, the 2019 plug-in kept" \
    '[ $status -eq 0 ] && [ ! -e "$(plugin_of "$cc2018")" ] && [ -f "$(plugin_of "$ae2019")" ]'
mv "$work/NimbicSetup.exe" "$dist/NimbicSetup.exe"

# A loaded plug-in is renamed aside at uninstall, so its name is free at once; a read-only one
# is removed like any other.
deploy install --only CC2018
hold "$cc2018\\Vantrel\\Nimbic.aex" image
chmod a-w "$(plugin_of "$ae2019")"
deploy uninstall
check "uninstall with a loaded and a read-only plug-in: 3010, both names free at once" \
    '[ $status -eq $restart_status ] && has "CC2018	plug-in	scheduled for deletion at restart" &&
     has "2019	plug-in	removed" && [ ! -e "$(plugin_of "$cc2018")" ] && [ ! -e "$(plugin_of "$ae2019")" ]'
release
wine wineboot -r >/dev/null 2>&1
check "the restart deletes the renamed module and nothing is left" \
    '[ "$(backups)" -eq 0 ] && [ -z "$(find "$prefix/drive_c/Program Files/Adobe" -name "Nimbic.aex*")" ]'

echo "transcript: $transcript"
echo "deploy e2e: $passes passed, $failures failed"
[ "$failures" -eq 0 ]
