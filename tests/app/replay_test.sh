# Replay with 'p': a log written by an earlier run and copied to /tmp/fractures_read.txt is read
# once ("read %d fractures."), and every press re-applies the next record and cuts the surface
# along it. Without a replay file the archive library's message is printed once, without a
# newline, and later presses do nothing.
source "$(dirname "$0")/program_lib.sh"

LOG=/tmp/fractures.txt
REPLAY=/tmp/fractures_read.txt

# A log from a run of the same scene.
rm -f "$LOG"
start_tetlab tests/app/data/beam.scene
key s
for _ in $(seq 1 200); do
    [ -s "$LOG" ] && break
    sleep 0.1
done
sleep 1
key s
sleep 0.5
stop_tetlab
[ -s "$LOG" ] || fail "the first run logged no fracture"
cp "$LOG" "$REPLAY"
read -r _ _ _ _ _ count _ <"$REPLAY"

start_tetlab tests/app/data/beam.scene
lines=$(wc -l <"$WORK/out.txt")
key p
sleep 0.5
tail -n +$((lines + 1)) "$WORK/out.txt" >"$WORK/first.txt"
[ "$(head -n 1 "$WORK/first.txt")" = "read $count fractures." ] ||
    fail "first 'p' printed: $(head -n 1 "$WORK/first.txt")"
# The mesh replays the split and recomputes the record's separating triangles and edges.
grep -q '^Above: ' "$WORK/first.txt" || fail "first record not replayed"
for _ in $(seq 1 9); do key p; done
sleep 0.5
tail -n +$((lines + 1)) "$WORK/out.txt" >"$WORK/ten.txt"
[ "$(grep -c '^read ' "$WORK/ten.txt")" = 1 ] || fail "the replay file was read more than once"
[ "$(grep -c '^Above: ' "$WORK/ten.txt")" -ge 10 ] || fail "fewer than 10 records replayed"
# The cutter went over the separating triangles of the replayed records.
grep -q '^hist:' "$WORK/ten.txt" || fail "the surface was not cut"
! grep -q 'does not fit' "$WORK/err.txt" || fail "records refused: $(cat "$WORK/err.txt")"
stop_tetlab

# No replay file.
rm -f "$REPLAY"
start_tetlab tests/app/data/beam.scene
lines=$(wc -l <"$WORK/out.txt")
size=$(stat -c %s "$WORK/out.txt")
key p
sleep 0.5
tail -c +$((size + 1)) "$WORK/out.txt" >"$WORK/missing.txt"
[ "$(cat "$WORK/missing.txt")" = "input stream error" ] ||
    fail "missing replay file printed: $(cat "$WORK/missing.txt")"
key p p
sleep 0.5
size2=$(stat -c %s "$WORK/out.txt")
[ "$size2" = $((size + 18)) ] || fail "later presses printed more"
kill -0 "$PID" || fail "tetlab ended"
echo "replay: ok ($count records)"
