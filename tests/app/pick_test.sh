# Time limit: 60 s (a normal run takes about 10 s).
# The mouse: a left press on the body picks a point ("intersects tet", "bary" lines), a left drag
# while running pulls the body after the pointer, and 'c' turns the dragged point into a
# permanent spring that keeps holding the body after the button is released.
source "$(dirname "$0")/program_lib.sh"

# Region around the end of the drag, empty at start-up.
REGION="24 24 418 195"

start_tetlab tests/app/data/beam.scene
shot "$WORK/start.png"
[ "$(fraction_lit "$WORK/start.png" $REGION)" = "0" ] || fail "drag target not empty at start"
# Off the body's centre column, which runs exactly along internal element faces.
move 331 207
button down 1
wait_for_output '^bary: ' 5 || fail "a left press on the body picked nothing"
key s
for x in 350 370 390 410 430; do move "$x" 207; done
sleep 2
shot "$WORK/dragged.png"
key c
button up 1
sleep 2
shot "$WORK/released.png"
close_tetlab
grep -Eq '^intersects tet: [0-9.]+$' "$WORK/out.txt" || fail "no 'intersects tet' line"
# The four weights of the picked point sum to one.
grep -m1 '^bary: ' "$WORK/out.txt" | awk '{ s = $2 + $3 + $4 + $5; exit !(s > 0.999 && s < 1.001) }' ||
    fail "weights of the picked point do not sum to 1"
grep -Eq '^Made geom: [1-9][0-9]*, [1-9][0-9]*$' "$WORK/out.txt" || fail "spring geometry not loaded"
is_greater "$(fraction_lit "$WORK/dragged.png" $REGION)" 0.2 || fail "the body did not follow the drag"
is_greater "$(fraction_lit "$WORK/released.png" $REGION)" 0.1 || fail "no spring after 'c'"
echo "pick: ok"
