# The real program as `orvello headless` in the first namespace of netns.sh
# (sourced before this), each run with a folder of its own under $WORK for
# its settings, home and output (settings_folder and run_headless of
# e2erun.sh). ORVELLO names the program.
source "$(dirname "${BASH_SOURCE[0]}")/e2erun.sh"

# headless_wait <run> <text>: fails unless the run's output shows it within 10 s.
headless_wait() { check "$1: no \"$2\" within 10 s" 100 grep -qF "$2" "$WORK/$1/stdout"; }

# headless_stop <run> <signal>: sends it, and checks exit status 0 within 1 s.
headless_stop() {
    local name="$1" sig="$2" t0 rc=0 ms
    kill -0 "$PID" 2>/dev/null || fail "$name: ended before $sig"
    t0=$(date +%s%N)
    kill "-$sig" "$PID"
    wait "$PID" || rc=$?
    ms=$((($(date +%s%N) - t0) / 1000000))
    [ "$rc" -eq 0 ] || fail "$name: exit status $rc after $sig"
    [ "$ms" -lt 1000 ] || fail "$name: took $ms ms to end after $sig"
    echo "  $sig: status 0 after $ms ms"
}
