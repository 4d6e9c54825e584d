# Private wire for end-to-end runs, sourced by the scripts that start the real
# program with its Art-Net socket open. The program's namespace (NSA) gets
# veth a0 = 10.77.0.1/24 and, with two pairs, a1 = 192.168.77.1/24; the peers
# b0 = 10.77.0.2/24 and b1 = 192.168.77.2/24 sit in NSB. Nothing here touches
# the host's own interfaces. Namespace names carry the script's PID, so runs
# side by side never meet.

# netns_require <tools...>: SKIP (status 77) without root or one of the tools.
netns_require() {
    if [ "$(id -u)" -ne 0 ]; then
        echo "SKIP: needs root to create network namespaces"
        exit 77
    fi
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
    done
}

# netns_init <tag> <work name>: sets NSA, NSB, WORK and PIDS, and ends
# everything on exit. A script that keeps its results sets its own trap that
# calls netns_teardown.
netns_init() {
    NSA="orv${1}A$$"
    NSB="orv${1}B$$"
    WORK="$(mktemp -d "/tmp/orvello-$2.XXXXXX")"
    PIDS=()
    trap 'netns_teardown; rm -rf "$WORK"' EXIT
}

# netns_teardown: kills only the processes this script started, then drops
# the namespaces (and with them the veth pairs).
netns_teardown() {
    local pid
    for pid in "${PIDS[@]}"; do
        kill -KILL "$pid" 2>/dev/null || true
    done
    ip netns del "$NSA" 2>/dev/null || true
    ip netns del "$NSB" 2>/dev/null || true
}

# fail <message>: the message and the last lines of every run's output.
fail() {
    echo "FAIL: $*" >&2
    local f
    for f in "$WORK"/*/stdout "$WORK"/*/stderr; do
        [ -s "$f" ] && { echo "--- $f" >&2; tail -n 15 "$f" >&2; }
    done
    exit 1
}

# check <what> <tenths> <command...>: fails with <what> unless the command
# succeeds within that many tenths of a second.
check() {
    for _ in $(seq "$2"); do "${@:3}" && return 0; sleep 0.1; done
    fail "$1"
}

# netns_setup <pairs>: one pair (a0/b0) or two (a0/b0, a1/b1), IPv6 off so
# nothing but our own datagrams crosses, no reverse-path filter (the peer
# sends from addresses the program has no route back to), and every link up
# with carrier.
netns_setup() {
    local pairs="$1" ns i
    ip netns add "$NSA" && ip netns add "$NSB" || fail "cannot create namespaces"
    for ((i = 0; i < pairs; i++)); do
        ip link add "a$i" netns "$NSA" type veth peer name "b$i" netns "$NSB"
    done
    for ns in "$NSA" "$NSB"; do
        ip netns exec "$ns" sysctl -qw net.ipv6.conf.all.disable_ipv6=1
        ip netns exec "$ns" sysctl -qw net.ipv6.conf.default.disable_ipv6=1
        ip netns exec "$ns" sysctl -qw net.ipv4.conf.all.rp_filter=0
        ip -n "$ns" link set lo up
    done
    ip -n "$NSA" addr add 10.77.0.1/24 brd + dev a0
    ip -n "$NSB" addr add 10.77.0.2/24 brd + dev b0
    if [ "$pairs" -gt 1 ]; then
        ip -n "$NSA" addr add 192.168.77.1/24 brd + dev a1
        ip -n "$NSB" addr add 192.168.77.2/24 brd + dev b1
    fi
    for ((i = 0; i < pairs; i++)); do
        ip -n "$NSA" link set "a$i" up
        ip -n "$NSB" link set "b$i" up
    done
    for ((i = 0; i < pairs; i++)); do
        netns_carrier "$NSA" "a$i"
        netns_carrier "$NSB" "b$i"
    done
}

# netns_carrier <namespace> <link>: a veth needs a moment for carrier, and the
# program lists only adapters that are up when it starts.
netns_carrier() {
    check "no carrier on $2" 50 ip netns exec "$1" grep -qx up "/sys/class/net/$2/operstate"
}

# netns_capture <label> <file> <filter> <interfaces...>: tshark in NSB,
# returning once it captures. Sets TSHARK; errors go to <file>.err.
netns_capture() {
    local label="$1" file="$2" filter="$3" iface
    shift 3
    local args=()
    for iface in "$@"; do args+=(-i "$iface"); done
    ip netns exec "$NSB" tshark -q -f "$filter" "${args[@]}" -w "$file" 2>"$file.err" &
    TSHARK=$!
    PIDS+=("$TSHARK")
    check "$label: tshark did not start" 100 grep -qs "Capturing on" "$file.err"
}

# netns_capture_stop: lets the last datagrams land, then ends the capture.
netns_capture_stop() {
    sleep 0.3
    kill -INT "$TSHARK" 2>/dev/null || true
    wait "$TSHARK" 2>/dev/null || true
}

# netns_end <pid>: SIGTERM, up to 3 s, then SIGKILL; never fails.
netns_end() {
    kill -TERM "$1" 2>/dev/null || true
    for _ in $(seq 30); do
        kill -0 "$1" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}

# netns_poll <source> <target> [<source> <target>...]: a console in NSB sends
# one ArtPoll from each source address to port 6454 of its target.
netns_poll() {
    ip netns exec "$NSB" python3 - "$@" <<'EOF'
import socket, sys
poll = b"Art-Net\0" + bytes([0x00, 0x20, 0, 14, 0, 0])
for source, target in zip(sys.argv[1::2], sys.argv[2::2]):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    s.bind((source, 6454))
    s.sendto(poll, (target, 6454))
    s.close()
EOF
}
