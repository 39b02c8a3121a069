#!/usr/bin/env bash
# The competition program rewrites "Main.txt" while the scoreboard is shown:
# the new rows reach the screen within two seconds. The new file starts with
# the "TIME:" marker, so its first line is shown, and it is shorter, so the
# rows below it go blank.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
e2e_require python3 import
e2e_start_x 2400x800x24
e2e_copy_sample
e2e_start_app
e2e_show_board "801 0 800 600"

E2E_LAST_PATTERN=
e2e_until 4 e2e_board_shows 111111111111 ||
    e2e_fail "the sample start list should fill all twelve rows, saw $E2E_LAST_PATTERN"
e2e_ok "start list on all twelve rows"

sleep 0.3
start=$(e2e_now_ms)
printf '%s\r\n' "TIME: 00:01:27" "RESULTS" " 1  SPAIN          93.1000" \
    " 2  UKRAINE        92.4000" " 3  ITALY          90.7000" " 4  GREECE         88.2000" \
    >"$E2E_TMP/work/Main.txt"

expected=111111000000
seen=
while true; do
    taken=$(e2e_now_ms)
    ((taken - start <= 2000)) || break
    if e2e_board_shows "$expected"; then
        seen="$((taken - start))-$(($(e2e_now_ms) - start))"
        break
    fi
done
[[ -n "$seen" ]] || e2e_fail "2 s after the rewrite the rows read $E2E_LAST_PATTERN, expected $expected"
e2e_ok "rewritten file on the board in a screenshot taken $seen ms after the rewrite (rows $expected)"
