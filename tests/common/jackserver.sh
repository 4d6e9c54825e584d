# A private JACK server on the dummy driver for end-to-end runs, sourced by
# the scripts that need one. The caller calls jack_server_name and defines fail().

# jack_server_name <test>: exports JACK_DEFAULT_SERVER, fixed for this test in
# this checkout. The machine keeps one registry of eight servers, and a server
# killed without a clean stop holds its slot until a server of the same name
# starts again: a fixed name lets the next run of the same test take its slot
# back, while runs from another checkout or of another test never meet it.
jack_server_name() {
    local checkout
    checkout=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd | cksum | cut -d' ' -f1)
    export JACK_DEFAULT_SERVER="orv$checkout$1" JACK_NO_AUDIO_RESERVATION=1
}

# jack_server_start <period> <log>: starts the server, appending to <log>,
# and returns once clients can connect. Sets jackd_pid. With real-time rights
# (root) the server and its clients' audio threads run real-time, as on a show
# machine; without, a busy machine delays their cycles (counted as overruns).
jack_server_start() {
    local rt=-r
    chrt -f 10 true 2>/dev/null && rt=-R
    jackd -n "$JACK_DEFAULT_SERVER" "$rt" -d dummy -r 48000 -p "$1" >>"$2" 2>&1 &
    jackd_pid=$!
    timeout 15 jack_wait -w -t 10 >/dev/null 2>&1 || fail "JACK server $JACK_DEFAULT_SERVER did not start"
}

# stop <pid> [signal [then]]: ends a process of ours by its PID with the
# signal (TERM), and with the second one (KILL) if it is still there after 3 s.
stop() {
    local pid=$1 sig=${2:-TERM} then=${3:-KILL}
    [ -n "$pid" ] || return 0
    kill "-$sig" "$pid" 2>/dev/null || return 0
    for _ in $(seq 30); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && kill "-$then" "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
}

# wait_for <tenths> <command...>: true once the command succeeds, false when
# the time is up.
wait_for() {
    for _ in $(seq "$1"); do "${@:2}" && return 0; sleep 0.1; done
    return 1
}
