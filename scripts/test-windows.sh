#!/usr/bin/env bash
# Builds the Windows targets with mingw-w64 and runs the Windows tests under
# Wine: the core's unit tests, the platform services, and the Windows build
# inside private test networks next to the Linux build (whose simulator and
# command-line tool it builds first). Run as root, like scripts/test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

echo "=== preset windows ==="
# The network tests compare with the Linux build and use its simulator.
cmake --preset default >/dev/null
cmake --build --preset default --target quorvet-devsim quorvet-cli
cmake --preset windows >/dev/null
cmake --build --preset windows

# One Wine prefix per run; every test program runs in a copy of it.
QV_WINE_TEMPLATE=$(mktemp -d "${TMPDIR:-/tmp}/qv-wine-template.XXXXXX")
export QV_WINE_TEMPLATE
trap 'rm -rf "$QV_WINE_TEMPLATE" "$QV_WINE_TEMPLATE.lock"' EXIT
start=$SECONDS
bash tests/win/wine-prefix "$QV_WINE_TEMPLATE"
echo "test-windows: Wine prefix made in $((SECONDS - start)) s"
ctest --preset windows
echo "test-windows: Wine part took $((SECONDS - start)) s"
