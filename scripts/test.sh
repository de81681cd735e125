#!/usr/bin/env bash
# Builds everything and runs every test: the default preset, the sanitizer
# preset, the Windows tests under Wine and the fuzz harnesses (a fixed time
# each). Network tests build their own private namespaces.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
# Every test network of this test run notes its id here (qvnet), so that the
# check at the end judges this run's networks only: other runs may be up on
# the same machine at the same time.
QVNET_RUNLOG=$(mktemp "${TMPDIR:-/tmp}/quorvet-test-runs.XXXXXX")
export QVNET_RUNLOG
trap 'rm -f "$QVNET_RUNLOG"' EXIT
presets=("${@:-default}")
[[ $# -eq 0 ]] && presets=(default asan windows fuzz)
for preset in "${presets[@]}"; do
  if [[ $preset == windows ]]; then
    bash scripts/test-windows.sh # cross build, tests under Wine
    continue
  fi
  if [[ $preset == fuzz ]]; then
    bash scripts/fuzz.sh # every harness for a fixed time on its corpus
    continue
  fi
  echo "=== preset $preset ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
# Every network test tears its network down; one of this run that is still
# there fails the run. Networks of other runs are only reported.
bash tests/net/qvnet reap # runs whose qvnet a time-out killed outright
if ! bash tests/net/qvnet check --runs "$QVNET_RUNLOG"; then
  echo "test: test networks of this run were left behind" >&2
  exit 1
fi
if ! others=$(bash tests/net/qvnet check 2>&1); then
  echo "$others" >&2
  echo "test: note: the test networks listed above are not from this run (other runs?)" >&2
fi
