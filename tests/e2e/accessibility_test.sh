#!/usr/bin/env bash
# NimbicSetup.exe installed by assistive technology alone: our access-client reads the wizard
# through Active Accessibility and presses its controls by name (no pointer, no keys), into two
# registered After Effects versions with one unticked; the files are compared on disk. The tree
# of each page and popup is kept in the artifacts folder (access-*.txt), and the flat UI
# Automation client API must see the same names and control types. Then the same install with
# the keyboard alone, the other version unticked, and a failed run's popup read out.
# Usage: accessibility_test.sh BUILD_DIR ARTIFACT_DIR
set -u
source "$(dirname "$(readlink -f "$0")")/e2e_common.sh"
# shellcheck source-path=SCRIPTDIR/../.. source=scripts/lib/wizard.sh
source "$scripts/lib/wizard.sh"
artifacts=$(readlink -f "$artifacts")
setup="$build/installer/NimbicSetup.exe"
client="$build/tools/access-client.exe"
payload="$build/resources/payload/Nimbic.aex"
work=$(mktemp -d "${TMPDIR:-/tmp}/nimbic-access-e2e.XXXXXX")
prefix="$work/prefix"
cleanup() {
    [ -f "$work/access.pid" ] && kill "$(cat "$work/access.pid")" 2>/dev/null
    wizard_stop_prefix "$prefix"
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
for needed in "$setup" "$client" "$payload"; do
    [ -f "$needed" ] || { echo "missing $needed"; echo "accessibility e2e: 0 passed, 1 failed"; exit 1; }
done
e2e_display
"$scripts/wine-prefix" "$build/wineprefix" || exit 1
wizard_new_prefix "$prefix" "$build/wineprefix" || { echo "no Wine prefix"; exit 1; }

adobe='C:\Program Files\Adobe'
cc2018="$adobe\\Adobe After Effects CC 2018\\Support Files\\Plug-ins"
cc2017="$adobe\\Adobe After Effects CC 2017\\Support Files\\Plug-ins"
wizard_register 15.0 "$cc2018"
wizard_register 14.0 "$cc2017"
plugin_of() { echo "$(wizard_unix_path "$1")/Vantrel/Nimbic.aex"; }

# One access-client for the whole test, so Wine starts it once: it reads commands on a pipe
# (fields separated by tabs) and ends each answer with a line "= STATUS". Through named pipes,
# not a coprocess, so that functions run in subshells can ask too; every read is bounded, since
# a Wine process the client starts may hold the answer pipe open after the client is gone.
# A client that gave no answer is ended, and the next command starts another on the same pipes
# (its process id is kept in a file, as a subshell may start it): one hang costs one check.
mkfifo "$work/access.in" "$work/access.out"
start_client() {
    # A client started again must not hold the test's own ends of the pipes: it would never
    # see the end of the commands.
    (cd "$work" && { [ -z "${access_to:-}" ] || exec {access_to}>&- {access_from}<&-; } &&
        exec wine "$client" --timeout 60 script <"$work/access.in" >"$work/access.out" \
            2>>"$work/access.err") &
    echo $! >"$work/access.pid"
}
# A zombie answers kill -0 too.
client_alive() {
    local state
    state=$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null) && [ "${state%% *}" != Z ]
}
# What an ended client left in the pipes (a command it never read, half an answer) would be
# taken for the next command's.
drain_pipes() {
    while IFS= read -r -t 0.2 -u "$access_to" _; do :; done
    while IFS= read -r -t 0.2 -u "$access_from" _; do :; done
}
start_client
# The command pipe is held for reading too: a command written while no client holds it waits
# there for the next one instead of failing.
exec {access_to}<>"$work/access.in" {access_from}<"$work/access.out"
# access COMMAND TITLE [ARGUMENT...]: the client's output; its status is the command's.
access() {
    local line chunk="" partial="" waited=0 access_pid
    access_pid=$(cat "$work/access.pid")
    if ! client_alive "$access_pid"; then
        echo "access-client had ended; started again for: $*" >&2
        drain_pipes
        start_client
        access_pid=$(cat "$work/access.pid")
    fi
    (IFS=$'\t' && printf '%s\n' "$*") >&"$access_to" 2>/dev/null || return 3
    while [ $waited -lt 90 ]; do
        # A read that times out keeps what it got of a line; the rest comes with the next.
        if ! IFS= read -r -t 1 chunk <&"$access_from"; then
            partial+=$chunk
            client_alive "$access_pid" || break
            waited=$((waited + 1))
            # Only a wait polls for long; another command this late is stuck somewhere, and
            # where is worth keeping before the client's own deadline ends it.
            [ $waited -eq 40 ] && [[ $1 != wait && $1 != gone ]] && keep_stacks "$*"
            continue
        fi
        line=$partial$chunk
        partial=""
        line=${line%$'\r'}
        if [[ $line =~ ^=\ ([0-9]+)$ ]]; then
            return "${BASH_REMATCH[1]}"
        fi
        printf '%s\n' "$line"
    done
    echo "access-client gave no answer to: $*" >&2
    kill -KILL "$access_pid" 2>/dev/null
    : >"$work/access.pid"
    return 3
}
# keep_stacks WHAT: every thread's stack in the test's prefix, as access-stacks-SECONDS.txt.
keep_stacks() {
    local kept="$artifacts/access-stacks-$SECONDS.txt"
    echo "access-client is late with: $1 (the stacks are in $(basename "$kept"))" >&2
    # Bounded, but loosely: a debugger ended while attached ends what it debugs.
    # The debugger is kept from starting on a crash only: here it is wanted.
    { echo "late: $1"; WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
        timeout 120 winedbg --command "bt all"; } >"$kept" 2>&1
}
# tree TITLE PAGE: the window's tree, kept as access-PAGE.txt (and printed into the log).
tree() {
    access tree "$1" >"$artifacts/access-$2.txt"
    echo "-- $2"
    cat "$artifacts/access-$2.txt"
}
has() { grep -qF -- "$2" "$artifacts/access-$1.txt"; }
# press TITLE NAME: the default action; a press that fails is a failed check.
press() {
    access press "$1" "$2" >/dev/null && return 0
    check "\"$2\" in \"$1\" can be pressed" false
    return 1
}
# wait_for TITLE TEXT [STATE|!STATE]...: until an element whose name contains TEXT shows those
# states (and not the negated ones).
wait_for() { access wait "$@" >/dev/null; }
wait_gone() { access gone "$1"; }
# The line of the element with exactly this name in a saved tree.
line_of() { grep -F "\"$2\"" "$artifacts/access-$1.txt" | head -1; }

# The wizard's processes in our prefix; process_ended waits until there are none.
wizard_pids() {
    local pid
    for pid in $(pgrep -f "NimbicSetup.exe /UAC"); do
        tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" &&
            echo "$pid"
    done
}
process_ended() {
    for _ in $(seq 1 300); do
        [ -z "$(wizard_pids)" ] && return 0
        sleep 0.1
    done
    return 1
}
# Between runs: a wizard a failed check left open is ended, and the client stays.
end_wizard() {
    process_ended && return 0
    for pid in $(wizard_pids); do kill "$pid" 2>/dev/null; done
    process_ended
}
start_wizard() { (cd "$(dirname "$setup")" && exec wine "$setup" </dev/null >/dev/null 2>&1) & }

# uia_matches PAGE [TITLE]: the UI Automation tree lists the same elements, in the same order and
# nesting, with the control types that go with the Active Accessibility roles; the window
# itself (the wizard's client area, a popup's dialog) is a window.
msaa_outline() {
    sed -E 's/^( *)([^"]+) "([^"]*)".*/\1\2|\3/' "$artifacts/access-$1.txt" |
        sed -E 's/\|/ |/; s/push button \|/button|/; s/check button \|/check box|/;
                s/link \|/hyperlink|/; s/(static text|alert) \|/text|/; s/grouping \|/group|/;
                s/(document|progress bar) \|/\1|/; s/^(client|dialog) \|/window|/'
}
uia_outline() {
    sed -E 's/^( *)([^"]+) "([^"]*)".*/\1\2|\3/' "$artifacts/access-$1-uia.txt" | sed -E 's/ \|/|/'
}
uia_matches() {
    access uia "${2:-$wizard_title}" >"$artifacts/access-$1-uia.txt"
    # A walk that answers in a second hung once on a busy machine (the stacks were not kept
    # then): it is made once more, by a new client, and the hang stays in the log.
    if [ $? -eq 3 ]; then
        echo "the UI Automation walk of $1 gave no answer: walked again"
        access uia "${2:-$wizard_title}" >"$artifacts/access-$1-uia.txt"
    fi
    diff <(msaa_outline "$1") <(uia_outline "$1") >"$work/uia-$1.diff" &&
        [ "$(uia_outline "$1" | wc -l)" -gt 3 ]
}
# focus_enabled PAGE: a node has the focus in the saved tree, and it can be used.
focus_enabled() {
    grep -q '\[.*focused' "$artifacts/access-$1.txt" &&
        ! grep '\[.*focused' "$artifacts/access-$1.txt" | grep -q unavailable
}

echo "== installed through the accessibility interface alone"
start_wizard
if wait_for "$wizard_title" "I AGREE"; then
    passes=$((passes + 1))
    tree "$wizard_title" welcome
    check "Welcome: the window is a client named by its title" \
        'head -1 "$artifacts/access-welcome.txt" | grep -q "^client \"$wizard_title\""'
    check "Welcome: I AGREE is a push button that presses" \
        'line_of welcome "I AGREE" | grep -q "^ *push button .*(Press)"'
    # BACK may be listed, unavailable or invisible, or left out; the tree must have been read.
    check "Welcome: CANCEL is there, BACK is not offered" \
        'has welcome "\"CANCEL\"" && ! line_of welcome BACK | grep -v "unavailable\|invisible" | grep -q .'

    if press "$wizard_title" CANCEL && wait_for "Exit Installer" NO; then
        tree "Exit Installer" exit-popup
        check "the cancel question is a dialog with its message as description, YES and NO" \
            'head -1 "$artifacts/access-exit-popup.txt" |
                grep -q "^dialog \"Exit Installer\" ~ \"Are you sure you want to cancel" &&
             has exit-popup "\"YES\"" && has exit-popup "\"NO\""'
        # Modal means modal: the wizard's own CANCEL is unavailable while the question is open.
        check "with the question open, the wizard's CANCEL refuses its default action" \
            '! access press "$wizard_title" CANCEL >/dev/null 2>&1 &&
             [ "$(wizard_windows "Exit Installer" | wc -l)" -eq 1 ]'
        check "UI Automation sees the question as a window, as Active Accessibility does" \
            'uia_matches exit-popup "Exit Installer"'
        check "NO closes the question" 'press "Exit Installer" NO && wait_gone "Exit Installer"'
    else
        check "CANCEL opens the \"Exit Installer\" question" false
    fi

    link=$(sed -n 's/^ *link "\([^"]*\)".*/\1/p' "$artifacts/access-welcome.txt" | head -1)
    check "Welcome: the licence link is a link (\"$link\")" '[ -n "$link" ]'
    # BACK is on Welcome too, unavailable: the License page is there once it can be pressed.
    if [ -n "$link" ] && press "$wizard_title" "$link" && wait_for "$wizard_title" BACK !unavailable
    then
        tree "$wizard_title" license
        check "License: the agreement is a read-only document whose value is its whole text" \
            'grep -q "^ *document .*= \"Vantrel Software License Agreement.*([0-9]\{5,\} characters).*read-only" \
                "$artifacts/access-license.txt"'
        check "License: its paragraph children join to the whole agreement" \
            'access paragraphs "$wizard_title" "Vantrel Software License Agreement" |
                grep -q "they join to the whole text"'
        if press "$wizard_title" BACK && wait_for "$wizard_title" BACK unavailable; then
            tree "$wizard_title" welcome-again
            check "BACK to Welcome leaves the focus on something that can be used" \
                'focus_enabled welcome-again'
        else
            check "BACK on the License page goes back to Welcome" false
        fi
    else
        check "the licence link opens the License page" false
    fi

    if press "$wizard_title" "I AGREE" && wait_for "$wizard_title" INSTALL &&
        wait_for "$wizard_title" CC2018 checked && wait_for "$wizard_title" CC2017 checked; then
        tree "$wizard_title" versions
        check "Versions: a ticked check box for each version" \
            '[ "$(grep -c "^ *check button .*checked" "$artifacts/access-versions.txt")" -ge 2 ]'
        check "UI Automation sees the Versions page as Active Accessibility does" \
            'uia_matches versions'
        box=$(grep -E '^ *check button "[^"]*2017' "$artifacts/access-versions.txt" |
            sed 's/^ *check button "\([^"]*\)".*/\1/' | head -1)
        check "Versions: CC 2017 has a check box (\"$box\")" '[ -n "$box" ]'
        check "pressing the box unticks it" \
            '[ -n "$box" ] && press "$wizard_title" "$box" && wait_for "$wizard_title" "$box" !checked'
        if press "$wizard_title" INSTALL && wait_for "$wizard_title" "Mission Success!"; then
            passes=$((passes + 1))
            tree "$wizard_title" finished
            check "Installing: the progress bar reads 100%" \
                'grep -q "^ *progress bar .*= \"100%\"" "$artifacts/access-finished.txt"'
            check "the installed version's line says so, as text, not a check button" \
                'line_of finished "Nimbic Plug-in for After Effects CC2018 installed." |
                    grep -q "^ *static text " && ! grep -q "^ *check button" "$artifacts/access-finished.txt"'
            # The result is said once, as the status line's live change; FINISH adds it as
            # its description only once the focus comes back to it (or if the window had no
            # focus when it landed), so either is right here.
            check "at the end the focus is on FINISH, usable, and the status line has the result" \
                'focus_enabled finished && line_of finished FINISH | grep -q "focused" &&
                 line_of finished "Nimbic Plug-in successfully installed." | grep -q "^ *static text "'
            check "UI Automation sees the finished page as Active Accessibility does" \
                'uia_matches finished'
            check "FINISH ends the program" 'press "$wizard_title" FINISH && process_ended'
        else
            check "the run ends with \"Mission Success!\" in the tree" false
        fi
    else
        check "I AGREE leads to the Versions page, both versions ticked" false
    fi
else
    check "the wizard offers its tree with I AGREE" false
fi
check "the ticked CC2018 got the plug-in, byte for byte" 'cmp -s "$payload" "$(plugin_of "$cc2018")"'
check "the unticked CC2017 got nothing" '[ ! -e "$(plugin_of "$cc2017")" ]'
[ -s "$work/uia-versions.diff" ] && { echo "UI Automation differs:"; cat "$work/uia-versions.diff"; }
end_wizard

echo "== installed with the keyboard alone"
# Keys only (xdotool, to the wizard's window); the tree is only read, to see where the focus is.
rm -rf "$(wizard_unix_path "$cc2018")/Vantrel" "$(wizard_unix_path "$cc2017")/Vantrel"
focused_name() {
    access focus "$wizard_title" >"$work/focus.txt" || return 1
    sed -n 's/^ *[a-z ]* "\([^"]*\)" .*\[[^]]*focused.*/\1/p' "$work/focus.txt" | head -1
}
# tab_to NAME: Tab until NAME has the focus (at most once round the page); each Tab waits
# until the focus has left where it was.
tab_to() {
    local now
    for _ in $(seq 1 14); do
        now=$(focused_name)
        [ "$now" = "$1" ] && return 0
        key Tab
        if [ -n "$now" ]; then
            wait_for "$wizard_title" "$now" !focused || return 1
        else
            wait_for "$wizard_title" "" focused || return 1
        fi
    done
    return 1
}
key() { xdotool key --window "$wizard_window" "$1"; }
# What a reader is told, as the client hears the WinEvents: kept as announcements-RUN.txt.
listen_to() {
    local log="$artifacts/announcements-$1.txt"
    access listen "$wizard_title" "Z:${log//\//\\}" >/dev/null
}
show_log() {
    echo "-- what a reader was told ($1)"
    cat "$artifacts/announcements-$1.txt" 2>/dev/null
}
start_wizard
if wait_for "$wizard_title" "I AGREE" && wizard_window=$(wizard_find_window "$wizard_title" 30); then
    listen_to keyboard
    xdotool windowfocus --sync "$wizard_window" 2>/dev/null
    key Escape
    if wait_for "Exit Installer" "NO"; then
        passes=$((passes + 1))
        wizard_popup=$(wizard_find_window "Exit Installer" 10)
        wizard_answer Escape
        check "Escape (NO) closes the question and the wizard stays" \
            'wait_gone "Exit Installer" && [ -n "$(wizard_windows "$wizard_title")" ]'
    else
        check "Escape on the wizard asks \"Exit Installer\"" false
    fi
    xdotool windowfocus --sync "$wizard_window" 2>/dev/null
    check "Tab reaches I AGREE" 'tab_to "I AGREE"'
    key Return
    check "Enter on I AGREE shows the Versions page" 'wait_for "$wizard_title" INSTALL'
    check "Tab reaches the CC2018 box" 'tab_to CC2018'
    key space
    check "Space unticks it" 'wait_for "$wizard_title" CC2018 !checked'
    check "Tab reaches INSTALL" 'tab_to INSTALL'
    key Return
    if wait_for "$wizard_title" "Mission Success!"; then
        passes=$((passes + 1))
        check "Tab reaches FINISH" 'tab_to FINISH'
        key space
        check "Space on FINISH ends the program" process_ended
    else
        check "the keyboard run ends with \"Mission Success!\"" false
    fi
else
    check "the wizard opens for the keyboard run" false
fi
show_log keyboard
check "keyboard run: the ticked CC2017 got the plug-in, byte for byte" \
    'cmp -s "$payload" "$(plugin_of "$cc2017")"'
check "keyboard run: the unticked CC2018 got nothing" '[ ! -e "$(plugin_of "$cc2018")" ]'
end_wizard

echo "== a failure read out"
# A version whose plug-in folder is gone: the run ends with the failure popup, an alert.
wizard_register 13.5 "$adobe\\Adobe After Effects CC 2015\\Support Files\\Plug-ins" no-folder
start_wizard
if wait_for "$wizard_title" "I AGREE" && listen_to failure && press "$wizard_title" "I AGREE" &&
    wait_for "$wizard_title" INSTALL && press "$wizard_title" INSTALL &&
    wait_for "Failed to install" NO; then
    passes=$((passes + 1))
    tree "Failed to install" failure-popup
    check "the failure popup is a dialog that names the version and asks to retry" \
        'head -1 "$artifacts/access-failure-popup.txt" | grep -q "^dialog \"Failed to install\"" &&
         grep -q "^ *alert .*CC2015 failed!.*Do you want to retry?" \
            "$artifacts/access-failure-popup.txt" &&
         head -1 "$artifacts/access-failure-popup.txt" | grep -q " ~ \"The installation of" &&
         has failure-popup "\"YES\"" && has failure-popup "\"NO\""'
    if press "Failed to install" NO && wait_for "$wizard_title" FINISH; then
        tree "$wizard_title" failed
        check "after NO the failed version's line says \"not installed.\", as text" \
            'line_of failed "Nimbic Plug-in for After Effects CC2015 not installed." |
                grep -q "^ *static text "'
        check "after NO the versions that worked say \"installed.\"" \
            'line_of failed "Nimbic Plug-in for After Effects CC2018 installed." | grep -q "^ *static text " &&
             line_of failed "Nimbic Plug-in for After Effects CC2017 installed." | grep -q "^ *static text "'
        check "after NO the focus is on FINISH, usable" \
            'focus_enabled failed && line_of failed FINISH | grep -q "focused"'
        check "after NO the page says not everything was installed" \
            'has failed "\"Some components of Nimbic Plug-in not correctly installed.\"" &&
             ! has failed "Mission Success!"'
        check "FINISH ends the program after a failure" \
            'press "$wizard_title" FINISH && process_ended'
    else
        check "NO on the failure popup leads to FINISH" false
    fi
else
    check "a run with a missing folder ends with the \"Failed to install\" popup" false
fi
end_wizard
show_log failure
exec {access_to}>&-
[ -s "$work/access.err" ] && { echo "access-client said:"; cat "$work/access.err"; }

echo "accessibility e2e: $passes passed, $failures failed ($SECONDS s)"
[ $failures -eq 0 ]
