#!/usr/bin/env bash
# Where our programs take their DLLs from. A download can drop a DLL into the Downloads folder
# the setup program runs from elevated, and Windows prefers such a copy for every DLL outside
# the known set; Wine is told to do the same, and stand-ins that leave NAME.loaded beside
# themselves sit beside NimbicSetup.exe, zk-gallery.exe and nimbic-deploy.exe, each started
# from its folder. Each still does its work (the windowed ones draw), and no stand-in is loaded.
# The libraries the toolkit loads itself may also be missing: the program then shows the
# toolkit's message and ends, or does without.
# Usage: dll_loading_test.sh BUILD_DIR ARTIFACT_DIR STAND_IN_DLL
set -u
source "$(dirname "$(readlink -f "$0")")/e2e_common.sh"
# shellcheck source-path=SCRIPTDIR/../.. source=scripts/lib/wizard.sh
source "$scripts/lib/wizard.sh"
stand_in=$3
setup="$build/installer/NimbicSetup.exe"
gallery="$build/tools/zk-gallery.exe"
deploy="$build/installer/nimbic-deploy.exe"
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all
# version.dll is not planted: Wine's own user32 imports it, so Wine loads a copy beside any
# program that uses user32 (each of ours) before its entry point runs. On Windows user32 is a
# known DLL and comes with its imports from System32.
planted=(d2d1 DWrite WTSAPI32 WindowsCodecs UxTheme oleacc UIAutomationCore)
# As scripts/wine-run has it, and a crash ends the program instead of waiting in the debugger.
quiet="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"
prefer_planted="d2d1,dwrite,wtsapi32,windowscodecs,uxtheme,oleacc,uiautomationcore=n,b;$quiet"
work=$(mktemp -d "${TMPDIR:-/tmp}/nimbic-dll-loading.XXXXXX")
app=""
# The prefix is shared with other tests: only our own process is ended.
stop_app() {
    [ -n "$app" ] && kill "$app" 2>/dev/null
    app=""
}
cleanup() {
    stop_app
    rm -rf "$work"
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT
e2e_display
"$scripts/wine-prefix" "$WINEPREFIX" || exit 1

colours_in() { convert "$1" -unique-colors -format '%w' info:; }

# Waits until the client area shows more than a few colours and no longer changes.
drawn() {
    for _ in $(seq 1 60); do
        wizard_shot "$1"
        [ "$(colours_in "$1")" -gt 8 ] && { wizard_settle; wizard_shot "$1"; return 0; }
        sleep 0.5
    done
    return 1
}

# box_drawn WINDOW FILE: waits until the window shows more than two colours (10 s at most),
# and keeps that shot.
box_drawn() {
    for _ in $(seq 1 50); do
        wizard_window_shot "$1" "$2"
        [ "$(colours_in "$2")" -gt 2 ] && return 0
        sleep 0.2
    done
    return 1
}

# True once our program has ended (a child that ended is a zombie until it is waited for). On a
# machine another build keeps busy, the wizard's answer, its exit and Wine's teardown took over
# 30 s once: the bound is the one the reader's answers get.
ended() {
    for _ in $(seq 1 450); do
        case "$(ps -o stat= -p "$app" 2>/dev/null)" in "" | Z*) return 0 ;; esac
        sleep 0.2
    done
    return 1
}

# The wizard asks before it closes; the gallery closes on Escape.
close_setup() { wizard_press "$wizard_cancel_button" && wizard_popup "Exit Installer" 30 && wizard_answer Return; }
close_gallery() { xdotool key --window "$wizard_window" Escape; }
# The accessibility libraries are loaded when a screen reader first asks: access-client asks
# through both interfaces before the wizard is closed.
read_and_close_setup() {
    local msaa uia
    msaa=$(cd "$work" && timeout 90 wine "$build/tools/access-client.exe" tree "$wizard_title" 2>&1)
    uia=$(cd "$work" && timeout 90 wine "$build/tools/access-client.exe" uia "$wizard_title" 2>&1)
    check "the wizard describes itself beside the stand-ins" \
        'grep -q "push button" <<<"$msaa" && grep -q "button" <<<"$uia"'
    close_setup
}

# plant FOLDER: a stand-in for every planted library in FOLDER; markers_in FOLDER: the markers
# the stand-ins loaded from there have left.
plant() { for dll in "${planted[@]}"; do cp "$stand_in" "$1/$dll.dll"; done; }
markers_in() { (cd "$1" && find . -iname '*.loaded' -printf '%f '); }

# planted NAME EXE TITLE CLOSE OVERRIDES [ARGUMENT...]: the program in a folder of its own with
# the stand-ins, under those Wine DLL overrides; it draws its window and closes, loading none.
planted() {
    local name=$1 exe=$2 title=$3 close=$4 folder="$work/$1" earlier markers
    mkdir -p "$folder"
    cp "$exe" "$folder/"
    plant "$folder"
    earlier=$(wizard_windows "$title")
    (cd "$folder" && WINEDLLOVERRIDES=$5 exec wine "$folder/$(basename "$exe")" "${@:6}" \
        </dev/null >/dev/null 2>&1) &
    app=$!
    if wizard_window=$(wizard_find_window "$title" 60 "$earlier"); then
        wizard_geometry
        wizard_park_pointer
        check "$name draws its window" 'drawn "$artifacts/dll-loading-$name.png"'
        $close
        check "$name closes" ended
    else
        check "$name opens its window" false
    fi
    stop_app
    markers=$(markers_in "$folder")
    check "$name loads none of the stand-ins beside it (loaded: ${markers:-none})" \
        '[ -z "$markers" ]'
}

# The console program beside the setup program it reads: it opens no window, so it is asked to
# list, and must do so without loading a stand-in.
planted_console() {
    local folder="$work/deploy" markers status
    mkdir -p "$folder"
    cp "$deploy" "$setup" "$folder/"
    plant "$folder"
    (cd "$folder" && WINEDLLOVERRIDES=$prefer_planted timeout 60 wine nimbic-deploy.exe list \
        >/dev/null 2>&1)
    status=$?
    check "nimbic-deploy.exe list runs beside the stand-ins (exit $status)" \
        '[ $status -eq 0 ] || [ $status -eq 3 ]'
    markers=$(markers_in "$folder")
    check "nimbic-deploy.exe loads none of the stand-ins beside it (loaded: ${markers:-none})" \
        '[ -z "$markers" ]'
}

# missing LIBRARY MESSAGE: NimbicSetup.exe on a system without the library tells the user in a
# box titled with the product name, with the toolkit's message for what it could not create
# (also written to the error stream), and exits with 1 once the box is closed.
missing() {
    local message=$2 output="$work/without-$1.txt" shot="$artifacts/dll-loading-without-$1.png"
    local box status
    (cd "$work" && WINEDLLOVERRIDES="$1=;$quiet" exec timeout 60 wine "$setup" /UAC \
        </dev/null >"$output" 2>&1) &
    app=$!
    if box=$(wizard_find_window "Nimbic Plug-in" 30); then
        check "without $1 the error box is drawn" 'box_drawn "$box" "$shot"'
        wizard_popup=$box
        wizard_answer Return
    else
        check "without $1 NimbicSetup.exe shows a box titled \"Nimbic Plug-in\"" false
    fi
    wait "$app"
    status=$?
    app=""
    check "without $1 NimbicSetup.exe exits with 1 once the box is closed (exit $status)" \
        '[ $status -eq 1 ]'
    check "without $1 the box says \"$message\"" 'grep -qF "$message" "$output"'
}

planted setup "$setup" "$wizard_title" read_and_close_setup "$prefer_planted" /UAC
planted gallery "$gallery" "Nimbic toolkit gallery" close_gallery "$prefer_planted"
# The session notices are a nicety: without them the wizard opens as usual.
planted setup-without-wtsapi32 "$setup" "$wizard_title" close_setup "wtsapi32=;$prefer_planted" /UAC
planted_console
missing d2d1 "unable to create a d2d resource factory"
missing dwrite "unable to create the write factory"

echo "dll loading e2e: $passes passed, $failures failed"
[ $failures -eq 0 ]
