#!/usr/bin/env bash
# End-to-end check of the DMX remote control and the playlist of the real
# program: e2e_remote.sh <orvello>
#
#   e2e_remote.sh <orvello> [headless]
#
# With "headless" the same runs use `orvello headless` with no display and no
# window system variables at all, so both faces are held to the same checks.
#
# Orvello runs in a network namespace of its own on 10.77.0.1/24; the console
# and tshark sit in a second namespace on 10.77.0.2/24. Nothing here touches
# the host's own interfaces.
#
# Run "remote": universe 1234 (port-address 1233: Net 4, Sub-Net 0xD, SwOut
# 0xD1). The console polls, then drives the program through ArtDmx: channel 1
# (24 fps), a frame for another universe, channel 4 (30 fps), channel 8 (pause)
# and channel 8 again (play). The capture must show the reply's port-address
# and, in the ArtTimeCode stream, each change at the right moment.
# Run "playlist": one entry for the current hour that starts place 3 at
# 01:02:03; the stream must begin at that code.
set -euo pipefail

ORVELLO="${1:?usage: e2e_remote.sh <orvello> [headless]}"
if [ "${2:-}" = headless ]; then
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
netns_init R remote

# start_run <name> <settings> <program arguments...>: a private settings
# folder, a capture and the program. Sets PROGRAM_PID and TSHARK.
start_run() {
    local name="$1" dir="$WORK/$1"
    settings_folder "$dir" $2
    shift 2

    netns_capture "$name" "$dir/cap.pcapng" 'udp port 6454' b0

    ip netns exec "$NSA" "${RUN[@]}" XDG_CONFIG_HOME="$dir/config" HOME="$dir/home" \
        "$ORVELLO" "${FACE[@]}" noupdatecheck verbose "$@" >"$dir/stdout" 2>"$dir/stderr" &
    PROGRAM_PID=$!
    PIDS+=("$PROGRAM_PID")
}

stop_run() {
    netns_end "$PROGRAM_PID"
    netns_capture_stop
}

netns_setup 1

echo "remote control on universe 1234, system time at 25 fps"
start_run remote "dmx_in_enabled=1 dmx_in_universe=1234" p0 25fps
sleep 1.5
kill -0 "$PROGRAM_PID" 2>/dev/null || fail "remote: orvello ended early: $(cat "$WORK/remote/stderr")"
# The console: one poll, then each step is the same frame ten times 40 ms
# apart (as a console refreshes), then all channels off for a second.
ip netns exec "$NSB" python3 - "$WORK/remote/steps" <<'PY'
import socket, sys, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("10.77.0.2", 6454))
s.sendto(b"Art-Net\0" + bytes([0x00, 0x20, 0, 14, 0, 0]), ("10.77.0.1", 6454))
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
stop_run

CAP="$WORK/remote/cap.pcapng"
REPLY="$(tshark -r "$CAP" -Y artnet.poll_reply -T fields -E separator=, \
    -e artnet.poll_reply.num_ports -e artnet.poll_reply.netswitch -e artnet.poll_reply.subswitch \
    -e artnet.poll_reply.swout_1 -e artnet.poll_reply.swout_1_universe 2>/dev/null)"
echo "  ArtPollReply NumPorts,NetSwitch,SubSwitch,SwOut,port-address: $REPLY"
[ "$REPLY" = "1,0x04,0x0d,0xd1,1233" ] || fail "poll reply does not name universe 1234"

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

echo "playlist entry for the current hour starts place 3 at 01:02:03"
# The entry is due at the first tick; keep that tick inside the same hour.
while [ "$(date +%M%S)" -ge 5955 ]; do sleep 1; done
start_run playlist "playlist_count=1 playlist_enabled=1 playlist_place_0=3 \
    playlist_hour_0=$((10#$(date +%H))) start_hour_2=1 start_minute_2=2 start_seconds_2=3" 25fps
sleep 2.5
stop_run
grep -q "^activ place 03 date " "$WORK/playlist/stdout" || fail "playlist: no activation line"
FIRST="$(tshark -r "$WORK/playlist/cap.pcapng" -Y 'artnet.header.opcode == 0x9700' -T fields \
    -e udp.payload 2>/dev/null | head -1)"
[ -n "$FIRST" ] || fail "playlist: no ArtTimeCode"
FIRST_CODE="$(python3 -c 'import sys; p = bytes.fromhex(sys.argv[1]); print(f"{p[17]:02}:{p[16]:02}:{p[15]:02}:{p[14]:02} Type {p[18]}")' "$FIRST")"
echo "  first ArtTimeCode: $FIRST_CODE"
[ "$FIRST_CODE" = "01:02:03:00 Type 1" ] || fail "playlist: stream did not start at place 3's start code"

echo "PASS"
