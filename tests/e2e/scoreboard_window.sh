#!/usr/bin/env bash
# Started in a folder holding only the sample "Main.txt", as in a Wayland
# session with XWayland: the program takes the X11 layer by itself; the
# control window opens centred on the screen, frame included; F8 in the
# control window shows the frameless scoreboard at its default rectangle,
# pale yellow with red text on all twelve rows; Right and Left nudge it by
# 10 pixels; F8 in the scoreboard hides it again.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
e2e_require python3 import
e2e_start_x 2400x800x24
e2e_copy_sample
# Started as in a Wayland session with XWayland: the program must ask for the
# X11 layer itself, or the board could not place itself.
unset QT_QPA_PLATFORM
export WAYLAND_DISPLAY=scb-no-wayland XDG_SESSION_TYPE=wayland
e2e_start_app
! grep -qi wayland "$E2E_TMP/app.log" || e2e_fail "the program tried Wayland: $(grep -i wayland "$E2E_TMP/app.log")"
e2e_ok "under a Wayland session it runs on the X11 layer by itself"

e2e_until 3 e2e_is_centred "$E2E_CONTROL" 2400 800 ||
    e2e_fail "control window's frame centred at $(e2e_frame_centre2 "$E2E_CONTROL") (doubled), expected 2400 800"
e2e_ok "the control window is centred on the 2400x800 screen, frame included"

e2e_show_board "801 0 800 600"
e2e_ok "F8 shows the scoreboard at 801,0 800x600"

extents=$(xprop -id "$E2E_BOARD" _NET_FRAME_EXTENTS 2>/dev/null)
[[ "$extents" == *"= 0, 0, 0, 0" ]] || e2e_fail "the scoreboard has a frame: $extents"
e2e_ok "no window-manager frame ($extents)"

# The rows arrive at the first poll tick.
E2E_LAST_PATTERN=
e2e_until 3 e2e_board_shows 111111111111 ||
    e2e_fail "expected red text on all twelve rows, saw $E2E_LAST_PATTERN"

border=2 row_height=50
shot="$E2E_TMP/board.ppm"
# One background pixel per row: text is drawn from the top of its row, so the
# lower right of a row is background.
answers=$(for row in $(seq 0 11); do
    top=$((border + row * row_height))
    echo "rgb 700 $((top + 44))"
done | e2e_pixels "$shot" -) || e2e_fail "could not read the screenshot"
mapfile -t answer <<<"$answers"
for row in $(seq 0 11); do
    rgb=${answer[row]}
    [[ "$rgb" == "255 255 128" ]] || e2e_fail "row $row background is '$rgb', expected pale yellow 255 255 128"
done
e2e_ok "pale yellow background and red text on rows 0-11"

e2e_key "$E2E_BOARD" Right
e2e_until 2 e2e_geometry_is "$E2E_BOARD" "811 0 800 600" ||
    e2e_fail "Right left the scoreboard at '$(e2e_geometry "$E2E_BOARD")', expected x 811"
e2e_ok "Right moves it to x 811"
e2e_key "$E2E_BOARD" Left
e2e_until 2 e2e_geometry_is "$E2E_BOARD" "801 0 800 600" ||
    e2e_fail "Left left the scoreboard at '$(e2e_geometry "$E2E_BOARD")', expected x 801"
e2e_ok "Left moves it back to x 801"

e2e_key "$E2E_BOARD" F8
e2e_until 3 e2e_is_unmapped "$E2E_BOARD" || e2e_fail "F8 in the scoreboard did not hide it"
e2e_app_running || e2e_fail "the program ended"
e2e_ok "F8 in the scoreboard hides it; the program keeps running"
