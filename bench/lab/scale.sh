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

# Everything below runs in a throw-away namespace too, so a slip can reach no real network.
if [ -z "${NASFINDER_LAB_SEALED:-}" ]; then
    NASFINDER_LAB_SEALED=1 exec unshare --net -- "$0" "$search" "$sim" "$rusage" "${counts[@]}"
fi

work=$(mktemp -d /tmp/nasfinder-scale.XXXXXX)
trap 'lab_destroy; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

printf '%-6s %-7s %-11s %-8s %-9s %-9s %-9s %-9s %s\n' N answers found found% reports \
    "user ms" "sys ms" "cpu ms" "peak KiB"
for n in "${counts[@]}"; do
    name="nfscale$$-$n"
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
        out="$work/search-$n-$spread.json"
        lab_exec "$name" host "$rusage" "$work/usage" "$search" --json --seconds 3 \
            >"$out" 2>/dev/null
        read -r user sys peak <"$work/usage"
        found=$(jq -r 'select(.event == "device") | .id' "$out" | sort -u | wc -l)
        reports=$(grep -c '"event":"report"' "$out" || true)
        mode=burst
        [ "$spread" -eq 0 ] || mode="1 s"
        awk -v n="$n" -v mode="$mode" -v found="$found" -v reports="$reports" -v user="$user" \
            -v sys="$sys" -v peak="$peak" 'BEGIN {
                printf "%-6s %-7s %-11s %-8.1f %-9d %-9.1f %-9.1f %-9.1f %d\n", n, mode,
                    found "/" n, 100 * found / n, reports, user / 1000, sys / 1000,
                    (user + sys) / 1000, peak }'
        cp "$out" "/tmp/nasfinder-scale-$n-$spread.json" 2>/dev/null || true
        kill -TERM "$simPid"
        wait "$simPid" 2>/dev/null || true
    done
    lab_destroy
done
