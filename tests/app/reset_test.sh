# 'R' puts the body back into its rest shape after it has bent and broken: the picture of the
# body matches the start-up picture again, and running on from there works.
source "$(dirname "$0")/program_lib.sh"

start_tetlab tests/app/data/beam.scene
shot "$WORK/start.png"
key s
wait_for_output '^fracture: ' 20 || fail "no fracture while running"
sleep 1
key s
sleep 0.5
shot "$WORK/broken.png"
is_greater "$(difference "$WORK/start.png" "$WORK/broken.png" 640 400 0 0)" 0.01 ||
    fail "the body did not move"
key R
sleep 0.5
shot "$WORK/reset.png"
# The body is back where it started: the same outline above the ground. (Inside it the cuts
# made along the cracks stay visible as thin lines.)
[ "$(lit_box "$WORK/reset.png" 640 400 0 0)" = "$(lit_box "$WORK/start.png" 640 400 0 0)" ] ||
    fail "outline after reset $(lit_box "$WORK/reset.png" 640 400 0 0)," \
        "at start $(lit_box "$WORK/start.png" 640 400 0 0)"
is_greater 0.01 "$(difference "$WORK/start.png" "$WORK/reset.png" 640 400 0 0)" ||
    fail "reset picture far from the start-up picture"
# The simulation goes on from the rest shape.
key s
sleep 1
key s
shot "$WORK/again.png"
is_greater "$(difference "$WORK/reset.png" "$WORK/again.png" 640 400 0 0)" 0.005 ||
    fail "no motion after the reset"
kill -0 "$PID" || fail "tetlab ended"
echo "reset: ok"
