#!/usr/bin/env bash
# The real program on a private wire, probed from outside.
#
#   wirerun.sh <orvello> <quiet s> <storm s> <datagrams/s>
# Quiet run, then a storm of hostile and odd Art-Net (wirepeer.py), then a
# quiet tail. Fails unless the program is alive after it, the ArtTimeCode
# stream has no missed or repeated frame, a poll after the storm gets exactly
# one correct reply, SIGTERM ends it with status 0 and nothing was reported on
# standard error (sanitizer builds included). Verbose output goes to a pipe
# nobody reads. Prints the figures.
#
# The program and its two veth adapters (10.77.0.1/24, 192.168.77.1/24) in one
# namespace; the peer, its forged addresses and tshark in a second.
set -euo pipefail

ORVELLO="${1:?usage: wirerun.sh <orvello> <quiet s> <storm s> <datagrams/s>}"
QUIET="${2:-4}" STORM="${3:-5}" RATE="${4:-20000}"
HERE="$(cd "$(dirname "$0")" && pwd)"
PEER="$HERE/wirepeer.py"

source "$HERE/../common/netns.sh"
netns_require ip tshark python3
netns_init S wire
trap 'netns_teardown; [ -n "${WIRE_KEEP:-}" ] && echo "results kept in $WORK" || rm -rf "$WORK"' EXIT

netns_setup 2
# The forged poll sources live here too, so replies to them reach the wire.
for i in $(seq 10 59); do ip -n "$NSB" addr add "10.77.0.$i/24" dev b0; done

mkdir -p "$WORK/config" "$WORK/home" "$WORK/runtime"
chmod 700 "$WORK/runtime"
# Only what the program sends is captured: the storm itself would drown tshark.
netns_capture wire "$WORK/cap.pcapng" 'udp port 6454 and (src host 10.77.0.1 or src host 192.168.77.1)' \
    b0 b1

# Standard output: a pipe this script holds open and never reads.
mkfifo "$WORK/stdout.fifo"
exec 7<>"$WORK/stdout.fifo"
ip netns exec "$NSA" env QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$WORK/config" \
    HOME="$WORK/home" XDG_RUNTIME_DIR="$WORK/runtime" "$ORVELLO" noupdatecheck verbose p0 30fps \
    >"$WORK/stdout.fifo" 2>"$WORK/stderr" &
ORV=$!
PIDS+=("$ORV")
now() { date +%s.%N; }
alive() { kill -0 "$ORV" 2>/dev/null || fail "orvello ended: $(cat "$WORK/stderr")"; }
sleep 2
alive

q0=$(now)
sleep "$QUIET"
q1=$(now)
ip netns exec "$NSB" timeout $((${STORM%.*} + 60)) python3 "$PEER" storm "$STORM" "$RATE" \
    "$WORK/storm.json"
sleep 1
alive
polled=$(now)
netns_poll 10.77.0.2 10.77.0.1
sleep 1.5
read -r s0 s1 < <(python3 -c "import json;d=json.load(open('$WORK/storm.json'));print(d['start'],d['end'])")
phases="{\"quiet\": [$q0, $q1], \"storm\": [$s0, $s1], \"after poll\": [$polled, $(now)]}"
echo "storm sent: $(cat "$WORK/storm.json")"

alive
kill -TERM "$ORV"
status=0
for _ in $(seq 50); do kill -0 "$ORV" 2>/dev/null || break; sleep 0.1; done
kill -0 "$ORV" 2>/dev/null && fail "SIGTERM did not end the program within 5 s"
wait "$ORV" || status=$?
netns_capture_stop

echo "$phases" >"$WORK/phases.json"
tshark -r "$WORK/cap.pcapng" -T fields -E separator=, -e frame.time_epoch -e ip.src -e ip.dst \
    -e udp.payload 2>/dev/null >"$WORK/fields.csv"
python3 "$PEER" analyse "$WORK/fields.csv" "$WORK/phases.json" >"$WORK/report.json"

[ "$status" -eq 0 ] || fail "exit status $status"
[ -s "$WORK/stderr" ] && fail "standard error: $(head -c 3000 "$WORK/stderr")"
python3 - "$WORK/report.json" <<'PY' || fail "wire checks"
import json, sys
report = json.load(open(sys.argv[1]))
for dst, tc in report["timecode"].items():
    print(f"ArtTimeCode to {dst}: {tc['frames']} frames, {tc['missed']} missed, "
          f"{tc['repeated']} repeated")
for phase, replies in report["replies"].items():
    print(f"ArtPollReply {phase:10s} {replies['total']:5d} to {len(replies['to'])} addresses, "
          f"most to one: {max(replies['to'].values(), default=0)}")
ok = True
for dst in ("10.77.0.255", "192.168.77.255"):
    tc = report["timecode"].get(dst)
    if not tc or tc["frames"] < 30:
        print(f"no ArtTimeCode stream to {dst}"); ok = False; continue
    if tc["missed"] or tc["repeated"]:
        print(f"{dst}: {tc['missed']} missed, {tc['repeated']} repeated frames"); ok = False
after = report["replies"]["after poll"]["to"]
if after != {"10.77.0.2": 1}:
    print(f"poll after the storm: replies {after}, want exactly one to 10.77.0.2"); ok = False
sys.exit(0 if ok else 1)
PY
# The one reply after the storm must be ours and whole.
tshark -r "$WORK/cap.pcapng" -Y "artnet.poll_reply && ip.dst == 10.77.0.2 && frame.time_epoch >= $polled" \
    -T fields -e artnet.poll_reply.ip_address -e artnet.poll_reply.short_name -e udp.length \
    2>/dev/null | grep -q $'^10.77.0.1\tOrvello\t248$' || fail "the reply after the storm is not ours"
echo "PASS"
