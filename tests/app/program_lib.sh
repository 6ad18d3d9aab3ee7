# Helpers for the whole-program tests, sourced by tests/app/*_test.sh: start tetlab under the
# current display, find its window, send keys and mouse events with xdotool, take screenshots and
# measure regions of them. The sourcing script gets the tetlab binary as $1 and runs from the
# repository root.
# The whole-program tests run on their own copies of a beam and a slab (tests/app/data), so that
# the bundled examples can be tuned without moving the pixels these tests look at.
set -u

TETLAB=${1:?usage: $0 path/to/tetlab}
WORK=$(mktemp -d)
PID=""
WIN=""
if [ -x /usr/bin/convert ]; then CONVERT=/usr/bin/convert; else CONVERT=convert; fi

cleanup() {
    if [ -n "$PID" ] && kill -0 "$PID" 2>/dev/null; then
        kill "$PID" 2>/dev/null
        wait "$PID" 2>/dev/null
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    if [ -f "$WORK/out.txt" ]; then
        echo "--- last lines of standard output"
        tail -n 15 "$WORK/out.txt" | cut -c1-200
        echo "--- standard error"
        tail -n 15 "$WORK/err.txt" | cut -c1-200
    fi
    exit 1
}

# Top-level windows of the display.
children() { xwininfo -root -children | grep -o '^ *0x[0-9a-fA-F]*' | tr -d ' '; }

# Waits until the output file has stopped growing for a second (loading is over).
wait_quiet() {
    local last=-1 size
    for _ in $(seq 1 120); do
        size=$(stat -c %s "$WORK/out.txt")
        if [ "$size" = "$last" ]; then return 0; fi
        last=$size
        sleep 1
    done
}

# start_tetlab ARGS...: runs tetlab with stdout in $WORK/out.txt, stderr in $WORK/err.txt, sets
# PID and WIN (the new top-level window) and waits until the scene is loaded and drawn.
start_tetlab() {
    local before w
    before=$(children)
    "$TETLAB" "$@" >"$WORK/out.txt" 2>"$WORK/err.txt" &
    PID=$!
    WIN=""
    for _ in $(seq 1 300); do
        for w in $(children); do
            echo "$before" | grep -qx "$w" || WIN=$w
        done
        [ -n "$WIN" ] && break
        kill -0 "$PID" 2>/dev/null || fail "tetlab ended before opening its window"
        sleep 0.1
    done
    [ -n "$WIN" ] || fail "tetlab opened no window"
    wait_quiet
    sleep 0.5
}

stop_tetlab() {
    kill "$PID" 2>/dev/null
    wait "$PID" 2>/dev/null
    PID=""
}

# key KEY...: types keys into the window (real key events through the XTEST extension).
key() {
    xdotool windowfocus "$WIN" 2>/dev/null
    xdotool key --delay 50 "$@" 2>/dev/null
    sleep 0.3
}

# Mouse helpers; coordinates are window pixels from the top left.
move() { xdotool mousemove --window "$WIN" "$1" "$2" 2>/dev/null; sleep 0.2; }
press() { xdotool mousedown "$1" 2>/dev/null; sleep 0.3; }
release() { xdotool mouseup "$1" 2>/dev/null; sleep 0.3; }

# shot FILE: screenshot of the window.
shot() { import -window "$WIN" "$1" 2>/dev/null || fail "screenshot failed"; }

# fraction_lit FILE W H X Y [LEVEL]: fraction (0..1) of the region's pixels brighter than LEVEL
# percent (default 10).
fraction_lit() {
    "$CONVERT" "$1" -crop "${2}x${3}+${4}+${5}" +repage -colorspace Gray -threshold "${6:-10}%" \
        -format '%[fx:mean]' info:
}

# mean_rgb FILE W H X Y: mean red, green and blue (0..255) of the region.
mean_rgb() {
    "$CONVERT" "$1" -crop "${2}x${3}+${4}+${5}" +repage \
        -format '%[fx:int(255*mean.r+0.5)] %[fx:int(255*mean.g+0.5)] %[fx:int(255*mean.b+0.5)]' info:
}

# difference FILE1 FILE2 W H X Y: mean absolute difference (0..1) of the region in two pictures.
difference() {
    "$CONVERT" "$1" "$2" -crop "${3}x${4}+${5}+${6}" +repage -compose difference -composite \
        -colorspace Gray -format '%[fx:mean]' info:
}

# lit_box FILE W H X Y: bounding box WxH+X+Y of the region's pixels brighter than 10%.
lit_box() {
    "$CONVERT" "$1" -crop "${2}x${3}+${4}+${5}" +repage -colorspace Gray -threshold 10% \
        -format '%@' info:
}

# Floating-point comparison: is_greater A B.
is_greater() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }

# Waits up to $2 seconds for a line matching the extended regular expression $1 on stdout.
wait_for_output() {
    for _ in $(seq 1 $(($2 * 10))); do
        grep -Eq "$1" "$WORK/out.txt" && return 0
        sleep 0.1
    done
    return 1
}
