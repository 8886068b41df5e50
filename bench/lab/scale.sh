#!/usr/bin/env bash
# Scale benchmark: N simulated boxes on one LAN answer one search from nas-search, once all at
# once (burst) and once spread over one second. Prints, for each case, the devices found
# (distinct ids in the final list) out of N, and the CPU time and peak memory of nas-search.
# Runs in a namespace lab of its own (needs root); never on the machine's network.
#
# usage: bench/lab/scale.sh NAS_SEARCH NAS_SIM LAB_RUSAGE [N...]   (default N: 100 1000)
# or, from the release build:  cmake --build --preset release --target lab_scale_bench
# Build with the release preset for meaningful figures.
set -euo pipefail

if [ $# -lt 3 ]; then
    echo "usage: bench/lab/scale.sh NAS_SEARCH NAS_SIM LAB_RUSAGE [N...]" >&2
    exit 2
fi
search=$(realpath "$1")
sim=$(realpath "$2")
rusage=$(realpath "$3")
shift 3
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(100 1000)

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/lab
source "$here/../../scripts/lab"
lab_require || exit 77
command -v jq >/dev/null || { echo "scale: jq is missing (scripts/install-deps)" >&2; exit 1; }

# Everything below runs in throw-away namespaces too, so a slip can reach no real network.
lab_seal "$0" "$search" "$sim" "$rusage" "${counts[@]}"

work=$(mktemp -d /tmp/nasfinder-scale.XXXXXX)
# nas-search remembers the boxes it finds: in the benchmark's folder, not the user's.
export XDG_STATE_HOME=$work/state
trap 'lab_destroy; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

runs=${NASFINDER_BENCH_RUNS:-3}
echo "each case run $runs times: found and answers are the worst run, CPU the median, peak the highest"
printf '%-6s %-6s %-11s %-8s %-9s %-9s %-9s %s\n' N spread found answers "cpu ms" \
    "ms/1000" "peak KiB" "cpu ms of each run"
for n in "${counts[@]}"; do
    name="nfscale-$n"
    lab_create "$name"
    lab_add_lan "$name" 1
    lab_add_boxes "$name" 1 1 "$n"
    config="$work/boxes-$n.txt"
    for ((i = 1; i <= n; i++)); do
        echo "$(lab_box_address 1 "$i") box-$i nas-$i KORVANT NS200 2.1"
    done >"$config"
    for spread in 0 1000; do
        lab_start_sim "$name" lan1 "$work/sim-$n-$spread.log" "$sim" --config "$config" \
            --alive-interval 0 --answer-spread "$spread" --quiet
        simPid=$LAB_LAST_PID
        : >"$work/runs"
        for ((run = 1; run <= runs; run++)); do
            out="$work/search-$n-$spread-$run.json"
            # Answers come to the broadcast, the SSDP and the per-interface worker: 3 per box.
            lab_exec "$name" host "$rusage" "$work/usage" "$search" --json --seconds 3 \
                >"$out" 2>/dev/null
            read -r user sys peak <"$work/usage"
            found=$(jq -r 'select(.event == "device") | .id' "$out" | sort -u | wc -l)
            answers=$(grep -c '"event":"report"' "$out" || true)
            echo "$found $answers $((user + sys)) $peak" >>"$work/runs"
        done
        sort -k3 -n "$work/runs" | awk -v n="$n" -v spread="$spread" '
            { found[NR] = $1; answers[NR] = $2; cpu[NR] = $3; peak[NR] = $4 }
            END {
                minFound = found[1]; minAnswers = answers[1]; maxPeak = peak[1]; each = ""
                for (i = 1; i <= NR; i++) {
                    if (found[i] < minFound) minFound = found[i]
                    if (answers[i] < minAnswers) minAnswers = answers[i]
                    if (peak[i] > maxPeak) maxPeak = peak[i]
                    each = each sprintf("%.1f ", cpu[i] / 1000)
                }
                median = cpu[int((NR + 1) / 2)] / 1000
                printf "%-6s %-6s %-11s %-8d %-9.1f %-9.1f %-9d %s\n", n,
                    (spread == 0 ? "burst" : "1 s"), minFound "/" n, minAnswers, median,
                    (minAnswers > 0 ? 1000 * median / minAnswers : 0), maxPeak, each
            }'
        lab_stop "$simPid"
    done
    lab_destroy
done
