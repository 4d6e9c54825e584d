#!/usr/bin/env bash
# `orvello headless` with no display in a network namespace of its own (two
# veth subnets); tshark and a stand-in console sit on the peer side. The start,
# transport and status lines are tst_sharedwiring's; the signals tst_shutdown's.
set -euo pipefail

ORVELLO="${1:?usage: e2e_headless.sh <orvello>}"

HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$HERE/../common/netns.sh"
source "$HERE/../common/headless.sh"
netns_require ip tshark python3
netns_init H headless

stored() { # stored <name> <key>
    sed -n "s/^$2=//p" "$WORK/$1/config/orvello.example/Orvello.conf"
}

capture_start() { # capture_start <name>
    mkdir -p "$WORK/$1"
    netns_capture "$1" "$WORK/$1/cap.pcapng" 'udp port 6454' b0 b1
}

# check_stream <name> <type> <fps>: every new code once to each subnet's
# broadcast address, consecutive, at the frame rate, with one poll reply.
check_stream() {
    tshark -r "$WORK/$1/cap.pcapng" -T fields -E separator=, -e frame.time_epoch -e ip.src \
        -e ip.dst -e udp.payload 2>/dev/null >"$WORK/$1/fields"
    python3 - "$WORK/$1/fields" "$2" "$3" <<'EOF' || fail "$1: wire"
import sys
rows = [l.strip().split(",") for l in open(sys.argv[1]) if l.strip()]
ftype, fps = int(sys.argv[2]), int(sys.argv[3])
codes, replies = {}, []
for t, src, dst, payload in rows:
    p = bytes.fromhex(payload)
    if p[8:10] == b"\x00\x97" and src in ("10.77.0.1", "192.168.77.1"):
        if len(p) != 20 or p[18] != ftype:
            sys.exit(f"bad ArtTimeCode to {dst}: {payload}")
        codes.setdefault(dst, []).append((float(t), ((p[17] * 60 + p[16]) * 60 + p[15]) * fps + p[14]))
    elif p[8:10] == b"\x00\x21":
        replies.append((src, dst))
if sorted(codes) != ["10.77.0.255", "192.168.77.255"]:
    sys.exit(f"ArtTimeCode went to {sorted(codes)}")
for dst, seen in codes.items():
    steps = [b - a for (_, a), (_, b) in zip(seen, seen[1:])]
    if any(s != 1 for s in steps):
        sys.exit(f"{dst}: not consecutive, steps {sorted(set(steps))}")
    rate = (len(seen) - 1) / (seen[-1][0] - seen[0][0])
    if abs(rate - fps) > 0.5:
        sys.exit(f"{dst}: {rate:.2f} codes/s")
    print(f"  {dst}: {len(seen)} consecutive codes, {rate:.2f}/s")
if replies != [("10.77.0.1", "10.77.0.2")]:
    sys.exit(f"poll replies: {replies}")
print("  poll from 10.77.0.2 answered once from 10.77.0.1")
EOF
}

netns_setup 2

echo "system time at 25 fps to both subnets, poll answered, SIGTERM"
headless_settings run FrameFormat=3 MidiTimecodeType=1
capture_start run
headless_start run verbose p0 25fps nomidi
# Running once it prints its status (the node is open by then).
headless_wait run "status: "
# A platform plugin mapped into the process would mean a GUI application.
if grep -q '/platforms/\|libQt6XcbQpa' "/proc/$PID/maps"; then
    fail "run: a platform plugin is loaded"
fi
netns_poll 10.77.0.2 10.77.0.1
sleep 2.5
headless_stop run TERM
netns_capture_stop
check_stream run 1 25
[ ! -s "$WORK/run/stderr" ] || fail "run: standard error: $(cat "$WORK/run/stderr")"
# The keys go back as read, the MIDI name as the all-ports entry.
[ "$(stored run FrameFormat)" = 3 ] && [ "$(stored run MidiTimecodeType)" = 1 ] &&
    [ "$(stored run MidiInterfaceName)" = "All Midi Devices" ] || fail "run: keys not saved"

if chrt -f 10 true 2>/dev/null; then
    echo "started with real-time priority, every worker keeps it"
    headless_settings rt
    ip netns exec "$NSA" env -i PATH="$PATH" HOME="$WORK/rt/home" XDG_CONFIG_HOME="$WORK/rt/config" \
        chrt -f 10 "$ORVELLO" headless p0 nomidi >"$WORK/rt/stdout" 2>"$WORK/rt/stderr" &
    PID=$!
    PIDS+=("$PID")
    # Every output thread keeps the policy; the timing thread may raise itself.
    for _ in $(seq 30); do
        classes="$(ps -L -o cls=,rtprio=,comm= -p "$PID" | grep -E 'artnet|midi|ltc|calculator' | sort || true)"
        [ "$(grep -c . <<<"$classes")" -ge 4 ] && break
        sleep 0.1
    done
    [ "$(grep -c . <<<"$classes")" -ge 4 ] && ! grep -qv '^ *FF' <<<"$classes" &&
        [ "$(grep -cE '^ *FF +10 +(artnet|midi|ltc)$' <<<"$classes")" = 3 ] ||
        fail "rt: worker classes: $classes"
    headless_stop rt TERM
else
    echo "SKIP: real-time priority is not available here"
fi

echo "PASS"
