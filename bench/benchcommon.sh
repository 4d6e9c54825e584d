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

# cpu_over <pid> <seconds>: the process's CPU over the next <seconds>, as %
# of one core; "gone" when it ended meanwhile.
cpu_over() {
    local t0 c0 t1 c1
    t0=$(date +%s.%N)
    c0=$(cpu_ticks "$1")
    sleep "$2"
    t1=$(date +%s.%N)
    c1=$(cpu_ticks "$1")
    if [ "$c0" = gone ] || [ "$c1" = gone ]; then
        echo gone
    else
        cpu_percent "$((c1 - c0))" "$t0" "$t1"
    fi
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

# jack_feeds <output port regex> <input port>: true when a JACK output whose
# name matches feeds that input (`jack_lsp -c` lists each port, then, indented,
# the ports it is connected to).
jack_feeds() {
    jack_lsp -c 2>/dev/null | awk -v out="^($1)$" -v port="$2" '/^[^ \t]/ { p = $0 ~ out; next }
        p && $1 == port { found = 1 } END { exit !found }'
}

# mtc_port_connected: true once the program's MIDI port feeds the benchmark
# receiver's input (mtcbench:in).
mtc_port_connected() { jack_feeds 'Orvello[^:]*:MTC out' mtcbench:in; }
