#!/usr/bin/env bash
# Tray benchmark: "nasfinder --background" in a namespace lab with 10 boxes staying, on a desktop
# of its own (scripts/desktop: Xvfb, trayer, private session and system buses; no notification
# server, which the program does without), for SECONDS (default 600). Prints the resident memory
# of nasfinder after the first minute and at the end, and the CPU it used between the watch's
# rounds (a search every 30 s from its start: from 1.5 s after one until 0.5 s before the next).
# Runs in a namespace lab of its own (needs root); never on the machine's network or display.
#
# usage: bench/lab/tray.sh NASFINDER NAS_SIM [SECONDS]
# or, from the release build:  cmake --build --preset release --target tray_bench
#   (NASFINDER_TRAY_SECONDS=60 for a short run)
set -euo pipefail

[ $# -ge 2 ] || { echo "usage: bench/lab/tray.sh NASFINDER NAS_SIM [SECONDS]" >&2; exit 2; }
nasfinder=$(realpath "$1")
sim=$(realpath "$2")
seconds=${3:-${NASFINDER_TRAY_SECONDS:-600}}
every=30
warmup=60
[ "$seconds" -ge 60 ] || { echo "tray benchmark: at least 60 s (two rounds)" >&2; exit 2; }
[ "$seconds" -gt "$warmup" ] || warmup=$((seconds / 3))

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/lab
source "$here/../../scripts/lab"
# shellcheck source=rounds.sh
source "$here/rounds.sh"
# shellcheck source=../../scripts/desktop
source "$here/../../scripts/desktop"
lab_require || exit 77
desktop_require || exit 77
lab_seal "$0" "$nasfinder" "$sim" "$seconds"

work=$(mktemp -d /tmp/nasfinder-tray.XXXXXX)
trap 'lab_destroy; desktop_stop; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
lab="nftray"
lab_create "$lab"
lab_add_lan "$lab" 1
lab_add_boxes "$lab" 1 1 10
boxes=()
for n in $(seq 1 10); do
    boxes+=(--box "$(lab_box_address 1 "$n"),box-$n,nas-$n,KORVANT,NS200,2.1")
done
lab_start_sim "$lab" lan1 "$work/boxes.log" "$sim" --quiet "${boxes[@]}"

desktop_x
desktop_tray
desktop_runtime
desktop_bus DBUS_SESSION_BUS_ADDRESS
desktop_bus DBUS_SYSTEM_BUS_ADDRESS
# Its settings and its book in the benchmark's folder, not the user's.
lab_spawn "$lab" host "$work/tray.out" "$work/tray.err" env -u LANGUAGE -u LC_ALL \
    -u LC_MESSAGES LANG=C.UTF-8 QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work/config" \
    XDG_STATE_HOME="$work/state" "$nasfinder" --background
tray=$LAB_LAST_PID
started=$(date +%s.%N)


# In the tray, not in a window: the figures are the tray's.
for ((i = 0; i < 100; i++)); do
    [ -z "$(desktop_tray_icon nasfinder)" ] || break
    sleep 0.1
done
if [ -z "$(desktop_tray_icon nasfinder)" ] ||
    xdotool search --onlyvisible --name '^nasfinder$' >/dev/null 2>&1; then
    echo "tray benchmark: nasfinder did not go to the tray:" >&2
    cat "$work/tray.err" >&2
    exit 1
fi

rounds_measure "$tray" "$started" "$every" "$warmup" "$seconds"

lab_stop "$tray"
status=$LAB_STATUS

printf 'in the tray %.0f s with 10 boxes staying, a round every %d s\n' "$rounds_elapsed" "$every"
printf 'resident memory: %d KiB after %d s, %d KiB at the end: %+d KiB (target < 46080 KiB, not growing)\n' \
    "$rounds_rss_start" "$warmup" "$rounds_rss_end" $((rounds_rss_end - rounds_rss_start))
printf 'CPU between rounds: %.3f%% of a core over %d s (target < 0.2%%); all told %.3f%%\n' \
    "$rounds_quiet_percent" "$rounds_quiet_seconds" "$rounds_total_percent"
printf 'nasfinder ended with status %d after SIGTERM; the boxes in its book: %d\n' "$status" \
    "$(jq '.boxes | length' "$work/state/nasfinder/known-boxes.json" 2>/dev/null || echo 0)"
