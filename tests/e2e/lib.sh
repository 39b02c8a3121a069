# Shared by the end-to-end checks: a private X server with a window manager,
# the real program started in a scratch folder, bounded waits, screenshots,
# and a cleanup that ends every process started here, pass or fail.
#
# A check sources this file, calls e2e_init "$@" (argument 1: the program),
# then the e2e_* helpers. Exit 77 means "skipped"; ctest maps it via
# SKIP_RETURN_CODE.

set -uo pipefail

E2E_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
E2E_NAME=$(basename "$0" .sh)
E2E_PIDS=()
E2E_TMP=
E2E_EXE=
E2E_APP_PID=
E2E_CONTROL=
E2E_BOARD=

# Kept for a failed run so the screenshots and logs can be looked at.
E2E_KEEP=${E2E_KEEP_DIR:-${TMPDIR:-/tmp}/scb-e2e-failed}

e2e_log() { echo "[$E2E_NAME ${SECONDS}s] $*"; }
e2e_ok() { echo "[$E2E_NAME ${SECONDS}s] ok: $*"; }

e2e_skip()
{
    echo "[$E2E_NAME] SKIP: $*"
    exit 77
}

e2e_fail()
{
    echo "[$E2E_NAME] FAIL: $*" >&2
    if [[ -n "$E2E_TMP" && -d "$E2E_TMP" ]]; then
        local keep="$E2E_KEEP/$E2E_NAME"
        rm -rf "$keep" && mkdir -p "$keep" && cp -r "$E2E_TMP"/. "$keep"/ 2>/dev/null
        echo "[$E2E_NAME] logs and screenshots kept in $keep" >&2
        for log in "$E2E_TMP"/*.log; do
            [[ -s "$log" ]] || continue
            echo "--- $(basename "$log") (last lines)" >&2
            tail -n 15 "$log" >&2
        done
    fi
    exit 1
}

e2e_require()
{
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null 2>&1 ||
            e2e_skip "'$tool' is not installed (tools/install-deps lists the packages)"
    done
}

# Ends what we started, newest first: TERM, a short grace, then KILL.
e2e_cleanup()
{
    local rc=$?
    trap - EXIT INT TERM
    local i pid
    for ((i = ${#E2E_PIDS[@]} - 1; i >= 0; i--)); do
        pid=${E2E_PIDS[i]}
        kill -TERM "$pid" 2>/dev/null
    done
    for ((i = 0; i < 20; i++)); do
        local alive=0
        for pid in "${E2E_PIDS[@]}"; do
            kill -0 "$pid" 2>/dev/null && alive=1
        done
        ((alive)) || break
        sleep 0.1
    done
    for pid in "${E2E_PIDS[@]}"; do
        kill -KILL "$pid" 2>/dev/null
    done
    wait 2>/dev/null
    [[ -n "$E2E_TMP" ]] && rm -rf "$E2E_TMP"
    exit "$rc"
}

e2e_init()
{
    E2E_EXE=${1:-}
    [[ -n "$E2E_EXE" && -x "$E2E_EXE" ]] || e2e_fail "program not found: '${E2E_EXE}'"
    trap e2e_cleanup EXIT
    trap 'e2e_log "interrupted"; exit 130' INT
    trap 'e2e_log "stopped (time limit?)"; exit 143' TERM
    E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/scb-e2e.XXXXXX") || e2e_fail "no temp folder"
    mkdir -p "$E2E_TMP/work" "$E2E_TMP/runtime" "$E2E_TMP/config"
    chmod 700 "$E2E_TMP/runtime"
    export XDG_RUNTIME_DIR="$E2E_TMP/runtime" XDG_CONFIG_HOME="$E2E_TMP/config"
    unset WAYLAND_DISPLAY
    export QT_QPA_PLATFORM=xcb
}

# e2e_until SECONDS COMMAND...: runs COMMAND every 0.1 s until it succeeds;
# fails (status 1) once SECONDS have passed. Never waits longer.
e2e_until()
{
    local limit_ms end
    limit_ms=$(awk -v s="$1" 'BEGIN { printf "%d", s * 1000 }')
    shift
    end=$(($(e2e_now_ms) + limit_ms))
    while true; do
        "$@" && return 0
        (($(e2e_now_ms) >= end)) && return 1
        sleep 0.1
    done
}

e2e_now_ms() { echo $(($(date +%s%N) / 1000000)); }

# Starts Xvfb on a display it picks itself (no clash with other runs) and
# openbox on it. Argument: screen geometry, e.g. 2400x800x24.
e2e_start_x()
{
    local geometry=${1:-2400x800x24}
    e2e_require Xvfb openbox xdotool xwininfo xprop
    local fdfile="$E2E_TMP/displayfd"
    : >"$fdfile"
    Xvfb -displayfd 3 -screen 0 "$geometry" -noreset -nolisten tcp \
        3>"$fdfile" >"$E2E_TMP/xvfb.log" 2>&1 &
    local xvfb=$!
    E2E_PIDS+=("$xvfb")
    e2e_until 10 test -s "$fdfile" || e2e_fail "Xvfb did not report a display"
    kill -0 "$xvfb" 2>/dev/null || e2e_fail "Xvfb exited at start"
    DISPLAY=":$(tr -dc 0-9 <"$fdfile")"
    export DISPLAY
    e2e_until 10 xprop -root >/dev/null 2>&1 || e2e_fail "X server on $DISPLAY does not answer"

    openbox --sm-disable >"$E2E_TMP/openbox.log" 2>&1 &
    E2E_PIDS+=("$!")
    e2e_until 10 e2e_wm_ready || e2e_fail "openbox did not come up"
    e2e_log "X server $DISPLAY ($geometry) with openbox"
}

e2e_wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

# Puts the sample display file into the scratch folder the program runs in.
e2e_copy_sample()
{
    cp "$E2E_DIR/../../demo/Main.txt" "$E2E_TMP/work/Main.txt" || e2e_fail "no demo/Main.txt"
}

# Starts the program in the scratch folder.
e2e_launch_app()
{
    (cd "$E2E_TMP/work" && exec "$E2E_EXE") >>"$E2E_TMP/app.log" 2>&1 &
    E2E_APP_PID=$!
    E2E_PIDS+=("$E2E_APP_PID")
    E2E_CONTROL=
}

# Starts the program and waits for its control window.
e2e_start_app()
{
    e2e_launch_app
    e2e_until 10 e2e_find_control || e2e_fail "the control window did not appear"
    e2e_until 5 e2e_is_active "$E2E_CONTROL" || e2e_log "note: control window not active yet"
}

e2e_find_control()
{
    E2E_CONTROL=$(xdotool search --onlyvisible --name '^Torvane Zentrack Scoreboard Version' 2>/dev/null | head -n 1)
    [[ -n "$E2E_CONTROL" ]]
}

e2e_find_board()
{
    E2E_BOARD=$(xdotool search --name '^ResultsForm$' 2>/dev/null | head -n 1)
    [[ -n "$E2E_BOARD" ]]
}

e2e_app_running() { [[ -n "$E2E_APP_PID" ]] && kill -0 "$E2E_APP_PID" 2>/dev/null; }
e2e_app_gone() { ! e2e_app_running; }

e2e_is_active() { [[ "$(xdotool getactivewindow 2>/dev/null)" == "$1" ]]; }

e2e_is_mapped() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }
e2e_is_unmapped() { ! e2e_is_mapped "$1"; }

# Prints "X Y W H" of a window's client area in root coordinates.
e2e_geometry()
{
    xwininfo -id "$1" 2>/dev/null | awk '
        /Absolute upper-left X:/ { x = $NF }
        /Absolute upper-left Y:/ { y = $NF }
        /^ *Width:/ { w = $NF }
        /^ *Height:/ { h = $NF }
        END { if (w != "") print x, y, w, h }'
}

e2e_geometry_is() { [[ "$(e2e_geometry "$1")" == "$2" ]]; }

# The centre of a window's frame, doubled so an odd size needs no rounding:
# "2X 2Y".
e2e_frame_centre2()
{
    local x y w h left right top bottom
    read -r x y w h <<<"$(e2e_geometry "$1")"
    IFS=', ' read -r left right top bottom <<<"$(xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed 's/.*= //')"
    [[ -n "$bottom" ]] || return 1
    echo "$((2 * (x - left) + left + w + right)) $((2 * (y - top) + top + h + bottom))"
}

# e2e_is_centred WINDOW SCREEN_W SCREEN_H: its frame is centred on the screen
# to within half a pixel.
e2e_is_centred()
{
    local cx cy
    read -r cx cy <<<"$(e2e_frame_centre2 "$1")" || return 1
    ((cx >= $2 - 1 && cx <= $2 + 1 && cy >= $3 - 1 && cy <= $3 + 1))
}

# Activates a window through the window manager, then presses KEY in it.
e2e_key()
{
    local window=$1
    shift
    timeout 5 xdotool windowactivate --sync "$window" >/dev/null 2>&1 ||
        e2e_log "note: could not activate window $window"
    timeout 5 xdotool key --window "$window" "$@" || e2e_fail "xdotool key $* failed"
}

# Alt+F4, which openbox binds to closing the active window the polite way
# (WM_DELETE_WINDOW). The window may be gone before the key is released, so
# xdotool's own status means nothing here; the caller checks the outcome.
e2e_close_by_window_manager()
{
    timeout 5 xdotool windowactivate --sync "$1" >/dev/null 2>&1 ||
        e2e_log "note: could not activate window $1"
    timeout 5 xdotool key alt+F4 >/dev/null 2>&1
    return 0
}

# F8 in the control window, then the board must be mapped at GEOMETRY.
e2e_show_board()
{
    local expected=$1
    e2e_key "$E2E_CONTROL" F8
    e2e_until 5 e2e_find_board || e2e_fail "F8 created no window named ResultsForm"
    e2e_until 5 e2e_is_mapped "$E2E_BOARD" || e2e_fail "F8 did not show the scoreboard"
    e2e_until 3 e2e_geometry_is "$E2E_BOARD" "$expected" ||
        e2e_fail "scoreboard at '$(e2e_geometry "$E2E_BOARD")', expected '$expected'"
}

# Screenshot of a root-window rectangle (W H X Y) into $E2E_TMP/NAME.ppm.
e2e_shot()
{
    local name=$1 w=$2 h=$3 x=$4 y=$5
    timeout 10 import -silent -window root -depth 8 -crop "${w}x${h}+${x}+${y}" +repage \
        "ppm:$E2E_TMP/$name.ppm" 2>>"$E2E_TMP/import.log" || return 1
    echo "$E2E_TMP/$name.ppm"
}

# The system interpreter starts far quicker than a version-manager shim.
E2E_PYTHON=$(command -v /usr/bin/python3 || command -v python3)
e2e_pixels() { "$E2E_PYTHON" "$E2E_DIR/pixels.py" "$@"; }

# Red text pixels in each of the twelve rows of a board screenshot taken at
# the board's own rectangle (800 x 600, sunken border, 50-pixel rows): prints
# twelve counts on one line.
e2e_row_ink()
{
    local shot=$1 border=2 row_height=50 row
    for row in $(seq 0 11); do
        echo "count $border $((border + row * row_height)) 600 $row_height 255 0 0 60"
    done | e2e_pixels "$shot" - | tr '\n' ' ' | sed 's/ $//'
}

# The same as a pattern of 1 (text) and 0 (no red at all) per row; a row
# with only a few stray red pixels reads as "?".
e2e_row_pattern()
{
    local counts n pattern=
    counts=$(e2e_row_ink "$1") || return 1
    for n in $counts; do
        if ((n > 20)); then pattern+=1; elif ((n == 0)); then pattern+=0; else pattern+='?'; fi
    done
    echo "$pattern"
}

# Waits until the board (at 801,0) shows PATTERN; prints the pattern last seen.
e2e_board_shows()
{
    local shot
    shot=$(e2e_shot board 800 600 801 0) || return 1
    E2E_LAST_PATTERN=$(e2e_row_pattern "$shot") || return 1
    [[ "$E2E_LAST_PATTERN" == "$1" ]]
}
