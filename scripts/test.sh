#!/usr/bin/env bash
# Builds everything and runs every test: the default preset, then the
# sanitizer preset. Network tests build their own private namespaces.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
presets=("${@:-default}")
[[ $# -eq 0 ]] && presets=(default asan windows)
for preset in "${presets[@]}"; do
  if [[ $preset == windows ]]; then
    bash scripts/test-windows.sh # cross build, tests under Wine
    continue
  fi
  echo "=== preset $preset ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
# Every network test tears its network down. Elsewhere other runs may be live
# at the same time, so only CI, alone on its machine, treats leftovers as a failure.
bash tests/net/qvnet reap # runs whose qvnet a time-out killed outright
if ! bash tests/net/qvnet check; then
  if [[ -n ${CI:-} ]]; then
    echo "test: test networks were left behind" >&2
    exit 1
  fi
  echo "test: note: test networks listed above are still up (other runs?)" >&2
fi
