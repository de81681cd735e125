#!/usr/bin/env bash
# The Debian package as a technician gets it: built from the release preset
# (the build in build/release is reused when it is there), checked with
# lintian, installed into throwaway roots (dpkg-deb -x, and dpkg --root with
# removal), and the installed files run from there, without LD_LIBRARY_PATH:
# --version of both programs, quorvet-cli search in a private test network
# without any flag, the settings file found in $XDG_CONFIG_HOME, and the
# desktop program started on a private X display.
#
#   package.sh SOURCE_DIR DEVSIM
#
# DEVSIM plays the devices of the test network (the developer build's).
set -uo pipefail
XD_TAG=package
source "$(dirname "${BASH_SOURCE[0]}")/../net/e2e/xdriver.sh"

[[ $# -eq 2 ]] || xd_fail "usage: package.sh SOURCE_DIR DEVSIM"
SOURCE=$(cd "$1" && pwd) || exit 1
DEVSIM=$2
QVNET=$SOURCE/tests/net/qvnet
NETFILE=$SOURCE/tests/package/package.net
[[ -x $DEVSIM ]] || xd_fail "no device simulator at $DEVSIM"
for tool in cmake cpack dpkg-deb dpkg lintian desktop-file-validate appstreamcli man flock readelf; do
    command -v "$tool" >/dev/null || xd_fail "$tool is missing (bash scripts/deps.sh installs it)"
done
xd_require_tools

FAILURES=()
# A check that fails is noted and the others still run; the test fails at
# the end naming all of them.
fail() {
    xd_say "FAIL: $*"
    FAILURES+=("$*")
}
check_eq() {
    [[ $2 == "$3" ]] && { xd_say "ok: $1"; return 0; }
    fail "$1: expected
$3
got
$2"
}

xd_init
ROOT=$XD_WORK/root

# --- build ---------------------------------------------------------------
mkdir -p "$SOURCE/build" || xd_fail "cannot create $SOURCE/build"
exec 9>"$SOURCE/build/.release-package.lock"
flock -w 1200 9 || xd_fail "another package build holds build/.release-package.lock"
cd "$SOURCE" || exit 1
rm -rf build/release/package
{ cmake --preset release && cmake --build --preset release && cpack --preset release; } \
    >"$XD_WORK/build.log" 2>&1 || { tail -50 "$XD_WORK/build.log" >&2; xd_fail "building the package failed"; }
mapfile -t debs < <(find build/release/package -maxdepth 1 -name 'quorvet_*.deb')
[[ ${#debs[@]} -eq 1 ]] || xd_fail "expected one quorvet_*.deb in build/release/package, found: ${debs[*]}"
DEB=$SOURCE/${debs[0]}
flock -u 9
xd_say "package: $DEB"

# --- what it holds and what it needs -----------------------------------------
field() { dpkg-deb -f "$DEB" "$1"; }
check_eq "package name" "$(field Package)" "quorvet"
check_eq "version" "$(field Version)" "1.0.0.0-1"
depends=$(field Depends)
names=$(sed 's/ *([^)]*)//g; s/, */\n/g' <<<"$depends")
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6; do
    grep -qxF "$lib" <<<"$names" || fail "Depends lacks $lib (shlibdeps): $depends"
done
files=$(dpkg-deb -c "$DEB" | awk '{print $6}' | sed 's#^\./#/#')
for path in /usr/bin/quorvet /usr/bin/quorvet-cli \
    /usr/share/applications/com.kavenloggers.Quorvet.desktop \
    /usr/share/metainfo/com.kavenloggers.Quorvet.metainfo.xml \
    /usr/share/icons/hicolor/scalable/apps/com.kavenloggers.Quorvet.svg \
    /usr/share/man/man1/quorvet.1.gz /usr/share/man/man1/quorvet-cli.1.gz \
    /usr/share/doc/quorvet/copyright /usr/share/doc/quorvet/changelog.Debian.gz; do
    grep -qx "$path" <<<"$files" || fail "the package lacks $path"
done
grep -q devsim <<<"$files" && fail "the test tool quorvet-devsim is in the package"

# --- lintian: no errors (warnings are listed) ---------------------------------
lintian --tag-display-limit 0 --display-info "$DEB" >"$XD_WORK/lintian.log" 2>&1
grep -v '^N: ' "$XD_WORK/lintian.log" | grep -v 'running with root privileges' >&2
if grep -q '^E: ' "$XD_WORK/lintian.log"; then
    fail "lintian reports errors"
else
    xd_say "ok: lintian: no errors ($(grep -c '^W: ' "$XD_WORK/lintian.log") warning(s))"
fi

# --- installed by dpkg into a throwaway root, and removed again ------------------
DPKG_ROOT=$XD_WORK/dpkg-root
mkdir -p "$DPKG_ROOT/var/lib/dpkg/info" "$DPKG_ROOT/var/lib/dpkg/updates" "$DPKG_ROOT/usr/bin"
: >"$DPKG_ROOT/var/lib/dpkg/status"
# The root has none of the libraries: their packages are not asked for here.
dpkg_root() { dpkg --root="$DPKG_ROOT" --log=/dev/null --force-depends --force-script-chrootless "$@"; }
if dpkg_root -i "$DEB" >"$XD_WORK/dpkg.log" 2>&1; then
    [[ -x $DPKG_ROOT/usr/bin/quorvet-cli && -f $DPKG_ROOT/usr/share/man/man1/quorvet-cli.1.gz ]] ||
        fail "dpkg -i did not install the files"
    dpkg_root -r quorvet >>"$XD_WORK/dpkg.log" 2>&1 || fail "dpkg -r failed: $(cat "$XD_WORK/dpkg.log")"
    left=$(find "$DPKG_ROOT/usr" -type f)
    [[ -z $left ]] || fail "files left after dpkg -r: $left"
    [[ -z $left ]] && xd_say "ok: dpkg installs and removes the package in a throwaway root"
else
    fail "dpkg -i failed: $(cat "$XD_WORK/dpkg.log")"
fi

# --- the installed files -------------------------------------------------------
mkdir -p "$ROOT"
dpkg-deb -x "$DEB" "$ROOT" || xd_fail "dpkg-deb -x failed"
desktop-file-validate "$ROOT/usr/share/applications/com.kavenloggers.Quorvet.desktop" ||
    fail "desktop-file-validate"
check_eq "desktop entry name" \
    "$(sed -n 's/^Name=//p' "$ROOT/usr/share/applications/com.kavenloggers.Quorvet.desktop")" "Quorvet utility"
check_eq "desktop entry command" \
    "$(sed -n 's/^Exec=//p' "$ROOT/usr/share/applications/com.kavenloggers.Quorvet.desktop")" "quorvet"
appstreamcli validate --no-net "$ROOT/usr/share/metainfo/com.kavenloggers.Quorvet.metainfo.xml" >&2 ||
    fail "appstreamcli validate"
for page in quorvet quorvet-cli; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$ROOT/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
    [[ -z $warnings ]] || fail "man $page: $warnings"
done
LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$ROOT/usr/share/man/man1/quorvet-cli.1.gz" 2>/dev/null |
    grep -q -- "--version" || fail "man quorvet-cli does not show --version"
for program in quorvet quorvet-cli; do
    # The system's libraries only: no path of the build inside.
    if readelf -d "$ROOT/usr/bin/$program" | grep -Eq 'RPATH|RUNPATH'; then
        fail "$program carries a library path: $(readelf -d "$ROOT/usr/bin/$program" | grep -E 'RPATH|RUNPATH')"
    fi
    missing=$(env -u LD_LIBRARY_PATH ldd "$ROOT/usr/bin/$program" | grep 'not found')
    [[ -z $missing ]] || fail "$program: $missing"
done
check_eq "quorvet --version" "$(env -u LD_LIBRARY_PATH -u DISPLAY "$ROOT/usr/bin/quorvet" --version 2>&1)" \
    "quorvet 1.0.0.0"
check_eq "quorvet-cli --version" "$(env -u LD_LIBRARY_PATH "$ROOT/usr/bin/quorvet-cli" --version 2>&1)" \
    "quorvet-cli 1.0.0.0"

# --- in the private test network ---------------------------------------------------
# quorvet-cli search as a technician types it: no flag, and (inside the
# namespace) without the test network's mark either; then with the settings
# file where a Linux user keeps it.
cat >"$XD_WORK/in-network.sh" <<'INNER'
set -u
root=$1 work=$2
export -n LD_LIBRARY_PATH
for adapter in /sys/class/net/*; do
    name=${adapter##*/}
    [[ $name == lo || $name =~ ^qv[0-9]+$ ]] || { echo "interface $name is visible: not a test network"; exit 9; }
done
env -u QVNET_ID -u LD_LIBRARY_PATH HOME="$work" XDG_CONFIG_HOME="$work/nothing" XDG_CONFIG_DIRS="$work/nothing" \
    "$root/usr/bin/quorvet-cli" search --json >"$work/plain.json" 2>"$work/plain.err"
echo "plain=$?"
mkdir -p "$work/config/KavenLoggers"
printf '[GlobalTypes]\r\nSensor101=Packaged probe\r\n' >"$work/config/KavenLoggers/Quorvet.ini"
env -u QVNET_ID -u LD_LIBRARY_PATH HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_CONFIG_DIRS="$work/nothing" \
    "$root/usr/bin/quorvet-cli" search --json >"$work/settings.json" 2>"$work/settings.err"
echo "settings=$?"
INNER
result=$(QVNET_DEVSIM=$DEVSIM bash "$QVNET" run "$NETFILE" --devsim "$DEVSIM" -- \
    bash "$XD_WORK/in-network.sh" "$ROOT" "$XD_WORK" 2>"$XD_WORK/qvnet.log")
rc=$?
[[ $rc -eq 0 ]] || { cat "$XD_WORK/qvnet.log" >&2; fail "the test network run failed (status $rc)"; }
check_eq "quorvet-cli search without a flag: status" "$(sed -n 's/^plain=//p' <<<"$result")" "0"
[[ -s $XD_WORK/plain.err ]] && fail "quorvet-cli search wrote to stderr: $(cat "$XD_WORK/plain.err")"
check_eq "quorvet-cli search without a flag: devices" \
    "$(grep -o '"IP": "[0-9.]*"' "$XD_WORK/plain.json" | sort | paste -sd' ')" \
    '"IP": "10.77.1.10" "IP": "10.77.1.11"'
check_eq "quorvet-cli search with \$XDG_CONFIG_HOME/KavenLoggers/Quorvet.ini: status" \
    "$(sed -n 's/^settings=//p' <<<"$result")" "0"
grep -q '"IP": "10.77.1.10".*"DeviceType": "Packaged probe"' "$XD_WORK/settings.json" ||
    fail "quorvet-cli did not read \$XDG_CONFIG_HOME/KavenLoggers/Quorvet.ini: $(cat "$XD_WORK/settings.json" "$XD_WORK/settings.err")"

# The desktop program from the installed file, as nobody, on a private display.
cat >"$XD_WORK/gui.sh" <<'INNER'
set -uo pipefail
XD_TAG=package-gui
source "$1"
program=$2
xd_require_test_network
xd_init
xd_start_xvfb
xd_start_program "$program" ""
main=$(xd_wait_window "Quorvet utility ver.1.0.0.0") || exit 1
xd_click "$main" 469 292
for _ in $(seq 100); do
    xd_program_running || exit 0
    sleep 0.1
done
xd_fail "the installed program still runs after Close"
INNER
if QVNET_DEVSIM=$DEVSIM bash "$QVNET" run "$NETFILE" --devsim "$DEVSIM" -- \
    bash "$XD_WORK/gui.sh" "$XD_DIR/xdriver.sh" "$ROOT/usr/bin/quorvet" >"$XD_WORK/gui.log" 2>&1; then
    xd_say "ok: the installed desktop program starts and closes"
else
    cat "$XD_WORK/gui.log" >&2
    fail "the installed desktop program did not start"
fi

if ((${#FAILURES[@]})); then
    xd_say "${#FAILURES[@]} check(s) failed:"
    printf '  - %s\n' "${FAILURES[@]}" >&2
    exit 1
fi
xd_say "PASS"
