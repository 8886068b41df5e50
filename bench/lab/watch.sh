#!/usr/bin/env bash
# Watch benchmark: nas-search --watch in a namespace lab while boxes come and go every few
# seconds (a byebye, a new box, a box killed without a word), for SECONDS (default 600).
# Prints the resident memory of nas-search after the first minute and at the end, and the CPU
# it used between search rounds (from 1.5 s after a search until 0.5 s before the next).
# Runs in a namespace lab of its own (needs root); never on the machine's network.
#
# usage: bench/lab/watch.sh NAS_SEARCH NAS_SIM [SECONDS]
# or, from the release build:  cmake --build --preset release --target watch_bench
#   (NASFINDER_WATCH_SECONDS=60 for a short run)
set -euo pipefail

[ $# -ge 2 ] || { echo "usage: bench/lab/watch.sh NAS_SEARCH NAS_SIM [SECONDS]" >&2; exit 2; }
search=$(realpath "$1")
sim=$(realpath "$2")
seconds=${3:-${NASFINDER_WATCH_SECONDS:-600}}
every=10
warmup=60
[ "$seconds" -gt "$warmup" ] || warmup=$((seconds / 3))

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/lab
source "$here/../../scripts/lab"
# shellcheck source=rounds.sh
source "$here/rounds.sh"
lab_require || exit 77
lab_seal "$0" "$search" "$sim" "$seconds"

work=$(mktemp -d /tmp/nasfinder-watch.XXXXXX)
# nas-search remembers the boxes it finds: in the benchmark's folder, not the user's.
export XDG_STATE_HOME=$work/state
trap 'lab_destroy; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
lab="nfwatch"
lab_create "$lab"
lab_add_lan "$lab" 1
lab_add_boxes "$lab" 1 1 40
# Ten boxes stay all along; the others take turns coming and going.
stay=()
for n in $(seq 1 10); do
    stay+=(--box "$(lab_box_address 1 "$n"),box-$n,nas-$n,KORVANT,NS200,2.1")
done
lab_start_sim "$lab" lan1 "$work/stay.log" "$sim" --quiet "${stay[@]}"

lab_spawn "$lab" host "$work/out.json" /dev/null "$search" --watch --every "$every" --json
watcher=$LAB_LAST_PID
started=$(date +%s.%N)


# Churn, in the background: every 3 s one box leaves (byebye, or killed: silent) and another
# starts, so boxes appear, go by byebye and go silently all through the run.
(
    n=11
    pids=()
    trap 'kill -KILL "${pids[@]}" 2>/dev/null; wait 2>/dev/null; exit 0' TERM
    while true; do
        box="$(lab_box_address 1 "$n"),box-$n,nas-$n,KORVANT,NS200,2.1"
        ip netns exec "$lab-lan1" "$sim" --quiet --alive-interval 5 --box "$box" \
            >/dev/null 2>&1 &
        pids+=($!)
        if [ ${#pids[@]} -gt 3 ]; then
            if [ $((n % 2)) -eq 0 ]; then kill -TERM "${pids[0]}"; else kill -KILL "${pids[0]}"; fi
            wait "${pids[0]}" 2>/dev/null || true
            pids=("${pids[@]:1}")
        fi
        n=$((n >= 40 ? 11 : n + 1))
        sleep 3
    done
) &
churn=$!
LAB_PIDS+=("$churn")

rounds_measure "$watcher" "$started" "$every" "$warmup" "$seconds"

lab_stop "$churn"
lab_stop "$watcher" INT
status=$LAB_STATUS

appeared=$(grep -c '"event":"appeared"' "$work/out.json" || true)
byebye=$(grep -c '"reason":"byebye"' "$work/out.json" || true)
silent=$(grep -c '"reason":"silent"' "$work/out.json" || true)
printf 'watched %.0f s, a round every %d s; %d appeared, %d gone by byebye, %d gone silent\n' \
    "$rounds_elapsed" "$every" "$appeared" "$byebye" "$silent"
printf 'resident memory: %d KiB after %d s, %d KiB at the end: %+d KiB (target < 1024 KiB)\n' \
    "$rounds_rss_start" "$warmup" "$rounds_rss_end" $((rounds_rss_end - rounds_rss_start))
printf 'CPU between rounds: %.3f%% of a core over %d s (target < 0.1%%); all told %.3f%%\n' \
    "$rounds_quiet_percent" "$rounds_quiet_seconds" "$rounds_total_percent"
printf 'nas-search ended with status %d after SIGINT; its last line: %s\n' "$status" \
    "$(tail -n 1 "$work/out.json")"
