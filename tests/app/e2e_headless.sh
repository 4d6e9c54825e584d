#!/usr/bin/env bash
# `orvello headless` started with real-time priority, in a network namespace of
# its own: every output worker keeps the policy, and no window library is
# mapped. What a headless run sends and
# answers is e2e_remote_headless's, its wiring tst_sharedwiring's, how signals
# end it tst_shutdown's; bench/remote_cost.sh measures what it costs.
set -euo pipefail

ORVELLO="${1:?usage: e2e_headless.sh <orvello>}"

HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$HERE/../common/netns.sh"
source "$HERE/../common/headless.sh"
netns_require ip
netns_init H headless
if ! chrt -f 10 true 2>/dev/null; then
    echo "SKIP: real-time priority is not available here"
    exit 77
fi
netns_setup 1

settings_folder "$WORK/rt"
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
# The run went on in the service program, which maps no window libraries.
! grep -qE 'libQt6(Widgets|Gui)' "/proc/$PID/maps" || fail "rt: window libraries mapped"
headless_stop rt TERM
[ ! -s "$WORK/rt/stderr" ] || fail "rt: standard error: $(cat "$WORK/rt/stderr")"
echo "PASS"
