#!/usr/bin/env bash
# qvnet leaves nothing behind on any way out (normal end, failing command,
# signal, failed build), keeps concurrent runs apart, checks the runs of one
# run log alone, and the network tests refuse to run outside a test network.
#   teardown.sh QVNET DEVSIM TEST_BINARY
set -uo pipefail
QVNET=$1 DEVSIM=$2 TESTBIN=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
clean() { # clean ID WHAT
    local out
    out=$(bash "$QVNET" check "$1") || fail "$2: leftovers of run $1: $out"
}
qv() { bash "$QVNET" "$@"; }

cat >"$work/net" <<'NET'
adapter 10.77.9.1/24
device 1 ip=10.77.9.10 mac=00-20-4A-09-00-10
NET

# The command's exit status comes back, and a failing command still tears down.
qv run "$work/net" --devsim "$DEVSIM" -- bash -c 'echo $QVNET_ID >"$0"; exit 7' "$work/id1"
rc=$?
[[ $rc -eq 7 ]] || fail "exit status $rc instead of 7"
id1=$(<"$work/id1")
[[ $id1 =~ ^[0-9a-f]{8}$ ]] || fail "QVNET_ID '$id1'"
clean "$id1" "failing command"

# The command sees only lo and its adapter, and the simulator's log.
out=$(qv run "$work/net" --devsim "$DEVSIM" -- bash -c 'ls /sys/class/net | tr "\n" " "; head -1 $QVNET_DIR/devsim.log')
[[ $out == "lo qv0 READY "* ]] || fail "inside the network: '$out'"

# A signal to qvnet ends the command (and its children) and tears down.
bash "$QVNET" run "$work/net" --devsim "$DEVSIM" -- bash -c 'echo $QVNET_ID >"$0"; sleep 60 & wait' "$work/id2" &
pid=$!
for _ in $(seq 100); do
    [[ -s $work/id2 ]] && break
    sleep 0.1
done
kill -TERM "$pid"
wait "$pid"
rc=$?
[[ $rc -eq 143 ]] || fail "status after SIGTERM: $rc"
id2=$(<"$work/id2")
clean "$id2" "SIGTERM"

# Two runs at once do not collide.
bash "$QVNET" run "$work/net" --devsim "$DEVSIM" -- bash -c 'echo $QVNET_ID >"$0"; sleep 1' "$work/a" &
pa=$!
bash "$QVNET" run "$work/net" --devsim "$DEVSIM" -- bash -c 'echo $QVNET_ID >"$0"; sleep 1' "$work/b" &
pb=$!
wait "$pa" || fail "first of two concurrent runs"
wait "$pb" || fail "second of two concurrent runs"
[[ $(<"$work/a") != $(<"$work/b") ]] || fail "concurrent runs share an id"
clean "$(<"$work/a")" "concurrent run a"
clean "$(<"$work/b")" "concurrent run b"

# A simulator that dies during the build: the half-built network goes away.
cat >"$work/baddevsim" <<EOF2
#!/bin/sh
[ "\$1" = --plan ] && exec "$DEVSIM" "\$@"
exit 1
EOF2
chmod +x "$work/baddevsim"
err=$(qv run "$work/net" --devsim "$work/baddevsim" -- true 2>&1)
rc=$?
[[ $rc -eq 2 ]] || fail "failed build exit status $rc"
id3=$(sed -n 's/^qvnet: run \([0-9a-f]\{8\}\): building.*/\1/p' <<<"$err")
[[ -n $id3 ]] || fail "no run id in: $err"
[[ -n $id3 ]] && clean "$id3" "failed build"

# A bad description is refused before anything is built.
echo "device 1 ip=10.77.9.10 mac=00-20-4A-09-00-10 kind=999" >"$work/badnet"
err=$(qv run "$work/badnet" --devsim "$DEVSIM" -- true 2>&1)
[[ $? -eq 2 && $err == *"field 'kind'"* ]] || fail "bad description: $err"

# up / exec / down.
id4=$(qv up "$work/net" --devsim "$DEVSIM" 2>/dev/null)
[[ $id4 =~ ^[0-9a-f]{8}$ ]] || fail "up printed '$id4'"
out=$(qv exec "$id4" -- sh -c 'echo $QVNET_ID; ls /sys/class/net | tr "\n" " "')
[[ $out == "$id4"$'\n'"lo qv0 " ]] || fail "exec: '$out'"
qv down "$id4" || fail "down"
clean "$id4" "up/down"
qv exec "$id4" -- true 2>/dev/null && fail "exec in a network that is down"

# A run log names the runs of one batch, and check --runs judges those
# alone: a run of somebody else that is up meanwhile is no leftover of ours.
log=$work/runs
id5=$(QVNET_RUNLOG=$log qv up "$work/net" --devsim "$DEVSIM" 2>/dev/null)
id6=$(env -u QVNET_RUNLOG bash "$QVNET" up "$work/net" --devsim "$DEVSIM" 2>/dev/null)
[[ -r $log && $(<"$log") == "$id5" ]] || fail "run log holds '$(cat "$log" 2>/dev/null)', not $id5"
out=$(qv check --runs "$log") && fail "check --runs passed with run $id5 up"
[[ $out == *"qvc-$id5"* && $out != *"$id6"* ]] || fail "check --runs listed: $out"
qv down "$id5" || fail "down $id5"
out=$(qv check --runs "$log") || fail "check --runs failed on another batch's run $id6: $out"
qv check "$id6" >/dev/null && fail "check $id6 passed with it up"
qv down "$id6" || fail "down $id6"
clean "$id6" "run outside the run log"

# The test program refuses to run outside a test network.
(env -u QVNET_ID "$TESTBIN" >/dev/null 2>&1) 2>/dev/null && fail "test ran without QVNET_ID"
(QVNET_ID=fake "$TESTBIN" >"$work/out" 2>&1) 2>/dev/null && fail "test ran beside real interfaces"
grep -q FATAL "$work/out" || fail "no clear message: $(cat "$work/out")"

((failures == 0)) && echo "teardown checks passed"
exit $((failures > 0))
