#!/usr/bin/env bash
# What the remotes cost the running program, measured on the real program as
# `orvello headless p0 25fps` in a private namespace with two veth adapters
# (10.77.0.1/24, 192.168.77.1/24); peers sit in the second namespace.
#
#   bench/remote_cost.sh cpu [seconds per round, 60] [rounds, 3]
#       Rounds alternate between both remotes off and both on with one page
#       open (Debian's chromium, headless, on 127.0.0.1 in the program's
#       namespace) and one OSC subscriber (oscdump, renewing every 3 s).
#       Prints the program's CPU per round (utime + stime from
#       /proc/<pid>/stat, and the threads' run time from schedstat) and
#       the difference of the means.
#   bench/remote_cost.sh flood [seconds per round, 20] [rounds, 2] [rate, 5000]
#       Frame lateness on the wire (wire_bench receive, kernel receive time)
#       with OSC on and quiet, and during a flood of valid commands
#       ("/orvello/format i 1", which the calculator carries out each time)
#       at the given rate from the peer namespace; wire_bench report prints
#       the figures per round kind.
# Needs root. ORVELLO_BUILD_DIR chooses the build (default build/).
set -euo pipefail

MODE="${1:-cpu}"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${ORVELLO_BUILD_DIR:-$ROOT/build}"
ORVELLO="$BUILD/app/orvello"
TOOL="$BUILD/bench/wire_bench"
source "$ROOT/tests/common/netns.sh"
netns_require ip python3 oscsend oscdump /usr/bin/chromium
netns_init C remotecost
netns_setup 2
export TZ=UTC
# A copy under a name of its own, so nothing that ends programs by name meets it.
cp "$ORVELLO" "$WORK/orvello-bench"

# start <remote options...>: sets PID.
start() {
    mkdir -p "$WORK/config/orvello.example" "$WORK/home"
    printf '[General]\nosc_port=9000\nweb_port=8080\nmidi_protocol_on=0\n' \
        >"$WORK/config/orvello.example/Orvello.conf"
    ip netns exec "$NSA" env -i PATH="$PATH" HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/config" \
        "$WORK/orvello-bench" headless p0 25fps nomidi "$@" >"$WORK/stdout" 2>&1 &
    PID=$!
    PIDS+=("$PID")
    sleep 2
}

stop() {
    kill -TERM "$PID" 2>/dev/null || true
    wait "$PID" 2>/dev/null || true
}

ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
runtime() { cat /proc/"$1"/task/*/schedstat | awk '{ s += $1 } END { print s }'; }

cpu_round() {
    local kind="$1" seconds="$2" helpers=()
    if [ "$kind" = on ]; then
        start osc web
        ip netns exec "$NSB" oscdump 9001 >"$WORK/dump" 2>&1 &
        helpers+=($!)
        (while true; do ip netns exec "$NSB" oscsend 10.77.0.1 9000 /orvello/subscribe i 9001; sleep 3; done) &
        helpers+=($!)
        mkdir -p "$WORK/profile"
        ip netns exec "$NSA" env HOME="$WORK/home" /usr/bin/chromium --headless --no-sandbox \
            --disable-gpu --disable-quic --no-first-run --disable-background-networking \
            --disable-component-update --disable-sync --user-data-dir="$WORK/profile" \
            http://127.0.0.1:8080/ >/dev/null 2>&1 &
        helpers+=($!)
        PIDS+=("${helpers[@]}")
        sleep 5
    else
        start noosc noweb
        sleep 5
    fi
    local t0 t1 r0 r1
    t0=$(ticks "$PID")
    r0=$(runtime "$PID")
    sleep "$seconds"
    t1=$(ticks "$PID")
    r1=$(runtime "$PID")
    # The round counts only with both watchers there to its end.
    if [ "$kind" = on ]; then
        local page codes
        page=$(ip netns exec "$NSA" ss -Htn state established '( sport = :8080 )' | wc -l)
        codes=$(grep -c /orvello/timecode "$WORK/dump" || true)
        echo "     page connections $page, codes at the subscriber $codes" >&2
        [ "$page" -ge 1 ] && [ "$codes" -ge $((seconds * 25)) ] ||
            echo "warning: a watcher was missing in this round" >&2
    fi
    local h
    for h in "${helpers[@]}"; do kill "$h" 2>/dev/null || true; done
    stop
    awk -v k="$kind" -v t="$((t1 - t0))" -v r="$((r1 - r0))" -v hz="$(getconf CLK_TCK)" \
        -v s="$seconds" -v load="$(cut -d' ' -f1 /proc/loadavg)" 'BEGIN {
        printf "%-4s %7.3f %% by ticks  %7.3f %% by run time  (load %s)\n", k,
            100 * t / hz / s, 100 * r / 1e9 / s, load }' | tee -a "$WORK/cpu"
}

flood_round() {
    local kind="$1" seconds="$2" rate="$3" round="$4" flooder=""
    start osc
    local cap="$WORK/$kind-$round.cap"
    ip netns exec "$NSB" "$TOOL" receive 1 "$seconds" "$cap" 2>"$cap.err" &
    local receiver=$!
    PIDS+=("$receiver")
    for _ in $(seq 50); do grep -qs receiving "$cap.err" && break; sleep 0.1; done
    if [ "$kind" = flood ]; then
        ip netns exec "$NSB" python3 - "$rate" "$((seconds + 2))" >"$WORK/flood-$round" <<'PY' &
import socket, sys, time
rate, seconds = int(sys.argv[1]), float(sys.argv[2])
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
message = b"/orvello/format\0,i\0\0\0\0\0\x01"
start, sent = time.monotonic(), 0
while time.monotonic() - start < seconds:
    due = int((time.monotonic() - start) * rate)
    while sent < due:
        s.sendto(message, ("10.77.0.1", 9000))
        sent += 1
    time.sleep(0.002)
print(sent / (time.monotonic() - start))
PY
        flooder=$!
        PIDS+=("$flooder")
    fi
    local c0 c1
    c0=$(ticks "$PID")
    wait "$receiver"
    c1=$(ticks "$PID")
    [ -z "$flooder" ] || wait "$flooder" || true
    stop
    local cpu
    cpu=$(awk -v c="$((c1 - c0))" -v hz="$(getconf CLK_TCK)" -v s="$((seconds + 1))" \
        'BEGIN { printf "%.2f", 100 * c / hz / s }')
    echo "$kind 1 clock $cap $cpu -" >>"$WORK/list"
    [ -z "$flooder" ] || echo "flood round $round: $(cat "$WORK/flood-$round") commands/s sent" >&2
}

case "$MODE" in
cpu)
    SECONDS_PER_ROUND="${2:-60}"
    ROUNDS="${3:-3}"
    echo "remote cost: $ROUNDS rounds of $SECONDS_PER_ROUND s each, off and on, headless p0 25fps"
    for round in $(seq "$ROUNDS"); do
        if [ $((round % 2)) -eq 1 ]; then order="off on"; else order="on off"; fi
        for kind in $order; do cpu_round "$kind" "$SECONDS_PER_ROUND"; done
    done
    awk '{ n[$1]++; t[$1] += $2; r[$1] += $6 } END {
        printf "mean off %.3f %% (ticks) %.3f %% (run time); on %.3f %% / %.3f %%; on - off %.3f %% / %.3f %% of one core\n",
            t["off"] / n["off"], r["off"] / n["off"], t["on"] / n["on"], r["on"] / n["on"],
            t["on"] / n["on"] - t["off"] / n["off"], r["on"] / n["on"] - r["off"] / n["off"] }' "$WORK/cpu"
    ;;
flood)
    SECONDS_PER_ROUND="${2:-20}"
    ROUNDS="${3:-2}"
    RATE="${4:-5000}"
    [ -x "$TOOL" ] || { echo "missing $TOOL: build the target wire_bench" >&2; exit 1; }
    echo "lateness with OSC on: $ROUNDS rounds of $SECONDS_PER_ROUND s quiet and under $RATE commands/s"
    for round in $(seq "$ROUNDS"); do
        if [ $((round % 2)) -eq 1 ]; then order="quiet flood"; else order="flood quiet"; fi
        for kind in $order; do flood_round "$kind" "$SECONDS_PER_ROUND" "$RATE" "$round"; done
    done
    "$TOOL" report "$WORK/list"
    ;;
*)
    echo "usage: remote_cost.sh cpu|flood [...]" >&2
    exit 2
    ;;
esac
