#!/usr/bin/env bash
# The real program in a German session (LANG=de_DE.UTF-8) on its own X
# display inside the private test network: the windows speak German, the
# values stay as the devices give them. Screenshots of the main window, the
# search dialog with its context menu and the main window with a device go to
# OUTDIR.
#
#   german.sh PROGRAM OUTDIR          (as the computer of tests/net/e2e/e2e.net)
set -uo pipefail
XD_TAG=german
source "$(dirname "${BASH_SOURCE[0]}")/xdriver.sh"

[[ $# -eq 2 ]] || xd_fail "usage: german.sh PROGRAM OUTDIR"
PROGRAM=$1
OUTDIR=$2
xd_require_test_network
xd_require_tools
[[ -x $PROGRAM ]] || xd_fail "no program at $PROGRAM"
mkdir -p "$OUTDIR" || xd_fail "cannot create $OUTDIR"

# The caption is the application's name and version, not a text to translate.
CAPTION="Quorvet utility ver.1.0.0.0"
DIALOG="Gerät suchen"
INFOS=5
SEP=----------------------------------------------------------

expect_eq() {
    [[ $2 == "$3" ]] && return 0
    xd_fail "$1: expected
$3
got
$2"
}

xd_init
xd_start_xvfb
XD_PROGRAM_ENV=(LANG=de_DE.UTF-8)
xd_start_program "$PROGRAM" $'[GlobalTypes]\r\nSensor101=Boiler probe\r\n'

main=$(xd_wait_window "$CAPTION") || exit 1
xd_shot "$OUTDIR/de-main-start.png"

xd_click "$main" 234 26
dialog=$(xd_wait_window "$DIALOG") || exit 1
xd_wait_search_done "$INFOS"
xd_shot "$OUTDIR/de-search-dialog.png"
# The context menu of the list (the production-address filter).
xdotool mousemove --window "$dialog" 300 150 click 3 || xd_fail "no right click"
sleep 0.5
xd_shot "$OUTDIR/de-search-dialog-menu.png"
xd_key Escape

# Pick 10.77.2.30 and "Auswählen".
xdotool windowfocus --sync "$dialog" 2>/dev/null
xdotool type --delay 30 "10.77.2.30"
sleep 0.3
xd_click "$dialog" 389 244
xd_wait_window_gone "$dialog"
xd_shot "$OUTDIR/de-main-selected.png"
expected=$(printf '%s\n' "$SEP" \
    "- [Gerät: Cold store 4, north wall, rack 12, shelf 3, humidity+temperature.]" \
    "$SEP" "- Boiler probe" "- IP: 10.77.2.30" "- MAC: 00-20-4A-E2-02-30" "- FW: 1-4-5.02" "$SEP")
expect_eq "information box after Auswählen" "$(xd_copy_text "$main" 250 130)" "$expected"

xd_click "$main" 469 292
for _ in $(seq 100); do
    xd_program_running || break
    sleep 0.1
done
xd_program_running && xd_fail "the program still runs after Schließen"
xd_say "PASS; screenshots in $OUTDIR"
