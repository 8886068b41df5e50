#!/usr/bin/env bash
# Ports held by another program: a second nas-search finds 1530 and 1550 taken on its
# addresses and serves them on 1531 and 1551; Ctrl-C ends the first with status 130.
source "$(dirname "$0")/e2e-common.sh"

lab_create "$lab"
lab_add_lan "$lab" 1
lab_add_lan "$lab" 2
lab_add_boxes "$lab" 1 1 1
lab_add_boxes "$lab" 2 1 1
lab_start_sim "$lab" lan1 "$work/sim1.log" "$sim" \
    --box "$(lab_box_address 1 1),box-a,nas-a,KORVANT,NS200,2.1"
lab_start_sim "$lab" lan2 "$work/sim2.log" "$sim" \
    --box "$(lab_box_address 2 1),box-b,nas-b,KORVANT,NS200,2.1"

mkdir "$work/holder-log" "$work/log"
lab_spawn "$lab" host "$work/holder.txt" "$work/holder.txt" "$search" --seconds 60 \
    --log-dir "$work/holder-log/"
holder=$LAB_LAST_PID
for ((i = 0; i < 100; i++)); do
    grep -qs "SendThread 1550 : Begin Search Device Work Thread" "$work/holder-log/"* && break
    sleep 0.05
done

lab_exec "$lab" host "$search" --json --seconds 3 --log-dir "$work/log/" \
    >"$work/out.json" 2>"$work/err.txt"
check "nas-search exits 0" equals "$?" 0
log=$(log_file "$work/log")
check "1530 is taken, so the worker moves to 1531" contains "$log" \
    "SendThread 1531 : Test Create Search Device Work Thread, testCount = 1, port = 1531  *["
check "1550 is taken, so the next worker moves to 1551" contains "$log" \
    "SendThread 1551 : Test Create Search Device Work Thread, testCount = 1, port = 1551  *["
check "the moved worker searches from its new port" contains "$work/sim1.log" \
    "M-SEARCH from 10.1.0.1:1531"
check "box-a answers the moved worker" has_report "$work/out.json" box-a 1531 1
check "box-b answers the moved worker" has_report "$work/out.json" box-b 1551 1
check "the broadcast worker has no retry" contains "$log" \
    "SendThread 67 : Create Search Device Work Thread Error : "
check "both boxes are found" equals "$(device_ids "$work/out.json")" "box-a box-b"

lab_stop "$holder" INT
check "Ctrl-C ends nas-search with 130" equals "$LAB_STATUS" 130
check "Ctrl-C still writes the log's exit line" contains "$(log_file "$work/holder-log")" \
    $'------Exit Log System-------\r'
finish
