#!/usr/bin/env bash
# CPU use of the real program with the LTC output on, against the same run
# with it off: system time at 25 fps on a private JACK dummy server, the LTC
# port played into the server's playback port, measured from /proc over
# SECONDS (default 20) after a settling second. Runs in a private network
# namespace of its own, since the program opens its Art-Net socket.
#
#   bench/ltc_cpu.sh <orvello> [SECONDS]
set -euo pipefail
ORVELLO="${1:?usage: ltc_cpu.sh <orvello> [seconds]}"
SECONDS_RUN="${2:-20}"
if [ -z "${ORVELLO_IN_NETNS:-}" ]; then
    exec unshare -n env ORVELLO_IN_NETNS=1 bash -c 'ip link set lo up; exec bash "$0" "$@"' "$0" "$@"
fi

WORK="$(mktemp -d /tmp/orvello-ltccpu.XXXXXX)"
export JACK_DEFAULT_SERVER="orvcpu$$" JACK_NO_AUDIO_RESERVATION=1
jackd -n "$JACK_DEFAULT_SERVER" -r -d dummy -r 48000 -p 256 >"$WORK/jackd.log" 2>&1 &
jackd_pid=$!
trap 'kill "$jackd_pid" 2>/dev/null; wait "$jackd_pid" 2>/dev/null; rm -rf "$WORK"' EXIT
timeout 15 jack_wait -w -t 10 >/dev/null 2>&1

ticks_of() { awk '{print $14 + $15}' "/proc/$1/stat"; }

measure() {
    local switch=$1
    mkdir -p "$WORK/$switch"
    QT_QPA_PLATFORM=offscreen HOME="$WORK/$switch" XDG_CONFIG_HOME="$WORK/$switch" \
        "$ORVELLO" noupdatecheck nomidi p0 25fps "$switch" >/dev/null 2>&1 &
    local pid=$!
    sleep 1
    local t0 c0 t1 c1
    t0=$(date +%s.%N)
    c0=$(ticks_of "$pid")
    sleep "$SECONDS_RUN"
    c1=$(ticks_of "$pid")
    t1=$(date +%s.%N)
    local port="no LTC port"
    jack_lsp 2>/dev/null | grep -q '^Orvello:' && port="LTC port present"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    awk -v c="$((c1 - c0))" -v hz="$(getconf CLK_TCK)" -v t0="$t0" -v t1="$t1" -v s="$switch" \
        -v p="$port" 'BEGIN { printf "%-5s %.2f %% of one core over %.1f s (%s)\n", s, 100 * c / hz / (t1 - t0), t1 - t0, p }'
}
measure noltc
measure ltc
