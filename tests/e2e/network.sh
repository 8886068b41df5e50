#!/usr/bin/env bash
# Following the network: a LAN plugged in during the search window gets its worker within a
# second and its box is found in that window; a LAN left out by --exclude-interface gets no
# worker and its box stays unfound.
# usage: network.sh NAS_SEARCH NAS_SIM late_lan|excluded
case_name=${3:-}
source "$(dirname "$0")/e2e-common.sh"

lab_create "$lab"
lab_add_lan "$lab" 1
lab_add_boxes "$lab" 1 1 1
lab_start_sim "$lab" lan1 "$work/sim1.log" "$sim" \
    --box "$(lab_box_address 1 1),box-a,nas-a,KORVANT,NS200,2.1"
# LAN 2's box is ready before the host sees LAN 2.
lab_prepare_lan "$lab" 2
lab_add_boxes "$lab" 2 1 1
lab_start_sim "$lab" lan2 "$work/sim2.log" "$sim" --alive-interval 0 \
    --box "$(lab_box_address 2 1),box-b,nas-b,KORVANT,NS200,2.1"

interface_workers() {
    jq -r 'select(.event == "worker" and .role == "interface") | "\(.interface) \(.address) \(.port)"' \
        "$1" | tr '\n' ',' | sed 's/,$//'
}

case "$case_name" in
late_lan)
    lab_spawn "$lab" host "$work/out.json" "$work/err.txt" "$search" --json --seconds 6
    searching=$LAB_LAST_PID
    for ((i = 0; i < 100; i++)); do
        grep -q '"port":1530' "$work/out.json" 2>/dev/null && break
        sleep 0.05
    done
    sleep 1
    plugged=$(date +%s%N)
    lab_connect_lan "$lab" 2
    for ((i = 0; i < 100; i++)); do
        grep -q '"interface":"lan2"' "$work/out.json" 2>/dev/null && break
        sleep 0.01
    done
    noticed=$((($(date +%s%N) - plugged) / 1000000))
    lab_wait "$searching"
    check "nas-search exits 0" equals "$LAB_STATUS" 0
    check "lan2 got its worker within a second (took $noticed ms)" test "$noticed" -lt 1000
    check "the new worker is on the next port" equals "$(interface_workers "$work/out.json")" \
        "lan1 10.1.0.1 1530,lan2 10.2.0.1 1550"
    check "the new worker searched from its own address at once" contains "$work/sim2.log" \
        "M-SEARCH from 10.2.0.1:1550"
    check "box-b answered the new worker" has_report "$work/out.json" box-b 1550 1
    check "both boxes are in the list of the same window" equals \
        "$(device_ids "$work/out.json")" "box-a box-b"
    check "the list says which interface heard box-b" equals \
        "$(jq -r 'select(.event == "device" and .id == "box-b") | .interface' "$work/out.json")" \
        lan2
    ;;
excluded)
    lab_connect_lan "$lab" 2
    lab_exec "$lab" host "$search" --json --seconds 3 --exclude-interface 'lan[2-9]' \
        >"$work/out.json" 2>"$work/err.txt"
    check "nas-search exits 0" equals "$?" 0
    check "only lan1 has a worker" equals "$(interface_workers "$work/out.json")" "lan1 10.1.0.1 1530"
    check "lan2 saw no search" lacks "$work/sim2.log" "M-SEARCH from"
    check "only box-a is found" equals "$(device_ids "$work/out.json")" "box-a"
    ;;
*)
    echo "usage: $0 NAS_SEARCH NAS_SIM late_lan|excluded" >&2
    exit 2
    ;;
esac
finish
