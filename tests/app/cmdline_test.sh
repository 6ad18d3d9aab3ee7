# Time limit: 30 s (a normal run takes about 2 s).
# Runs that end by themselves, before the first frame. Without a file name tetlab prints its usage
# line on standard error, opens no window and exits with status 0. A scene file that cannot be
# opened or read gives the archive library's message and the file name on standard error and a
# non-zero exit status, never a crash. Standard error holds nothing else: in the sanitizer build,
# no report (of a leak at exit, say) either.
source "$(dirname "$0")/program_lib.sh"

before=$(children)
LD_PRELOAD=$PRELOAD "$TETLAB" >"$WORK/out.txt" 2>"$WORK/err.txt" || fail "usage: exit status $?"
printf 'Need a mesh, and optionally a mesh to bind with tets.\n' | cmp -s - "$WORK/err.txt" ||
    fail "usage: standard error"
[ ! -s "$WORK/out.txt" ] || fail "usage: unexpected standard output"
[ "$(children)" = "$before" ] || fail "usage: a window was opened"

printf 'this is not a scene\n' >"$WORK/garbage.scene"
printf '22 serialization::archivx 6 0 0 1\n' >"$WORK/signature.scene"
printf '22 serialization::archive 9 0 0 1\n' >"$WORK/version.scene"
# Cut off in the middle of the tetrahedral mesh's numbers.
printf '22 serialization::archive 6 0 0 1 0 0 22 examples/beam_tets.obj 25000 0.1\n' \
    >"$WORK/truncated.scene"
# file, then the message; tests/data/bad holds counts far beyond the file (a name of 2^32
# characters, 10^8 texture names, 10^8 springs).
while read -r file message; do
    LD_PRELOAD=$PRELOAD "$TETLAB" "$file" </dev/null >"$WORK/out.txt" 2>"$WORK/err.txt"
    status=$?
    # Not 0, and not ended by a signal (abort, segmentation fault: 128 + signal).
    [ "$status" -ne 0 ] && [ "$status" -lt 128 ] || fail "$file: exit status $status"
    [ "$(cat "$WORK/err.txt")" = "$file: cannot read the scene: $message" ] ||
        fail "$file: standard error"
done <<LIST
$WORK/missing.scene input stream error
$WORK/garbage.scene input stream error
$WORK/signature.scene invalid signature
$WORK/version.scene unsupported version
$WORK/truncated.scene input stream error
$(for f in tests/data/bad/scene_*.scene; do echo "$f input stream error"; done)
LIST
echo "cmdline: ok"
