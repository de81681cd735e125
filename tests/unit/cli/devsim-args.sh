#!/usr/bin/env bash
# quorvet-devsim's command line: help, usage errors and the plan (which only
# reads the description; nothing is played or sent).
#
#   devsim-args.sh DEVSIM
set -uo pipefail
devsim=${1:?usage: devsim-args.sh DEVSIM}
dir=$(mktemp -d "${TMPDIR:-/tmp}/qv-devsim-args.XXXXXX")
trap 'rm -rf "$dir"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# holds FILE PART NAME: FILE holds PART; an empty PART: FILE is empty.
holds() {
    if [[ -z $2 ]]; then
        [[ ! -s $1 ]] || fail "$args -> $3 is not empty: $(head -c 300 "$1")"
    else
        grep -qF -- "$2" "$1" || fail "$args -> no '$2' on $3"
    fi
}

# expect STATUS OUT_PART ERR_PART ARGS...: runs the simulator with ARGS; its
# status must be STATUS, its standard output and error must hold the parts.
expect() {
    local want=$1 outPart=$2 errPart=$3 status
    shift 3
    args="$*"
    timeout 10 "$devsim" "$@" >"$dir/out" 2>"$dir/err" </dev/null
    status=$?
    ((status == want)) || fail "$args -> exit $status, not $want ($(head -c 300 "$dir/err"))"
    holds "$dir/out" "$outPart" "standard output"
    holds "$dir/err" "$errPart" "standard error"
}

cat >"$dir/one.net" <<'NET'
adapter 10.77.1.1/24
device 1 ip=10.77.1.10 mac=00-20-4A-00-01-10 kind=1
NET
echo "computer 10.0.0.1" >"$dir/bad.net"

for help in --help -h; do
    for part in --log --port --device --plan NETFILE "Exit status" "2 usage error"; do
        expect 0 "$part" "" "$help"
    done
done
expect 0 "quorvet-devsim 1.0.0.0" "" --version
expect 2 "" "quorvet-devsim: unknown option '--bogus'" --bogus
expect 2 "" "Try 'quorvet-devsim --help'." --bogus
expect 2 "" "--log needs a value" --log
expect 2 "" "--port" --port 0
expect 2 "" "--port" --port 65536
expect 2 "" "--port" --port many
expect 2 "" "bad.net:1: unknown line" --plan "$dir/bad.net"
expect 0 "adapter 1 10.77.1.1/24 -" "" --plan "$dir/one.net"
expect 0 "device 1 d1x1 00:20:4A:00:01:10 10.77.1.10/24" "" --plan "$dir/one.net"
# Every --device is one device line, wherever it stands.
expect 0 "device 1 d1x3 00:20:4A:00:01:12 10.77.1.12/24" "" \
    --device "device 1 ip=10.77.1.11 mac=00-20-4A-00-01-11" --plan \
    --device "device 1 ip=10.77.1.12 mac=00-20-4A-00-01-12" "$dir/one.net" --port 30718
# TCP listeners: a list of distinct ports 1-65535.
expect 0 "device 1 d1x1" "" --plan "$dir/one.net" \
    --device "device 1 ip=10.77.1.20 mac=00-20-4A-00-01-20 tcp=80,9999"
for bad in "tcp=0" "tcp=65536" "tcp=80,80" "tcp=80," "tcp=" "tcp=web" "tcp=1,2,3,4,5,6,7,8,9"; do
    expect 2 "" "field 'tcp'" --plan "$dir/one.net" \
        --device "device 1 ip=10.77.1.20 mac=00-20-4A-00-01-20 $bad"
done

if ((failures)); then
    echo "devsim-args: $failures failure(s)" >&2
    exit 1
fi
echo "devsim-args: passed"
