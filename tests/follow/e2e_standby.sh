#!/usr/bin/env bash
# Hot standby on the wire: a primary (10.77.0.2) runs place 1, a standby
# (10.77.0.3) follows it silently, a capture (10.77.0.9) records every
# ArtTimeCode; all three in namespaces of their own, joined by a bridge in a
# fourth. The primary is killed with SIGKILL, the backup must go on on its
# grid; then the primary comes back and the backup must fall silent.
#
#   e2e_standby.sh <orvello> [25fps|30fps ...]    (25fps and 30fps when none)
# Prints the figures of each run as JSON.
set -euo pipefail

ORVELLO="${1:?usage: e2e_standby.sh <orvello> [formats...]}"
shift
FORMATS=("$@")
[ ${#FORMATS[@]} -gt 0 ] || FORMATS=(25fps 30fps)
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$HERE/../common/netns.sh"
source "$HERE/../common/e2erun.sh"
netns_require ip python3

TAG="orvSb$$"
NSBR="${TAG}br"
NAMES=(p s c)
ADDRS=(10.77.0.2 10.77.0.3 10.77.0.9)
WORK="$(mktemp -d /tmp/orvello-standby.XXXXXX)"
PIDS=()
trap 'for pid in "${PIDS[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
      for n in "${NAMES[@]}" br; do ip netns del "$TAG$n" 2>/dev/null || true; done
      rm -rf "$WORK"' EXIT

ip netns add "$NSBR"
ip -n "$NSBR" link add br0 type bridge
ip -n "$NSBR" link set br0 up
for i in 0 1 2; do
    ns="$TAG${NAMES[$i]}"
    ip netns add "$ns"
    ip netns exec "$ns" sysctl -qw net.ipv6.conf.all.disable_ipv6=1
    ip netns exec "$ns" sysctl -qw net.ipv6.conf.default.disable_ipv6=1
    ip -n "$ns" link set lo up
    ip link add "e$i" netns "$ns" type veth peer name "p$i" netns "$NSBR"
    ip -n "$NSBR" link set "p$i" master br0 up
    ip -n "$ns" addr add "${ADDRS[$i]}/24" brd + dev "e$i"
    ip -n "$ns" link set "e$i" up
    netns_carrier "$ns" "e$i"
done

count_from() { grep -c " $2 " "$1" 2>/dev/null || true; }
at_least() { [ "$(count_from "$1" "$2")" -ge "$3" ]; }

# orvello <name> <namespace letter> <args...>: a headless run, its output
# added to the name's earlier ones. Sets PID.
orvello() {
    settings_folder "$WORK/$1"
    run_headless "$WORK/$1" "$TAG$2" nomidi noltc "${@:3}"
}

for format in "${FORMATS[@]}"; do
    rm -rf "$WORK"/*
    cap="$WORK/capture"
    ip netns exec "${TAG}c" python3 "$HERE/../common/tcwire.py" capture "$cap" "$WORK/ready" &
    CAP=$!
    PIDS+=("$CAP")
    check "capture not ready" 100 test -e "$WORK/ready"

    orvello primary p p1 "$format"
    PRIMARY=$PID
    check "$format: no codes from the primary" 100 at_least "$cap" 10.77.0.2 25
    orvello standby s standby
    STANDBY=$PID
    check "$format: the standby does not lock" 100 \
        grep -qs "standby, silent: following Art-Net from 10.77.0.2, locked" "$WORK/standby/stdout"
    # Long enough for the grid to settle: 50 more codes.
    base=$(count_from "$cap" 10.77.0.2)
    check "$format: primary stopped" 100 at_least "$cap" 10.77.0.2 $((base + 50))

    kill -KILL "$PRIMARY"
    wait "$PRIMARY" 2>/dev/null || true
    check "$format: the standby does not take over" 100 at_least "$cap" 10.77.0.3 100

    orvello primary p p1 "$format"
    base=$(count_from "$cap" 10.77.0.2)
    check "$format: the primary does not come back" 150 at_least "$cap" 10.77.0.2 $((base + 50))
    silent_again() { [ "$(grep -cs "standby, silent:" "$WORK/standby/stdout")" -ge 2 ]; }
    check "$format: the standby does not fall silent" 50 silent_again

    kill -TERM "$CAP" "$PID" "$STANDBY"
    wait "$CAP" "$PID" "$STANDBY" 2>/dev/null || true
    python3 "$HERE/../common/tcwire.py" standby "$cap" 10.77.0.2 10.77.0.3 3 || fail "$format: bounds broken"
done
