#!/usr/bin/env bash
# nimbic-pack as builders and support staff run it: the build's package extracts to the source
# byte for byte with its write time, create/list round-trips, and a damaged package exits with
# the extractor's code and one line of explanation.
set -u
runner=$1 pack=$2 package=$3 scripts=$4 work=$5
failures=0
passes=0
check() { if eval "$2"; then passes=$((passes + 1)); else echo "FAIL: $1"; failures=$((failures + 1)); fi; }
run() { $runner "$pack" "$@"; }

rm -rf "$work" && mkdir -p "$work"
run extract "$package" "$work/out" 2>"$work/err"; status=$?
check "extracting the shipped package succeeds" '[ $status -eq 0 ] && [ ! -s "$work/err" ]'
check "the script is byte-identical" 'cmp -s "$scripts/ScriptUI Panels/Nimbic.jsx" "$work/out/ScriptUI Panels/Nimbic.jsx"'
check "the script keeps its write time" '[ "$(stat -c %Y "$work/out/ScriptUI Panels/Nimbic.jsx")" = 1584976883 ]'

run list "$package" | tr -d '\r' >"$work/list"
check "list shows one folder and one file record" \
    '[ "$(head -1 "$work/list")" = "folder	ScriptUI Panels" ] && grep -q "^file	ScriptUI Panels\\\\Nimbic.jsx	4084	[0-9]*	[0-9]*	1647261376	1584976883$" "$work/list"'

mkdir -p "$work/tree/sub/deeper" && printf 'hello' >"$work/tree/sub/deeper/a.txt" && printf '' >"$work/tree/empty.txt"
touch -d @1600000000 "$work/tree/sub/deeper/a.txt"
run create "$work/tree.pkg" --from "$work/tree"; status=$?
check "create succeeds" '[ $status -eq 0 ]'
run extract "$work/tree.pkg" "$work/tree-out"
check "a created package round-trips" 'cmp -s "$work/tree/sub/deeper/a.txt" "$work/tree-out/sub/deeper/a.txt" && [ -f "$work/tree-out/empty.txt" ]'
check "file times default to the file's own" '[ "$(stat -c %Y "$work/tree-out/sub/deeper/a.txt")" = 1600000000 ]'

if [ -z "$runner" ]; then # Wine's view of a link to nothing is its own
    ln -s "$work/nowhere" "$work/tree/broken.txt"
    run create "$work/tree.pkg" --from "$work/tree" 2>"$work/err"; status=$?
    check "an unreadable input fails with one line and leaves no package" \
        '[ $status -eq 1 ] && [ "$(wc -l <"$work/err")" -eq 1 ] && [ ! -e "$work/tree.pkg" ] && [ ! -e "$work/tree.pkg.partial" ]'
    rm "$work/tree/broken.txt"
fi

head -c 30 "$package" >"$work/cut.pkg"
run extract "$work/cut.pkg" "$work/cut-out" 2>"$work/err"; status=$?
check "a cut package exits with code 12 and one line" '[ $status -eq 12 ] && [ "$(wc -l <"$work/err")" -eq 1 ]'
printf 'nope' >"$work/bad.pkg"
run extract "$work/bad.pkg" "$work/bad-out" 2>/dev/null; status=$?
check "bad magic exits with code 11" '[ $status -eq 11 ]'
run bogus 2>/dev/null; status=$?
check "an unknown command is a usage error" '[ $status -eq 2 ]'

echo "nimbic-pack: $passes passed, $failures failed"
[ $failures -eq 0 ]
