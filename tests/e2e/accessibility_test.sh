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

# access COMMAND TITLE [NAME]: the client's output; its status is the client's. Through a
# file, not a pipe: Wine's own processes started with the client keep a pipe open.
access() {
    local status=0
    (cd "$work" && exec wine "$client" --timeout 60 "$@" >"$work/access.out" 2>&1) || status=$?
    tr -d '\r' <"$work/access.out"
    return $status
}
# tree TITLE PAGE: the window's tree, kept as access-PAGE.txt (and printed into the log).
tree() {
    access tree "$1" >"$artifacts/access-$2.txt"
    echo "-- $2"
    cat "$artifacts/access-$2.txt"
}
has() { grep -qF -- "$2" "$artifacts/access-$1.txt"; }
press() { access press "$1" "$2" >/dev/null; }
wait_name() { access wait "$1" "$2" >/dev/null; }
# The line of the element with exactly this name in a saved tree.
line_of() { grep -F "\"$2\"" "$artifacts/access-$1.txt" | head -1; }

# Exits 0 once no window of the wizard's process is left.
process_ended() {
    for _ in $(seq 1 150); do
        pgrep -f "NimbicSetup.exe /UAC" >/dev/null 2>&1 || return 0
        local ours=0
        for pid in $(pgrep -f "NimbicSetup.exe /UAC"); do
            tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" &&
                ours=1
        done
        [ $ours -eq 0 ] && return 0
        sleep 0.2
    done
    return 1
}

# uia_matches PAGE: the UI Automation tree below the window lists the same elements, in the same
# order and nesting, with the control types that go with the Active Accessibility roles.
msaa_outline() {
    sed -n '2,$p' "$artifacts/access-$1.txt" | sed -E 's/^( *)([^"]+) "([^"]*)".*/\1\2|\3/' |
        sed -E 's/\|/ |/; s/push button \|/button|/; s/check button \|/check box|/;
                s/link \|/hyperlink|/; s/static text \|/text|/; s/grouping \|/group|/;
                s/(document|progress bar) \|/\1|/; s/(client|dialog) \|/pane|/'
}
uia_outline() {
    sed -n '2,$p' "$artifacts/access-$1-uia.txt" | sed -E 's/^( *)([^"]+) "([^"]*)".*/\1\2|\3/' |
        sed -E 's/ \|/|/'
}
uia_matches() {
    access uia "$wizard_title" >"$artifacts/access-$1-uia.txt"
    diff <(msaa_outline "$1") <(uia_outline "$1") >"$work/uia-$1.diff" &&
        [ "$(uia_outline "$1" | wc -l)" -gt 5 ]
}

echo "== installed through the accessibility interface alone"
(cd "$(dirname "$setup")" && exec wine "$setup" </dev/null >/dev/null 2>&1) &
if wait_name "$wizard_title" "I AGREE"; then
    passes=$((passes + 1))
    tree "$wizard_title" welcome
    check "Welcome: the window is a client named by its title" \
        'head -1 "$artifacts/access-welcome.txt" | grep -q "^client \"$wizard_title\""'
    check "Welcome: I AGREE is a push button that presses" \
        'line_of welcome "I AGREE" | grep -q "^ *push button .*(Press)"'
    check "Welcome: CANCEL is there, BACK is not offered" \
        'has welcome "\"CANCEL\"" && ! line_of welcome "BACK" | grep -qv "invisible\|unavailable"'

    press "$wizard_title" CANCEL
    if wait_name "Exit Installer" "NO"; then
        tree "Exit Installer" exit-popup
        check "the cancel question is a dialog with its message and YES and NO" \
            'head -1 "$artifacts/access-exit-popup.txt" | grep -q "^dialog" &&
             has exit-popup "\"YES\"" && has exit-popup "\"NO\""'
        press "Exit Installer" NO
    else
        check "CANCEL opens the \"Exit Installer\" question" false
    fi

    link=$(sed -n 's/^ *link "\([^"]*\)".*/\1/p' "$artifacts/access-welcome.txt" | head -1)
    check "Welcome: the licence link is a link (\"$link\")" '[ -n "$link" ]'
    if [ -n "$link" ] && press "$wizard_title" "$link" && wait_name "$wizard_title" "BACK"; then
        sleep 1
        tree "$wizard_title" license
        check "License: the agreement is a read-only document whose value is its whole text" \
            'grep -q "^ *document .*= \"Vantrel Software License Agreement.*([0-9]\{5,\} characters).*read-only" \
                "$artifacts/access-license.txt"'
        press "$wizard_title" BACK
    else
        check "the licence link opens the License page" false
    fi

    press "$wizard_title" "I AGREE"
    if wait_name "$wizard_title" "INSTALL"; then
        sleep 0.5
        tree "$wizard_title" versions
        check "Versions: a ticked check box for each version" \
            '[ "$(grep -c "^ *check button .*checked" "$artifacts/access-versions.txt")" -ge 2 ]'
        check "UI Automation sees the Versions page as Active Accessibility does" \
            'uia_matches versions'
        box=$(grep -E '^ *check button "[^"]*2017' "$artifacts/access-versions.txt" |
            sed 's/^ *check button "\([^"]*\)".*/\1/' | head -1)
        check "Versions: CC 2017 has a check box (\"$box\")" '[ -n "$box" ]'
        press "$wizard_title" "$box"
        sleep 0.5
        tree "$wizard_title" versions-unticked
        check "pressing the box unticks it" \
            '! line_of versions-unticked "$box" | grep -q "checked"'
        press "$wizard_title" INSTALL
        sleep 0.3
        tree "$wizard_title" installing
        if wait_name "$wizard_title" "Mission Success!"; then
            passes=$((passes + 1))
            tree "$wizard_title" finished
            check "Installing: the progress bar reads 100%" \
                'grep -q "^ *progress bar .*= \"100%\"" "$artifacts/access-finished.txt"'
            check "UI Automation sees the finished page as Active Accessibility does" \
                'uia_matches finished'
            press "$wizard_title" FINISH
            check "FINISH ends the program" process_ended
        else
            check "the run ends with \"Mission Success!\" in the tree" false
        fi
    else
        check "I AGREE leads to the Versions page" false
    fi
else
    check "the wizard offers its tree with I AGREE" false
fi
check "the ticked CC2018 got the plug-in, byte for byte" 'cmp -s "$payload" "$(plugin_of "$cc2018")"'
check "the unticked CC2017 got nothing" '[ ! -e "$(plugin_of "$cc2017")" ]'
[ -s "$work/uia-versions.diff" ] && { echo "UI Automation differs:"; cat "$work/uia-versions.diff"; }
wizard_stop_prefix "$prefix"

echo "== installed with the keyboard alone"
# Keys only (xdotool, to the wizard's window); the tree is only read, to see where the focus is.
rm -rf "$(wizard_unix_path "$cc2018")/Vantrel" "$(wizard_unix_path "$cc2017")/Vantrel"
focused_name() { access tree "$wizard_title" | sed -n 's/^ *[a-z ]* "\([^"]*\)" .*\[[^]]*focused.*/\1/p' | head -1; }
# tab_to NAME: Tab until NAME has the focus (at most once round the page).
tab_to() {
    for _ in $(seq 1 14); do
        [ "$(focused_name)" = "$1" ] && return 0
        xdotool key --window "$wizard_window" Tab
        sleep 0.2
    done
    return 1
}
key() { xdotool key --window "$wizard_window" "$1"; sleep 0.3; }
(cd "$(dirname "$setup")" && exec wine "$setup" </dev/null >/dev/null 2>&1) &
if wait_name "$wizard_title" "I AGREE" && wizard_window=$(wizard_find_window "$wizard_title" 30); then
    xdotool windowfocus --sync "$wizard_window" 2>/dev/null
    sleep 0.3
    key Escape
    if wait_name "Exit Installer" "NO"; then
        passes=$((passes + 1))
        wizard_popup=$(wizard_find_window "Exit Installer" 10)
        wizard_answer Escape
        check "Escape (NO) closes the question and the wizard stays" \
            '[ -n "$(wizard_windows "$wizard_title")" ] && [ -z "$(wizard_windows "Exit Installer")" ]'
    else
        check "Escape on the wizard asks \"Exit Installer\"" false
    fi
    xdotool windowfocus --sync "$wizard_window" 2>/dev/null
    check "Tab reaches I AGREE" 'tab_to "I AGREE"'
    key Return
    check "Enter on I AGREE shows the Versions page" 'wait_name "$wizard_title" INSTALL'
    check "Tab reaches the CC2018 box" 'tab_to CC2018'
    key space
    access tree "$wizard_title" >"$artifacts/access-keyboard-versions.txt"
    check "Space unticks it" '! line_of keyboard-versions CC2018 | grep -q checked'
    check "Tab reaches INSTALL" 'tab_to INSTALL'
    key Return
    if wait_name "$wizard_title" "Mission Success!"; then
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
check "keyboard run: the ticked CC2017 got the plug-in, byte for byte" \
    'cmp -s "$payload" "$(plugin_of "$cc2017")"'
check "keyboard run: the unticked CC2018 got nothing" '[ ! -e "$(plugin_of "$cc2018")" ]'
wizard_stop_prefix "$prefix"

echo "== a failure read out"
# A version whose plug-in folder is gone: the run ends with the failure popup, an alert.
wizard_register 13.5 "$adobe\\Adobe After Effects CC 2015\\Support Files\\Plug-ins" no-folder
(cd "$(dirname "$setup")" && exec wine "$setup" </dev/null >/dev/null 2>&1) &
if wait_name "$wizard_title" "I AGREE" && press "$wizard_title" "I AGREE" &&
    wait_name "$wizard_title" INSTALL && press "$wizard_title" INSTALL &&
    wait_name "Failed to install" NO; then
    passes=$((passes + 1))
    tree "Failed to install" failure-popup
    check "the failure popup is a dialog that names the version and asks to retry" \
        'head -1 "$artifacts/access-failure-popup.txt" | grep -q "^dialog \"Failed to install\"" &&
         grep -q "^ *static text .*CC2015" "$artifacts/access-failure-popup.txt" &&
         has failure-popup "\"YES\"" && has failure-popup "\"NO\""'
    press "Failed to install" NO
    wait_name "$wizard_title" FINISH
    tree "$wizard_title" failed
    check "after NO the page tells which version failed" \
        'grep -q "^ *check button .*CC2015.*" "$artifacts/access-failed.txt"'
    press "$wizard_title" FINISH
    check "FINISH ends the program after a failure" process_ended
else
    check "a run with a missing folder ends with the \"Failed to install\" popup" false
fi
wizard_stop_prefix "$prefix"

echo "accessibility e2e: $passes passed, $failures failed ($SECONDS s)"
[ $failures -eq 0 ]
