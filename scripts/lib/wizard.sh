# Sourced by scripts/run and the installer's end-to-end test: a Wine prefix with After Effects
# versions registered in it, and NimbicSetup.exe driven through its wizard as a person does
# (xdotool clicks and keys in a real X window, screenshots of the client area).
# Points and areas are given in the wizard's client units (1024 x 610) and scaled to pixels by
# the window's actual width, so the same calls work at any DPI.
# shellcheck shell=bash disable=SC2034 # the variables are read by the scripts that source this

wizard_title="Nimbic Plug-in for After Effects Installer"
wizard_uninstaller_title="Nimbic Plug-in for After Effects Uninstaller"
wizard_entry_key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Vantrel.NimbicPlugin'
wizard_versions_key='HKLM\SOFTWARE\Adobe\After Effects'
wizard_client_width=1024

# Footer buttons and the footer licence link (centres), and the page area right of the banner.
wizard_cancel_button="559 585"
wizard_back_button="699 585"
wizard_next_button="899 585"
wizard_footer_link="285 584"
wizard_page_area="450 64 574 496"
# Inside the left end of NEXT's pill, clear of its caption: blue when enabled, grey when not.
wizard_next_sample="824 585"

wizard_environment() {
    export WINEPREFIX=$1 WINEDEBUG=-all
    # No Mono or Gecko installers, no desktop menu entries and no debugger on a crash, as in
    # scripts/wine-run.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"
}

# wizard_new_prefix DEST [TEMPLATE]: a prefix of its own at DEST, copied from TEMPLATE when that
# one is ready (much faster than a new prefix), else made by scripts/wine-prefix. The copy may
# hold versions another test registered, so the versions key starts empty.
# The template is the build's own prefix, which the unit tests use while this copy is made: their
# files in Temp come and go (a copy that met one as it went failed the test), and so does the
# server's temporary registry file. Neither belongs in the copy.
wizard_new_prefix() {
    local dest=$1 template=${2:-}
    wizard_stop_prefix "$dest"
    rm -rf "$dest"
    mkdir -p "$(dirname "$dest")"
    if [ -n "$template" ] && [ -f "$template/.nimbic-ready" ]; then
        local copied
        mkdir "$dest" || return 1
        # Both ends of the copy count, whatever the caller's shell options: a folder that
        # changed as it was read (the server replacing a registry file) is no failure.
        tar -C "$template" -cf - --warning=no-file-changed --warning=no-file-removed \
            --anchored --no-wildcards-match-slash \
            --exclude='./drive_c/users/*/Temp/*' --exclude='./reg*.tmp' . |
            tar -C "$dest" -xpf - && copied=("${PIPESTATUS[@]}") || copied=("${PIPESTATUS[@]}")
        [ "${copied[0]}" -le 1 ] && [ "${copied[1]}" -eq 0 ] || return 1
        # Wine finds a prefix's server by the folder's device and inode: one still ending for a
        # removed prefix whose folder had this inode would take our commands and lose them.
        wizard_stop_prefix "$dest"
    else
        "$(dirname "${BASH_SOURCE[0]}")/../wine-prefix" "$dest" || return 1
    fi
    wizard_environment "$dest"
    wine reg delete "$wizard_versions_key" /f /reg:64 >/dev/null 2>&1 || true
    return 0
}

# Ends every Wine process of one prefix; only ever called on a prefix of our own.
wizard_stop_prefix() {
    [ -f "$1/system.reg" ] || return 0
    WINEPREFIX=$1 wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX=$1 wineserver -w >/dev/null 2>&1 || true
    return 0
}

# The Linux path of a Windows path in the current prefix ("C:\a\b" or "C:/a/b").
wizard_unix_path() {
    local path=${1//\\//}
    local drive=${path:0:1}
    printf '%s/dosdevices/%s:%s\n' "$WINEPREFIX" "${drive,,}" "${path:2}"
}

# wizard_register VERSION PLUGIN_FOLDER [no-folder]: registers a version as After Effects does
# (HKLM, 64-bit view) and, unless told otherwise, creates its plug-in folder.
# The value is read back: a test whose version was silently missing failed far from the cause.
wizard_register() {
    local said registered=""
    for _ in 1 2 3; do
        said=$(wine reg add "$wizard_versions_key\\$1" /v PluginInstallPath /t REG_SZ /d "$2" \
            /f /reg:64 2>&1) &&
            wine reg query "$wizard_versions_key\\$1" /v PluginInstallPath /reg:64 2>/dev/null |
            tr -d '\r' | grep -F -- "$2" >/dev/null && registered=1 && break
        echo "wizard_register: version $1 is not registered (reg: ${said//$'\r'/}); again" >&2
    done
    if [ -z "$registered" ]; then
        echo "wizard_register: version $1 could not be registered" >&2
        return 1
    fi
    [ "${3:-}" = no-folder ] || mkdir -p "$(wizard_unix_path "$2")"
}

# wizard_start EXE: starts the program without arguments, as a double click does; the launcher
# relaunches it with "/UAC" and ends. Sets wizard_launcher_status, wizard_window, wizard_pid
# (the elevated copy) and the client area wizard_x, wizard_y, wizard_width, wizard_height.
wizard_start() {
    local exe earlier
    exe=$(readlink -f "$1")
    wizard_window="" wizard_pid=""
    earlier=$(wizard_windows "$wizard_title")
    (cd "$(dirname "$exe")" && exec wine "$exe" </dev/null >/dev/null 2>&1) &
    wizard_launcher_status=0
    wait $! || wizard_launcher_status=$?
    wizard_window=$(wizard_find_window "$wizard_title" 60 "$earlier") || return 1
    wizard_pid=$(xdotool getwindowpid "$wizard_window" 2>/dev/null)
    wizard_geometry
    wizard_park_pointer
    wizard_settle
}

# wizard_open TITLE PROGRAM [ARGUMENTS...]: as wizard_start, for a window of another title (the
# uninstaller) and a program given by its Windows path, as the Apps entry starts it. That launcher
# waits for the window's process: it is wizard_launcher_pid, and wizard_launcher_end collects it.
wizard_open() {
    local title=$1 earlier
    shift
    wizard_window="" wizard_pid="" wizard_launcher_status=""
    earlier=$(wizard_windows "$title")
    (exec wine "$@" </dev/null >/dev/null 2>&1) &
    wizard_launcher_pid=$!
    wizard_window=$(wizard_find_window "$title" 60 "$earlier") || return 1
    wizard_pid=$(xdotool getwindowpid "$wizard_window" 2>/dev/null)
    wizard_geometry
    wizard_park_pointer
    wizard_settle
}

# wizard_launcher_end [SECONDS]: true once wizard_open's launcher has ended (30 s at most), its exit
# code then in wizard_launcher_status.
wizard_launcher_end() {
    local deadline=$((SECONDS + ${1:-30}))
    while kill -0 "$wizard_launcher_pid" 2>/dev/null; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.2
    done
    wizard_launcher_status=0
    wait "$wizard_launcher_pid" || wizard_launcher_status=$?
}

# wizard_keys KEY...: keys pressed on the program's window, as a keyboard user does.
wizard_keys() {
    xdotool windowfocus --sync "$wizard_window" 2>/dev/null
    xdotool key --delay 50 "$@"
}

# wizard_pick_folder WINDOWS_PATH: with the focus on a folder button, Enter opens the "Custom
# Folder" dialog, and the folder is typed into its name field and chosen with Enter. True once
# the dialog has gone.
wizard_pick_folder() {
    local X Y WIDTH HEIGHT WINDOW SCREEN
    wizard_keys Return
    wizard_popup "Custom Folder" 30 || return 1
    eval "$(xdotool getwindowgeometry --shell "$wizard_popup")"
    # The name field, just above the dialog's buttons: the keyboard goes where it is clicked.
    xdotool mousemove --sync $((X + WIDTH * 2 / 3)) $((Y + HEIGHT - 43)) click 1
    xdotool type --delay 10 "$1"
    xdotool key Return
    for _ in $(seq 1 50); do
        if ! xwininfo -id "$wizard_popup" 2>/dev/null | grep -q IsViewable; then
            wizard_popup=""
            wizard_park_pointer
            wizard_settle
            return 0
        fi
        sleep 0.2
    done
    return 1
}

# wizard_entry_value NAME: a value of the wizard's Apps entry as `reg query` prints it.
wizard_entry_value() {
    wine reg query "$wizard_entry_key" /v "$1" /reg:64 2>/dev/null | tr -d '\r' |
        sed -n "s/^ *$1 *REG_[A-Z_]* *//p"
}

# Visible windows with exactly this title that belong to a process of our prefix (another
# installer may be open on the same display, from another prefix).
wizard_windows() {
    local window pid
    for window in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null); do
        pid=$(xdotool getwindowpid "$window" 2>/dev/null) || continue
        if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
            echo "$window"
        fi
    done
    return 0
}

# wizard_find_window TITLE SECONDS [EARLIER]: the first of our windows with that title that is
# not in the list EARLIER, waiting for it up to SECONDS (0: look once).
wizard_find_window() {
    local deadline=$((SECONDS + $2)) window
    while :; do
        for window in $(wizard_windows "$1"); do
            grep -qx "$window" <<<"${3:-}" || { echo "$window"; return 0; }
        done
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.2
    done
}

# A visible window of the wizard's process other than the wizard itself and its popups with a
# title: the popup menu, which has none.
wizard_untitled_window() {
    local window
    for window in $(xdotool search --onlyvisible --pid "$wizard_pid" 2>/dev/null); do
        [ -z "$(xdotool getwindowname "$window" 2>/dev/null)" ] && { echo "$window"; return 0; }
    done
    return 1
}

wizard_geometry() {
    local X Y WIDTH HEIGHT WINDOW SCREEN
    eval "$(xdotool getwindowgeometry --shell "$wizard_window")"
    wizard_x=$X wizard_y=$Y wizard_width=$WIDTH wizard_height=$HEIGHT
}

# Client units to pixels: on the screen (wizard_px, wizard_py) or in a client-area shot.
wizard_scale() { echo $(($1 * wizard_width / wizard_client_width)); }
wizard_px() { echo $((wizard_x + $(wizard_scale "$1"))); }
wizard_py() { echo $((wizard_y + $(wizard_scale "$1"))); }

# Leaves the pointer over the header, where nothing reacts, so screenshots show no hover.
wizard_park_pointer() {
    xdotool mousemove --sync "$(wizard_px 600)" "$(wizard_py 20)"
}

# wizard_click "X Y" [BUTTON]: a click at a client point (the pointer stays there). The X
# server hands Wine the move before the press, and Wine keeps that order, so the control under
# the pointer knows the pointer is there when it is pressed.
wizard_click() {
    local x y
    read -r x y <<<"$1"
    xdotool mousemove --sync "$(wizard_px "$x")" "$(wizard_py "$y")"
    xdotool click "${2:-1}"
}

# wizard_press "X Y": a click on a wizard control, then the pointer leaves it.
wizard_press() {
    wizard_click "$1"
    wizard_park_pointer
}

# wizard_grab W H X Y OUTPUT...: a screen rectangle in pixels, as it is now; OUTPUT may be
# "-format ... info:" for a measure instead of a file. One ImageMagick process grabs and crops:
# on a loaded machine each process start costs a second.
wizard_grab() {
    local geometry="$1x$2+$3+$4"
    shift 4
    # Eight bits a channel, as a saved shot has: a measure of the screen and one of a shot of
    # it then agree.
    import -window root -crop "$geometry" +repage -depth 8 "$@"
}

# wizard_shot FILE: the wizard's client area (or a measure of it, as for wizard_grab).
wizard_shot() { wizard_grab "$wizard_width" "$wizard_height" "$wizard_x" "$wizard_y" "$@"; }

# wizard_window_shot WINDOW FILE: another window of the program (a popup, a menu).
wizard_window_shot() {
    local X Y WIDTH HEIGHT WINDOW SCREEN
    eval "$(xdotool getwindowgeometry --shell "$1")"
    wizard_grab "$WIDTH" "$HEIGHT" "$X" "$Y" "$2"
}

# The ImageMagick geometry (WxH+X+Y, pixels of a client-area shot) of an area in client units.
wizard_area() {
    local x y w h
    read -r x y w h <<<"$1"
    echo "$(wizard_scale "$w")x$(wizard_scale "$h")+$(wizard_scale "$x")+$(wizard_scale "$y")"
}

# wizard_measure FILE "X Y W H" FORMAT: an ImageMagick measure of an area (client units) of a
# client-area shot, e.g. '%#' (signature) or '%[fx:mean]' (brightness 0-1).
wizard_measure() {
    convert "$1" +repage -crop "$(wizard_area "$2")" +repage -format "$3" info:
}

# Pixels of an area (client units) of a shot bright enough to be text or a picture's highlight.
wizard_bright_pixels() {
    convert "$1" +repage -crop "$(wizard_area "$2")" +repage -colorspace Gray -threshold 60% \
        -format '%[fx:round(mean*w*h)]' info:
}

# wizard_pixel FILE "X Y": "R G B" (0-255) of a client point of a client-area shot.
wizard_pixel() {
    local x y
    read -r x y <<<"$2"
    convert "$1" -crop "1x1+$(wizard_scale "$x")+$(wizard_scale "$y")" \
        -format '%[fx:round(255*r)] %[fx:round(255*g)] %[fx:round(255*b)]' info:
}

# True when NEXT shows enabled (its blue pill) in a client-area shot.
wizard_next_enabled() {
    local r g b
    read -r r g b <<<"$(wizard_pixel "$1" "$wizard_next_sample")"
    [ "$b" -gt 150 ] && [ "$r" -lt 60 ]
}

# Waits until two shots of the client area a moment apart are the same (painting done). A window
# of one colour has not presented its first frame yet (X shows it black until then, for as long
# as a loaded machine makes it), however long it stays so.
wizard_settle() {
    local previous="" now
    for _ in $(seq 1 60); do
        now=$(wizard_shot -format '%k %#' info: 2>/dev/null)
        [ -n "$now" ] && [ "${now%% *}" -gt 1 ] && [ "$now" = "$previous" ] && return 0
        previous=$now
        sleep 0.3
    done
    return 1
}

# wizard_page_changes SECONDS: waits until the page area differs from what it is now, after the
# caller's next action (run it as: before=$(wizard_page_signature); action; wizard_page_changes).
wizard_page_signature() {
    local x y w h
    read -r x y w h <<<"$wizard_page_area"
    wizard_grab "$(wizard_scale "$w")" "$(wizard_scale "$h")" "$(wizard_px "$x")" \
        "$(wizard_py "$y")" -format '%#' info:
}
wizard_page_changes() {
    local before=$1 deadline=$((SECONDS + $2))
    while [ "$(wizard_page_signature)" = "$before" ]; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.3
    done
    wizard_settle
    return 0
}

# wizard_go "X Y" SECONDS: presses a control and waits for the page to change.
# wizard_page_is SIGNATURE SECONDS: waits until the page area is exactly that picture again (a
# page drawn part-way differs for a moment after it changes).
wizard_page_is() {
    local deadline=$((SECONDS + $2))
    until [ "$(wizard_page_signature)" = "$1" ]; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.3
    done
}

wizard_go() {
    local before
    before=$(wizard_page_signature)
    wizard_press "$1"
    wizard_page_changes "$before" "$2"
}

# wizard_popup TITLE [SECONDS]: waits for a popup window of the program; sets wizard_popup.
wizard_popup() {
    wizard_popup=$(wizard_find_window "$1" "${2:-10}")
    [ -n "$wizard_popup" ]
}

# wizard_answer KEY: a key press on the popup (Return = YES, Escape = NO), then waits until the
# popup has gone. The keyboard goes to the focused window; the popup has the focus once open.
wizard_answer() {
    local popup=$wizard_popup
    # With no window manager a key goes to X's input focus. That was once the pointer's root,
    # and the key then went to the wizard under the pointer, which the popup keeps disabled: the
    # popup stayed open. The focus is set until X reports it on the popup; should it never be,
    # the pointer rests on the popup, where a focus on the root sends the key.
    local focused=""
    for _ in $(seq 1 50); do
        xdotool windowfocus "$popup" 2>/dev/null
        [ "$(xdotool getwindowfocus 2>/dev/null)" = "$popup" ] && focused=1 && break
        sleep 0.2
    done
    [ -n "$focused" ] || xdotool mousemove --sync --window "$popup" 4 4
    xdotool key "$1"
    for _ in $(seq 1 50); do
        xdotool getwindowname "$popup" >/dev/null 2>&1 || break
        xwininfo -id "$popup" 2>/dev/null | grep -q IsViewable || break
        sleep 0.2
    done
    wizard_popup=""
}

# wizard_wait_run_end [SECONDS]: waits until the run shows its end: NEXT enabled ("FINISH", 0),
# or a failure popup (2, and wizard_popup is set). 1 when neither came in time.
wizard_wait_run_end() {
    local shot deadline status=1
    shot=$(mktemp --suffix=.png)
    deadline=$((SECONDS + ${1:-60}))
    while [ $SECONDS -lt $deadline ]; do
        if wizard_popup "Failed to install" 0; then
            status=2
            break
        fi
        wizard_shot "$shot"
        if wizard_next_enabled "$shot"; then
            wizard_settle
            status=0
            break
        fi
        sleep 0.2
    done
    rm -f "$shot"
    return $status
}

# wizard_install [SECONDS]: INSTALL pressed on the Versions page, then wizard_wait_run_end. The
# Versions page's INSTALL is the same blue pill as FINISH: the end is looked for only once the
# page has changed, or a press not yet taken would pass for a finished run.
wizard_install() {
    local before
    before=$(wizard_page_signature)
    wizard_press "$wizard_next_button"
    wizard_page_changes "$before" 30 || return 1
    wizard_wait_run_end "${1:-120}"
}

# wizard_wait_exit [SECONDS]: true once the wizard's process has ended.
wizard_wait_exit() {
    local deadline=$((SECONDS + ${1:-30}))
    while kill -0 "$wizard_pid" 2>/dev/null; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.2
    done
    return 0
}

# wizard_walk DIR NAME: the way a user goes, one screenshot per page into DIR/NAME-PAGE.png:
# welcome, license (from the footer link, left with BACK), versions, installing, finished.
# Returns 0 when the run ended with FINISH enabled, 2 on a failure popup, 1 when stuck.
wizard_walk() {
    local dir=$1 name=$2
    wizard_shot "$dir/$name-welcome.png"
    # The licence text is long; its first paint takes a while under Wine.
    wizard_go "$wizard_footer_link" 120 || return 1
    wizard_shot "$dir/$name-license.png"
    wizard_go "$wizard_back_button" 30 || return 1
    wizard_go "$wizard_next_button" 30 || return 1
    wizard_shot "$dir/$name-versions.png"
    # The Installing page shows its first state for a moment only (a short run ends within a
    # few timer ticks), so the first frame that differs is the one kept, without settling.
    local before deadline=$((SECONDS + 30))
    before=$(wizard_measure "$dir/$name-versions.png" "$wizard_page_area" '%#')
    wizard_click "$wizard_next_button"
    local frame="$dir/$name-installing.miff"
    local client="${wizard_width}x${wizard_height}+${wizard_x}+${wizard_y}"
    while [ $SECONDS -lt $deadline ]; do
        import -window root -crop "$client" "$frame"
        [ "$(wizard_measure "$frame" "$wizard_page_area" '%#')" != "$before" ] && break
    done
    convert "$frame" +repage "$dir/$name-installing.png"
    rm -f "$frame"
    wizard_park_pointer
    wizard_wait_run_end 120 || return $?
    wizard_shot "$dir/$name-finished.png"
}

# Every file the installer wrote under the prefix's drive C, with its size in bytes.
wizard_installed_files() {
    (cd "$WINEPREFIX/drive_c" &&
        find . -type f \( -path '*/Vantrel/Nimbic.aex' -o -path '*/ScriptUI Panels/Nimbic.jsx' \) \
            -printf '%s\t%p\n' | sort -t "$(printf '\t')" -k2 |
        while IFS=$'\t' read -r size path; do
            path=${path#./}
            printf '%10s  C:\\%s\n' "$size" "${path//\//\\}"
        done)
}
