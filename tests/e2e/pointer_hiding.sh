#!/usr/bin/env bash
# With the scoreboard shown and active, a mouse pointer that rests over it
# disappears (the X server shows an all-transparent cursor), comes back at
# the next timer tick after the mouse moves, and comes back at once when
# the control window is activated.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
e2e_require cc
probe="$E2E_TMP/cursor-probe"
cc -std=c99 -O1 -o "$probe" "$E2E_DIR/cursor-probe.c" -lX11 -lXfixes >"$E2E_TMP/cc.log" 2>&1 ||
    e2e_skip "cannot build the XFixes cursor probe (libx11-dev, libxfixes-dev): $(head -n 1 "$E2E_TMP/cc.log")"
e2e_start_x 2400x800x24
e2e_copy_sample
e2e_start_app

cursor_is() { [[ "$("$probe" 2>>"$E2E_TMP/probe.log")" == "$1"* ]]; }

xdotool mousemove 1200 300 || e2e_fail "xdotool mousemove failed"
e2e_until 2 cursor_is visible || e2e_fail "the pointer is not visible before the test starts"
e2e_show_board "801 0 800 600"
e2e_until 3 e2e_is_active "$E2E_BOARD" || e2e_fail "the shown scoreboard is not the active window"

sleep 2.5
e2e_until 1 cursor_is blank || e2e_fail "after 2.5 s at rest over the board the pointer is '$("$probe")', expected blank"
e2e_ok "pointer hidden after resting over the active scoreboard"

xdotool mousemove 1210 310
start=$(e2e_now_ms)
e2e_until 1.5 cursor_is visible || e2e_fail "1.5 s after moving the mouse the pointer is still blank"
e2e_ok "pointer visible again $(($(e2e_now_ms) - start)) ms after the mouse moved"

e2e_until 3 cursor_is blank || e2e_fail "the pointer did not hide again at rest"
timeout 5 xdotool windowactivate --sync "$E2E_CONTROL" >/dev/null 2>&1 || e2e_fail "could not activate the control window"
start=$(e2e_now_ms)
e2e_until 0.9 cursor_is visible || e2e_fail "activating the control window left the pointer hidden"
e2e_ok "activating the control window shows the pointer at once ($(($(e2e_now_ms) - start)) ms)"
sleep 1.5
cursor_is visible || e2e_fail "the pointer hid again while the control window is active"
e2e_ok "and it stays visible while the control window is active"
