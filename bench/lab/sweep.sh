#!/usr/bin/env bash
# Sweep benchmark: nas-search probes a /22 (1022 addresses, 2044 datagrams) across a router to a
# remote LAN where N simulated boxes answer. Prints, per run, the datagrams seen on the router's
# wire and their rate (first to last probe), the boxes found out of N, and the CPU time of
# nas-search with the sweep beside the same search without it; the difference is the sweep's.
# Runs in a namespace lab of its own (needs root); never on the machine's network.
#
# usage: bench/lab/sweep.sh NAS_SEARCH NAS_SIM LAB_RUSAGE [N]   (default N: 20)
# or, from the release build:  cmake --build --preset release --target lab_sweep_bench
set -euo pipefail

if [ $# -lt 3 ]; then
    echo "usage: bench/lab/sweep.sh NAS_SEARCH NAS_SIM LAB_RUSAGE [N]" >&2
    exit 2
fi
search=$(realpath "$1")
sim=$(realpath "$2")
rusage=$(realpath "$3")
boxes=${4:-20}

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/lab
source "$here/../../scripts/lab"
lab_require || exit 77
for tool in jq tcpdump; do
    command -v "$tool" >/dev/null || { echo "sweep: $tool is missing (scripts/install-deps)" >&2; exit 1; }
done

lab_seal "$0" "$search" "$sim" "$rusage" "$boxes"

work=$(mktemp -d /tmp/nasfinder-sweep.XXXXXX)
trap 'lab_destroy; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

name="nfsweep"
lab_create "$name"
lab_add_lan "$name" 1
lab_add_remote_lan "$name" 1 78
# The boxes spread over the /22: 10.78.0.1, 10.78.0.51, ...
sim_args=()
for ((i = 0; i < boxes; i++)); do
    address="10.78.$((i * 50 / 250)).$((1 + i * 50 % 250))"
    ip -n "$name-far78" addr add "$address/16" dev eth0
    sim_args+=(--box "$address,box-$i,nas-$i,KORVANT,NS200,2.1")
done
lab_start_sim "$name" far78 "$work/sim.log" "$sim" "${sim_args[@]}" --alive-interval 0 --quiet

# cpu_ms ARGS...: one nas-search run in the host namespace; its CPU time in ms, JSON in $work/out.
cpu_ms() {
    lab_exec "$name" host "$rusage" "$work/usage" "$search" --json --seconds 3 "$@" \
        >"$work/out.json" 2>/dev/null
    read -r user sys _ <"$work/usage"
    echo "$((user / 1000)) $((sys / 1000))"
}

runs=${NASFINDER_BENCH_RUNS:-3}
printf '%-4s %-10s %-10s %-12s %-9s %-14s %s\n' run datagrams seconds "datagrams/s" found \
    "plain user+sys" "with sweep user+sys ms"
for ((run = 1; run <= runs; run++)); do
    plain=$(cpu_ms)
    lab_spawn "$name" lan1 /dev/null "$work/tcpdump.err" tcpdump -i eth0 -n -Z root \
        -w "$work/sweep.pcap" 'udp and dst net 10.78.0.0/16 and (dst port 1900 or dst port 68)'
    capture=$LAB_LAST_PID
    for ((i = 0; i < 100; i++)); do grep -q "listening on" "$work/tcpdump.err" && break; sleep 0.05; done
    swept=$(cpu_ms --probe 10.78.0.0/22)
    sleep 0.3
    lab_stop "$capture" INT
    found=$(jq -r 'select(.event == "device") | .id' "$work/out.json" | sort -u | wc -l)
    tcpdump -r "$work/sweep.pcap" -n -tt 2>/dev/null | awk '{print $1}' >"$work/times"
    read -r plainUser plainSys <<<"$plain"
    read -r sweptUser sweptSys <<<"$swept"
    awk -v run="$run" -v found="$found/$boxes" -v pu="$plainUser" -v ps="$plainSys" \
        -v su="$sweptUser" -v ss="$sweptSys" '
        NR == 1 { first = $1 } { last = $1 }
        END {
            span = last - first
            printf "%-4d %-10d %-10.3f %-12.0f %-9s %-14s %d+%d (sweep %+d ms)\n", run, NR, span,
                (span > 0 ? (NR - 1) / span : 0), found, pu "+" ps, su, ss, su + ss - pu - ps
        }' "$work/times"
done
