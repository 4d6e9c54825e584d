#!/bin/bash
# The display benchmark on a real X server at 1920x1080 (Xvfb), in a private
# network namespace: the window opens its Art-Net socket.
#   bench/display_bench.sh [frames per mode]
set -euo pipefail
BUILD="${ORVELLO_BUILD_DIR:-$(cd "$(dirname "$0")/.." && pwd)/build}"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
exec unshare -n sh -c 'ip link set lo up
    HOME="$1" XDG_CONFIG_HOME="$1/config" xvfb-run -a -s "-screen 0 1920x1080x24" \
        "$2/bench/bench_display" "$3"' sh "$home" "$BUILD" "${1:-1500}"
