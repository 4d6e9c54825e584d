#!/usr/bin/env bash
# MIDI Time Code end to end: starts a private JACK server (dummy driver) and a
# MIDI receiver, runs a real sender through RtMidi, and checks that what
# arrived decodes as consecutive timecode frames.
#
#   jack_e2e.sh <exit|SECONDS> <capture file> <program> [args...]
# "exit": the program ends by itself; SECONDS: it runs that long, then is
# stopped. The capture file receives the decoded codes and one second of the
# received quarter-frame bytes. MTC_MIN_CODES: fewest codes to pass;
# MTC_EXPECT_NONE=1: pass only if nothing at all arrives (output switched off).
# MTC_LATE_SERVER=1: the program starts first and the JACK server some seconds
# later, as when a show computer's MIDI system comes up after the generator.
# MTC_RESTART_SERVER=1: once codes flow, the JACK server and the receiver stop
# and start again; the codes must reach the new receiver.
# The program always gets a settings folder of its own in the work folder.
set -u

mode=$1 capture=$2
shift 2
program=("$@")

work=$(mktemp -d /tmp/orvello-mtc.XXXXXX)
server="orvmtc$$"
export JACK_DEFAULT_SERVER=$server JACK_NO_AUDIO_RESERVATION=1

# Ends a process of ours by its PID: the signal given, then TERM after 3 s.
stop() {
    local pid=$1 sig=$2
    kill "-$sig" "$pid" 2>/dev/null || return 0
    for _ in $(seq 30); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
}

# Newest first: the clients leave the server before it goes. jack_midi_dump
# closes its client on INT only; killed otherwise, the server waits seconds
# for it.
cleanup() {
    [ -n "${program_pid:-}" ] && stop "$program_pid" TERM
    [ -n "${dump_pid:-}" ] && stop "$dump_pid" INT
    [ -n "${jackd_pid:-}" ] && stop "$jackd_pid" TERM
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    for f in jackd.log dump.log program.log; do
        [ -s "$work/$f" ] && { echo "--- $f" >&2; tail -n 20 "$work/$f" >&2; }
    done
    exit 1
}

# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for() {
    local tries=$1
    shift
    while [ "$tries" -gt 0 ]; do
        "$@" && return 0
        sleep 0.1
        tries=$((tries - 1))
    done
    return 1
}

start_program() {
    env HOME="$work/home" XDG_CONFIG_HOME="$work/config" "${program[@]}" >"$work/program.log" 2>&1 &
    program_pid=$!
}

if [ "${MTC_LATE_SERVER:-0}" = 1 ]; then
    start_program
    sleep 3
    kill -0 "$program_pid" 2>/dev/null || fail "program ended early"
fi

start_server() {
    jackd -n "$server" -r -d dummy -r 48000 -p 1024 >>"$work/jackd.log" 2>&1 &
    jackd_pid=$!
    timeout 15 jack_wait -w -t 10 >/dev/null || fail "JACK server $server did not start"

    jack_midi_dump -a mtcdump >"$work/dump.log" 2>&1 &
    dump_pid=$!
    wait_for 50 sh -c 'jack_lsp 2>/dev/null | grep -qx "mtcdump:input"' || fail "receiver port missing"
}
start_server

[ "${MTC_LATE_SERVER:-0}" = 1 ] || start_program

# RtMidi's JACK output registers "<client>:MTC out" and connects it to the
# port it opened; connect it here too in case the program did not.
sender_connected() {
    local port
    port=$(jack_lsp 2>/dev/null | grep -m1 '^Orvello[^:]*:MTC out$') || return 1
    jack_connect "$port" mtcdump:input 2>/dev/null
    jack_lsp -c "$port" 2>/dev/null | grep -q '^ *mtcdump:input$'
}
if [ "${MTC_EXPECT_NONE:-0}" = 1 ]; then
    sleep "$mode"
    kill -0 "$program_pid" 2>/dev/null || fail "program ended early"
    stop "$program_pid" TERM
    program_pid=
    sleep 0.3
    grep -q '^ *[0-9]*: ' "$work/dump.log" && fail "MIDI arrived although the output is off"
    jack_lsp 2>/dev/null | grep -q '^Orvello' && fail "a MIDI port was opened although the output is off"
    echo "PASS: nothing sent"
    exit 0
fi
wait_for 100 sender_connected || fail "no Orvello MIDI port connected to mtcdump:input"

if [ "${MTC_RESTART_SERVER:-0}" = 1 ]; then
    sleep 1
    stop "$dump_pid" INT
    stop "$jackd_pid" TERM
    sleep 3
    kill -0 "$program_pid" 2>/dev/null || fail "program ended while the server was down"
    start_server
    wait_for 100 sender_connected || fail "no MIDI port on the restarted server"
fi

if [ "$mode" = exit ]; then
    # Bounded: the program sends for a few seconds and ends.
    for _ in $(seq 300); do
        kill -0 "$program_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$program_pid" 2>/dev/null && fail "program did not end"
    wait "$program_pid" || fail "program failed with status $?"
else
    sleep "$mode"
    kill -0 "$program_pid" 2>/dev/null || fail "program ended early"
    stop "$program_pid" TERM
fi
program_pid=
# Stopping the receiver flushes what it printed.
sleep 0.3
stop "$dump_pid" INT
dump_pid=

# Decode: quarter frames (F1 0n .. F1 7n) are reassembled in piece order into
# codes, full frames (F0 7F 7F 01 01 hh mm ss ff F7) are codes at once; then
# every code must be exactly one frame after the one before it.
awk -v capture="$capture" '
function hex(t,   i, r) {
    t = tolower(t); r = 0
    for (i = 1; i <= length(t); i++) r = r * 16 + index("0123456789abcdef", substr(t, i, 1)) - 1
    return r
}
function fps(rate) { return rate == 0 ? 24 : rate == 1 ? 25 : 30 }
function code(h, m, s, f, rate) {
    codes++
    tc = sprintf("%02d:%02d:%02d:%02d", h, m, s, f)
    line = tc " rate " rate
    if (codes > 1) {
        nf = pf + 1; ns = ps; nm = pm; nh = ph
        if (nf >= fps(rate)) { nf = 0; ns++ }
        if (ns >= 60) { ns = 0; nm++ }
        if (nm >= 60) { nm = 0; nh = (nh + 1) % 24 }
        if (h != nh || m != nm || s != ns || f != nf || rate != prate) {
            bad++
            line = line "   <- expected " sprintf("%02d:%02d:%02d:%02d", nh, nm, ns, nf)
        }
    }
    print line > capture
    ph = h; pm = m; ps = s; pf = f; prate = rate
}
/^ *[0-9]+: / {
    n = 0
    for (i = 2; i <= NF; i++) b[n++] = hex($i)
    if (n == 2 && b[0] == 241) {
        qf++
        piece = int(b[1] / 16); v = b[1] % 16
        if (piece == 0) { want = 0 }
        if (piece != want) { want = -1; next }
        val[piece] = v; want++
        if (qfbytes < 200) { qfline[qfbytes++] = $2 " " $3 }
        if (piece == 7) {
            code(val[6] + 16 * (val[7] % 2), val[4] + 16 * val[5], val[2] + 16 * val[3],
                 val[0] + 16 * val[1], int(val[7] / 2) % 4)
            want = -1
        }
    } else if (n == 10 && b[0] == 240 && b[1] == 127 && b[3] == 1 && b[4] == 1) {
        code(b[5] % 32, b[6], b[7], b[8], int(b[5] / 32) % 4)
    }
}
END {
    if (qfbytes > 0) {
        printf "\nquarter-frame bytes received, first %d messages:\n", qfbytes > capture
        for (i = 0; i < qfbytes; i++) printf "%s%s", qfline[i], (i % 8 == 7 ? "\n" : "  ") > capture
    }
    printf "codes %d, out of sequence %d, quarter frames %d\n", codes, bad, qf
    exit (bad > 0)
}' "$work/dump.log" >"$work/decode.txt" || true
cat "$work/decode.txt"
codes=$(sed -n 's/^codes \([0-9]*\),.*/\1/p' "$work/decode.txt")
bad=$(sed -n 's/.*out of sequence \([0-9]*\),.*/\1/p' "$work/decode.txt")
[ -n "$codes" ] || fail "could not decode the receiver output"
[ "$bad" -eq 0 ] || fail "$bad codes did not follow their predecessor (see $capture);" \
    "JACK reported $(grep -c XRun "$work/jackd.log") xruns"
min=${MTC_MIN_CODES:-20}
[ "$codes" -ge "$min" ] || fail "only $codes codes received, expected at least $min"
echo "PASS: $codes consecutive codes"
