#!/usr/bin/env bash
# Stands in for the programs the list's openers start, and talks to the
# simulated device as they would; what it got goes to OUT.
#   fake-opener.sh web OUT URL                    (a browser)
#   fake-opener.sh console OUT CLIENT HOST PORT   (a terminal running a Telnet client)
set -u
mode=$1 out=$2
shift 2
case $mode in
web)
    host=${1#http://}
    host=${host%%/*}
    exec 3<>"/dev/tcp/$host/80" || exit 1
    printf 'GET / HTTP/1.0\r\nHost: %s\r\n\r\n' "$host" >&3
    timeout 5 cat <&3 >"$out.tmp"
    ;;
console)
    exec 3<>"/dev/tcp/$2/$3" || exit 1
    # The console greets and then waits for input: what came in a second.
    timeout 1 cat <&3 >"$out.tmp"
    echo "client=$1 host=$2 port=$3" >>"$out.tmp"
    ;;
esac
mv "$out.tmp" "$out"
