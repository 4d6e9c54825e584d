# Shared by the benchmarks' scripts: the CPU a process takes and the class
# their timing threads may run in. Sourced, not run.

# cpu_ticks <pid>: user + system time of a process, in clock ticks; "gone"
# once it has ended.
cpu_ticks() {
    awk '{ print $14 + $15 }' "/proc/$1/stat" 2>/dev/null || echo gone
}

# cpu_percent <ticks> <t0> <t1>: those ticks as % of one core from t0 to t1
# (seconds, as `date +%s.%N` gives them).
cpu_percent() {
    awk -v c="$1" -v hz="$(getconf CLK_TCK)" -v t0="$2" -v t1="$3" \
        'BEGIN { printf "%.3f", 100 * c / hz / (t1 - t0) }'
}

# may_run_fifo20: true where threads may run at SCHED_FIFO 20 (root, or an
# rtprio limit that high), as the program's timing thread then does.
may_run_fifo20() {
    [ "$(id -u)" -eq 0 ] || [ "$(ulimit -r)" = unlimited ] || [ "$(ulimit -r)" -ge 20 ]
}
