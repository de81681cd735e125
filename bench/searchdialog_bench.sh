#!/usr/bin/env bash
# Search dialog benchmark: time from the first device read to its row, and
# the longest UI-thread stall, with DEVICES devices answering after DELAY ms
# in a private test network (root; nothing leaves the namespace).
#
#   bash bench/searchdialog_bench.sh            # 250 devices, delay=20, RUNS=3
#   DEVICES=1000 DELAY=5 RUNS=5 bash bench/searchdialog_bench.sh
set -euo pipefail

SELF_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
REPO_DIR=$(cd "$SELF_DIR/.." && pwd)
BUILD=${BUILD:-$REPO_DIR/build/default}
DEVICES=${DEVICES:-250}
DELAY=${DELAY:-20}
RUNS=${RUNS:-3}

cmake --build "$BUILD" --target searchdialog_bench quorvet-devsim >/dev/null
BENCH=$(find "$BUILD" -name searchdialog_bench -type f -perm -u+x | head -1)
WORK=$(mktemp -d /tmp/qvdlgbench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT

{
    echo "adapter 10.91.0.1/22"
    for ((n = 1; n <= DEVICES; n++)); do
        printf 'device 1 ip=10.91.%d.%d mac=00-20-4A-91-%02X-%02X kind=1 version=4.5.2 model=8 info="Bench %d" delay=%d\n' \
            $(((n + 1) / 256)) $(((n + 1) % 256)) $((n / 256)) $((n % 256)) "$n" "$DELAY"
    done
} >"$WORK/bench.net"

echo "search dialog: $DEVICES devices, delay=$DELAY ms"
bash "$REPO_DIR/tests/net/qvnet" run "$WORK/bench.net" \
    --devsim "$BUILD/tools/devsim/quorvet-devsim" -- "$BENCH" "$RUNS"
