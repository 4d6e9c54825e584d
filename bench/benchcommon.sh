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

# in_private_network <what> <script> [args...]: runs the script again inside
# a private network namespace with its loopback up (the program opens its
# Art-Net socket there), or returns at once when already inside one.
in_private_network() {
    [ -n "${ORVELLO_BENCH_NETNS:-}" ] && return 0
    local flag=-n
    if [ "$(id -u)" -ne 0 ]; then
        unshare -rn true 2>/dev/null ||
            { echo "$1: needs a private network namespace (root); skipped" >&2; exit 77; }
        flag=-rn
    fi
    shift
    exec unshare "$flag" env ORVELLO_BENCH_NETNS=1 bash -c 'ip link set lo up; exec "$0" "$@"' "$@"
}

# mtc_port_connected: true once the program's MIDI port feeds the benchmark
# receiver's input (mtcbench:in).
mtc_port_connected() {
    jack_lsp -c 2>/dev/null | awk '/^Orvello[^:]*:MTC out$/ { p = 1; next } /^[^ ]/ { p = 0 }
        p && /mtcbench:in/ { found = 1 } END { exit !found }'
}
