# Helpers of the end-to-end scripts that start the real program, sourced
# after netns.sh or jackserver.sh (which define fail).

# settings_folder <dir> <key=value>...: a private settings folder ($dir/config)
# and home ($dir/home) for one run, so no run reads or writes the user's own.
settings_folder() {
    local dir="$1"
    shift
    mkdir -p "$dir/config/orvello.example" "$dir/home"
    { echo "[General]"; printf '%s\n' "$@"; } >"$dir/config/orvello.example/Orvello.conf"
}

# jack_xruns <jackd log>: overruns of a JACK server without real-time rights
# on a shared machine, each of which may cost any client a frame: the
# driver's own of 5 ms and more, and cycles in which some client was late.
jack_xruns() {
    { sed -n 's/.*Process XRun = \([0-9]*\) usec.*/\1/p' "$1" | awk '$1 >= 5000'
      grep 'JackEngine::XRun' "$1" || true; } | wc -l
}

# run_headless <dir> <namespace> <args...>: `orvello headless` with no
# display or session variables (TZ passed on when set), in the namespace, its
# settings and home in <dir>, its output appended to <dir>/stdout and stderr.
# Sets PID.
run_headless() {
    local dir="$1" ns="$2"
    shift 2
    ip netns exec "$ns" env -i PATH="$PATH" LANG=C.UTF-8 ${TZ:+TZ="$TZ"} HOME="$dir/home" \
        XDG_CONFIG_HOME="$dir/config" XDG_RUNTIME_DIR="$dir/home" \
        JACK_DEFAULT_SERVER="${JACK_DEFAULT_SERVER:-}" JACK_NO_AUDIO_RESERVATION=1 \
        "$ORVELLO" headless verbose "$@" >>"$dir/stdout" 2>>"$dir/stderr" &
    PID=$!
    PIDS+=("$PID")
}
