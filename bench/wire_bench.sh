#!/usr/bin/env bash
# Wire benchmark: how late each ArtTimeCode arrives at a peer, for the real
# program and for a minimal reference sender in the same run.
#
#   bench/wire_bench.sh [seconds per round, 10] [rounds, 3] [formats, "1 3"] [sources, "clock place"]
#
# Formats are 0 = 24, 1 = 25, 2 = 30 drop, 3 = 30 fps; sources "clock" (place 0)
# and "place" (place 1 counting from 00:00:00:00). The program and the
# reference run in turn, alternating which goes first, in a namespace with two
# veth adapters (10.77.0.1/24, 192.168.77.1/24); the receiver sits in the peer
# namespace and takes the kernel's receive time of every packet. Nothing here
# touches the host's own interfaces. Needs root. ORVELLO_BUILD_DIR chooses the
# build (default build/). WIRE_BENCH_KEEP=dir keeps the captures there.
set -euo pipefail

SECONDS_PER_ROUND="${1:-10}"
ROUNDS="${2:-3}"
FORMATS="${3:-1 3}"
SOURCES="${4:-clock place}"
SKIP=2 # start-up of the program, left out of every capture

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${ORVELLO_BUILD_DIR:-$ROOT/build}"
ORVELLO="$BUILD/app/orvello"
TOOL="$BUILD/bench/wire_bench"

source "$ROOT/tests/common/netns.sh"
source "$ROOT/bench/benchcommon.sh"
netns_require ip
for f in "$ORVELLO" "$TOOL"; do
    [ -x "$f" ] || { echo "missing $f: build the targets orvello and wire_bench" >&2; exit 1; }
done

netns_init W wire
keep_and_clean() {
    netns_teardown
    if [ -n "${WIRE_BENCH_KEEP:-}" ]; then
        mkdir -p "$WIRE_BENCH_KEEP" && cp -r "$WORK"/. "$WIRE_BENCH_KEEP"/
    fi
    rm -rf "$WORK"
}
trap keep_and_clean EXIT
netns_setup 2

# Codes on the clock source are times of day: one zone for every process.
export TZ=UTC
mkdir -p "$WORK/config" "$WORK/home"
# A copy under a name of its own: a `pkill -x orvello` elsewhere on the
# machine must not end the program in the middle of a round.
cp "$ORVELLO" "$WORK/orvello-bench"
FAILED=0

# run_one <sender> <format> <source> <round>: one capture, one line of the list.
run_one() {
    local sender="$1" format="$2" source="$3" round="$4"
    local cap="$WORK/$sender-$format-$source-$round.cap"
    ip netns exec "$NSB" "$TOOL" receive "$SKIP" "$SECONDS_PER_ROUND" "$cap" 2>"$cap.err" &
    local receiver=$!
    PIDS+=("$receiver")
    for _ in $(seq 50); do
        grep -qs receiving "$cap.err" && break
        sleep 0.1
    done
    local cpu="-" rss="-"
    if [ "$sender" = reference ]; then
        # Its CPU over the same window as the program's: what sending alone costs.
        ip netns exec "$NSA" "${REFERENCE_CLASS[@]}" "$TOOL" send "$format" "$source" \
            "$(awk -v a="$SKIP" -v b="$SECONDS_PER_ROUND" 'BEGIN { print a + b + 0.5 }')" 10.77.0.255 192.168.77.255 &
        local reference=$!
        PIDS+=("$reference")
        sleep "$SKIP"
        cpu=$(cpu_over "$reference" "$SECONDS_PER_ROUND")
        [ "$cpu" != gone ] || cpu="-"
        wait "$reference"
    else
        local place=p0 flag
        [ "$source" = place ] && place=p1
        flag=(24fps 25fps 30drop 30fps)
        # `ip netns exec` execs the program, so this is the program's own pid.
        ip netns exec "$NSA" env QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$WORK/config" \
            HOME="$WORK/home" "$WORK/orvello-bench" noupdatecheck verbose "${flag[$format]}" "$place" \
            >"$cap.out" 2>&1 &
        local pid=$!
        PIDS+=("$pid")
        sleep "$SKIP"
        cpu=$(cpu_over "$pid" "$SECONDS_PER_ROUND")
        rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status" 2>/dev/null || echo gone)
        if [ "$cpu" = gone ] || [ "$rss" = gone ]; then
            echo "orvello ended before the end of round $round ($format $source); left out" >&2
            FAILED=1
            wait "$receiver" || true
            return
        fi
        if [ ${#REFERENCE_CLASS[@]} -gt 0 ] && ! grep -q "SCHED_FIFO 20" "$cap.out"; then
            echo "round $round ($format $source): the program's timing thread did not run at SCHED_FIFO 20" >&2
            FAILED=1
        fi
        sleep 0.5
        kill -TERM "$pid"
        wait "$pid" || true
    fi
    wait "$receiver"
    echo "$sender $format $source $cap $cpu $rss" >>"$WORK/list"
}

# Like with like: the program raises its timing thread to SCHED_FIFO 20 when
# it may (root or an rtprio limit), so the reference sender runs in that same
# class, or both stay in the normal class.
REFERENCE_CLASS=()
if may_run_fifo20; then
    REFERENCE_CLASS=(chrt -f 20)
fi

echo "wire benchmark: $ROUNDS rounds of $SECONDS_PER_ROUND s, formats $FORMATS, sources $SOURCES"
if [ ${#REFERENCE_CLASS[@]} -gt 0 ]; then
    echo "scheduling: reference SCHED_FIFO 20 (chrt), program's timing thread SCHED_FIFO 20 (its own)"
else
    echo "scheduling: reference and program both SCHED_OTHER (no real-time rights)"
fi
for round in $(seq "$ROUNDS"); do
    for format in $FORMATS; do
        for source in $SOURCES; do
            if [ $((round % 2)) -eq 1 ]; then
                order="reference orvello"
            else
                order="orvello reference"
            fi
            for sender in $order; do
                run_one "$sender" "$format" "$source" "$round"
            done
        done
    done
    echo "round $round done" >&2
done
"$TOOL" report "$WORK/list"
exit "$FAILED"
