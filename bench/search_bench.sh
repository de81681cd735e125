#!/usr/bin/env bash
# Search benchmark: the parallel search against the sequential one and
# against the lower bound, in private test networks (root; nothing leaves the
# namespaces that tests/net/qvnet builds).
#
#   bash bench/search_bench.sh            # RUNS=5 searches of each kind per scenario
#   RUNS=9 BURSTS=20 bash bench/search_bench.sh
#   ONLY=s4x62 bash bench/search_bench.sh  # one scenario: s1x10 s4x62 s4silent s10x2 burst
#                                          # d20_1x250 (reply-time scenarios dDELAY_AxN) loss
#   PART=delay bash bench/search_bench.sh  # only the reply-time table (or PART=classic)
#
# Per scenario it builds the network, runs `quorvet-cli search --timeout 1000`
# and `... --sequential` alternately RUNS times, takes the median wall time
# of each, measures the lower bound with bench/rtt_probe.py (last discovery
# reply + one ReadTimeout + the info exchanges of the slowest adapter, one
# after the other), and prints one table row. Then it checks that 250
# devices answering one broadcast together are all found, BURSTS times.
set -uo pipefail

SELF_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
REPO_DIR=$(cd "$SELF_DIR/.." && pwd)
QVNET=$REPO_DIR/tests/net/qvnet
BUILD=${BUILD:-$REPO_DIR/build/default}
CLI=$BUILD/tools/cli/quorvet-cli
DEVSIM=$BUILD/tools/devsim/quorvet-devsim
TIMEOUT_MS=1000
RUNS=${RUNS:-5}
BURSTS=${BURSTS:-20}

# ---- inside a test network: one scenario's measurements ----------------------

now_ms() { echo $((${EPOCHREALTIME/./} / 1000)); }

median() { sort -n | awk '{v[NR]=$1} END {if (NR%2) print v[(NR+1)/2]; else print int((v[NR/2]+v[NR/2+1])/2)}'; }

# inner OUTFILE NETFILE: alternating parallel and sequential searches, then
# the probe. Writes "par_median seq_median same_runs bound slowest unicast".
inner() {
    local out=$1 netfile=$2 par=() seq=() same=0 t0 p s
    for ((i = 0; i < RUNS; i++)); do
        t0=$(now_ms)
        p=$("$CLI" search --settings /nonexistent --timeout $TIMEOUT_MS 2>&1)
        par+=($(($(now_ms) - t0)))
        t0=$(now_ms)
        s=$("$CLI" search --sequential --settings /nonexistent --timeout $TIMEOUT_MS 2>&1)
        seq+=($(($(now_ms) - t0)))
        # Devices that answer at the same instant may be heard in either
        # order, by either search: compare the rows, not their order.
        if [[ $(sort <<<"$p") == "$(sort <<<"$s")" ]]; then
            same=$((same + 1))
        else
            diff <(echo "$p") <(echo "$s") >>"$out.mismatch"
        fi
        echo "${p##*$'\n'}" >>"$out.found"
    done
    local bound
    bound=$(python3 "$SELF_DIR/rtt_probe.py" "$netfile" $TIMEOUT_MS) || bound="0 - 0"
    echo "$(printf '%s\n' "${par[@]}" | median) $(printf '%s\n' "${seq[@]}" | median) $same $bound" >"$out"
}

# burst OUTFILE: BURSTS parallel searches, the device count of each.
burst() {
    local out=$1 r n
    for ((i = 0; i < BURSTS; i++)); do
        rm -f "$out.run.log"
        r=$("$CLI" search --settings /nonexistent --timeout $TIMEOUT_MS --log "$out.run.log" 2>&1)
        n=${r##*$'\n'}
        n=${n%% *}
        echo "$n" >>"$out"
        if [[ $n != 250 ]]; then
            {
                echo "--- search $((i + 1)): $n"
                echo "$r" | tail -5
                grep -v '^\S* \S* \[i\] #' "$out.run.log" 2>/dev/null | head -20
                ip -br addr
            } >>"$out.bad"
        fi
    done
    rm -f "$out.run.log"
}

# loss OUTFILE: BURSTS overlapped searches of 4 x 250 slow devices, the
# device count of each.
loss() {
    local out=$1 r n
    for ((i = 0; i < BURSTS; i++)); do
        r=$("$CLI" search --settings /nonexistent --timeout $TIMEOUT_MS 2>&1)
        n=${r##*$'\n'}
        echo "${n%% *} $(grep -c ' N/A ' <<<"$r")" >>"$out"
    done
}

if [[ ${1:-} == __inner ]]; then
    shift
    [[ -n ${QVNET_ID:-} ]] || {
        echo "not inside a test network" >&2
        exit 2
    }
    "$@"
    exit $?
fi

# ---- outside: networks, table -----------------------------------------------

[[ $(id -u) -eq 0 ]] || {
    echo "search_bench.sh: must run as root (it builds network namespaces)" >&2
    exit 2
}
command -v python3 >/dev/null || {
    echo "search_bench.sh: python3 is needed for the round-trip probe" >&2
    exit 2
}
if [[ ! -x $CLI || ! -x $DEVSIM ]]; then
    echo "building quorvet-cli and quorvet-devsim ..." >&2
    (cd "$REPO_DIR" && cmake --preset default >/dev/null && cmake --build --preset default --target quorvet-cli quorvet-devsim >/dev/null) || exit 2
fi

WORK=$(mktemp -d /tmp/qvbench.XXXXXX)
# 1000 simulated devices need more neighbour (ARP) entries than the kernel's
# default table holds (gc_thresh2/3 512/1024, one table for every namespace):
# raise the limits for the benchmark and put the old values back at the end.
NEIGH=/proc/sys/net/ipv4/neigh/default
OLD_THRESH=$(cat $NEIGH/gc_thresh1 $NEIGH/gc_thresh2 $NEIGH/gc_thresh3 | tr '\n' ' ')
restore_thresh() {
    local t1 t2 t3
    read -r t1 t2 t3 <<<"$OLD_THRESH"
    echo "$t3" >$NEIGH/gc_thresh3
    echo "$t2" >$NEIGH/gc_thresh2
    echo "$t1" >$NEIGH/gc_thresh1
}
trap 'restore_thresh; rm -rf "$WORK"' EXIT
echo 4096 >$NEIGH/gc_thresh1
echo 8192 >$NEIGH/gc_thresh2
echo 16384 >$NEIGH/gc_thresh3

# netfile FILE ADAPTERS DEVICES_PER_ADAPTER [no_info] [DELAY_MS]: kind 6
# devices (no setup request); with no_info the second device of adapter 2
# answers the broadcast but never its info request; every device answers
# after DELAY_MS (a busy module's reply time).
netfile() {
    local file=$1 adapters=$2 per=$3 silent=${4:-} delay=${5:-0} a k n=0
    {
        for ((a = 1; a <= adapters; a++)); do echo "adapter 10.90.$a.1/24"; done
        for ((a = 1; a <= adapters; a++)); do
            for ((k = 1; k <= per; k++)); do
                n=$((n + 1))
                printf 'device %d ip=10.90.%d.%d mac=00-20-4A-90-%02X-%02X kind=6 version=1.0.%d model=6 info="Bench %d"' \
                    "$a" "$a" $((k + 1)) $((n / 256)) $((n % 256)) $((n % 256)) "$n"
                [[ -n $silent && $a -eq 2 && $k -eq 2 ]] && printf ' no_info'
                ((delay > 0)) && printf ' delay=%d' "$delay"
                echo
            done
        done
    } >"$file"
}

# measure NAME ID: runs `inner` in the network $WORK/ID.net and sets par seq
# same bound slowest unicast floor found (the caller's locals).
measure() {
    local out=$WORK/$2.out
    bash "$QVNET" run "$WORK/$2.net" --devsim "$DEVSIM" -- bash "$SELF_DIR/search_bench.sh" __inner inner "$out" "$WORK/$2.net" \
        >"$WORK/$2.log" 2>&1 || {
        echo "scenario '$1' failed:" >&2
        tail -20 "$WORK/$2.log" >&2
    }
    read -r par seq same bound slowest unicast floor <"$out" 2>/dev/null || par=""
    found=$(sort -u "$out.found" 2>/dev/null | tr '\n' ' ' | sed 's/ device(s) found\.//g; s/ $//')
}

scenario() {
    local name=$1 file=$WORK/$2.net out=$WORK/$2.out
    local par seq same bound slowest unicast floor found
    [[ -z ${ONLY:-} || $2 == $ONLY ]] || return 0
    measure "$name" "$2"
    local devices
    devices=$(grep -c '^device' "$file")
    if [[ -z $par ]]; then
        printf '%-34s %7s  %s\n' "$name" "$devices" "(no result)"
        return
    fi
    printf '%-34s %7d %11d %13d %8s %14d %10s %8s  %s\n' "$name" "$devices" "$par" "$seq" \
        "$(awk -v s="$seq" -v p="$par" 'BEGIN{printf "%.2f", s/p}')" "$bound" \
        "$(awk -v b="$bound" -v p="$par" 'BEGIN{ if (b>0) printf "%.2f", p/b; else print "-"}')" \
        "$same/$RUNS" "$found"
    if [[ -s $out.mismatch ]]; then
        echo "  parallel (<) and sequential (>) tables differed:" >&2
        head -20 "$out.mismatch" | sed 's/^/    /' >&2
    fi
}

# delay_scenario NAME: the overlapped and the sequential search against the
# floor of the overlapped search (last discovery reply + one ReadTimeout +
# the slowest device's round trip, measured in the same network with every
# adapter broadcasting and every device asked at once, as the search does).
delay_scenario() {
    local name=$1 par seq same bound slowest unicast floor found
    [[ -z ${ONLY:-} || $1 == $ONLY ]] || return 0
    measure "$name" "$1"
    if [[ -z $par || -z $floor ]]; then
        printf '%-12s %s\n' "$name" "(no result)"
        return
    fi
    printf '| %-10s | %10d | %10d | %6d | %5s | %5s | %s |\n' "$name" "$par" "$seq" "$floor" \
        "$(awk -v f="$floor" -v p="$par" 'BEGIN{printf "%.2f", p/f}')" "$same/$RUNS" "$found"
}

netfile "$WORK/s1x10.net" 1 10
netfile "$WORK/s4x62.net" 4 62
netfile "$WORK/s4silent.net" 4 5 no_info
netfile "$WORK/s10x2.net" 10 2
netfile "$WORK/burst.net" 1 250
for delay in 0 5 20; do
    netfile "$WORK/d${delay}_1x10.net" 1 10 "" $delay
    netfile "$WORK/d${delay}_2x62.net" 2 62 "" $delay
    netfile "$WORK/d${delay}_1x250.net" 1 250 "" $delay
    netfile "$WORK/d${delay}_4x250.net" 4 250 "" $delay
done

start=$(now_ms)
echo "Search benchmark, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "machine: nproc $(nproc), $(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //'), kernel $(uname -r)"
echo "quorvet-cli search --timeout $TIMEOUT_MS (ReadTimeout 1000 ms); median of $RUNS runs each, wall time in ms"
echo
if [[ ${PART:-} != classic ]]; then
    echo "Devices answering after 0, 5 or 20 ms (dDELAY_ADAPTERSxDEVICES):"
    echo
    echo "| scenario   | overlapped | sequential |  floor | ratio |  same | found |"
    echo "|------------|------------|------------|--------|-------|-------|-------|"
    for delay in 0 5 20; do
        for size in 1x10 2x62 1x250 4x250; do
            delay_scenario "d${delay}_$size"
        done
    done
    echo
    if [[ -z ${ONLY:-} || $ONLY == loss ]]; then
        bash "$QVNET" run "$WORK/d20_4x250.net" --devsim "$DEVSIM" -- bash "$SELF_DIR/search_bench.sh" __inner loss "$WORK/loss.out" \
            >"$WORK/loss.log" 2>&1 || tail -20 "$WORK/loss.log" >&2
        all=$(grep -cx '1000 0' "$WORK/loss.out" 2>/dev/null)
        echo "4 x 250 devices answering after 20 ms (overlapped): all 1000 found and read in ${all:-0} of $BURSTS searches"
        echo "  (found, rows with N/A): $(tr '\n' ',' <"$WORK/loss.out" 2>/dev/null)"
        echo
    fi
fi
[[ ${PART:-} == delay ]] && exit 0
printf '%-34s %7s %11s %13s %8s %14s %10s %8s  %s\n' scenario devices parallel sequential seq/par "lower bound" par/bound "same" "found"
scenario "1 adapter x 10 devices" s1x10
scenario "4 adapters x 62 devices" s4x62
scenario "4 adapters x 5, one silent to E4" s4silent
scenario "10 adapters x 2 devices" s10x2

if [[ -z ${ONLY:-} || $ONLY == burst ]]; then
    bash "$QVNET" run "$WORK/burst.net" --devsim "$DEVSIM" -- bash "$SELF_DIR/search_bench.sh" __inner burst "$WORK/burst.out" \
        >"$WORK/burst.log" 2>&1 || tail -20 "$WORK/burst.log" >&2
    all=$(grep -cx 250 "$WORK/burst.out" 2>/dev/null)
    echo
    echo "250 devices answering one broadcast together (1 adapter, parallel search):"
    echo "  all 250 found in ${all:-0} of $BURSTS searches; counts: $(tr '\n' ' ' <"$WORK/burst.out" 2>/dev/null)"
    [[ -s $WORK/burst.out.bad ]] && sed 's/^/    /' "$WORK/burst.out.bad"
    echo
fi
echo "lower bound = last discovery reply + one ReadTimeout + the info exchanges of the"
echo "slowest adapter one after the other (bench/rtt_probe.py, same run);"
echo "same = runs in which both searches listed the same rows (every field; the order of"
echo "devices answering at the same instant is the network's, not the search's)."
echo "benchmark took $((($(now_ms) - start) / 1000)) s"
