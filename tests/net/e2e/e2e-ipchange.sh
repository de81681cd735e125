#!/usr/bin/env bash
# End to end: the real program re-addresses a device from its window, on its
# own X display inside the private test network of e2e-ipchange.net. The
# settings file beside the program gives the search dialog every button
# ([Search] ButtonSet=0x3E). First "Help! My device wasn't found!" for the
# device at 192.168.1.213: the request would go through every adapter, where
# another device ends in the same two MAC octets, so the program asks; No
# sends nothing. Then "Change IP" for its row (N/A, found behind 10.77.1.1)
# gives it 10.77.1.50; the new search lists it there with its details, and
# "Select" shows its identity in the main window. Screenshots go to OUTDIR.
#
#   e2e-ipchange.sh PROGRAM OUTDIR    (as the computer of e2e-ipchange.net)
set -uo pipefail
XD_TAG=e2e-ipchange
source "$(dirname "${BASH_SOURCE[0]}")/xdriver.sh"

xd_e2e_args "$@"
rm -f "$OUTDIR"/*.png

CAPTION="Quorvet utility ver.1.0.0.0"
DIALOG="Find device"
CHANGE="Change IP address"
LOG=$QVNET_DIR/devsim.log
OLD_IP=192.168.1.213
NEW_IP=10.77.1.50
MAC=00-20-4A-E3-0D-13
SEP=----------------------------------------------------------

infos() { grep -c '^TX .* what=info' "$LOG"; }
ipsetups() { grep -c '^RX .* len=20 ' "$LOG"; }

# Opens the IP change dialog with the search dialog's button at X,Y.
open_change() {
    xd_click "$dialog" "$1" "$2"
    change=$(xd_wait_window "$CHANGE") || exit 1
    xdotool windowfocus --sync "$change" 2>/dev/null
}

xd_init
xd_start_xvfb
xd_start_program "$PROGRAM" $'[Search]\r\nButtonSet=0x3E\r\n'

main=$(xd_wait_window "$CAPTION") || exit 1

# "..." opens the search dialog with all five buttons in two rows. The
# device at 192.168.1.213 cannot be asked for its details.
xd_click "$main" 234 26
dialog=$(xd_wait_window "$DIALOG") || exit 1
xd_wait_search_done 3
size=$(xdotool getwindowgeometry --shell "$dialog" | awk -F= '/^WIDTH/{w=$2} /^HEIGHT/{h=$2} END{print w "x" h}')
xd_expect_eq "search dialog size (two button rows)" "$size" "515x297"
xd_shot "$OUTDIR/1-search-dialog-five-buttons.png"
grep -q "^RX .*dev=$OLD_IP .*data=000000F6" "$LOG" || xd_fail "the device at $OLD_IP heard no discovery"

# "Help! My device wasn't found!" with the device's MAC: through every
# adapter the request would also reach 10.77.2.21 (also 0D-13), so the program
# asks first. No sends nothing and leaves the dialog open.
open_change 236 244
xd_ipchange_fill "$change" "$MAC" "$NEW_IP"
sent_before=$(ipsetups)
xd_ipchange_press_change "$change"
question=$(xd_wait_window "Confirm") || exit 1
xd_shot "$OUTDIR/2-shared-suffix-question.png"
xdotool windowfocus --sync "$question" 2>/dev/null
xd_key Escape # No
xd_wait_window_gone "$question"
xdotool search --onlyvisible --name . 2>/dev/null | grep -qx "$change" ||
    xd_fail "the IP change dialog closed after No"
sleep 1 # anything sent would be in the log by now
xd_expect_eq "IP-SETUP datagrams after No" "$(ipsetups)" "$sent_before"
xdotool windowfocus --sync "$change" 2>/dev/null
xd_key Escape # Cancel
xd_wait_window_gone "$change"

# "Change IP" for the row of 192.168.1.213.
xd_pick_row "$dialog" "$OLD_IP"
open_change 64 276
xd_expect_eq "address of the picked row" "$(xd_ipchange_address "$change")" "$OLD_IP"
xd_expect_eq "MAC of the picked row" "$(xd_ipchange_mac "$change")" "$MAC"
xd_ipchange_fill "$change" "" "$NEW_IP"
xd_shot "$OUTDIR/3-ipchange-dialog.png"
xd_ipchange_press_change "$change"
# The ping of the new address (1.5 s), the request, a second's wait.
box=$(xd_wait_window "Information" 30) || exit 1
xd_shot "$OUTDIR/4-outcome-box.png"
grep -q "^IPCHANGE .* mac=$MAC new=$NEW_IP via=ipsetup" "$LOG" ||
    xd_fail "the device did not take $NEW_IP"
# Sent through the adapter the device was found on, and nowhere else.
grep '^RX .* len=20 ' "$LOG" | grep -v " from=10.77.1.1:" | grep -q . &&
    xd_fail "an IP-SETUP datagram came through another adapter"
infos_before=$(infos)
xdotool windowfocus --sync "$box" 2>/dev/null
xd_key Return
xd_wait_window_gone "$box"
xd_wait_window_gone "$change"

# The dialog searches again: now every device answers, the moved one at its
# new address with its details.
xd_wait_search_done $((infos_before + 4))
grep -q "^TX .* dev=$NEW_IP mac=$MAC .* what=info" "$LOG" ||
    xd_fail "the device was not asked for its details at $NEW_IP"
xd_shot "$OUTDIR/5-search-dialog-after.png"
xd_pick_row "$dialog" "$NEW_IP"
xd_click "$dialog" 389 244 # "Select"
xd_wait_window_gone "$dialog"
xd_shot "$OUTDIR/6-main-window-device.png"

expected=$(printf '%s\n' "$SEP" "- [Device: Packing line 2, new from stock]" "$SEP" "- QT101" \
    "- IP: $NEW_IP" "- MAC: $MAC" "- FW: 1-4-5.02" "$SEP")
xd_expect_eq "information box after Select" "$(xd_copy_text "$main" 250 130)" "$expected"
xd_expect_eq "IP field after Select" "$(xd_ip_entry_text "$main" 111 26 31)" "$NEW_IP"

xd_click "$main" 469 292 # "Close"
for _ in $(seq 100); do
    xd_program_running || break
    sleep 0.1
done
xd_program_running && xd_fail "the program still runs after Close"

xd_say "PASS; screenshots in $OUTDIR"
