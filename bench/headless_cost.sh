#!/usr/bin/env bash
# What the service costs: CPU (% of one core) and resident memory of
# `orvello headless` running the system clock, with MIDI on and no port, then
# with one MIDI port (a JACK server on the dummy driver and one MIDI input),
# and last the minimal MTC sender of the MIDI benchmark on the same port: the
# floor that any program sending MTC through JACK pays at that period.
#
#   bench/headless_cost.sh [seconds per case, 20] [JACK period, 256] [format flag, 30fps]
#
# The period sets how often the JACK port's own thread wakes (48 kHz / period
# times a second), which the port case pays for whatever the program does.
# Under each case, the four threads that took the most CPU.
# Runs in a private network namespace of its own (the program opens its
# Art-Net socket). ORVELLO_BUILD_DIR chooses the build (default build/).
set -euo pipefail

SECONDS_PER_CASE="${1:-20}"
PERIOD="${2:-256}"
FORMAT="${3:-30fps}"
case "$FORMAT" in 24fps) MINIMAL_FORMAT=0 ;; 25fps) MINIMAL_FORMAT=1 ;; 30drop) MINIMAL_FORMAT=2 ;; *) MINIMAL_FORMAT=3 ;; esac
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${ORVELLO_BUILD_DIR:-$ROOT/build}"

source "$ROOT/bench/benchcommon.sh"
in_private_network "headless cost" "$0" "$@"

command -v jackd >/dev/null || { echo "headless cost: jackd missing; skipped" >&2; exit 77; }
WORK=$(mktemp -d /tmp/orvello-headlesscost.XXXXXX)
export JACK_DEFAULT_SERVER="orvcost$$" JACK_NO_AUDIO_RESERVATION=1
fail() {
    echo "headless cost: $*" >&2
    exit 1
}
source "$ROOT/tests/common/jackserver.sh"
PIDS=()
cleanup() {
    for p in "${PIDS[@]}"; do stop "$p" TERM KILL || true; done
    [ -n "${jackd_pid:-}" ] && { stop "$jackd_pid" TERM KILL || true; }
    rm -rf "$WORK"
}
trap cleanup EXIT
mkdir -p "$WORK/config" "$WORK/home"

# thread_times <pid>: "tid name ns-on-cpu timeslices" for each thread.
thread_times() {
    for t in /proc/"$1"/task/*; do
        echo "${t##*/} $(tr ' ' _ <"$t/comm") $(cut -d' ' -f1,3 "$t/schedstat" 2>/dev/null)"
    done | sort
}

minimal_port_connected() { jack_feeds 'mtcref:.*' mtcbench:in; }

# measure <case>: one run of the program (or, for "minimal", the minimal
# sender), one line of figures.
measure() {
    if [ "$1" = minimal ]; then
        "$BUILD/bench/midi_bench" send "$MINIMAL_FORMAT" $((SECONDS_PER_CASE + 10)) >"$WORK/$1.out" 2>&1 &
    else
        env XDG_CONFIG_HOME="$WORK/config" HOME="$WORK/home" "$BUILD/app/orvello" headless \
            noupdatecheck midi p0 "$FORMAT" >"$WORK/$1.out" 2>&1 &
    fi
    local pid=$!
    PIDS+=("$pid")
    case "$1" in
    "one port") wait_for 100 mtc_port_connected || fail "the program's port was not connected" ;;
    minimal) wait_for 100 minimal_port_connected || fail "the minimal sender's port was not connected" ;;
    esac
    sleep 3 # start-up, and the first port search, left out
    local t0 c0 t1 c1 rss
    t0=$(date +%s.%N)
    c0=$(cpu_ticks "$pid")
    thread_times "$pid" >"$WORK/threads0"
    sleep "$SECONDS_PER_CASE"
    thread_times "$pid" >"$WORK/threads1"
    t1=$(date +%s.%N)
    c1=$(cpu_ticks "$pid")
    # JACK's shared memory (its graph, mapped by every client) is counted apart.
    rss=$(awk '/^VmRSS:/ { r = $2 } /^RssShmem:/ { s = $2 } END { print r - s, s }' "/proc/$pid/status")
    [ "$c1" != gone ] || fail "the program ended: $(head -c 2000 "$WORK/$1.out")"
    printf '%-12s %8s %10s %10s\n' "$1" "$(cpu_percent "$((c1 - c0))" "$t0" "$t1")" $rss
    # The threads that took the most, with how often each ran.
    join "$WORK/threads0" "$WORK/threads1" | awk -v s="$SECONDS_PER_CASE" '
        { printf "    %-12s %6.3f %% %5.0f runs/s\n", $2, ($6 - $3) / s / 1e7, ($7 - $4) / s }' |
        sort -k2 -rn | head -4
    stop "$pid"
}

echo "headless cost: $FORMAT, system clock, $SECONDS_PER_CASE s a case, JACK period $PERIOD at 48 kHz"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-12s %8s %10s %10s\n' case "cpu%" "RSS/KiB" "+JACK shm"
measure "no port"
jack_server_start "$PERIOD" "$WORK/jackd.log"
"$BUILD/bench/midi_bench" receive 0 $((SECONDS_PER_CASE + 30)) "$WORK/receiver.cap" 2>"$WORK/receiver.err" &
PIDS+=("$!")
wait_for 100 grep -qs receiving "$WORK/receiver.err" || fail "receiver did not start"
measure "one port"
measure minimal
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
