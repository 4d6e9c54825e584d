#!/usr/bin/env bash
# Reviews the Debian package that scripts/package built, without installing
# it: its file list and control fields, the unpacked program's --version,
# German help and a headless run in a private network namespace, the desktop
# entry, the AppStream metadata, the manual page, the maintainer scripts and
# lintian.
#   package_check.sh <folder holding orvello_*.deb>
set -euo pipefail

DIR="${1:?usage: package_check.sh <folder with orvello_*.deb>}"
WORK="$(mktemp -d /tmp/orvello-package.XXXXXX)"
PID=""
cleanup() {
    [ -n "$PID" ] && kill -KILL "$PID" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    local f
    for f in "$WORK"/*.out "$WORK"/*.err; do
        [ -s "$f" ] && { echo "--- $f" >&2; tail -n 20 "$f" >&2; }
    done
    exit 1
}

shopt -s nullglob
debs=("$DIR"/orvello_*.deb)
[ ${#debs[@]} -eq 1 ] || fail "expected one orvello_*.deb in $DIR, found ${#debs[@]}"
deb="${debs[0]}"
version="$(dpkg-deb -f "$deb" Version)"
arch="$(dpkg-deb -f "$deb" Architecture)"
[ "$(basename "$deb")" = "orvello_${version}_${arch}.deb" ] || fail "file name $(basename "$deb")"
echo "checking $(basename "$deb")"

# --- What it installs.
dpkg-deb -c "$deb" >"$WORK/contents"
awk '{ print $6 }' "$WORK/contents" | sed 's#^\./#/#; s#/$##' >"$WORK/paths"
required=(
    /usr/bin/orvello
    /usr/libexec/orvello/orvello-headless
    /usr/share/orvello/translations/Orvello_de.qm
    /usr/share/applications/example.orvello.Orvello.desktop
    /usr/share/metainfo/example.orvello.Orvello.metainfo.xml
    /usr/share/icons/hicolor/scalable/apps/orvello.svg
    /usr/share/man/man1/orvello.1.gz
    /lib/systemd/system/orvello.service
    /usr/lib/sysusers.d/orvello.conf
    /usr/share/doc/orvello/copyright
    /usr/share/doc/orvello/changelog.gz
)
for size in 16 22 24 32 48 64 128 256; do
    required+=("/usr/share/icons/hicolor/${size}x${size}/apps/orvello.png")
done
for path in "${required[@]}"; do
    grep -qxF "$path" "$WORK/paths" || fail "the package lacks $path"
done
# Nothing of a build tree or a developer's install: one program in /usr/bin,
# translations only in their folder, no libraries or headers, no /usr/local.
stray="$(grep -E '^/usr/bin/.|\.qm$|\.(a|h|so)$|^/usr/local|^/usr/include|^/home|^/root|^/tmp' \
    "$WORK/paths" | grep -vxE '/usr/bin/orvello|/usr/share/orvello/translations/[^/]+\.qm' || true)"
[ -z "$stray" ] || fail "the package holds files it should not: $stray"

# --- Dependencies worked out from the binary, none of a build.
depends="$(dpkg-deb -f "$deb" Depends)"
for lib in libqt6core6 libqt6widgets6 libqt6network6 libqt6httpserver6 libqt6websockets6 liblo7 \
    librtmidi libltc librtaudio libc6; do
    grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
grep -qE -- '-dev\b|cmake|ccache' <<<"$depends" && fail "Depends names build tools: $depends"

# --- The unpacked copy runs from where the package puts it.
ROOT="$WORK/root"
dpkg-deb -x "$deb" "$ROOT"
orvello="$ROOT/usr/bin/orvello"
home="$WORK/home"
mkdir -p "$home"
# A plain command, not a function: started with &, its PID is the program's
# own (env, unshare and sh each exec the next), so a signal reaches it.
run=(env -i PATH=/usr/bin:/bin HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home")

"${run[@]}" LC_ALL=C "$orvello" --version >"$WORK/version.out" 2>"$WORK/version.err" ||
    fail "--version ended with $?"
grep -q "^Orvello v$version ($version) compiled " "$WORK/version.out" ||
    fail "--version does not name the package's version $version"
top_release="$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' \
    "$ROOT/usr/share/metainfo/example.orvello.Orvello.metainfo.xml" | head -n 1)"
[ "$top_release" = "$version" ] || fail "newest AppStream release $top_release, package $version"

# The German file is found in ../share/orvello/translations of the program.
"${run[@]}" LC_ALL=de_DE.UTF-8 "$orvello" --help >"$WORK/help.out" 2>"$WORK/help.err" ||
    fail "--help ended with $?"
grep -q "diese Hilfe" "$WORK/help.out" || fail "German help not found from the installed layout"

# Headless for a few seconds in a network namespace of its own, started as
# the service starts it; ready when its start line is out.
unshare_flags=(-n)
[ "$(id -u)" -ne 0 ] && unshare_flags=(-rn)
"${run[@]}" LC_ALL=C.UTF-8 unshare "${unshare_flags[@]}" sh -c 'ip link set lo up && exec "$@"' sh \
    "$orvello" headless p0 25fps nomidi verbose >"$WORK/headless.out" 2>"$WORK/headless.err" &
PID=$!
for _ in $(seq 300); do
    grep -q "^Orvello v$version headless: 25 fps, system time" "$WORK/headless.out" && break
    kill -0 "$PID" 2>/dev/null || fail "headless ended before its start line"
    sleep 0.1
done
grep -q "^Orvello v$version headless: " "$WORK/headless.out" || fail "no start line within 30 s"
# Handed over to the service program, which maps no window libraries.
[ "$(readlink "/proc/$PID/exe")" = "$ROOT/usr/libexec/orvello/orvello-headless" ] ||
    fail "headless runs $(readlink "/proc/$PID/exe")"
sleep 2 # the run itself, not a wait for readiness
kill -0 "$PID" 2>/dev/null || fail "headless ended by itself"
kill -TERM "$PID"
status=0
wait "$PID" || status=$?
PID=""
[ "$status" -eq 0 ] || fail "headless ended with status $status after SIGTERM"
grep -qi 'cannot load\|could not load\|not found' "$WORK/headless.err" &&
    fail "headless reports a missing piece"

# --- The service as packaged, and its user.
unit="$ROOT/lib/systemd/system/orvello.service"
grep -qx 'ExecStart=/usr/bin/orvello headless' "$unit" || fail "unit's ExecStart: $(grep ExecStart= "$unit")"
grep -q '@' "$unit" && fail "unit keeps an unfilled placeholder"
grep -qE '^u orvello ' "$ROOT/usr/lib/sysusers.d/orvello.conf" || fail "no sysusers entry for orvello"
grep -qx 'm orvello audio' "$ROOT/usr/lib/sysusers.d/orvello.conf" || fail "orvello not in group audio"
dpkg-deb -e "$deb" "$WORK/control"
grep -q 'systemd-sysusers.*orvello.conf' "$WORK/control/postinst" || fail "postinst makes no user"
# Disabled by default: the enable call only re-creates what an admin enabled.
awk '/deb-systemd-helper enable/ && !guarded { bad = 1 } /was-enabled/ { guarded = 1 }
     END { exit bad }' "$WORK/control/postinst" || fail "postinst enables the service"
grep -qE 'userdel|deluser' "$WORK/control/postrm" "$WORK/control/prerm" 2>/dev/null &&
    fail "removal deletes the user"

# --- Desktop entry, metadata, manual page: as the distribution's tools see them.
desktop-file-validate "$ROOT/usr/share/applications/example.orvello.Orvello.desktop" \
    >"$WORK/desktop.out" 2>&1 || fail "desktop-file-validate failed"
[ ! -s "$WORK/desktop.out" ] || fail "desktop-file-validate: $(cat "$WORK/desktop.out")"
grep -qx 'Icon=orvello' "$ROOT/usr/share/applications/example.orvello.Orvello.desktop" ||
    fail "the desktop entry names another icon"
appstreamcli validate --no-net "$ROOT/usr/share/metainfo/example.orvello.Orvello.metainfo.xml" \
    >"$WORK/appstream.out" 2>&1 || fail "appstreamcli validate failed"
grep -q '^[EW]:' "$WORK/appstream.out" && fail "appstreamcli: $(cat "$WORK/appstream.out")"
appstreamcli validate-tree --no-net "$ROOT" >"$WORK/appstream-tree.out" 2>&1 ||
    fail "appstreamcli validate-tree failed"

# --- lintian: no error and no warning (accepted ones would be overridden in
# debian/orvello.lintian-overrides, each with its reason). It also checks what
# no line above repeats: files owned by root, icon sizes against their
# folders, and the manual page through groff.
lintian --fail-on error,warning --display-level '>=warning' "$deb" >"$WORK/lintian.out" 2>&1 ||
    fail "lintian: $(cat "$WORK/lintian.out")"
[ -s "$WORK/lintian.out" ] && cat "$WORK/lintian.out"
echo "package $(basename "$deb") passes"
