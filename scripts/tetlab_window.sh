# Sourced by scripts/demo and the whole-program tests (tests/app/program_lib.sh): follows a tetlab
# started in the background (its process id in PID) and the top-level window it opens. Every call
# to the X server is bounded in time and made only while tetlab runs: a screenshot of a window
# that no longer exists waits forever, so a program that died would otherwise stall the script.

# Seconds any one call to the X tools may take; a screenshot takes well under one.
X_CALL_LIMIT=${X_CALL_LIMIT:-10}
PID=${PID:-}
WIN=${WIN:-}
ENDED=""

# bounded COMMAND...: runs COMMAND, killed after X_CALL_LIMIT seconds (status 124 then).
bounded() { timeout -k 2 "$X_CALL_LIMIT" "$@"; }

# Top-level windows of the display. freeglut's untitled window carries no process id, so a
# program's window is the one that was not there before it started.
children() { bounded xwininfo -root -children | grep -o '^ *0x[0-9a-fA-F]*' | tr -d ' ' || true; }

# tetlab_running: true while tetlab runs. Once it has ended, reaps it, clears PID, sets ENDED to
# "exited with status N" or "was killed by signal S (NAME)" and is false. (The shell cannot tell
# an exit status above 128 from a signal; tetlab exits with 0 or 1, its sanitizers with 1 or 23.)
tetlab_running() {
    local status=0
    [ -n "$PID" ] || return 1
    kill -0 "$PID" 2>/dev/null && return 0
    wait "$PID" || status=$?
    PID=""
    if [ "$status" -gt 128 ]; then
        ENDED="was killed by signal $((status - 128)) ($(kill -l $((status - 128))))"
    else
        ENDED="exited with status $status"
    fi
    return 1
}

# alive: returns while tetlab runs; once it has ended, calls tetlab_died, which the sourcing
# script defines to report ENDED and the end of tetlab's output and exit non-zero.
alive() { tetlab_running || tetlab_died; }

# await_window BEFORE: waits up to 30 s for a top-level window not in the list BEFORE and sets
# WIN to it; false when tetlab ended first or opened none.
await_window() {
    local w
    WIN=""
    for _ in $(seq 1 300); do
        for w in $(children); do echo "$1" | grep -qx "$w" || WIN=$w; done
        [ -n "$WIN" ] && return 0
        tetlab_running || return 1
        sleep 0.1
    done
    return 1
}

# keep_running SECONDS: waits that long while checking every tenth of a second that tetlab still
# runs; false as soon as it has ended.
keep_running() {
    for _ in $(seq 1 $(($1 * 10))); do
        tetlab_running || return 1
        sleep 0.1
    done
    tetlab_running
}

# output_end FILE...: the end of each file of tetlab's output. Where a sanitizer has reported,
# its report from the first line (80 lines at most), else the last 15 lines.
output_end() {
    local f
    for f in "$@"; do
        [ -s "$f" ] || continue
        echo "--- end of $f:"
        if sanitizer_report "$f"; then
            sed -n '/Sanitizer\|runtime error: /,$p' "$f" | head -n 80 | cut -c1-300
        else
            tail -n 15 "$f" | cut -c1-200
        fi
    done
}

# A sanitizer's report in FILE (the sanitizer build's programs write them on standard error).
sanitizer_report() {
    grep -Eq 'ERROR: [A-Za-z]+Sanitizer|SUMMARY: [A-Za-z]+Sanitizer|runtime error: ' "$1"
}
