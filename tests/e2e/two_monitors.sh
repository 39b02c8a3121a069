#!/usr/bin/env bash
# A desktop of two monitors side by side: a 800-pixel-wide primary and a
# second one from x 800 on. The scoreboard's default rectangle (801,0
# 800x600) puts it wholly on the second monitor, drawn there.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
e2e_require xrandr xrdb python3 import
e2e_start_x 2400x800x24

if ! xrandr --setmonitor primary-800 800/211x800/211+0+0 screen >>"$E2E_TMP/xrandr.log" 2>&1 ||
    ! xrandr --setmonitor second-1600 1600/423x800/211+800+0 none >>"$E2E_TMP/xrandr.log" 2>&1; then
    e2e_skip "this X server cannot split its screen into monitors (xrandr --setmonitor failed)"
fi
monitors=$(xrandr --listmonitors)
printf '    %s\n' "${monitors//$'\n'/$'\n'    }"
(($(echo "$monitors" | grep -c '^ *[0-9]*:') == 2)) || e2e_fail "expected two monitors"

# "W/mmxH/mm+X+Y" of the named monitor as "X Y W H".
monitor_rect()
{
    echo "$monitors" | awk -v name="$1" '$2 ~ "^[+*]*" name "$" {
        split($3, a, /[x+]/); split(a[1], w, "/"); split(a[2], h, "/")
        print a[3], a[4], w[1], h[1] }'
}
read -r mx my mw mh <<<"$(monitor_rect second-1600)"
[[ "$mx $my $mw $mh" == "800 0 1600 800" ]] || e2e_fail "second monitor reads '$mx $my $mw $mh'"

e2e_copy_sample
e2e_start_app
e2e_show_board "801 0 800 600"
read -r bx by bw bh <<<"$(e2e_geometry "$E2E_BOARD")"
((bx >= mx && by >= my && bx + bw <= mx + mw && by + bh <= my + mh)) ||
    e2e_fail "scoreboard $bx,$by ${bw}x$bh is not inside the second monitor $mx,$my ${mw}x$mh"
e2e_ok "scoreboard $bx,$by ${bw}x$bh lies inside the second monitor $mx,$my ${mw}x$mh"

E2E_LAST_PATTERN=
e2e_until 3 e2e_board_shows 111111111111 ||
    e2e_fail "expected text on all twelve rows on the second monitor, saw $E2E_LAST_PATTERN"
e2e_ok "the start list is drawn there"

# Scaled to 150 % (Xft.dpi 144), the toolkit reaches two desktop pixels in
# three, counted from the monitor's left edge: 801 is 1 past it, out of reach,
# and the board takes the nearest pixel, 802. Left and Right step 10 pixels
# from where the boxes put it, each to the nearest pixel in reach, so the
# board comes back exactly where it started.
e2e_close_by_window_manager "$E2E_CONTROL"
e2e_until 5 e2e_app_gone || e2e_fail "Alt+F4 on the control window did not end the program"
echo "Xft.dpi: 144" | xrdb -merge || e2e_fail "could not set Xft.dpi"
e2e_start_app
e2e_show_board "802 0 800 600"
e2e_ok "at 150 % the scoreboard lands on 802, the pixel in reach nearest 801"
for step in "Right 811" "Right 821" "Left 811" "Left 802"; do
    read -r key x <<<"$step"
    e2e_key "$E2E_BOARD" "$key"
    e2e_until 2 e2e_geometry_is "$E2E_BOARD" "$x 0 800 600" ||
        e2e_fail "$key left the scaled scoreboard at '$(e2e_geometry "$E2E_BOARD")', expected x $x"
done
e2e_ok "at 150 % Right, Right, Left, Left go to 811, 821, 811 and back to 802"
