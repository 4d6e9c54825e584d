#!/usr/bin/env bash
# MIDI Time Code end to end: starts a private JACK server (dummy driver) and a
# MIDI receiver, runs the program for SECONDS through RtMidi, and checks that
# what arrived decodes as consecutive timecode frames.
#
#   jack_e2e.sh <SECONDS> <capture file> <program> [args...]
# The capture file receives the decoded codes. MTC_MIN_CODES: fewest codes to pass;
# MTC_EXPECT_NONE=1: pass only if nothing at all arrives (output switched off).
# MTC_LATE_SERVER=1: the program starts first and the JACK server some seconds
# later, as when a show computer's MIDI system comes up after the generator.
# MTC_RESTART_SERVER=1: once codes flow, the JACK server and the receiver stop
# and start again; the codes must reach the new receiver.
# MTC_KILL_SERVER=1: once codes flow, the JACK server is killed (SIGKILL) while
# MIDI and LTC use it; the program must keep running and exit with status 0.
# The program always gets a settings folder of its own in the work folder.
set -u

seconds=$1 capture=$2
shift 2
program=("$@")

work=$(mktemp -d /tmp/orvello-mtc.XXXXXX)

source "$(dirname "${BASH_SOURCE[0]}")/../common/jackserver.sh"
# Named after the capture file, which names the test.
name=$(basename "$capture" .txt)
jack_server_name "mtc${name#mtc-orvello}"

# Newest first: the clients leave the server before it goes. jack_midi_dump
# closes its client on INT only; killed otherwise, the server waits seconds
# for it.
cleanup() {
    [ -n "${program_pid:-}" ] && stop "$program_pid" TERM TERM
    [ -n "${dump_pid:-}" ] && stop "$dump_pid" INT TERM
    [ -n "${jackd_pid:-}" ] && stop "$jackd_pid" TERM TERM
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
    jack_server_start 1024 "$work/jackd.log"

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
none=${MTC_EXPECT_NONE:-0}
[ "$none" = 1 ] || wait_for 100 sender_connected || fail "no Orvello MIDI port connected to mtcdump:input"

if [ "${MTC_RESTART_SERVER:-0}" = 1 ]; then
    sleep 1
    stop "$dump_pid" INT TERM
    stop "$jackd_pid" TERM TERM
    sleep 3
    kill -0 "$program_pid" 2>/dev/null || fail "program ended while the server was down"
    start_server
    wait_for 100 sender_connected || fail "no MIDI port on the restarted server"
fi

if [ "${MTC_KILL_SERVER:-0}" = 1 ]; then
    # The server dies without a word while MIDI and LTC use it: the program
    # goes on (Art-Net among the rest) and still ends cleanly.
    kill -KILL "$jackd_pid"
    wait "$jackd_pid" 2>/dev/null
    jackd_pid=
    stop "$dump_pid" INT TERM
    dump_pid=
    sleep "$seconds" # the outputs find the server gone and look for it again
    kill -0 "$program_pid" 2>/dev/null || fail "program ended when the server was killed"
    kill -TERM "$program_pid"
    rc=0
    wait "$program_pid" || rc=$?
    program_pid=
    [ "$rc" = 0 ] || fail "exit status $rc after the server was killed"
    grep -q 'runtime error\|Sanitizer' "$work/program.log" && fail "sanitizer report"
    echo "PASS: running on, then status 0"
    exit 0
fi

sleep "$seconds"
kill -0 "$program_pid" 2>/dev/null || fail "program ended early"
[ "$none" = 1 ] && jack_lsp 2>/dev/null | grep -q '^Orvello' &&
    fail "a MIDI port was opened although the output is off"
stop "$program_pid" TERM TERM
program_pid=
# Stopping the receiver flushes what it printed.
sleep 0.3
stop "$dump_pid" INT TERM
dump_pid=
if [ "$none" = 1 ]; then
    grep -q '^ *[0-9]*: ' "$work/dump.log" && fail "MIDI arrived although the output is off"
    echo "PASS: nothing sent"
    exit 0
fi

# Decode: quarter frames (F1 0n .. F1 7n) are reassembled in piece order into
# codes, full frames (F0 7F 7F 01 01 hh mm ss ff F7) are codes at once; then
# every code must be exactly one frame after the one before it.
awk -v capture="$capture" -v H=0123456789abcdef '
function hex(t) { t = tolower(t); return 16 * index(H, substr(t, 1, 1)) + index(H, substr(t, 2, 1)) - 17 }
function code(h, m, s, f, rate,   fps, n, line) {
    fps = rate == 0 ? 24 : rate == 1 ? 25 : 30
    n = ((h * 60 + m) * 60 + s) * fps + f
    line = sprintf("%02d:%02d:%02d:%02d rate %d", h, m, s, f, rate)
    if (codes++ > 0 && (n != (prev + 1) % (86400 * fps) || rate != prate)) {
        bad++
        line = line "   <- out of sequence"
    }
    print line > capture
    prev = n; prate = rate
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
