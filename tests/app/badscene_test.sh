# A scene file that cannot be opened or read: the archive library's message and the file name
# on standard error, a non-zero exit status, and no crash.
source "$(dirname "$0")/program_lib.sh"

check_bad() {
    local file=$1 message=$2
    "$TETLAB" "$file" >"$WORK/out.txt" 2>"$WORK/err.txt"
    local status=$?
    [ "$status" -ne 0 ] || fail "$file: exit status 0"
    # Not killed by a signal (abort, segmentation fault): those give 128 + signal.
    [ "$status" -lt 128 ] || fail "$file: ended by a signal ($status)"
    grep -qF "$file" "$WORK/err.txt" || fail "$file: file name missing from: $(cat "$WORK/err.txt")"
    grep -qF "$message" "$WORK/err.txt" || fail "$file: '$message' missing from: $(cat "$WORK/err.txt")"
}

check_bad "$WORK/missing.scene" "input stream error"
printf 'this is not a scene\n' >"$WORK/garbage.scene"
check_bad "$WORK/garbage.scene" "input stream error"
printf '22 serialization::archivx 6 0 0 1\n' >"$WORK/signature.scene"
check_bad "$WORK/signature.scene" "invalid signature"
printf '22 serialization::archive 9 0 0 1\n' >"$WORK/version.scene"
check_bad "$WORK/version.scene" "unsupported version"
# Cut off in the middle of the tetrahedral mesh's numbers.
printf '22 serialization::archive 6 0 0 1 0 0 22 examples/beam_tets.obj 25000 0.1\n' \
    >"$WORK/truncated.scene"
check_bad "$WORK/truncated.scene" "input stream error"
# Counts far beyond the file (a name of 2^32 characters, 10^8 texture names, 10^8 springs).
for file in tests/data/bad/scene_*.scene; do
    check_bad "$file" "input stream error"
done
echo "badscene: ok"
