#!/usr/bin/env bash
# The demo's front end, run by scripts/demo.sh as the computer of the demo
# network: the program on your screen when there is one. Without a screen it
# runs on a private X display (Xvfb), opens the search, picks a device and
# saves screenshots of the main window and the search dialog.
#
#   demo-gui.sh PROGRAM SCREENSHOT_DIR
set -uo pipefail
XD_TAG=demo
source "$(dirname "${BASH_SOURCE[0]}")/../tests/net/e2e/xdriver.sh"

[[ $# -eq 2 ]] || xd_fail "usage: demo-gui.sh PROGRAM SCREENSHOT_DIR"
PROGRAM=$1
OUTDIR=$2
xd_require_test_network
[[ -x $PROGRAM ]] || xd_fail "no program at $PROGRAM"

if [[ -n ${DISPLAY:-} ]] && command -v xdotool >/dev/null && xdotool getdisplaygeometry >/dev/null 2>&1; then
    echo "demo: the program is on display $DISPLAY. Press \"...\" to search the demo network," \
        "pick a device with Select; Close ends the demo."
    # Started with sudo, the program runs as you, as it would on a real
    # network; its per-user folders go to a temporary home either way.
    user=root
    as_user=()
    if [[ ${SUDO_UID:-0} =~ ^[1-9][0-9]*$ ]]; then
        user=$(id -nu "$SUDO_UID") || user=root
        [[ $user != root ]] && as_user=(setpriv --reuid="$SUDO_UID" --regid="${SUDO_GID:-$SUDO_UID}" --init-groups)
    fi
    user_home=$(getent passwd "$user" | cut -d: -f6)
    export XAUTHORITY=${XAUTHORITY:-$user_home/.Xauthority}
    home=$(mktemp -d "${TMPDIR:-/tmp}/quorvet-demo.XXXXXX") || exit 1
    trap 'rm -rf "$home"' EXIT
    mkdir -m 700 "$home/run"
    chown "$user" "$home" "$home/run"
    "${as_user[@]}" env HOME="$home" XDG_RUNTIME_DIR="$home/run" XDG_CONFIG_HOME= XDG_DATA_HOME= \
        XDG_CACHE_HOME= "$PROGRAM"
    exit $?
fi

echo "demo: no screen here; the program runs on a private X display and is photographed."
xd_require_tools
mkdir -p "$OUTDIR" || xd_fail "cannot create $OUTDIR"
rm -f "$OUTDIR"/*.png
xd_init
xd_start_xvfb
xd_start_program "$PROGRAM"

main=$(xd_wait_window "Quorvet utility ver.1.0.0.0") || exit 1
xd_shot "$OUTDIR/1-main-window.png"
xd_click "$main" 234 26 # "..."
dialog=$(xd_wait_window "Find device") || exit 1
xd_wait_search_done "$(grep '^device ' "$QVNET_DIR/netfile" | grep -cvE '(^| )(silent|no_info)( |$)')"
xd_shot "$OUTDIR/2-search-dialog.png"
# The device with the longest description, picked by typing its address.
xdotool windowfocus --sync "$dialog" 2>/dev/null
xdotool type --delay 30 "10.77.2.20"
sleep 0.3
xd_click "$dialog" 389 244 # "Select"
xd_wait_window_gone "$dialog"
xd_shot "$OUTDIR/3-main-window-device.png"

echo "demo: the information box after Select:"
xd_copy_text "$main" 250 130 | sed 's/^/    /'
echo
echo "demo: screenshots:"
for f in "$OUTDIR"/*.png; do
    echo "    $f"
done
