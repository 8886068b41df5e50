#!/usr/bin/env bash
# Announcements during the window: a box that starts later is added by its ssdp:alive, and a
# box that stops is removed by its ssdp:byebye.
source "$(dirname "$0")/e2e-common.sh"

lab_create "$lab"
lab_add_lan "$lab" 1
lab_add_boxes "$lab" 1 1 3
lab_start_sim "$lab" lan1 "$work/sim-a.log" "$sim" \
    --box "$(lab_box_address 1 1),box-a,nas-a,KORVANT,NS200,2.1"
lab_start_sim "$lab" lan1 "$work/sim-b.log" "$sim" \
    --box "$(lab_box_address 1 2),box-b,nas-b,KORVANT,NS200,2.1"
leaving=$LAB_LAST_PID

lab_spawn "$lab" host "$work/out.json" "$work/err.txt" "$search" --json --seconds 7
searching=$LAB_LAST_PID
# Well inside the window, leaving it time for the late box on a slow machine.
sleep 1.5
lab_stop "$leaving"
lab_start_sim "$lab" lan1 "$work/sim-c.log" "$sim" \
    --box "$(lab_box_address 1 3),box-c,nas-c,KORVANT,NS200,2.1"
lab_wait "$searching"
check "nas-search exits 0" equals "$LAB_STATUS" 0

check "box-b answered the search" has_report "$work/out.json" box-b 1900 1
check "box-b's byebye reached the SSDP worker" has_report "$work/out.json" box-b 1900 4
check "box-c's alive reached the SSDP worker" has_report "$work/out.json" box-c 1900 2
check "box-c never saw the search" equals \
    "$(jq -r 'select(.event == "report" and .id == "box-c") | .type' "$work/out.json" | sort -u)" 2
check "the list holds box-a and box-c, not box-b" equals "$(device_ids "$work/out.json")" \
    "box-a box-c"
finish
