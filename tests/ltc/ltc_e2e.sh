#!/usr/bin/env bash
# End to end of the LTC output: the real program on a private JACK server
# (dummy driver), its LTC port recorded by our own listener and decoded with
# libltc, beside the ArtTimeCode it sends at the same moment.
#
#   ltc_e2e.sh <orvello> <ltcdecode>
# Orvello runs in a network namespace of its own with one veth adapter,
# 10.77.0.1/24; the Art-Net listener sits in the peer namespace. Nothing here
# touches the host's own interfaces or sound devices.
set -uo pipefail

ORVELLO="$1" DECODE="$2"

HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$HERE/../common/jackserver.sh"
source "$HERE/../common/netns.sh"
source "$HERE/../common/e2erun.sh"
netns_require ip python3 jackd jack_wait jack_lsp
netns_init L ltc
trap 'stop "${program_pid:-}"; stop "${jackd_pid:-}"; netns_teardown; rm -rf "$WORK"' EXIT
jack_server_name ltc
PORT="Orvello:outport 0"

# The breaks the listener saw, and the last lines of every log.
fail() {
    echo "FAIL: $*" >&2
    grep -h -B2 -A1 "break" "$WORK"/*/listen.txt >&2
    for f in "$WORK"/jackd.log "$WORK"/*/stderr "$WORK"/*/listen.txt; do
        [ -s "$f" ] && { echo "--- $f" >&2; tail -n 8 "$f" >&2; }
    done
    exit 1
}

jack_server_start 256 "$WORK/jackd.log"
netns_setup 1

# run_case <name> <seconds> <settings> <program arguments...>
# Records the LTC port for <seconds> from the moment it exists with the
# stamping listener (listen.txt), while the peer namespace records every
# ArtTimeCode with the time the kernel received it (artnet.txt).
run_case() {
    local name=$1 seconds=$2 dir="$WORK/$1"
    settings_folder "$dir" $3
    shift 3
    ip netns exec "$NSB" python3 "$HERE/../common/tcwire.py" capture "$dir/artnet.txt" "$dir/ready" &
    local capture_pid=$!
    PIDS+=($capture_pid)
    wait_for 50 test -e "$dir/ready" || fail "$name: Art-Net listener did not start"

    local xruns_before
    xruns_before=$(jack_xruns "$WORK/jackd.log")
    "$DECODE" "$PORT" "$seconds" >"$dir/listen.txt" 2>"$dir/listen.err" &
    local decode_pid=$!
    PIDS+=($decode_pid)
    wait_for 100 grep -qs listening "$dir/listen.err" || fail "$name: LTC listener did not start"
    ip netns exec "$NSA" env QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$dir/config" \
        HOME="$dir/home" "$ORVELLO" noupdatecheck ltc "$@" >"$dir/stdout" 2>"$dir/stderr" &
    program_pid=$!
    # The listener connects the moment the port exists, and ends by itself.
    wait "$decode_pid" || fail "$name: listener failed: $(cat "$dir/listen.err")"
    kill -0 "$program_pid" 2>/dev/null || fail "$name: orvello ended early"
    stop "$program_pid"
    program_pid=""
    stop "$capture_pid"
    SUMMARY=$(grep '^summary' "$dir/listen.txt")
    XRUNS=$(($(jack_xruns "$WORK/jackd.log") - xruns_before))
    echo "$name: $SUMMARY, JACK overruns while recording: $XRUNS"
}

# An overrun of the JACK server (jackd runs without real-time rights on this
# shared machine) loses audio time for every client alike; a frame may be
# lost with it, which is no fault of the program.
breaks_ok() { [ "$(field breaks)" -le "$XRUNS" ]; }

field() { sed -n "s/.* $1=\([0-9.]*\).*/\1/p" <<<"$SUMMARY"; }

# 25 fps: every frame consecutive at the rate, no drop-frame flag, and heard
# within one frame of the ArtTimeCode carrying the same code.
run_case running 4 "" p0 25fps
[ "$(field codes)" -ge $((95 - XRUNS)) ] || fail "running: only $(field codes) codes in 4 s at 25 fps"
breaks_ok || fail "running: codes out of sequence"
[ "$(field dropframe)$(field fps)" = 025 ] || fail "running: $(field dropframe) drop-frame flags, $(field fps) fps"
python3 - "$WORK/running/listen.txt" "$WORK/running/artnet.txt" 40 <<'PY' || fail "running: LTC not in step with ArtTimeCode"
import re, sys
art = {}  # frame index at 25 fps -> when its ArtTimeCode arrived
for line in open(sys.argv[2]):
    ns, _, index, _ = line.split()
    art.setdefault(int(index), int(ns) / 1e9)
offsets = []
for line in open(sys.argv[1]):
    parts = line.split()
    if len(parts) >= 3 and ":" in parts[1]:
        h, m, s, f = map(int, re.split("[:;]", parts[1]))
        index = ((h * 60 + m) * 60 + s) * 25 + f
        if index in art:
            offsets.append((float(parts[2]) - art[index]) * 1000)
if len(offsets) < 50:
    sys.exit("only %d codes seen on both outputs" % len(offsets))
offsets.sort()
print("LTC minus ArtTimeCode over %d codes: min %.2f ms, median %.2f ms, max %.2f ms"
      % (len(offsets), offsets[0], offsets[len(offsets) // 2], offsets[-1]))
sys.exit(0 if max(abs(offsets[0]), abs(offsets[-1])) < float(sys.argv[3]) else 1)
PY

# 30 drop: the drop-frame flag on every frame, as ArtTimeCode's Type 2 says.
run_case drop 3 "" p0 30drop
[ "$(field codes)" -ge $((85 - XRUNS)) ] || fail "drop: only $(field codes) codes in 3 s"
breaks_ok || fail "drop: codes out of sequence"
[ "$(field dropframe)" -eq "$(field codes)" ] || fail "drop: drop-frame flag missing"

# Place 1 runs from 00:00:00 and pauses at its end code 00:00:02: silent from
# then on. Recorded from the moment the port exists, however long the program
# took to start, and for long enough to hear a second of silence after the end.
run_case paused 6 "start_hour_0=0 start_minute_0=0 start_seconds_0=0 end_hour_0=0 end_minute_0=0 end_seconds_0=2" \
    p1 25fps
last=$(grep -v '^summary' "$WORK/paused/listen.txt" | tail -n 1)
breaks_ok || fail "paused: codes out of sequence"
# The end code is the last code sent, and heard whole; silence follows within
# half a frame of its end (the next frame's first half bit ends its last bit).
[ "$(cut -d' ' -f2 <<<"$last")" = "00:00:02:00" ] ||
    fail "paused: last code heard '$last', expected the place's end 00:00:02:00"
end_of_last=$(awk -v s="$(cut -d' ' -f1 <<<"$last")" 'BEGIN { print (s + 1920 * 1.5) / 48000 }')
awk "BEGIN { exit !($(field sound_until) <= $end_of_last && $(field sound_until) < $(field length) - 1) }" ||
    fail "paused: sound until $(field sound_until) s of $(field length) s, the end code ends at $end_of_last s"
echo "paused: last code 00:00:02:00, silent after $(field sound_until) s of $(field length) s"
echo "PASS"
