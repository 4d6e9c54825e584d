# Shared by scripts/run and scripts/test: install what is missing from
# Debian's packages, configure into build/ and build. Sourced, not run.
set -euo pipefail

ORVELLO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${ORVELLO_BUILD_DIR:-$ORVELLO_ROOT/build}"

# Build and test dependencies. tshark and jackd2 are the outside peers of the
# end-to-end tests; xvfb and friends let anyone look at the real window; the
# packaging tools build and check the .deb (scripts/package) and draw the
# icon's sizes from its SVG.
PACKAGES=(
    cmake ninja-build g++ pkg-config ccache
    qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
    librtmidi-dev libltc-dev librtaudio-dev libjack-jackd2-dev
    iproute2 util-linux python3
    tshark jackd2
    xvfb xauth xdotool imagemagick
    dpkg-dev debhelper fakeroot lintian desktop-file-utils appstream librsvg2-bin man-db bsdextrautils
)

orvello_install() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}" >&2
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    # Answer the two install-time questions so the install never prompts.
    printf '%s\n' \
        'wireshark-common wireshark-common/install-setuid boolean false' \
        'jackd2 jackd/tweak_rt_limits boolean false' | $sudo debconf-set-selections
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
}

orvello_build() {
    if [ ! -f "$BUILD_DIR/build.ninja" ]; then
        # ORVELLO_CMAKE_ARGS: extra configure options, e.g. the sanitizer build.
        # ccache lets a second checkout or build folder reuse what one built.
        cmake -S "$ORVELLO_ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DCMAKE_CXX_COMPILER_LAUNCHER=ccache \
            ${ORVELLO_CMAKE_ARGS:-} >&2
    fi
    cmake --build "$BUILD_DIR" >&2
}
