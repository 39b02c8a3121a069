#!/usr/bin/env bash
# --help and --version answer on standard output and exit 0 before any
# window opens: run here with no display at all, where opening one fails.
# Arguments: the program, the expected version.
set -uo pipefail
exe=${1:?program}
version=${2:?version}
name=command_line
fail() { echo "[$name] FAIL: $*" >&2; exit 1; }

run()
{
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb timeout 10 "$exe" "$@" 2>"$err")
    rc=$?
}
err=$(mktemp) || fail "no temp file"
trap 'rm -f "$err"' EXIT

for option in --help -h; do
    run "$option"
    ((rc == 0)) || fail "$option exited with $rc: $(head -n 3 "$err")"
    [[ "$out" == "Usage: torvane-scoreboard"* ]] || fail "$option printed: $out"
    for word in Main.txt Resolution.ini F8; do
        [[ "$out" == *"$word"* ]] || fail "$option does not mention $word"
    done
    [[ ! -s "$err" ]] || fail "$option wrote to standard error: $(head -n 3 "$err")"
    echo "[$name] ok: $option"
done

run --version
((rc == 0)) || fail "--version exited with $rc"
[[ "$out" == "torvane-scoreboard $version" ]] || fail "--version printed '$out', expected 'torvane-scoreboard $version'"
echo "[$name] ok: --version prints '$out'"
