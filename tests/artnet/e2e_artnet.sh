#!/usr/bin/env bash
# The real program's Art-Net on a private wire (two veth adapters, 10.77.0.1/24
# and 192.168.77.1/24; tshark and a stand-in console in the peer namespace):
#   e2e_artnet.sh <orvello>                    the output and the poll replies
#   e2e_artnet.sh <orvello> remote [headless]  the DMX remote, in either face
set -euo pipefail

ORVELLO="${1:?usage: e2e_artnet.sh <orvello> [remote [headless]]}"
MODE="${2:-output}"
if [ "${3:-}" = headless ]; then
    RUN=(env -i PATH="$PATH" LANG=C.UTF-8)
    FACE=(headless)
else
    RUN=(env QT_QPA_PLATFORM=offscreen)
    FACE=()
fi

HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$HERE/../common/netns.sh"
source "$HERE/../common/e2erun.sh"
netns_require ip tshark python3
netns_init "" e2e

netns_setup 2
# A console on a network the program has no adapter in.
ip -n "$NSB" addr add 172.31.77.2/24 brd + dev b0
MAC_A0="$(ip netns exec "$NSA" cat /sys/class/net/a0/address)"
MAC_A1="$(ip netns exec "$NSA" cat /sys/class/net/a1/address)"

# start_case <name> <program arguments...>: a capture in the peer namespace
# and the program, with the settings folder made before or an empty one.
# Returns once it runs; sets PID. Leaves $WORK/<name>/cap.pcapng and stdout.
start_case() {
    local name="$1" dir="$WORK/$1"
    shift
    [ -d "$dir" ] || settings_folder "$dir"
    netns_capture "$name" "$dir/cap.pcapng" 'udp port 6454' b0 b1
    ip netns exec "$NSA" "${RUN[@]}" XDG_CONFIG_HOME="$dir/config" HOME="$dir/home" \
        "$ORVELLO" "${FACE[@]}" noupdatecheck verbose "$@" >"$dir/stdout" 2>"$dir/stderr" &
    PID=$!
    PIDS+=("$PID")
    sleep 1.5
    kill -0 "$PID" 2>/dev/null || fail "$name: orvello ended early: $(cat "$dir/stderr")"
}

stop_case() {
    netns_end "$PID"
    netns_capture_stop
}

# run_case <name> <seconds> <program arguments...>: the program for <seconds>
# after three ArtPolls: from each of its subnets and from a foreign one.
run_case() {
    start_case "$1" "${@:3}"
    netns_poll 10.77.0.2 10.77.0.1 192.168.77.2 192.168.77.255 172.31.77.2 10.77.0.1
    sleep "$2"
    stop_case
}

# check_flagged <name>: none of our datagrams is malformed or draws a warning.
check_flagged() {
    local flagged
    flagged="$(tshark -r "$WORK/$1/cap.pcapng" 2>/dev/null \
        -Y '(_ws.malformed || _ws.expert.severity >= "Warning") && (ip.src == 10.77.0.1 || ip.src == 192.168.77.1)' \
        -T fields -e frame.number -e _ws.expert.message)"
    [ -z "$flagged" ] || fail "$1: flagged by the dissector: $flagged"
}

# check_replies <name>: exactly one ArtPollReply to each poller of our
# subnets, carrying the address and MAC of the adapter that faces it, and
# none to the foreign one.
check_replies() {
    tshark -r "$WORK/$1/cap.pcapng" 2>/dev/null -Y artnet.poll_reply -T fields -E separator='|' \
        -e ip.src -e ip.dst -e udp.dstport -e artnet.poll_reply.ip_address \
        -e artnet.poll_reply.port_nr -e artnet.poll_reply.versinfo -e artnet.poll_reply.oem \
        -e artnet.poll_reply.short_name -e artnet.poll_reply.long_name \
        -e artnet.poll_reply.node_report -e artnet.poll_reply.num_ports \
        -e artnet.poll_reply.port_types_1 -e artnet.poll_reply.good_output_1 \
        -e artnet.poll_reply.swout_1 -e artnet.poll_reply.style -e artnet.poll_reply.mac \
        >"$WORK/$1/replies"
    python3 - "$WORK/$1/replies" "$MAC_A0" "$MAC_A1" <<'EOF' || fail "$1: poll replies"
import sys
rows = [l.rstrip("\n").split("|") for l in open(sys.argv[1]) if l.strip()]
mac = {"10.77.0.1": sys.argv[2], "192.168.77.1": sys.argv[3]}
want = {"10.77.0.2": "10.77.0.1", "192.168.77.2": "192.168.77.1"}
dests = sorted(r[1] for r in rows)
if dests != sorted(want):
    sys.exit(f"replies went to {dests}, expected {sorted(want)}")
for (src, dst, dport, ip, port, vers, oem, short, long_, report, ports, ptype, good, swout,
     style, m) in rows:
    expect = want[dst]
    checks = {
        "source": (src, expect), "udp port": (dport, "6454"), "ip_address": (ip, expect),
        "port_nr": (port, "6454"), "versinfo": (vers, "0x0200"), "oem": (oem, "0x0c11"),
        "short_name": (short, "Orvello"),
        "long_name": (long_, "Orvello v2.0.0.1 by www.orvello.example"),
        "node_report": (report, ""), "port_types_1": (ptype, "0x85"),
        "good_output_1": (good, "0x80"), "style": (style, "0x00"), "mac": (m, mac[expect]),
    }
    for what, (got, exp) in checks.items():
        if got != exp:
            sys.exit(f"reply to {dst}: {what} is {got!r}, expected {exp!r}")
    # One output port exactly when DMX input runs; its SwOut is then universe 256 - 1.
    if (ports, swout) not in (("0", "0x00"), ("1", "0xff")):
        sys.exit(f"reply to {dst}: num_ports {ports} with swout {swout}")
print(f"  poll replies ok: {len(rows)}, none to the foreign subnet")
EOF
}

# check_timecode <name> <type> <destinations, comma-separated, in order> [stream id]
# Every new code goes once to each destination, in the given order, as a
# well-formed 20-byte ArtTimeCode of the given type that follows the clock.
check_timecode() {
    # Time, source, destination, ports, payload.
    tshark -r "$WORK/$1/cap.pcapng" 2>/dev/null -T fields -E separator=, -e frame.time_epoch \
        -e ip.src -e ip.dst -e udp.srcport -e udp.dstport -e udp.payload >"$WORK/$1/fields"
    python3 - "$WORK/$1/fields" "$2" "$3" "${4:-0}" <<'EOF' || fail "$1: timecode"
import sys, time
rows = [l.rstrip("\n").split(",") for l in open(sys.argv[1]) if l.strip()]
ftype, order = int(sys.argv[2]), [d for d in sys.argv[3].split(",") if d]
stream = int(sys.argv[4])
ours = ("10.77.0.1", "192.168.77.1")
fps = {0: 24, 1: 25, 2: 30, 3: 30}[ftype]
per_dest = {}
for t, src, dst, sport, dport, payload in rows:
    p = bytes.fromhex(payload)
    if src not in ours or p[8:10] != b"\x00\x97":
        continue
    head = b"Art-Net\0\x00\x97\x00\x0e\x00" + bytes([stream])
    if len(p) != 20 or p[:14] != head or p[19] != 0 or p[18] != ftype or dport != "6454":
        sys.exit(f"bad ArtTimeCode to {dst}: {payload}")
    ff, ss, mm, hh = p[14], p[15], p[16], p[17]
    if ff >= fps or ss > 59 or mm > 59 or hh > 23:
        sys.exit(f"code out of range: {hh}:{mm}:{ss}:{ff}")
    code = ((hh * 60 + mm) * 60 + ss) * fps + ff
    # Place 0 runs on the local clock: the code must tell the capture time.
    lt = time.localtime(float(t))
    now = ((lt.tm_hour * 60 + lt.tm_min) * 60 + lt.tm_sec) + float(t) % 1
    if abs(code / fps - now) > 1.0 and abs(code / fps - now) < 86399:
        sys.exit(f"code {hh:02}:{mm:02}:{ss:02}:{ff:02} far from capture time {now:.2f}")
    per_dest.setdefault(dst, []).append((float(t), code))
if sorted(per_dest) != sorted(order):
    sys.exit(f"ArtTimeCode went to {sorted(per_dest)}, expected {sorted(order)}")
codes = {d: [c for _, c in per_dest[d]] for d in order}
for d in order:
    if any(b <= a for a, b in zip(codes[d], codes[d][1:])):
        sys.exit(f"codes to {d} repeat or go back")
first = codes[order[0]]
for d in order[1:]:
    # The program may be stopped between two destinations of the last code.
    if codes[d] != first and codes[d] != first[:-1]:
        sys.exit(f"{d} did not get the same codes as {order[0]}")
    when = {c: t for t, c in per_dest[d]}
    for t, c in per_dest[order[0]]:
        if c in when and when[c] < t:
            sys.exit(f"code {c} reached {d} before {order[0]}")
span = (per_dest[order[0]][-1][0] - per_dest[order[0]][0][0]) or 1
gaps = sum(1 for a, b in zip(first, first[1:]) if b != a + 1)
print(f"  {len(first)} codes per destination ({(len(first) - 1) / span:.1f}/s), {gaps} gaps, order {order}")
if gaps > len(first) // 10:
    sys.exit("too many frames skipped")
EOF
}

if [ "$MODE" = output ]; then
    echo "all interfaces, system time at 25 fps"
    run_case all 3 p0 25fps
    # Broadcast addresses in the order the program accepted its adapters.
    ORDER="$(sed -n 's/^found IpV4 - \([0-9.]*\)  Mask: .* Broad: \([0-9.]*\) add to send\/receive list with .*/\2/p' \
        "$WORK/all/stdout" | paste -sd,)"
    [ "$(tr ',' '\n' <<<"$ORDER" | sort | paste -sd,)" = "10.77.0.255,192.168.77.255" ] ||
        fail "accepted adapters: '$ORDER'"
    check_timecode all 1 "$ORDER"
    check_replies all
    check_flagged all

    echo "unicast addresses after the chosen subnet's broadcast"
    settings_folder "$WORK/unicast" "artnet_interface_name=192.168.77.0" \
        "artnet_unicast=10.77.0.2 192.168.77.2"
    run_case unicast 2 p0 25fps
    check_timecode unicast 1 "192.168.77.255,10.77.0.2,192.168.77.2"
    check_flagged unicast

    echo "broadcasts off: unicast only, true drop-frame, stream id 3"
    settings_folder "$WORK/unicastonly" artnet_broadcast=0 artnet_unicast=10.77.0.2 \
        true_drop_frame=1 artnet_stream_id=3
    run_case unicastonly 2 p0 30drop
    check_timecode unicastonly 2 "10.77.0.2" 3
    check_flagged unicastonly
    echo "PASS"
    exit 0
fi

# Universe 1234 is port-address 1233 (SwOut 0xD1 alone is another universe).
echo "remote control on universe 1234, system time at 25 fps"
settings_folder "$WORK/remote" dmx_in_enabled=1 dmx_in_universe=1234
start_case remote p0 25fps
# The console: each step is the same frame ten times 40 ms
# apart (as a console refreshes), then all channels off for a second.
ip netns exec "$NSB" python3 - "$WORK/remote/steps" <<'PY'
import socket, sys, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("10.77.0.2", 6454))
time.sleep(0.5)

def frame(address, channel):
    data = bytearray(19)
    if channel:
        data[channel - 1] = 255
    return (b"Art-Net\0" + bytes([0x00, 0x50, 0, 14, 0, 0, address & 0xFF, address >> 8, 0, 19])
            + bytes(data))

with open(sys.argv[1], "w") as log:
    for address, channel in ((1233, 1), (0xD1, 2), (1233, 4), (1233, 8), (1233, 8)):
        start = time.time()
        for _ in range(10):
            s.sendto(frame(address, channel), ("10.77.0.1", 6454))
            time.sleep(0.04)
        for _ in range(25):
            s.sendto(frame(address, 0), ("10.77.0.1", 6454))
            time.sleep(0.04)
        log.write(f"{address} {channel} {start} {time.time()}\n")
PY
sleep 0.5
stop_case

CAP="$WORK/remote/cap.pcapng"
# Each step: the ArtTimeCode Type last sent before its first frame, and the
# Types sent from 0.5 s after it until the step's end ("none" when the stream
# stopped).
tshark -r "$CAP" -T fields -E separator=, -e frame.time_epoch -e ip.src -e udp.payload \
    2>/dev/null >"$WORK/remote/fields"
python3 - "$WORK/remote/fields" "$WORK/remote/steps" <<'PY' || fail "remote: the stream does not follow the console"
import sys
codes = []
for line in open(sys.argv[1]):
    t, src, payload = line.strip().split(",")
    p = bytes.fromhex(payload)
    if src == "10.77.0.1" and len(p) == 20 and p[8:10] == b"\x00\x97":
        codes.append((float(t), p[18]))
steps = [l.split() for l in open(sys.argv[2])]
# (Type before, Types after): 25 fps at start; 24 fps; another universe changes
# nothing; 30 fps; pause stops the stream; play resumes it.
expected = [(1, {0}), (0, {0}), (0, {3}), (3, set()), (None, {3})]
for (address, channel, start, end), (want_before, want_after) in zip(steps, expected):
    start, end = float(start), float(end)
    before = [(t, ty) for t, ty in codes if t < start]
    last = before[-1][1] if before and start - before[-1][0] < 0.2 else None
    after = {ty for t, ty in codes if start + 0.5 <= t <= end}
    print(f"  ArtDmx universe {int(address) + 1} channel {channel}: Type before {last}, after {sorted(after)}")
    if (last, after) != (want_before, want_after):
        sys.exit(f"expected before {want_before}, after {sorted(want_after)}")
PY

echo "PASS"
