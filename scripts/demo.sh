#!/usr/bin/env bash
# Builds the program and runs it against a private demo network of simulated
# devices (tests/net/demo.net). Everything it sends stays inside the network
# namespaces built by tests/net/qvnet; the machine's real interfaces are never
# used. Needs root.
#
#   bash scripts/demo.sh                 the default front end
#   bash scripts/demo.sh COMMAND [ARGS]  any command, run as the demo computer
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ $(id -u) -ne 0 ]]; then
    echo "demo: run as root (the demo network is built from network namespaces)" >&2
    exit 1
fi
bash scripts/deps.sh
cmake --preset default >/dev/null
cmake --build --preset default

QVNET=tests/net/qvnet
DEVSIM=build/default/tools/devsim/quorvet-devsim
CLI=build/default/tools/cli/quorvet-cli

if (($#)); then
    cmd=("$@")
elif [[ -x $CLI ]]; then
    cmd=("$CLI" search)
else
    # No front end built yet: show what the devices answer.
    echo "demo: $CLI not built yet; listing the devices that answer instead" >&2
    cmd=(build/default/tests/net/foundation/test_foundation --gtest_filter='Broadcast.EveryListed*')
fi
echo "demo: devices in tests/net/demo.net; log of what they receive: \$QVNET_DIR/devsim.log" >&2
exec bash "$QVNET" run tests/net/demo.net --devsim "$DEVSIM" -- "${cmd[@]}"
