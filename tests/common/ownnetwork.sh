#!/bin/sh
# Runs a test program in a network namespace of its own with loopback up, so
# tests that ctest runs side by side (-j) never meet on a port: on a shared
# loopback one test's datagrams to port 6454 reach another test's node.
# Where no namespace can be made (not root), the program runs as it is.
#   ownnetwork.sh <program> [args...]
if unshare -n true 2>/dev/null; then
    exec unshare -n sh -c 'ip link set lo up && exec "$@"' sh "$@"
fi
exec "$@"
