#!/usr/bin/env bash
# --help and --version answer on standard output and exit 0 before any
# window opens: run here with no display at all, where opening one fails.
# A --serve that cannot be served stops the program with one line on standard
# error before any window opens.
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
    for word in Main.txt Resolution.ini F8 --serve 0.0.0.0 --publish; do
        [[ "$out" == *"$word"* ]] || fail "$option does not mention $word"
    done
    [[ ! -s "$err" ]] || fail "$option wrote to standard error: $(head -n 3 "$err")"
    echo "[$name] ok: $option"
done

run --version
((rc == 0)) || fail "--version exited with $rc"
[[ "$out" == "torvane-scoreboard $version" ]] || fail "--version printed '$out', expected 'torvane-scoreboard $version'"
echo "[$name] ok: --version prints '$out'"

# A port held by another program; a window would need a display, which the
# off-screen platform stands in for, so a start that went too far would show.
held=$(mktemp) || fail "no temp file"
runtime=$(mktemp -d) || fail "no temp folder"
trap 'rm -rf "$err" "$held" "$runtime"; [[ -n "${holder:-}" ]] && kill "$holder" 2>/dev/null' EXIT
/usr/bin/python3 -c 'import socket, sys, time
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen()
print(s.getsockname()[1], flush=True); time.sleep(60)' >"$held" &
holder=$!
for _ in $(seq 50); do [[ -s "$held" ]] && break; sleep 0.1; done
taken=$(head -n 1 "$held")
[[ -n "$taken" ]] || fail "could not hold a port for the check"

# arguments | exit status | what standard error says
while IFS='|' read -r args status says; do
    read -ra argv <<<"$args"
    # A refused command line must not need a display: none is given to it.
    platform=offscreen
    ((status == 2)) && platform=xcb
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY XDG_RUNTIME_DIR=$runtime QT_QPA_PLATFORM=$platform timeout 10 \
        "$exe" "${argv[@]}" 2>"$err")
    rc=$?
    ((rc == status)) || fail "$args exited with $rc, expected $status: $(head -n 3 "$err")"
    [[ -z "$out" ]] || fail "$args printed: $out"
    first=$(head -n 1 "$err")
    grep -q -- "$says" <<<"$first" || fail "$args said '$(cat "$err")', expected it to mention '$says'"
    # The reason on one line; a refused command line adds the usage.
    rest=$(tail -n +2 "$err")
    if ((status == 2)); then
        [[ "$rest" == "Usage: torvane-scoreboard"* ]] || fail "$args gave no usage after the reason: $(cat "$err")"
    else
        [[ -z "$rest" ]] || fail "$args wrote more than one line: $(cat "$err")"
    fi
    echo "[$name] ok: $args -> $rc: $first"
done <<EOF2
--serve|2|needs \[ADDRESS:\]PORT
--serve 65536|2|the port must be a number
--serve=65536|2|the port must be a number
--server 8080|2|unknown option --server
--bogus|2|unknown option --bogus
--publish ftp://127.0.0.1/board/pub|2|--publish: .* is not an http
--serve venue.local:8080|1|not an IP address
--serve 127.0.0.1:$taken|1|cannot serve the board on 127.0.0.1:$taken
--serve 192.0.2.1:8080|1|cannot serve the board on 192.0.2.1:8080
EOF2
