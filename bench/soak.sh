#!/usr/bin/env bash
# Soak run of the real program at 30 fps (needs root; private namespaces).
#   bench/soak.sh [seconds=3600]
# Prints resident memory and CPU every 10 s, then missed and repeated frames
# of the ArtTimeCode stream on the wire. The program and its two veth adapters
# (10.77.0.1/24, 192.168.77.1/24) in one namespace, tshark in the second.
# ORVELLO=path picks another build; WIRE_KEEP=1 keeps the capture.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
ORVELLO="${ORVELLO:-$ROOT/build/app/orvello}"
SECONDS_TOTAL="${1:-3600}"

source "$ROOT/tests/common/netns.sh"
source "$ROOT/bench/benchcommon.sh"
netns_require ip tshark python3
netns_init K soak
trap 'netns_teardown; [ -n "${WIRE_KEEP:-}" ] && echo "results kept in $WORK" || rm -rf "$WORK"' EXIT
netns_setup 2

mkdir -p "$WORK/config" "$WORK/home" "$WORK/runtime"
chmod 700 "$WORK/runtime"
netns_capture soak "$WORK/cap.pcapng" 'udp port 6454 and (src host 10.77.0.1 or src host 192.168.77.1)' \
    b0 b1
ip netns exec "$NSA" env QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$WORK/config" \
    HOME="$WORK/home" XDG_RUNTIME_DIR="$WORK/runtime" "$ORVELLO" noupdatecheck p0 30fps \
    >/dev/null 2>"$WORK/stderr" &
ORV=$!
PIDS+=("$ORV")
alive() { kill -0 "$ORV" 2>/dev/null || fail "orvello ended: $(cat "$WORK/stderr")"; }
sleep 2
alive

t0=$(date +%s.%N)
printf '%8s %10s %6s\n' "t/s" "RSS/KiB" "CPU%"
ticks=$(cpu_ticks "$ORV")
before=$t0
for ((t = 10; t <= SECONDS_TOTAL; t += 10)); do
    sleep 10
    alive
    now=$(date +%s.%N)
    previous=$ticks
    ticks=$(cpu_ticks "$ORV")
    rss=$(awk '/^VmRSS/ {print $2}' "/proc/$ORV/status")
    printf '%8d %10d %6.1f\n' "$t" "$rss" "$(cpu_percent $((ticks - previous)) "$before" "$now")"
    before=$now
done
echo "{\"soak\": [$t0, $(date +%s.%N)]}" >"$WORK/phases.json"

netns_end "$ORV"
netns_capture_stop
[ -s "$WORK/stderr" ] && echo "standard error: $(head -c 3000 "$WORK/stderr")"
tshark -r "$WORK/cap.pcapng" -T fields -E separator=, -e frame.time_epoch -e ip.src -e ip.dst \
    -e udp.payload 2>/dev/null >"$WORK/fields.csv"
python3 "$ROOT/tests/artnet/wirepeer.py" analyse "$WORK/fields.csv" "$WORK/phases.json" >"$WORK/report.json"
python3 - "$WORK/report.json" <<'PY'
import json, sys
for dst, tc in json.load(open(sys.argv[1]))["timecode"].items():
    print(f"ArtTimeCode to {dst}: {tc['frames']} frames, {tc['missed']} missed, {tc['repeated']} repeated")
PY
