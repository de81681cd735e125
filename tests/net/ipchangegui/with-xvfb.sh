#!/bin/bash
# Runs a command on an X display of its own (Xvfb picks a free number, so
# parallel runs do not collide) and stops that display afterwards.
#   with-xvfb.sh COMMAND [ARGS...]
set -u

if ! command -v Xvfb >/dev/null; then
    echo "FATAL: Xvfb is not installed" >&2
    exit 1
fi
dir=$(mktemp -d) || exit 1
xpid=
cleanup() {
    if [ -n "$xpid" ]; then
        kill "$xpid" 2>/dev/null
        wait "$xpid" 2>/dev/null
    fi
    rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dir/display" 2>"$dir/xvfb.log" &
xpid=$!
display=
for _ in $(seq 100); do
    display=$(head -n1 "$dir/display" 2>/dev/null)
    [ -n "$display" ] && break
    if ! kill -0 "$xpid" 2>/dev/null; then
        break
    fi
    sleep 0.1
done
if [ -z "$display" ]; then
    echo "FATAL: Xvfb did not start" >&2
    cat "$dir/xvfb.log" >&2
    exit 1
fi

export DISPLAY=":$display"
export QT_QPA_PLATFORM=xcb
# Under the sanitizers: what the X platform's libraries keep is not a leak of ours.
here=$(cd "$(dirname "$0")" && pwd)
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$here/xcb-lsan.supp"
"$@"
