#!/usr/bin/env bash
# MIDI benchmark: how late each quarter-frame burst of MIDI Time Code reaches a
# JACK MIDI input after its frame edge, for the real program and for a minimal
# sender of our own in the same run.
#
#   bench/midi_bench.sh [seconds per round, 10] [rounds, 3] [formats, "1 3"]
#
# Formats are 0 = 24, 1 = 25, 3 = 30 fps, on the system clock (time of day in
# UTC). A private JACK server on the dummy driver (64 frames at 48 kHz, so the
# receiver's stamps are quantised to 1.33 ms for both senders alike) carries the
# codes; the receiver stamps each event with its JACK frame time. The program
# (`orvello headless midi p0`, MIDI Clock, its port chosen in its store) and
# the sender run at the same time, each into a port of its own of the same
# receiver: both meet JACK's cycle at the same phase, which decides a burst's
# lateness by up to a period. With real-time rights the sender runs at
# SCHED_FIFO 20 like the program's timing thread, and the server in real time;
# without, all run in the normal class. Runs in a private network namespace of
# its own (the program opens its Art-Net socket). ORVELLO_BUILD_DIR chooses the
# build (default build/); MIDI_BENCH_KEEP=dir keeps the captures there.
set -euo pipefail

SECONDS_PER_ROUND="${1:-10}"
ROUNDS="${2:-3}"
FORMATS="${3:-1 3}"
SKIP=2 # start-up of the program, left out of every capture

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${ORVELLO_BUILD_DIR:-$ROOT/build}"
ORVELLO="$BUILD/app/orvello"
TOOL="$BUILD/bench/midi_bench"

source "$ROOT/bench/benchcommon.sh"
in_private_network "midi benchmark" "$0" "$@"

for f in "$ORVELLO" "$TOOL"; do
    [ -x "$f" ] || { echo "missing $f: build the targets orvello and midi_bench" >&2; exit 1; }
done
command -v jackd >/dev/null || { echo "midi benchmark: jackd missing; skipped" >&2; exit 77; }

WORK=$(mktemp -d /tmp/orvello-midibench.XXXXXX)
export JACK_DEFAULT_SERVER="orvbench$$" JACK_NO_AUDIO_RESERVATION=1 TZ=UTC
fail() {
    echo "midi benchmark: $*" >&2
    exit 1
}
source "$ROOT/tests/common/jackserver.sh"
PIDS=()
cleanup() {
    for p in "${PIDS[@]}"; do stop "$p" TERM KILL || true; done
    [ -n "${jackd_pid:-}" ] && { stop "$jackd_pid" TERM KILL || true; }
    if [ -n "${MIDI_BENCH_KEEP:-}" ]; then
        mkdir -p "$MIDI_BENCH_KEEP" && cp -r "$WORK"/. "$MIDI_BENCH_KEEP"/
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT

SENDER_CLASS=()
JACK_RT=-r
if may_run_fifo20; then
    SENDER_CLASS=(chrt -f 20)
    JACK_RT=-R
fi
# The server started by hand here (not jack_server_start) to choose its class.
jackd "$JACK_RT" -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 64 >"$WORK/jackd.log" 2>&1 &
jackd_pid=$!
timeout 15 jack_wait -w -t 10 >/dev/null 2>&1 || fail "JACK server did not start"

mkdir -p "$WORK/home"
# A copy under a name of its own: a `pkill -x orvello` elsewhere on the
# machine must not end the program in the middle of a round.
cp "$ORVELLO" "$WORK/orvello-bench"
FAILED=0

# The program sends to the receiver's "in" port only: chosen in its store.
mkdir -p "$WORK/config/orvello.example"
printf '[General]\nmidi_interface_name=mtcbench:in\n' >"$WORK/config/orvello.example/Orvello.conf"

sender_connected() { jack_feeds 'mtcref:.*' mtcbench:ref; }

# run_round <format> <round>: both senders at once, one line of the list each.
run_round() {
    local format="$1" round="$2" cpu="-"
    local cap="$WORK/$format-$round.cap"
    "$TOOL" receive "$SKIP" "$SECONDS_PER_ROUND" "$cap" "$cap.ref" 2>"$cap.err" &
    local receiver=$!
    PIDS+=("$receiver")
    wait_for 100 grep -qs receiving "$cap.err" || fail "receiver did not start"
    local flag=(24fps 25fps 30drop 30fps)
    env XDG_CONFIG_HOME="$WORK/config" HOME="$WORK/home" "$WORK/orvello-bench" headless \
        verbose midi p0 "${flag[$format]}" >"$cap.out" 2>&1 &
    local pid=$!
    PIDS+=("$pid")
    wait_for 100 mtc_port_connected || echo "round $round: the program's port was not seen connected" >&2
    "${SENDER_CLASS[@]}" "$TOOL" send "$format" \
        "$(awk -v a="$SKIP" -v b="$SECONDS_PER_ROUND" 'BEGIN { print a + b + 5 }')" mtcbench:ref &
    local sender=$!
    PIDS+=("$sender")
    wait_for 100 sender_connected || fail "the minimal sender's port was not connected"
    if jack_feeds 'Orvello[^:]*:.*' mtcbench:ref; then
        fail "the program also feeds the sender's port"
    fi
    kill -USR1 "$receiver"
    if [ "$round" = 1 ]; then
        # Which class the threads on the path of a code run in: the burst
        # goes out on the MIDI output's thread.
        echo "program threads (class, rt priority): $(ps -L -o cls=,rtprio=,comm= -p "$pid" |
            awk '$3 == "calculator" || $3 == "midi" { printf "%s %s %s; ", $3, $1, $2 }')"
    fi
    sleep "$SKIP"
    cpu=$(cpu_over "$pid" "$SECONDS_PER_ROUND")
    if [ "$cpu" = gone ]; then
        echo "orvello ended before the end of round $round ($format)" >&2
        FAILED=1
        cpu="-"
    fi
    if [ ${#SENDER_CLASS[@]} -gt 0 ] && ! grep -q "SCHED_FIFO 20" "$cap.out"; then
        echo "round $round ($format): the program's timing thread did not run at SCHED_FIFO 20" >&2
    fi
    wait "$receiver" || FAILED=1
    stop "$pid" TERM KILL || true
    stop "$sender" TERM KILL || true
    echo "orvello $format $cap $cpu" >>"$WORK/list"
    echo "sender $format $cap.ref -" >>"$WORK/list"
}

echo "midi benchmark: $ROUNDS rounds of $SECONDS_PER_ROUND s, formats $FORMATS, system clock"
if [ ${#SENDER_CLASS[@]} -gt 0 ]; then
    echo "scheduling: sender SCHED_FIFO 20 (chrt), program's timing thread SCHED_FIFO 20 (its own), JACK real time"
else
    echo "scheduling: sender, program and JACK all SCHED_OTHER (no real-time rights)"
fi
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
for round in $(seq "$ROUNDS"); do
    for format in $FORMATS; do
        run_round "$format" "$round"
    done
    echo "round $round done" >&2
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
"$TOOL" report "$WORK/list" || FAILED=1
# The smoke run in the test suite checks that the pieces run and parse; a round
# the program delivered nothing in is printed above, not judged there.
if [ -n "${MIDI_BENCH_SMOKE:-}" ] && [ "$FAILED" = 1 ] && grep -q '^sender ' "$WORK/list"; then
    echo "smoke run: the tools ran; incomplete figures are printed above" >&2
    exit 0
fi
exit "$FAILED"
