# Helpers for tests/app/*_test.sh (run from the repository root, the tetlab binary as $1 and
# tests/support/close_window as $2): start tetlab on the current display, send real keys and
# mouse events (window pixels from the top left), take screenshots and measure regions of them,
# and end it by closing its window. The scenes are the tests' own copies. Every step that talks
# to the window first checks that tetlab still runs: once it has died, the test fails at once
# with how it ended and the end of its output (a sanitizer's report included).
set -u
TETLAB=${1:?usage: $0 path/to/tetlab path/to/close_window}
CLOSE_WINDOW=${2:-}
WORK=$(mktemp -d)
if [ -x /usr/bin/convert ]; then CONVERT=/usr/bin/convert; else CONVERT=convert; fi
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/tetlab_window.sh"
trap 'stop_tetlab; rm -rf "$WORK"' EXIT

fail() {
    echo "FAIL: $*"
    output_end "$WORK/out.txt" "$WORK/err.txt"
    exit 1
}
# Called by alive (scripts/tetlab_window.sh) once tetlab has ended.
tetlab_died() { fail "tetlab $ENDED"; }

# What tetlab runs with in LD_PRELOAD: TETLAB_GL_PRELOAD, which the sanitizer build's tests set
# (tests/CMakeLists.txt), goes to tetlab alone, not to the tools the tests run.
PRELOAD=${TETLAB_GL_PRELOAD:-${LD_PRELOAD:-}}

# start_tetlab ARGS...: runs tetlab with stdout in $WORK/out.txt, stderr in $WORK/err.txt, sets
# PID and WIN (its new top-level window) and waits until the scene is loaded (the output has
# stopped growing for a second) and drawn.
start_tetlab() {
    local before last=-1
    before=$(children)
    LD_PRELOAD=$PRELOAD "$TETLAB" "$@" </dev/null >"$WORK/out.txt" 2>"$WORK/err.txt" &
    PID=$!
    if ! await_window "$before"; then
        alive
        fail "tetlab opened no window"
    fi
    for _ in $(seq 1 120); do
        [ "$(stat -c %s "$WORK/out.txt")" = "$last" ] && break
        last=$(stat -c %s "$WORK/out.txt")
        keep_running 1 || tetlab_died
    done
    sleep 0.5
    alive
}
# close_tetlab: closes tetlab's window as a window manager would and waits up to a minute for
# it to end; fails unless it ended by itself with status 0 and no sanitizer report. (A process
# killed with a signal, as stop_tetlab does after a failure, skips the leak check at exit.)
close_tetlab() {
    [ -n "$CLOSE_WINDOW" ] || fail "no close_window program given"
    alive
    bounded "$CLOSE_WINDOW" "$WIN" || fail "could not close the window"
    keep_running 60 && fail "tetlab still running a minute after its window was closed"
    if sanitizer_report "$WORK/err.txt"; then
        echo "FAIL: sanitizer report:"
        output_end "$WORK/err.txt"
        exit 1
    fi
    [ "$ENDED" = "exited with status 0" ] || fail "tetlab $ENDED after its window was closed"
}
stop_tetlab() { [ -n "$PID" ] && kill "$PID" 2>/dev/null && wait "$PID" 2>/dev/null; PID=""; }
# Input and screenshots, each call bounded. xdotool's failures to focus (there is no window
# manager) are expected and not checked; a call that died with tetlab is caught by the next
# step's check.
key() {
    alive
    bounded xdotool windowfocus "$WIN" 2>/dev/null
    bounded xdotool key --delay 50 "$@" 2>/dev/null
    sleep 0.3
}
move() { alive; bounded xdotool mousemove --window "$WIN" "$1" "$2" 2>/dev/null; sleep 0.2; }
button() { alive; bounded xdotool "mouse$1" "$2" 2>/dev/null; sleep 0.3; }  # button down|up N
shot() { alive; bounded import -window "$WIN" "$1" 2>/dev/null || { alive; fail "screenshot failed"; }; }

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
        alive
        sleep 0.1
    done
    return 1
}
