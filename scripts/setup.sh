# Shared by scripts/run and scripts/test: install what is missing from
# Debian's packages, configure into build/ and build. Sourced, not run.
set -euo pipefail

ORVELLO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${ORVELLO_BUILD_DIR:-$ORVELLO_ROOT/build}"

# Build and test dependencies. tshark and jackd2 are the outside peers of the
# end-to-end tests; xvfb and friends (openbox gives the keyboard focus) let
# anyone look at and type into the real window; the packaging tools build and
# check the .deb (scripts/package) and draw the icon's sizes from its SVG.
# liblo, Qt HTTP Server and Qt WebSockets carry the OSC and web remotes;
# oscsend/oscdump and chromium are their peers in the tests.
PACKAGES=(
    cmake ninja-build g++ pkg-config ccache
    qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
    librtmidi-dev libltc-dev librtaudio-dev libjack-jackd2-dev
    iproute2 util-linux python3
    tshark jackd2
    xvfb xauth xdotool imagemagick openbox
    dpkg-dev debhelper fakeroot lintian desktop-file-utils appstream librsvg2-bin man-db bsdextrautils
    qt6-httpserver-dev qt6-websockets-dev liblo-dev liblo-tools chromium
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

# The browser test's driver, puppeteer-core, from the npm registry into the
# build folder (never globally); it drives Debian's chromium and downloads no
# browser of its own. Installed outside the test namespace, which has no
# network. When the registry cannot be reached the test is skipped, and says
# so; any other failure leaves nothing behind and the test fails.
orvello_install_browser_driver() {
    local dir="$BUILD_DIR/browser-driver"
    [ -d "$dir/node_modules/puppeteer-core" ] && return 0
    mkdir -p "$dir"
    rm -f "$dir/registry-unreachable"
    cp "$ORVELLO_ROOT/tests/remote/browser/package.json" "$dir/"
    if ! command -v npm >/dev/null; then
        echo "npm is missing: the browser test will fail" >&2
        return 0
    fi
    if ! (cd "$dir" && PUPPETEER_SKIP_DOWNLOAD=1 npm install --no-audit --no-fund \
            --loglevel=error >&2); then
        if ! (cd "$dir" && timeout 30 npm ping >/dev/null 2>&1); then
            echo "the npm registry is unreachable: the browser test will be skipped" >&2
            touch "$dir/registry-unreachable"
        fi
    fi
    return 0
}
