#!/usr/bin/env bash
# Closing the control window through the window manager (Alt+F4) writes the
# thirteen-line "Resolution.ini" with CR LF line ends into the folder the
# program was started from; the next start reads it back, and the box for a
# picture that does not load leaves the control window centred.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
e2e_start_x 2400x800x24
e2e_copy_sample
work=$(cd "$E2E_TMP/work" && pwd -P)
ini="$work/Resolution.ini"

close_by_window_manager()
{
    e2e_close_by_window_manager "$E2E_CONTROL"
    e2e_until 5 e2e_app_gone || e2e_fail "Alt+F4 on the control window did not end the program"
    [[ -f "$ini" ]] || e2e_fail "no Resolution.ini in the start folder after closing"
}

e2e_start_app
[[ ! -e "$ini" ]] || e2e_fail "Resolution.ini exists before the first close"
sleep 1.2 # let the first poll tick pick up Main.txt
close_by_window_manager

expected="$E2E_TMP/expected.ini"
printf '%s\r\n' "[Settings]" "SLeft=801" "STop=0" "SWidth=800" "SHeight=600" "BColor=8454143" \
    "ShowBorder=1" "FName=Arial" "FSize=18" "FBold=1" "FColor=255" \
    "DisplayFile=$work/Main.txt" "BackgroundImage=" >"$expected"
if ! cmp -s "$expected" "$ini"; then
    echo "--- expected" >&2; cat -A "$expected" >&2
    echo "--- written" >&2; cat -A "$ini" >&2
    e2e_fail "Resolution.ini differs from the thirteen default lines"
fi
e2e_ok "closing wrote the thirteen default lines with CR LF"

# The second start also names a background picture that is no picture.
echo "no picture" >"$work/logo.bmp"
sed -i -e 's/^SLeft=801\r$/SLeft=700\r/' -e "s|^BackgroundImage=\r\$|BackgroundImage=$work/logo.bmp\r|" "$ini"
grep -q $'^SLeft=700\r$' "$ini" || e2e_fail "could not edit SLeft"
grep -q "^BackgroundImage=$work/logo.bmp"$'\r$' "$ini" || e2e_fail "could not edit BackgroundImage"
e2e_launch_app

# Its box comes up before the control window and holds it back; the operator
# reads it for longer than the window manager takes to frame a window, and the
# control window must still open centred, frame included.
find_box() { box=$(xdotool search --onlyvisible --name '^Torvane Scoreboard$' 2>/dev/null | head -n 1); [[ -n "$box" ]]; }
e2e_until 10 find_box || e2e_fail "no box for the picture that is no picture"
e2e_until 3 e2e_is_centred "$box" 2400 800 ||
    e2e_fail "the box's frame centred at $(e2e_frame_centre2 "$box") (doubled), expected 2400 800"
sleep 3
# The box is gone before the key is released, so xdotool's status means nothing.
timeout 5 xdotool windowactivate --sync "$box" >/dev/null 2>&1
timeout 5 xdotool key Return >/dev/null 2>&1
e2e_until 5 e2e_find_control || e2e_fail "the control window did not appear after the box"
e2e_until 3 e2e_is_centred "$E2E_CONTROL" 2400 800 ||
    e2e_fail "after the box the control window's frame is centred at $(e2e_frame_centre2 "$E2E_CONTROL") (doubled), expected 2400 800"
e2e_ok "a box at start-up, read slowly, leaves the control window centred"

e2e_show_board "700 0 800 600"
e2e_ok "second start reads SLeft=700: F8 shows the scoreboard at 700,0"

close_by_window_manager
line=$(sed -n 2p "$ini")
[[ "$line" == $'SLeft=700\r' ]] || e2e_fail "second close wrote '${line%$'\r'}' as line 2, expected SLeft=700"
(($(wc -l <"$ini") == 13)) || e2e_fail "second close wrote $(wc -l <"$ini") lines"
e2e_ok "second close keeps SLeft=700"
