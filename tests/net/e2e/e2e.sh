#!/usr/bin/env bash
# End to end: the real program on its own X display inside the private test
# network. Press "...", pick a device in the search dialog, read back the
# information box and the IP field through the clipboard, and cancel a second
# search. Screenshots of the main window and the search dialog (also with its
# context menu) go to OUTDIR. With LANGUAGE "de" the program runs in a German
# session (LANG=de_DE.UTF-8) and its texts are expected in German; the
# screenshots' names then begin with "de-".
#
#   e2e.sh PROGRAM OUTDIR [de]     (as the computer of tests/net/e2e/e2e.net)
set -uo pipefail
XD_TAG=e2e
source "$(dirname "${BASH_SOURCE[0]}")/xdriver.sh"

xd_e2e_args "$@"

# The caption is the application's name and version in every language.
CAPTION="Quorvet utility ver.1.0.0.0"
case $LANGUAGE in
en)
    DIALOG="Find device" DEVICE="- [Device: " SEARCHING="Searching device..." CANCELED="Canceled"
    SHOT=""
    ;;
de)
    DIALOG="Gerät suchen" DEVICE="- [Gerät: " SEARCHING="Gerät wird gesucht..." CANCELED="Abgebrochen"
    SHOT="de-"
    XD_PROGRAM_ENV=(LANG=de_DE.UTF-8)
    XD_TAG=e2e-de
    ;;
*) xd_fail "no texts for language '$LANGUAGE'" ;;
esac
# Device info replies expected per search (every device of e2e.net answers).
INFOS=5
SEP=----------------------------------------------------------

xd_init
xd_start_xvfb
# The settings file beside the program renames one device type: the name
# in the identity block shows that the search read it.
xd_start_program "$PROGRAM" $'[GlobalTypes]\r\nSensor101=Boiler probe\r\n'

main=$(xd_wait_window "$CAPTION") || exit 1
xd_say "main window $main: \"$(xdotool getwindowname "$main")\""
size=$(xdotool getwindowgeometry --shell "$main" | awk -F= '/^WIDTH/{w=$2} /^HEIGHT/{h=$2} END{print w "x" h}')
xd_expect_eq "main window size" "$size" "513x313"
xd_shot "$OUTDIR/${SHOT}main-start.png"
start_ip=$(for x in 111 142 174 205; do xd_copy_text "$main" "$x" 26; echo; done | paste -sd.)
xd_expect_eq "IP field at start" "$start_ip" "192.168.1.213"
xd_expect_empty_text "information box at start" "$main" 250 130

# "..." opens the search dialog, which searches at once.
rx_before=$(grep -c '^RX .*data=000000F6' "$QVNET_DIR/devsim.log")
xd_click "$main" 234 26
dialog=$(xd_wait_window "$DIALOG") || exit 1
xd_wait_search_done "$INFOS"
xd_shot "$OUTDIR/${SHOT}search-dialog.png"
# Discovery went out on both adapters, as broadcasts.
for adapter in 10.77.1.1 10.77.2.1; do
    grep -q "^RX .* from=$adapter:[0-9]* to=255.255.255.255 len=4 data=000000F6" "$QVNET_DIR/devsim.log" ||
        xd_fail "no discovery broadcast from adapter $adapter"
done

# The list's context menu: the production-address filter.
menu=$(xd_open_menu "$dialog" 300 150) || exit 1
xd_shot "$OUTDIR/${SHOT}search-dialog-menu.png"
xd_close_menu "$menu"

# Pick 10.77.2.30 by typing its address into the list, then "Select".
xdotool windowfocus --sync "$dialog" 2>/dev/null
xdotool type --delay 30 "10.77.2.30"
sleep 0.3
xd_shot "$OUTDIR/${SHOT}search-dialog-picked.png"
xd_click "$dialog" 389 244
xd_wait_window_gone "$dialog"
xd_shot "$OUTDIR/${SHOT}main-selected.png"

expected=$(printf '%s\n' "$SEP" \
    "${DEVICE}Cold store 4, north wall, rack 12, shelf 3, humidity+temperature.]" \
    "$SEP" "- Boiler probe" "- IP: 10.77.2.30" "- MAC: 00-20-4A-E2-02-30" "- FW: 1-4-5.02" "$SEP")
xd_expect_eq "information box after Select" "$(xd_copy_text "$main" 250 130)" "$expected"
ip=$(for x in 111 142 174 205; do xd_copy_text "$main" "$x" 26; echo; done | paste -sd.)
xd_expect_eq "IP field after Select" "$ip" "10.77.2.30"

# A second search, cancelled: the block goes, the address stays.
xd_click "$main" 234 26
dialog=$(xd_wait_window "$DIALOG") || exit 1
xd_wait_search_done $((2 * INFOS))
xd_click "$dialog" 469 244
xd_wait_window_gone "$dialog"
xd_expect_eq "information box after Cancel" "$(xd_copy_text "$main" 250 130)" \
    "$(printf '%s\n%s' "$SEARCHING" "$CANCELED")"
ip=$(for x in 111 142 174 205; do xd_copy_text "$main" "$x" 26; echo; done | paste -sd.)
xd_expect_eq "IP field after Cancel" "$ip" "10.77.2.30"

# "Close" ends the program.
xd_click "$main" 469 292
for _ in $(seq 100); do
    xd_program_running || break
    sleep 0.1
done
xd_program_running && xd_fail "the program still runs after Close"
wait "$XD_PROG_PID"
rc=$?
XD_PROG_PID=""
xd_expect_eq "exit status after Close" "$rc" "0"

xd_say "PASS; screenshots in $OUTDIR"
