#!/usr/bin/env bash
# Builds the fuzz preset (clang, libFuzzer, ASan+UBSan) and runs every
# harness of fuzz/ for a fixed time on its seed corpus fuzz/corpus/<harness>/.
# Every file of a corpus runs first, so a crash input once added there stays
# a regression case. New inputs the fuzzers find go to a temporary folder,
# not into the tree; a crash fails the run and names the file that holds its
# input (under build/fuzz/crashes/<harness>/).
#
#   bash scripts/fuzz.sh [HARNESS...]      FUZZ_SECONDS=N sets the time per harness (15)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-15}
harnesses=("$@")
((${#harnesses[@]})) || harnesses=(fuzz_replies fuzz_search fuzz_settings fuzz_convert fuzz_ipsetup fuzz_netfile)

echo "=== preset fuzz ==="
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvet-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
failed=()
for h in "${harnesses[@]}"; do
    program=build/fuzz/fuzz/$h
    seeds=fuzz/corpus/$h
    crashes=build/fuzz/crashes/$h
    [[ -x $program ]] || { echo "fuzz: no harness $program" >&2; exit 2; }
    [[ -d $seeds ]] || { echo "fuzz: no seed corpus $seeds" >&2; exit 2; }
    mkdir -p "$work/$h" "$crashes"
    # -timeout: one input that runs longer is a hang, reported like a crash.
    # The outer timeout only guards against a fuzzer that does not stop.
    if timeout $((seconds + 120)) "$program" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -artifact_prefix="$crashes/" -print_final_stats=1 \
        "$work/$h" "$seeds" >"$work/$h.log" 2>&1; then
        echo "fuzz: $h: $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$work/$h.log" |
            grep -o '[0-9]*$') runs in ${seconds} s, no crash"
    else
        failed+=("$h")
        tail -n 60 "$work/$h.log" >&2
        echo "fuzz: $h FAILED; the input that broke it:" >&2
        grep -o "Test unit written to .*" "$work/$h.log" | sed 's/^/    /' >&2 || true
        echo "    add it to $seeds/ as a regression case once mended" >&2
    fi
done
if ((${#failed[@]})); then
    echo "fuzz: failed: ${failed[*]}" >&2
    exit 1
fi
