#!/usr/bin/env bash
# A large network (4 adapters, 250 devices) builds quickly and every device
# answers the broadcast on its own adapter.
#   scale.sh QVNET DEVSIM TEST_BINARY
set -uo pipefail
QVNET=$1 DEVSIM=$2 TESTBIN=$3
net=$(mktemp)
trap 'rm -f "$net"' EXIT
{
    for a in 1 2 3 4; do echo "adapter 10.78.$a.1/24"; done
    n=0
    for a in 1 2 3 4; do
        count=$((a <= 2 ? 63 : 62))
        for k in $(seq 1 $count); do
            n=$((n + 1))
            printf 'device %d ip=10.78.%d.%d mac=00-20-4A-%02X-%02X-%02X kind=%d version=4.5.%d info="Device %d"\n' \
                "$a" "$a" $((k + 9)) "$a" $((n / 256)) $((n % 256)) $((n % 11)) $((n % 256)) "$n"
        done
    done
} >"$net"
start=${EPOCHREALTIME/./}
bash "$QVNET" run "$net" --devsim "$DEVSIM" -- "$TESTBIN" --gtest_filter='Broadcast.EveryListed*'
rc=$?
ms=$(((${EPOCHREALTIME/./} - start) / 1000))
echo "scale: 4 adapters, 250 devices: built, searched and torn down in $ms ms"
[[ $rc -eq 0 ]] || exit "$rc"
((ms < 60000)) || {
    echo "FAIL: took longer than 60 s" >&2
    exit 1
}
