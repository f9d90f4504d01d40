#!/usr/bin/env bash
# The gallery as a person sees it: start zk-gallery.exe under Wine in a real X window, take
# screenshots into the artifacts folder, and check that clicks, a check box and the wheel
# change what is on screen.
# Usage: gallery_test.sh BUILD_DIR ARTIFACT_DIR
set -u
source "$(dirname "$(readlink -f "$0")")/e2e_common.sh"
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all
e2e_display
app=""
# Escape closes the gallery; the prefix is shared with other tests, so no wineserver -k.
stop_app() {
    [ -n "$app" ] || return 0
    [ -n "${window:-}" ] && xdotool key --window "$window" Escape 2>/dev/null
    for _ in $(seq 1 50); do
        kill -0 "$app" 2>/dev/null || break
        sleep 0.1
    done
    kill "$app" 2>/dev/null
    app=""
}
cleanup() {
    stop_app
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT

# Distinct colours in the client area of a screenshot: a handful means nothing is drawn yet.
colours_in() {
    convert "$1" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage -unique-colors -format '%w' info:
}

# start_page ARGUMENT TITLE: runs the gallery and sets window, X, Y, WIDTH, HEIGHT.
start_page() {
    (cd "$build" && exec wine "$build/tools/zk-gallery.exe" "$1") &
    app=$!
    # xdotool's own wait gives up when some other window goes away during its search (the last
    # page closing), so the search is asked again.
    window=""
    for _ in $(seq 1 300); do
        window=$(xdotool search --onlyvisible --name "$2" 2>/dev/null | head -1)
        [ -n "$window" ] && break
        sleep 0.2
    done
    [ -n "$window" ] || return 1
    eval "$(xdotool getwindowgeometry --shell "$window")"
    # On a busy machine the first frame can take a few seconds after the window shows; then it
    # is drawn once two shots in a row are the same.
    local previous="" now
    for _ in $(seq 1 75); do
        shot first.png
        if [ "$(colours_in "$artifacts/first.png")" -gt 8 ]; then
            now=$(area "$artifacts/first.png" "$WIDTH" "$HEIGHT" 0 0)
            [ "$now" = "$previous" ] && break
            previous=$now
        fi
        sleep 0.2
    done
    rm -f "$artifacts/first.png"
}

# Signature of a client-area rectangle (W H LEFT TOP) of a screenshot.
area() { convert "$1" -crop "$2x$3+$((X + $4))+$((Y + $5))" +repage -format '%#' info:; }
shot() { import -window root "$artifacts/$1"; }

# changes W H LEFT TOP BEFORE: waits until the client rectangle differs from the signature
# BEFORE and then stays the same between two shots (10 s at most); the last shot is after.png.
changes() {
    local previous=$5 now
    for _ in $(seq 1 50); do
        shot after.png
        now=$(area "$artifacts/after.png" "$1" "$2" "$3" "$4")
        [ "$now" != "$5" ] && [ "$now" = "$previous" ] && return 0
        previous=$now
        sleep 0.2
    done
    return 1
}

# Clicks client point (x, y) and tells whether the rectangle (w h left top) changed.
changes_on_click() {
    shot before.png
    local before
    before=$(area "$artifacts/before.png" "$3" "$4" "$5" "$6")
    xdotool mousemove --sync $((X + $1)) $((Y + $2)) click "${7:-1}"
    changes "$3" "$4" "$5" "$6" "$before"
}

"$scripts/wine-prefix" "$WINEPREFIX"

if start_page layouts "Nimbic toolkit gallery"; then
    passes=$((passes + 1))
    shot gallery.png
    colours=$(colours_in "$artifacts/gallery.png")
    check "the gallery draws more than a blank area" '[ "${colours:-0}" -gt 8 ]'
    # The click panel: (510, 120), 290 x 60.
    check "a click repaints the click panel" 'changes_on_click 600 150 200 40 555 130'
    # The tooltip panel at (220, 200): rest on it, and the tooltip appears below the pointer.
    xdotool mousemove --sync $((X + 300)) $((Y + 225))
    shot before.png
    xdotool mousemove --sync $((X + 302)) $((Y + 226))
    check "resting on a widget shows its tooltip" \
        'changes 200 40 290 255 "$(area "$artifacts/before.png" 200 40 290 255)"'
    mv "$artifacts/after.png" "$artifacts/tooltip.png"
else
    check "the gallery window appears" false
fi
stop_app

if start_page controls "Nimbic toolkit controls"; then
    passes=$((passes + 1))
    shot controls.png
    # "Toggle off" at (280, 60), 120 x 32; "Unchecked" at (20, 115), 150 x 24; the scrolled list
    # at (20, 160), 300 x 180, scrolled by a wheel notch down (button 5).
    check "a click toggles a button" 'changes_on_click 340 76 110 28 285 62'
    check "a click ticks a check box" 'changes_on_click 30 127 20 20 22 117'
    check "the wheel scrolls the list" 'changes_on_click 170 250 280 160 30 170 5'
    shot controls-after.png
    # A right click on (360, 350) opens the popup menu next to the pointer.
    check "a right click opens the popup menu" 'changes_on_click 400 370 120 60 405 380 3'
    shot popup-menu.png
    xdotool key Escape
else
    check "the controls window appears" false
fi
stop_app
rm -f "$artifacts/before.png" "$artifacts/after.png"

echo "gallery e2e: $passes passed, $failures failed"
[ $failures -eq 0 ]
