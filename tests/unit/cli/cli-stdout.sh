#!/usr/bin/env bash
# quorvet-cli's exit status when its standard output cannot take the result
# (a full device, a closed output): status 1 and one line on standard error.
# Only commands that never send: the version and the help.
set -u
cli=$1
fail=0
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

expect() { # name status-wanted status-got err-wanted err-file
    local got_err
    got_err=$(cat "$5")
    if [[ $3 != "$2" || $got_err != "$4" ]]; then
        echo "FAIL $1: status $3 (want $2), stderr '$got_err' (want '$4')"
        fail=1
    else
        echo "ok   $1"
    fi
}

for args in "--version" "help" "search --help"; do
    # shellcheck disable=SC2086 # the words of args are the arguments
    "$cli" $args >"$tmp/out" 2>"$tmp/err"
    expect "$args" 0 $? "" "$tmp/err"
    [[ -s $tmp/out ]] || { echo "FAIL $args: nothing printed"; fail=1; }
    # shellcheck disable=SC2086
    "$cli" $args >/dev/full 2>"$tmp/err"
    expect "$args >/dev/full" 1 $? \
        "quorvet-cli: cannot write to standard output: No space left on device" "$tmp/err"
    # shellcheck disable=SC2086
    "$cli" $args >&- 2>"$tmp/err"
    expect "$args >&-" 1 $? "quorvet-cli: cannot write to standard output: Bad file descriptor" \
        "$tmp/err"
done
# A usage error keeps its status; nothing was to be written.
"$cli" search --bogus >/dev/full 2>"$tmp/err"
status=$?
[[ $status == 2 ]] || { echo "FAIL usage error: status $status"; fail=1; }
exit $fail
