#!/usr/bin/env bash
# Soak run of the real program at 30 fps (needs root; private namespaces).
#   bench/soak.sh [seconds=3600]
# Prints resident memory and CPU every 10 s, then missed and repeated frames
# and the lateness of the ArtTimeCode stream on the wire.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
ORVELLO="${ORVELLO:-$ROOT/build/app/orvello}"
exec "$ROOT/tests/artnet/wirerun.sh" "$ORVELLO" soak "${1:-3600}"
