#!/usr/bin/env bash
# Closing the control window through the window manager (Alt+F4) writes the
# thirteen-line "Resolution.ini" with CR LF line ends into the folder the
# program was started from; the next start reads it back.
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

sed -i 's/^SLeft=801\r$/SLeft=700\r/' "$ini"
grep -q $'^SLeft=700\r$' "$ini" || e2e_fail "could not edit SLeft"
e2e_start_app
e2e_show_board "700 0 800 600"
e2e_ok "second start reads SLeft=700: F8 shows the scoreboard at 700,0"

close_by_window_manager
line=$(sed -n 2p "$ini")
[[ "$line" == $'SLeft=700\r' ]] || e2e_fail "second close wrote '${line%$'\r'}' as line 2, expected SLeft=700"
(($(wc -l <"$ini") == 13)) || e2e_fail "second close wrote $(wc -l <"$ini") lines"
e2e_ok "second close keeps SLeft=700"
