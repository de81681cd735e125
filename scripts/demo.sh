#!/usr/bin/env bash
# Builds the program and runs it against a private demo network of simulated
# devices (tests/net/demo.net). Everything it sends stays inside the network
# namespaces built by tests/net/qvnet; the machine's real interfaces are never
# used. Needs root.
#
#   bash scripts/demo.sh                 the program (screenshots without a screen)
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
PROGRAM=build/default/src/shell/gui/quorvet

if (($#)); then
    cmd=("$@")
else
    # The program: on this screen, or photographed on a private one.
    cmd=(bash "$PWD/scripts/demo-gui.sh" "$PWD/$PROGRAM" "$PWD/build/default/demo-screenshots")
fi
echo "demo: devices in tests/net/demo.net; log of what they receive: \$QVNET_DIR/devsim.log" >&2
exec bash "$QVNET" run tests/net/demo.net --devsim "$DEVSIM" -- "${cmd[@]}"
