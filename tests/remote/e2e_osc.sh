#!/usr/bin/env bash
# `orvello headless` driven by liblo's oscsend from a peer namespace, where
# tshark captures Art-Net and oscdump subscribes: every command must change the
# wire, and the subscriber must get every frame sent, in order, and each state.
set -euo pipefail

ORVELLO="${1:?usage: e2e_osc.sh <orvello>}"
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$HERE/../common/netns.sh"
source "$HERE/../common/headless.sh"
netns_require ip tshark python3 oscsend oscdump
netns_init R osc
netns_setup 1
export TZ=UTC

# The playlist entry fires within the hour it names; not at the hour's end.
while [ "$(date +%M%S)" -ge 5930 ]; do sleep 1; done

settings_folder "$WORK/run" osc_enabled=1 osc_port=9000 artnet_interface_name=10.77.0.0 \
    midi_protocol_on=0 start_hour_1=1 start_hour_2=2 playlist_count=1 playlist_enabled=0 \
    playlist_place_0=3 "playlist_hour_0=$((10#$(date +%H)))"
netns_capture run "$WORK/run/cap.pcapng" 'udp port 6454' b0
ip netns exec "$NSB" oscdump -L 9001 >"$WORK/run/dump" 2>"$WORK/run/dump.err" &
PIDS+=($!)
run_headless "$WORK/run" "$NSA" nomidi 25fps
headless_wait run "OSC: listening on 10.77.0.1 port 9000"

# A console renews its subscription every few seconds, like its polls.
(while true; do ip netns exec "$NSB" oscsend 10.77.0.1 9000 /orvello/subscribe i 9001; sleep 3; done) &
PIDS+=($!)
for _ in $(seq 50); do
    grep -q "subscribed" "$WORK/run/stdout" && break
    sleep 0.1
done

# step <name> [oscsend arguments]: the time it was sent, then a second to act.
step() {
    local name="$1"
    shift
    echo "$name $(date +%s.%N)" >>"$WORK/run/steps"
    [ $# -eq 0 ] || ip netns exec "$NSB" oscsend 10.77.0.1 9000 "$@"
    sleep 1.2
}
step paused
step play /orvello/play
step format3 /orvello/format i 3
step place2 /orvello/place i 2
step freeze /orvello/freeze
step unfreeze /orvello/freeze
step pause /orvello/pause
step playpause /orvello/playpause
step reset /orvello/reset
step systemtime /orvello/place f 0.0
step format1 /orvello/format d 1
step playlist /orvello/playlist i 1
echo "end $(date +%s.%N)" >>"$WORK/run/steps"
headless_stop run TERM
sleep 0.3
netns_capture_stop
tshark -r "$WORK/run/cap.pcapng" -T fields -E separator=, -e frame.time_epoch -e ip.src \
    -e udp.payload 2>/dev/null >"$WORK/run/fields"

python3 - "$WORK/run" <<'PY' || fail "wire"
import re, sys, time
run = sys.argv[1]
steps = [(l.split()[0], float(l.split()[1])) for l in open(f"{run}/steps")]
codes = []  # (time, hh, mm, ss, ff, type)
for line in open(f"{run}/fields"):
    t, src, payload = line.strip().split(",")
    p = bytes.fromhex(payload)
    if src == "10.77.0.1" and p[8:10] == b"\x00\x97":
        codes.append((float(t), p[17], p[16], p[15], p[14], p[18]))

def window(name):
    i = [n for n, _ in steps].index(name)
    # A command acts within 250 ms; the rest of its second is what it did.
    return [c for c in codes if steps[i][1] + 0.25 <= c[0] < steps[i + 1][1]]

def check(name, ok, what):
    w = window(name)
    if not ok(w):
        sys.exit(f"{name}: {what}; saw {len(w)} codes, first {w[:1]}, last {w[-1:]}")
    print(f"  {name}: {len(w)} codes, {what}")

def runs(w): return len(w) >= 15
check("paused", lambda w: not w, "nothing while paused")
check("play", lambda w: runs(w) and w[0][1:4] == (0, 0, 0) and all(c[5] == 1 for c in w),
      "runs from 00:00:00 at 25 fps")
check("format3", lambda w: runs(w) and all(c[5] == 3 for c in w), "30 fps")
check("place2", lambda w: runs(w) and all(c[1] == 1 for c in w), "place 2 from 01:00:00")
check("freeze", lambda w: not w, "nothing while frozen")
check("unfreeze", lambda w: runs(w) and all(c[1] == 1 for c in w), "place 2 again")
check("pause", lambda w: not w, "nothing while paused")
check("playpause", lambda w: runs(w) and all(c[1] == 1 for c in w), "place 2 resumed")
check("reset", lambda w: runs(w) and w[0][1:4] == (0, 0, 0), "back to 00:00:00")
check("systemtime", lambda w: runs(w) and all(c[1] == time.gmtime(c[0]).tm_hour for c in w),
      "the clock's hour")
check("format1", lambda w: runs(w) and all(c[5] == 1 for c in w), "25 fps")
check("playlist", lambda w: runs(w) and w[-1][1] == 2, "the playlist's entry: place 3 at 02:00:00")

sent = ["%02d:%02d:%02d:%02d %d" % c[1:] for c in codes]
dump = [l.split() for l in open(f"{run}/dump")]
got = ["%s %s" % (d[3].strip('"'), d[4]) for d in dump if d[1] == "/orvello/timecode"]
if got != sent:
    first = next((i for i, (a, b) in enumerate(zip(got, sent)) if a != b), min(len(got), len(sent)))
    sys.exit(f"subscriber: {len(got)} codes, Art-Net {len(sent)}; first difference at {first}: "
             f"{got[first:first + 2]} against {sent[first:first + 2]}")
print(f"  subscriber: every one of the {len(sent)} codes sent, in order")
states = [" ".join(d[3:]) for d in dump if d[1] == "/orvello/state"]
for want in ('"paused" "no place"', '"running" "no place"', '"running" "place 2"',
             '"frozen" "place 2"', '"paused" "place 2"', '"running" "system time"',
             '"running" "place 3"'):
    if want not in states:
        sys.exit(f"subscriber: no state {want} in {states}")
print(f"  subscriber: {len(states)} state messages, each change among them")
PY
echo "PASS"
