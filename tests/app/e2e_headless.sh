#!/usr/bin/env bash
# End-to-end check of `orvello headless`: the real program with no display,
# no window system variables and no platform plugin, in a network namespace
# of its own with two veth adapters (10.77.0.1/24, 192.168.77.1/24). Their
# peers sit in a second namespace where tshark captures and a stand-in console
# polls. Nothing here touches the host's own interfaces.
#
#   e2e_headless.sh <orvello>                    the checks (CTest runs this)
#   e2e_headless.sh <orvello> measure [seconds [options...]]
#                                   CPU and resident memory over that time of
#                                   a run with those options (p0 25fps nomidi
#                                   when none), sending to both subnets
set -euo pipefail

ORVELLO="${1:?usage: e2e_headless.sh <orvello> [measure [seconds]]}"
MODE="${2:-check}"
SECONDS_TO_MEASURE="${3:-60}"
MEASURE_OPTIONS=("${@:4}")
[ ${#MEASURE_OPTIONS[@]} -gt 0 ] || MEASURE_OPTIONS=(p0 25fps nomidi)

HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$HERE/../common/netns.sh"
netns_require ip tshark python3
netns_init H headless

# write_settings <name> <key=value>...: a private settings folder for one run.
write_settings() {
    local dir="$WORK/$1"
    shift
    mkdir -p "$dir/config/orvello.example" "$dir/home"
    {
        echo "[General]"
        for kv in "$@"; do echo "$kv"; done
    } >"$dir/config/orvello.example/Orvello.conf"
}

stored() { # stored <name> <key>
    sed -n "s/^$2=//p" "$WORK/$1/config/orvello.example/Orvello.conf"
}

# start <name> <args...>: the program in the first namespace with an
# environment that has no display of any kind. Sets PID.
start() {
    local name="$1"
    shift
    local dir="$WORK/$name"
    [ -d "$dir" ] || write_settings "$name"
    ip netns exec "$NSA" env -i PATH="$PATH" LANG=C.UTF-8 HOME="$dir/home" \
        XDG_CONFIG_HOME="$dir/config" XDG_RUNTIME_DIR="$dir/home" ${DISPLAY_ENV:-} \
        "$ORVELLO" headless "$@" >"${OUT:-$dir/stdout}" 2>"$dir/stderr" &
    PID=$!
    PIDS+=("$PID")
}

# caught <sig>: true once the process started last catches the signal; the
# program can end cleanly on a signal only from then on (bounded: 10 s).
caught() {
    local bit
    bit=$(kill -l "$1")
    for _ in $(seq 1000); do
        local mask
        mask=$(sed -n 's/^SigCgt:\s*//p' "/proc/$PID/status" 2>/dev/null) || return 1
        [ -n "$mask" ] && (((0x$mask >> (bit - 1)) & 1)) && return 0
        sleep 0.01
    done
    return 1
}

# stop_with <name> <signal>: sends it, and checks exit status 0 within 1 s.
stop_with() {
    local name="$1" sig="$2" t0 rc=0
    kill -0 "$PID" 2>/dev/null || fail "$name: ended before $sig"
    t0=$(date +%s%N)
    kill "-$sig" "$PID"
    wait "$PID" || rc=$?
    local ms=$((($(date +%s%N) - t0) / 1000000))
    [ "$rc" -eq 0 ] || fail "$name: exit status $rc after $sig"
    [ "$ms" -lt 1000 ] || fail "$name: took $ms ms to end after $sig"
    echo "  $sig: status 0 after $ms ms"
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

# measure: CPU as the run time of all threads (/proc/<pid>/task/*/schedstat,
# in ns) and as utime + stime ticks (/proc/<pid>/stat), resident memory from
# /proc/<pid>/status, over the given time after 5 s of settling.
measure() {
    local name=measure seconds="$SECONDS_TO_MEASURE"
    write_settings "$name"
    start "$name" "${MEASURE_OPTIONS[@]}"
    sleep 5
    kill -0 "$PID" 2>/dev/null || fail "measure: ended early"
    local ns0 ns1 ticks0 ticks1 rss_max=0 rss
    runtime() { cat /proc/"$PID"/task/*/schedstat | awk '{s += $1} END {print s}'; }
    ticks0=$(awk '{print $14 + $15}' "/proc/$PID/stat")
    ns0=$(runtime)
    for _ in $(seq "$seconds"); do
        sleep 1
        rss=$(awk '/^VmRSS/ {print $2}' "/proc/$PID/status")
        [ "$rss" -gt "$rss_max" ] && rss_max=$rss
    done
    ns1=$(runtime)
    ticks1=$(awk '{print $14 + $15}' "/proc/$PID/stat")
    awk -v ns="$((ns1 - ns0))" -v t="$((ticks1 - ticks0))" -v hz="$(getconf CLK_TCK)" \
        -v s="$seconds" -v r="$rss_max" -v load="$(cut -d' ' -f1 /proc/loadavg)" -v opts="${MEASURE_OPTIONS[*]}" 'BEGIN {
        printf "headless %s to two subnets, %d s (load average %s):\n", opts, s, load
        printf "  CPU %.3f %% of one core by run time, %.3f %% by ticks; RSS max %.1f MB\n",
            100 * ns / 1e9 / s, 100 * t / hz / s, r / 1024 }'
    stop_with "$name" TERM
}

netns_setup 2

if [ "$MODE" = measure ]; then
    measure
    exit 0
fi

echo "system time at 25 fps to both subnets, poll answered, SIGTERM"
write_settings run FrameFormat=3 MidiTimecodeType=1
capture_start run
start run verbose p0 25fps nomidi
# Running once it prints its status (the node is open by then).
for _ in $(seq 100); do grep -qs '^status: ' "$WORK/run/stdout" && break; sleep 0.1; done
kill -0 "$PID" 2>/dev/null || fail "run: ended early"
# A platform plugin mapped into the process would mean a GUI application.
if grep -q '/platforms/\|libQt6XcbQpa' "/proc/$PID/maps"; then
    fail "run: a platform plugin is loaded"
fi
netns_poll 10.77.0.2 10.77.0.1
sleep 2.5
stop_with run TERM
netns_capture_stop
check_stream run 1 25
expected="Orvello v2.0.0.1 headless: 25 fps, system time, Art-Net to 10.77.0.255 192.168.77.255, MIDI off, playlist off"
grep -qxF "$expected" "$WORK/run/stdout" || fail "run: start line"
grep -qxF "transport: running, system time, 25 fps" "$WORK/run/stdout" ||
    fail "run: no transport line"
# The window's status line, printed once: nothing changed but the count.
status_re='^status: Art-Net: to 10\.77\.0\.255 \(frames sent: [0-9]+\), 192\.168\.77\.255 \(frames sent: [0-9]+\); MIDI: off$'
[ "$(grep -c '^status: ' "$WORK/run/stdout")" = 1 ] && grep -qE "$status_re" "$WORK/run/stdout" ||
    fail "run: status lines"
[ ! -s "$WORK/run/stderr" ] || fail "run: standard error: $(cat "$WORK/run/stderr")"
# The keys go back as read, the MIDI name as the all-ports entry.
[ "$(stored run FrameFormat)" = 3 ] && [ "$(stored run MidiTimecodeType)" = 1 ] &&
    [ "$(stored run MidiInterfaceName)" = "All Midi Devices" ] || fail "run: keys not saved"

# SIGHUP's run names displays that do not exist: a GUI application would
# try to open them and abort.
for sig in INT HUP; do
    echo "SIG$sig"
    write_settings "sig$sig" FrameFormat=2
    display_env=""
    [ "$sig" = HUP ] && display_env="DISPLAY=:77 WAYLAND_DISPLAY=wayland-77 QT_QPA_PLATFORM=xcb"
    DISPLAY_ENV="$display_env" start "sig$sig" p1 nomidi
    caught "$sig" || fail "SIG$sig: never caught"
    stop_with "sig$sig" "$sig"
    [ "$(stored "sig$sig" MidiInterfaceName)" = "All Midi Devices" ] || fail "SIG$sig: keys not saved"
done

echo "SIGTERM during start-up"
write_settings early
start early p0 nomidi
caught TERM || fail "early: TERM never caught"
stop_with early TERM

# A place with its exit flag, and a playlist entry "exits software" due now
# (its first tick runs at start; the wait keeps that tick inside the hour).
while [ "$(date +%M%S)" -ge 5955 ]; do sleep 1; done
for how in place playlist; do
    echo "the $how exits the program"
    if [ "$how" = place ]; then
        write_settings "$how" end_hour_0=0 end_minute_0=0 end_seconds_0=1 exits_at_end_0=1
        start "$how" p1 nomidi
    else
        write_settings "$how" playlist_count=1 playlist_enabled=1 playlist_place_0=-2 \
            "playlist_hour_0=$((10#$(date +%H)))"
        start "$how" p0 nomidi
    fi
    for _ in $(seq 50); do
        kill -0 "$PID" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$PID" 2>/dev/null && fail "$how exit: still running after 5 s"
    rc=0
    wait "$PID" || rc=$?
    [ "$rc" -eq 0 ] || fail "$how exit: status $rc"
    [ "$(stored "$how" MidiInterfaceName)" = "All Midi Devices" ] || fail "$how exit: keys not saved"
    echo "  ended by itself with status 0"
done

if chrt -f 10 true 2>/dev/null; then
    echo "started with real-time priority, every worker keeps it"
    write_settings rt
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
    stop_with rt TERM
else
    echo "SKIP: real-time priority is not available here"
fi

echo "standard output closed by its reader"
write_settings closed
mkfifo "$WORK/closed/fifo"
head -c 1 "$WORK/closed/fifo" >/dev/null &
reader=$!
OUT="$WORK/closed/fifo" start closed verbose p0 nomidi
# The reader leaves after the first byte of the start line.
for _ in $(seq 100); do kill -0 "$reader" 2>/dev/null || break; sleep 0.1; done
kill -0 "$reader" 2>/dev/null && fail "closed: nothing written"
netns_poll 10.77.0.2 10.77.0.1 # a verbose line to write after the reader left
sleep 0.5
stop_with closed TERM

echo "PASS"
