#!/usr/bin/env bash
# The demo's front end, run by scripts/demo.sh as the computer of the demo
# network: the program on your screen when there is one. Without a screen it
# runs on a private X display (Xvfb), opens the search, gives the device at
# 192.168.1.213 a new address with "Change IP" and a silent one with "Help! My
# device wasn't found!", picks the first at its new address and saves
# screenshots on the way.
#
# The program runs from a copy in a temporary folder, with a settings file
# beside it that shows the search dialog's IP change buttons; the build tree,
# which the tests use, stays as it is.
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
SETTINGS=$'[Search]\r\nButtonSet=0x3E\r\n'

if [[ -n ${DISPLAY:-} ]] && command -v xdotool >/dev/null && xdotool getdisplaygeometry >/dev/null 2>&1; then
    echo "demo: the program is on display $DISPLAY. Press \"...\" to search the demo network," \
        "pick a device with Select; Close ends the demo. \"Change IP\" gives the selected" \
        "device a new address (try 192.168.1.213, which the computer cannot reach: 10.77.1.50)," \
        "\"Help! My device wasn't found!\" one that does not answer (00-20-4A-10-02-40)."
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
    mkdir -m 755 "$home/bin"
    # The copy carries the program's version, so the caption stays right.
    cp "$PROGRAM" "$home/bin/quorvet" || exit 1
    printf '%s' "$SETTINGS" >"$home/bin/Quorvet.ini"
    chown "$user" "$home" "$home/run"
    "${as_user[@]}" env HOME="$home" XDG_RUNTIME_DIR="$home/run" XDG_CONFIG_HOME= XDG_DATA_HOME= \
        XDG_CACHE_HOME= "$home/bin/quorvet"
    exit $?
fi

echo "demo: no screen here; the program runs on a private X display and is photographed."
xd_require_tools
mkdir -p "$OUTDIR" || xd_fail "cannot create $OUTDIR"
rm -f "$OUTDIR"/*.png
xd_init
xd_start_xvfb
xd_start_program "$PROGRAM" "$SETTINGS"
LOG=$QVNET_DIR/devsim.log
infos() { grep -c '^TX .* what=info' "$LOG"; }

# Opens the IP change dialog with the search dialog's button at X,Y, types
# MAC (unless empty) and ADDRESS, presses Change and OK in the outcome box,
# and waits for the new search (INFOS more details asked for). Screenshots
# of the dialog and the box get the prefix SHOT.
change_ip() {
    local x=$1 y=$2 mac=$3 address=$4 more=$5 shot=$6 change box before
    xd_click "$dialog" "$x" "$y"
    change=$(xd_wait_window "Change IP address") || exit 1
    xd_ipchange_fill "$change" "$mac" "$address"
    xd_shot "$shot-dialog.png"
    xd_ipchange_press_change "$change"
    box=$(xd_wait_window "Information" 30) || exit 1
    xd_shot "$shot-outcome.png"
    before=$(infos)
    xdotool windowfocus --sync "$box" 2>/dev/null
    xd_key Return
    xd_wait_window_gone "$change"
    xd_wait_search_done $((before + more))
}

main=$(xd_wait_window "Quorvet utility ver.1.0.0.0") || exit 1
xd_shot "$OUTDIR/1-main-window.png"
xd_click "$main" 234 26 # "..."
dialog=$(xd_wait_window "Find device") || exit 1
# Every device answers but the silent one; the one on another subnet cannot
# be asked for its details.
answering=$(grep '^device ' "$QVNET_DIR/netfile" | grep -cvE '(^| )(silent|no_info)( |$)|ip=192\.168\.')
xd_wait_search_done "$answering"
xd_shot "$OUTDIR/2-search-dialog.png"

# "Change IP" for 192.168.1.213 (N/A).
xd_pick_row "$dialog" 192.168.1.213
change_ip 64 276 "" 10.77.1.50 $((answering + 1)) "$OUTDIR/3-change-ip"
xd_shot "$OUTDIR/4-search-dialog-after-change.png"
# "Help! My device wasn't found!" for the silent device: through every adapter.
change_ip 236 244 00-20-4A-10-02-40 10.77.2.60 $((answering + 1)) "$OUTDIR/5-help-not-found"

# The device at its new address, picked with Select.
xd_pick_row "$dialog" 10.77.1.50
xd_click "$dialog" 389 244 # "Select"
xd_wait_window_gone "$dialog"
xd_shot "$OUTDIR/6-main-window-device.png"

echo "demo: what the devices took (\$QVNET_DIR/devsim.log):"
grep '^IPCHANGE ' "$LOG" | sed 's/^/    /'
echo "demo: the information box after Select:"
xd_copy_text "$main" 250 130 | sed 's/^/    /'
echo
echo "demo: screenshots:"
for f in "$OUTDIR"/*.png; do
    echo "    $f"
done
