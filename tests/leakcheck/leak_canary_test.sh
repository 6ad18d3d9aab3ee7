# leak_canary_test.sh path/to/leak_canary: the sanitizer build's leak check still sees the
# project's own leaks. The canary runs as the whole-program tests run tetlab (the same
# ASAN_OPTIONS and LSAN_OPTIONS from scripts/test, the GL driver in TETLAB_GL_PRELOAD), exits
# normally and must be reported for both blocks it lost: the one lost in main and the one lost
# under freeglut's main loop. A suppression that matches the window library (or everything)
# hides the second and fails this test.
set -u
canary=${1:?usage: $0 path/to/leak_canary}
err=$(mktemp)
trap 'rm -f "$err"' EXIT
LD_PRELOAD=${TETLAB_GL_PRELOAD:-${LD_PRELOAD:-}} timeout -k 2 30 "$canary" 2>"$err" >/dev/null
status=$?
fail() {
    echo "FAIL: $*"
    head -n 60 "$err" | cut -c1-300
    exit 1
}
# Status 124 is the time limit, above 128 a signal.
[ "$status" -ne 124 ] && [ "$status" -le 128 ] || fail "leak_canary ended with status $status"
for bytes in 2424 4242; do
    grep -Eq "^Direct leak of $bytes byte\(s\) in 1 object\(s\) allocated from:" "$err" ||
        fail "the $bytes bytes the canary lost were not reported"
done
echo "leak canary: both lost blocks reported"
