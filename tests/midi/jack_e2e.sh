#!/usr/bin/env bash
# MIDI Time Code end to end: a private JACK server (dummy driver) and a MIDI
# receiver; the program runs SECONDS through RtMidi, in a settings folder of its
# own, and at least MTC_MIN_CODES consecutive codes must arrive (decoded into the
# capture file). The other MTC_* switches are described in CMakeLists.txt.
#   jack_e2e.sh <SECONDS> <capture file> <program> [args...]
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
# every code must be exactly one frame after the one before it, at one rate.
python3 - "$work/dump.log" "$capture" "${MTC_MIN_CODES:-20}" <<'PY' || fail "see $capture;" \
    "JACK reported $(grep -c XRun "$work/jackd.log") xruns"
import re, sys
codes, quarters, pieces = [], 0, []
for line in open(sys.argv[1]):
    m = re.match(r" *[0-9]+: ((?:[0-9a-fA-F]{2}\b ?)+)", line)
    b = [int(x, 16) for x in m.group(1).split()] if m else []
    if len(b) == 2 and b[0] == 0xF1:
        quarters += 1
        piece = b[1] >> 4
        if piece == 0:
            pieces = []
        # A piece out of turn spoils the code until the next piece 0.
        pieces = pieces + [b[1] & 15] if piece == len(pieces) else [-1] * 9
        if len(pieces) == 8:
            v = [pieces[i] + 16 * pieces[i + 1] for i in (6, 4, 2, 0)]
            codes.append((v[0] & 31, v[1], v[2], v[3], v[0] >> 5 & 3))
            pieces = []
    elif len(b) == 10 and b[:5] == [0xF0, 0x7F, b[2], 1, 1]:
        codes.append((b[5] & 31, b[6], b[7], b[8], b[5] >> 5 & 3))
bad = 0
with open(sys.argv[2], "w") as out:
    for i, (h, m, s, f, rate) in enumerate(codes):
        fps = [24, 25, 30, 30][rate]
        n = ((h * 60 + m) * 60 + s) * fps + f
        broken = i > 0 and (n != (prev + 1) % (86400 * fps) or rate != codes[i - 1][4])
        bad += broken
        out.write(f"{h:02}:{m:02}:{s:02}:{f:02} rate {rate}{'   <- out of sequence' if broken else ''}\n")
        prev = n
print(f"codes {len(codes)}, out of sequence {bad}, quarter frames {quarters}")
if bad:
    sys.exit(f"{bad} codes did not follow their predecessor")
if len(codes) < int(sys.argv[3]):
    sys.exit(f"only {len(codes)} codes received, expected at least {sys.argv[3]}")
PY
echo "PASS: consecutive codes"
