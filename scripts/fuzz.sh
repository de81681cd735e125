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
# run_one HARNESS: one harness for its time; status 0 or 1, its lines on
# stdout/stderr.
run_one() {
    local h=$1 program=build/fuzz/fuzz/$1 seeds=fuzz/corpus/$1 crashes=build/fuzz/crashes/$1
    mkdir -p "$work/$h" "$crashes"
    # -timeout: one input that runs longer is a hang, reported like a crash.
    # The outer timeout only guards against a fuzzer that does not stop.
    if timeout $((seconds + 120)) "$program" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -artifact_prefix="$crashes/" -print_final_stats=1 \
        "$work/$h" "$seeds" >"$work/$h.log" 2>&1; then
        echo "fuzz: $h: $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$work/$h.log" |
            grep -o '[0-9]*$') runs in ${seconds} s, no crash"
    else
        {
            tail -n 60 "$work/$h.log"
            echo "fuzz: $h FAILED; the input that broke it:"
            grep -o "Test unit written to .*" "$work/$h.log" | sed 's/^/    /' || true
            echo "    add it to $seeds/ as a regression case once mended"
        } >&2
        return 1
    fi
}

for h in "${harnesses[@]}"; do
    [[ -x build/fuzz/fuzz/$h ]] || { echo "fuzz: no harness build/fuzz/fuzz/$h" >&2; exit 2; }
    [[ -d fuzz/corpus/$h ]] || { echo "fuzz: no seed corpus fuzz/corpus/$h" >&2; exit 2; }
done
# Two harnesses at a time (one per core); each writes its report when done.
for h in "${harnesses[@]}"; do
    while (($(jobs -rp | wc -l) >= 2)); do wait -n || true; done
    (run_one "$h" || touch "$work/$h.failed") &
done
wait
failed=()
for h in "${harnesses[@]}"; do
    if [[ -e $work/$h.failed ]]; then failed+=("$h"); fi
done
if ((${#failed[@]})); then
    echo "fuzz: failed: ${failed[*]}" >&2
    exit 1
fi
