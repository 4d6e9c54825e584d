#!/usr/bin/env bash
# Chase and convert on the wire: one Orvello runs place 1 at 25 fps and sends
# MIDI Time Code (then LTC) into a private JACK server (dummy driver); a
# second one follows it on its own "MTC in" port (its LTC input) and sends
# ArtTimeCode from a network namespace of its own, where a capture in the
# peer namespace records every code. The first one then stops: the follower
# must count on for its freewheel frames and then fall silent.
#
#   e2e_chase.sh <orvello>
set -euo pipefail

ORVELLO="${1:?usage: e2e_chase.sh <orvello>}"
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$HERE/../common/netns.sh"
netns_require ip python3 jackd jack_lsp jack_connect jack_wait
netns_init C chase
export JACK_DEFAULT_SERVER="orvchase$$" JACK_NO_AUDIO_RESERVATION=1
source "$HERE/../common/jackserver.sh"
source "$HERE/../common/e2erun.sh"
# JACK clients are asked to go first: one killed while it opens the
# server's metadata store leaves that store broken for every later client.
gentle_end() {
    local i
    for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do stop "${PIDS[$i]}" TERM KILL; done
    [ -n "${jackd_pid:-}" ] && stop "$jackd_pid" TERM KILL
    netns_teardown
    rm -rf "$WORK"
}
trap gentle_end EXIT
netns_setup 1

mkdir -p "$WORK/jack"
jack_server_start 256 "$WORK/jack/stdout"

# run <name> <namespace> <settings> <args...>: a fresh headless run. Sets PID.
run() {
    rm -rf "${WORK:?}/$1"
    settings_folder "$WORK/$1" $3
    run_headless "$WORK/$1" "$2" "${@:4}"
}
codes() { wc -l <"$WORK/capture" 2>/dev/null || echo 0; }
at_least() { [ "$(codes)" -ge "$1" ]; }

# chase <input> <source output> <out port> <in port>: one run; prints its figures.
chase() {
    local input="$1" output="$2" outport="$3" inport="$4"
    rm -f "$WORK/capture" "$WORK/ready"
    ip netns exec "$NSB" python3 "$HERE/../common/tcwire.py" capture "$WORK/capture" "$WORK/ready" &
    CAP=$!
    PIDS+=("$CAP")
    check "capture not ready" 100 test -e "$WORK/ready"

    run follower "$NSA" "follow_input=$input" follow nomidi noltc
    FOLLOWER=$PID
    check "$input: no input port" 150 sh -c "jack_lsp 2>/dev/null | grep -q '$inport'"
    # The source has no network of its own to send Art-Net into.
    run source "$NSB" "" p1 25fps "$output" noartnet
    SOURCE=$PID
    connected() {
        local out in
        out=$(jack_lsp 2>/dev/null | grep -m1 "$outport") || return 1
        in=$(jack_lsp 2>/dev/null | grep -m1 "$inport") || return 1
        jack_connect "$out" "$in" 2>/dev/null || true
        jack_lsp -c "$out" 2>/dev/null | grep -q "$inport"
    }
    check "$input: source not connected to the follower" 150 connected
    check "$input: follower does not lock" 150 grep -qs "locked" "$WORK/follower/stdout"
    base=$(codes)
    check "$input: too few codes while locked" 150 at_least $((base + 100))

    kill -TERM "$SOURCE"
    wait "$SOURCE" 2>/dev/null || true
    stopped=$(codes)
    check "$input: follower does not report the lost input" 100 \
        sh -c "grep '^status: ' '$WORK/follower/stdout' | tail -n 1 | grep -q 'no input'"
    # Silent now: nothing more arrives over the next half second of codes.
    n=$(codes)
    sleep 0.5
    [ "$(codes)" -eq "$n" ] || fail "$input: codes after the freewheel ended"
    kill -TERM "$CAP" "$FOLLOWER"
    wait "$CAP" "$FOLLOWER" 2>/dev/null || true
    # A JACK overrun holds every client up alike: each may cost one break in the
    # sequence, which is no fault of the follower.
    xruns=$(jack_xruns "$WORK/jack/stdout")
    : >"$WORK/jack/stdout"
    python3 - "$WORK/capture" "$stopped" "$input" "$xruns" <<'PY' || fail "$input: codes out of order"
import json, sys
rows = [l.split() for l in open(sys.argv[1])]
idx = [int(r[2]) for r in rows]
kinds = {r[3] for r in rows}
steps = [b - a for a, b in zip(idx, idx[1:])]
bad = [s for s in steps if s != 1]
stopped = int(sys.argv[2])
xruns = int(sys.argv[4])
figures = {"input": sys.argv[3], "codes": len(idx), "types": sorted(kinds), "jack_overruns": xruns,
           "not_consecutive": len(bad), "after_source_stopped": len(idx) - stopped,
           "breaks": [(i, idx[i], idx[i + 1]) for i, s in enumerate(steps) if s != 1][:5],
           "type_changes": [(i, rows[i][3], rows[i + 1][3]) for i in range(len(rows) - 1)
                            if rows[i][3] != rows[i + 1][3]][:5]}
print(json.dumps(figures))
# 25 freewheel frames, give or take the codes in flight when the source went.
# LTC tells its rate by the frame numbers' wrap: the first second may read
# 25 fps as 24 (a known limit); from the first wrap on it must be 25.
settled = {r[3] for r in rows[30:]}
sys.exit(0 if len(bad) <= xruns and settled == {"1"} and 20 <= len(idx) - stopped <= 30 else 1)
PY
}

chase mtc midi 'MTC out$' 'MTC in$'
chase ltc ltc 'outport 0$' 'inport 0$'
