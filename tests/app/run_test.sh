# 's' runs the simulation: the beam bends and breaks, the HUD shows a step rate, and after every
# fracturing step /tmp/fractures.txt holds every record so far as one text archive.
source "$(dirname "$0")/program_lib.sh"

LOG=/tmp/fractures.txt
rm -f "$LOG"
start_tetlab tests/app/data/beam.scene
shot "$WORK/before.png"
[ ! -e "$LOG" ] || fail "fracture log written before any step"

key s
for _ in $(seq 1 200); do
    [ -s "$LOG" ] && break
    sleep 0.1
done
[ -s "$LOG" ] || fail "no fracture log within 20 s of running"
sleep 2
# Stop, so that the log is no longer rewritten while it is read.
key s
sleep 0.5
shot "$WORK/after.png"
cp "$LOG" "$WORK/log.txt"
sleep 1
cmp -s "$LOG" "$WORK/log.txt" || fail "log still changing after 's' stopped the run"
stop_tetlab

# One line: header, the vector's preamble, a record count, item version, then the records.
[ "$(wc -l <"$WORK/log.txt")" = 1 ] || fail "log is not one line"
read -r len sig version track cver count item rest <"$WORK/log.txt"
[ "$len $sig $version" = "22 serialization::archive 6" ] || fail "log header: $len $sig $version"
[ "$track $cver $item" = "0 0 0" ] || fail "log preamble: $track $cver $item"
[ "$count" -gt 0 ] || fail "no records in the log"
fractures=$(grep -c '^fracture: ' "$WORK/out.txt")
[ "$fractures" -ge "$count" ] || fail "log holds $count records, $fractures fractures printed"

# The body moved and the HUD's step rate changed from 0.
is_greater "$(difference "$WORK/before.png" "$WORK/after.png" 640 400 0 0)" 0.005 ||
    fail "the picture did not change while running"
is_greater "$(difference "$WORK/before.png" "$WORK/after.png" 100 14 2 463)" 0.01 ||
    fail "the HUD did not change"
echo "run: ok ($count fractures logged)"
