# Sourced by the end-to-end tests, which all take BUILD_DIR ARTIFACT_DIR: sets build, artifacts
# and scripts, counts checks, and gives the test an X display (a private Xvfb when none is set,
# whose process the test stops: xvfb_pid).
build=$(readlink -f "$1")
artifacts=$2
scripts=$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/../../scripts
mkdir -p "$artifacts"

passes=0 failures=0
# check DESCRIPTION CONDITION: counts the condition (evaluated) as passed or failed.
check() { if eval "$2"; then passes=$((passes + 1)); else echo "FAIL: $1"; failures=$((failures + 1)); fi; }

e2e_display() {
    [ -n "${DISPLAY:-}" ] && return 0
    read -r DISPLAY xvfb_pid < <("$scripts/xvfb-start") || { echo "no X server"; exit 1; }
    export DISPLAY
}
