# Time limit: 120 s (a normal run takes about 18 s).
# 's' runs: the beam breaks, the HUD shows a step rate, /tmp/fractures.txt holds every record so
# far as one text archive. 'p' reads its copy /tmp/fractures_read.txt once ("read %d fractures.")
# and each press replays the next record and cuts the surface. Without that file the archive
# library's message is printed once, without a newline, and later presses do nothing.
source "$(dirname "$0")/program_lib.sh"

LOG=/tmp/fractures.txt
REPLAY=/tmp/fractures_read.txt

rm -f "$LOG"
start_tetlab tests/app/data/beam.scene
shot "$WORK/before.png"
key s
wait_for_output '^fracture: ' 20 || fail "no fracture within 20 s of running"
sleep 2
key s  # stop, so that the log is no longer rewritten while it is read
sleep 0.5
shot "$WORK/after.png"
close_tetlab
# One line: header, the vector's preamble, a record count, item version, then the records.
[ "$(wc -l <"$LOG")" = 1 ] || fail "log is not one line"
read -r len sig version track cver count item _ <"$LOG"
[ "$len $sig $version $track $cver $item" = "22 serialization::archive 6 0 0 0" ] ||
    fail "log header: $len $sig $version $track $cver $item"
[ "$(grep -c '^fracture: ' "$WORK/out.txt")" -ge "$count" ] || fail "fewer fractures than records"
# The body moved and the HUD's step rate changed from 0.
is_greater "$(difference "$WORK/before.png" "$WORK/after.png" 640 400 0 0)" 0.005 ||
    fail "the picture did not change while running"
is_greater "$(difference "$WORK/before.png" "$WORK/after.png" 100 14 2 463)" 0.01 ||
    fail "the HUD did not change"

cp "$LOG" "$REPLAY"
start_tetlab tests/app/data/beam.scene
lines=$(wc -l <"$WORK/out.txt")
key p p p p p p p p p p
sleep 2
tail -n +$((lines + 1)) "$WORK/out.txt" >"$WORK/ten.txt"
[ "$(head -n 1 "$WORK/ten.txt")" = "read $count fractures." ] || fail "first 'p': no read line"
[ "$(grep -c '^read ' "$WORK/ten.txt")" = 1 ] || fail "the replay file was read more than once"
# The mesh replays each split and recomputes the record's separating triangles and edges, and
# the cutter goes over them.
[ "$(grep -c '^Above: ' "$WORK/ten.txt")" -ge 10 ] || fail "fewer than 10 records replayed"
grep -q '^hist:' "$WORK/ten.txt" || fail "the surface was not cut"
! grep -q 'does not fit' "$WORK/err.txt" || fail "records refused"
close_tetlab

rm -f "$REPLAY"
start_tetlab tests/app/data/beam.scene
size=$(stat -c %s "$WORK/out.txt")
key p p p
sleep 0.5
[ "$(tail -c +$((size + 1)) "$WORK/out.txt")" = "input stream error" ] ||
    fail "missing replay file printed: $(tail -c +$((size + 1)) "$WORK/out.txt")"
kill -0 "$PID" || fail "tetlab ended"
close_tetlab
echo "replay: ok ($count records)"
