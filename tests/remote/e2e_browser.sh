#!/usr/bin/env bash
# The web page in a real browser: the program as `orvello headless web p1`
# in a network namespace of its own (veth a0 = 10.77.0.1/24), Debian's
# chromium in the same namespace driven by puppeteer-core, tshark on the
# peer side (b0). The page must show the code running; a click on Pause must
# stop the Art-Net stream.
#
#   e2e_browser.sh <orvello> <driver folder> [screenshot]
# The driver folder is where scripts/setup.sh installed puppeteer-core; when
# the npm registry could not be reached it holds "registry-unreachable" and
# the test is skipped.
set -euo pipefail

ORVELLO="${1:?usage: e2e_browser.sh <orvello> <driver folder> [screenshot]}"
DRIVER="${2:?usage: e2e_browser.sh <orvello> <driver folder> [screenshot]}"
SHOT="${3:-${ORVELLO_SHOT:-}}"
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$HERE/../common/netns.sh"
source "$HERE/../common/headless.sh"
if [ ! -d "$DRIVER/node_modules/puppeteer-core" ]; then
    if [ -f "$DRIVER/registry-unreachable" ]; then
        echo "SKIP: the npm registry was unreachable, puppeteer-core is not installed"
        exit 77
    fi
    echo "FAIL: puppeteer-core is missing from $DRIVER: run scripts/test, which installs it" >&2
    exit 1
fi
netns_require ip tshark python3 node /usr/bin/chromium
netns_init P browser
netns_setup 1
SHOT="${SHOT:-$WORK/page.png}"

mkdir -p "$WORK/profile"
settings_folder "$WORK/run" web_enabled=1 web_port=8080 midi_protocol_on=0
netns_capture run "$WORK/run/cap.pcapng" 'udp port 6454' b0
run_headless "$WORK/run" "$NSA" nomidi 25fps p1
headless_wait run "web page: listening on 127.0.0.1 port 8080"

ip netns exec "$NSA" env HOME="$WORK/run/home" NODE_PATH="$DRIVER/node_modules" \
    node "$HERE/browser/pause.js" http://127.0.0.1:8080/ "$SHOT" "$WORK/profile" \
    >"$WORK/run/browser" 2>"$WORK/run/browser.err" || fail "browser: $(tail -5 "$WORK/run/browser.err")"
sleep 1.5
headless_stop run TERM
netns_capture_stop
tshark -r "$WORK/run/cap.pcapng" -T fields -E separator=, -e frame.time_epoch -e ip.src \
    -e udp.payload 2>/dev/null >"$WORK/run/fields"

python3 - "$WORK/run" <<'PY' || fail "page"
import json, sys
run = sys.argv[1]
seen = json.loads(open(f"{run}/browser").read())
times = [float(l.split(",")[0]) for l in open(f"{run}/fields")
         if l.split(",")[1] == "10.77.0.1" and bytes.fromhex(l.strip().split(",")[2])[8:10] == b"\x00\x97"]
click = seen["clickedAt"] / 1000
before = [t for t in times if click - 1 <= t < click]
after = [t for t in times if t >= seen["pausedAt"] / 1000 + 0.05]
if len(set(seen["codes"])) != 4 or seen["running"] != "RUNNING" or seen["label"] != "Pause":
    sys.exit(f"the page did not show the code running: {seen}")
if len(before) < 20:
    sys.exit(f"only {len(before)} ArtTimeCode in the second before the click")
if after or seen["paused"] != "PAUSED":
    sys.exit(f"{len(after)} ArtTimeCode after the page showed {seen['paused']}")
last = max(t for t in times if t < seen["pausedAt"] / 1000 + 0.05)
print(f"  page showed {seen['codes']} {seen['running']}; {len(before)} codes in the second "
      f"before Pause, the last {1000 * (last - click):.0f} ms after the click, page showed "
      f"{seen['paused']} at {seen['shown']} after {seen['pausedAt'] - seen['clickedAt']} ms; "
      "none after")
PY
echo "screenshot: $SHOT"
echo "PASS"
