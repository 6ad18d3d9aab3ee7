# Helpers for tests/app/*_test.sh (run from the repository root, the tetlab binary as $1 and
# tests/support/close_window as $2): start tetlab on the current display, send real keys and
# mouse events (window pixels from the top left), take screenshots and measure regions of them,
# and end it by closing its window. The scenes are the tests' own copies.
set -u
TETLAB=${1:?usage: $0 path/to/tetlab path/to/close_window}
CLOSE_WINDOW=${2:-}
WORK=$(mktemp -d)
PID=""
WIN=""
if [ -x /usr/bin/convert ]; then CONVERT=/usr/bin/convert; else CONVERT=convert; fi
trap 'stop_tetlab; rm -rf "$WORK"' EXIT

fail() {
    echo "FAIL: $*"
    tail -n 15 "$WORK/out.txt" "$WORK/err.txt" 2>/dev/null | cut -c1-200
    exit 1
}

# Top-level windows of the display.
children() { xwininfo -root -children | grep -o '^ *0x[0-9a-fA-F]*' | tr -d ' '; }

# A sanitizer's report in FILE (the sanitizer build's programs write them on standard error).
sanitizer_report() {
    grep -Eq 'ERROR: [A-Za-z]+Sanitizer|SUMMARY: [A-Za-z]+Sanitizer|runtime error: ' "$1"
}

# What tetlab runs with in LD_PRELOAD: TETLAB_GL_PRELOAD, which the sanitizer build's tests set
# (tests/CMakeLists.txt), goes to tetlab alone, not to the tools the tests run.
PRELOAD=${TETLAB_GL_PRELOAD:-${LD_PRELOAD:-}}

# start_tetlab ARGS...: runs tetlab with stdout in $WORK/out.txt, stderr in $WORK/err.txt, sets
# PID and WIN (its new top-level window) and waits until the scene is loaded (the output has
# stopped growing for a second) and drawn.
start_tetlab() {
    local before w last=-1
    before=$(children)
    LD_PRELOAD=$PRELOAD "$TETLAB" "$@" </dev/null >"$WORK/out.txt" 2>"$WORK/err.txt" &
    PID=$!
    WIN=""
    for _ in $(seq 1 300); do
        for w in $(children); do echo "$before" | grep -qx "$w" || WIN=$w; done
        [ -n "$WIN" ] && break
        kill -0 "$PID" 2>/dev/null || fail "tetlab ended before opening its window"
        sleep 0.1
    done
    [ -n "$WIN" ] || fail "tetlab opened no window"
    for _ in $(seq 1 120); do
        [ "$(stat -c %s "$WORK/out.txt")" = "$last" ] && break
        last=$(stat -c %s "$WORK/out.txt")
        sleep 1
    done
    sleep 0.5
}
# close_tetlab: closes tetlab's window as a window manager would and waits up to a minute for
# it to end; fails unless it ended by itself with status 0 and no sanitizer report. (A process
# killed with a signal, as stop_tetlab does after a failure, skips the leak check at exit.)
close_tetlab() {
    local status
    [ -n "$CLOSE_WINDOW" ] || fail "no close_window program given"
    "$CLOSE_WINDOW" "$WIN" || fail "could not close the window"
    for _ in $(seq 1 600); do
        kill -0 "$PID" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$PID" 2>/dev/null && fail "tetlab still running a minute after its window was closed"
    wait "$PID"
    status=$?
    PID=""
    if sanitizer_report "$WORK/err.txt"; then
        echo "FAIL: sanitizer report:"
        sed -n '/Sanitizer\|runtime error: /,$p' "$WORK/err.txt" | head -n 80 | cut -c1-300
        exit 1
    fi
    [ "$status" = 0 ] || fail "tetlab ended with status $status after its window was closed"
}
stop_tetlab() { [ -n "$PID" ] && kill "$PID" 2>/dev/null && wait "$PID" 2>/dev/null; PID=""; }
key() { xdotool windowfocus "$WIN" 2>/dev/null; xdotool key --delay 50 "$@" 2>/dev/null; sleep 0.3; }
move() { xdotool mousemove --window "$WIN" "$1" "$2" 2>/dev/null; sleep 0.2; }
button() { xdotool "mouse$1" "$2" 2>/dev/null; sleep 0.3; }  # button down|up N
shot() { import -window "$WIN" "$1" 2>/dev/null || fail "screenshot failed"; }

# Of a region W H X Y of a screenshot: fraction_lit FILE W H X Y [LEVEL] is the fraction (0..1)
# of pixels brighter than LEVEL percent (default 10); mean_rgb FILE W H X Y the mean red, green
# and blue (0..255); difference FILE1 FILE2 W H X Y the mean absolute difference (0..1).
fraction_lit() {
    "$CONVERT" "$1" -crop "${2}x${3}+${4}+${5}" +repage -colorspace Gray -threshold "${6:-10}%" \
        -format '%[fx:mean]' info:
}
mean_rgb() {
    "$CONVERT" "$1" -crop "${2}x${3}+${4}+${5}" +repage \
        -format '%[fx:int(255*mean.r+0.5)] %[fx:int(255*mean.g+0.5)] %[fx:int(255*mean.b+0.5)]' info:
}
difference() {
    "$CONVERT" "$1" "$2" -crop "${3}x${4}+${5}+${6}" +repage -compose difference -composite \
        -colorspace Gray -format '%[fx:mean]' info:
}
is_greater() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }

# Waits up to $2 seconds for a line matching the extended regular expression $1 on stdout.
wait_for_output() {
    for _ in $(seq 1 $(($2 * 10))); do
        grep -Eq "$1" "$WORK/out.txt" && return 0
        sleep 0.1
    done
    return 1
}
