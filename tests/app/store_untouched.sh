#!/usr/bin/env bash
# Runs test programs as a developer would by hand, with a home folder holding a
# settings store of its own, and fails if any of them changed or added a file
# there: every test must point the store at a temporary place itself.
#
#   store_untouched.sh <test program>...
set -u
home=$(mktemp -d /tmp/orvello-home.XXXXXX)
trap 'rm -rf "$home"' EXIT
store="$home/.config/orvello.example/Orvello.conf"
mkdir -p "$(dirname "$store")"
printf '[General]\nstart_hour_0=7\nmidi_protocol_on=1\nFrameFormat=2\n' >"$store"
before=$(cd "$home" && find . -type f -exec md5sum {} + | sort)

ownnetwork="$(dirname "${BASH_SOURCE[0]}")/../common/ownnetwork.sh"
status=0
for program in "$@"; do
    env -u XDG_CONFIG_HOME HOME="$home" QT_QPA_PLATFORM=offscreen "$ownnetwork" "$program" \
        >"$home.log" 2>&1 ||
        { echo "FAIL: $program failed"; cat "$home.log"; status=1; }
    after=$(cd "$home" && find . -type f -exec md5sum {} + | sort)
    if [ "$after" != "$before" ]; then
        echo "FAIL: $(basename "$program") touched the user's settings:"
        diff <(echo "$before") <(echo "$after")
        status=1
        before=$after
    fi
done
rm -f "$home.log"
[ $status = 0 ] && echo "PASS: the store in HOME is unchanged"
exit $status
