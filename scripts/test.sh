#!/usr/bin/env bash
# Builds everything and runs every test: the default preset, then the
# sanitizer preset. Network tests build their own private namespaces.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
presets=("${@:-default}")
[[ $# -eq 0 ]] && presets=(default asan)
for preset in "${presets[@]}"; do
  echo "=== preset $preset ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
