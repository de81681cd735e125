#!/bin/bash
# Runs a command on an X display of its own (Xvfb picks a free number, so
# parallel runs do not collide) and stops that display afterwards, with the
# end-to-end test's display helpers.
#   with-xvfb.sh COMMAND [ARGS...]
set -u
XD_TAG=with-xvfb
source "$(dirname "$0")/../e2e/xdriver.sh"
xd_init
xd_start_xvfb
export QT_QPA_PLATFORM=xcb
# Under the sanitizers: what the X platform's libraries keep is not a leak of ours.
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$XD_DIR/lsan.supp"
"$@"
