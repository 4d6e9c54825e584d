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
