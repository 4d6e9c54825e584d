#!/usr/bin/env bash
# Long Art-Net storm against the real program (needs root; private namespaces).
#   bench/storm.sh [storm seconds=60] [datagrams/s=20000] [quiet seconds=20]
# Prints what was sent per kind, the poll replies, and the ArtTimeCode
# lateness on the wire quiet and under the storm.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
ORVELLO="${ORVELLO:-$ROOT/build/app/orvello}"
exec "$ROOT/tests/artnet/wirerun.sh" "$ORVELLO" "${3:-20}" "${1:-60}" "${2:-20000}"
