# Without a file name tetlab prints its usage line on standard error, opens no window and exits
# with status 0.
source "$(dirname "$0")/program_lib.sh"

before=$(children)
"$TETLAB" >"$WORK/out.txt" 2>"$WORK/err.txt"
status=$?
[ "$status" -eq 0 ] || fail "exit status $status"
printf 'Need a mesh, and optionally a mesh to bind with tets.\n' >"$WORK/want.txt"
cmp -s "$WORK/err.txt" "$WORK/want.txt" || fail "standard error: $(cat "$WORK/err.txt")"
[ ! -s "$WORK/out.txt" ] || fail "unexpected standard output"
[ "$(children)" = "$before" ] || fail "a window was opened"
echo "noarg: ok"
