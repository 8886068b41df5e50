#!/usr/bin/env bash
# Two LANs: one per-interface worker per address, on 1530 and 1550 in interface order, each
# searching from its own address; boxes of both LANs found; the dated log file written whole.
source "$(dirname "$0")/e2e-common.sh"

lab_create "$lab"
lab_add_lan "$lab" 1
lab_add_lan "$lab" 2
lab_add_boxes "$lab" 1 1 1
lab_add_boxes "$lab" 2 1 1
a=$(lab_box_address 1 1)
b=$(lab_box_address 2 1)
lab_start_sim "$lab" lan1 "$work/sim1.log" "$sim" --box "$a,box-a,nas-a,KORVANT,NS200,2.1"
# Announcing only as it starts, so that only the searches reach the search's workers: the SSDP
# worker is in the group on LAN 2 as well and would hear a later announcement there.
lab_start_sim "$lab" lan2 "$work/sim2.log" "$sim" --alive-interval 0 \
    --box "$b,box-b,nas-b,TALIX3,T9,3.0,eu"

mkdir "$work/log"
lab_exec "$lab" host "$search" --json --seconds 3 --log-dir "$work/log/" \
    >"$work/out.json" 2>"$work/err.txt"
check "nas-search exits 0" equals "$?" 0
check "standard output is JSON Lines only" jq -e . "$work/out.json" >/dev/null
check "both LANs' boxes are in the list" equals "$(device_ids "$work/out.json")" "box-a box-b"
check "done counts them" equals "$(tail -n 1 "$work/out.json")" '{"event":"done","devices":2}'

# LAN 1 carries the group and the broadcast; LAN 2 is reached by its own worker only.
check "box-a answers every worker of LAN 1" equals "$(report_handles "$work/out.json" box-a)" \
    "67 1530 1900"
check "box-b answers the worker of LAN 2 only" equals "$(report_handles "$work/out.json" box-b)" \
    "1550"
check "LAN 1 worker searches from its address" contains "$work/sim1.log" \
    "M-SEARCH from 10.1.0.1:1530"
check "the SSDP worker searches on LAN 1" contains "$work/sim1.log" "M-SEARCH from 10.1.0.1:1900"
check "the broadcast goes out on LAN 1" contains "$work/sim1.log" \
    "broadcast search from 10.1.0.1:67"
check "LAN 2 worker searches from its address" contains "$work/sim2.log" \
    "M-SEARCH from 10.2.0.1:1550"
check "LAN 2 sees no other search" equals "$(grep -c "from" "$work/sim2.log")" 1

log=$(log_file "$work/log")
check "the log is named by date" equals "$(basename "$log")" "$(date +%Y-%m-%d)-SearchDeviceLog.txt"
check "the log starts with the start line" equals "$(head -n 1 "$log")" \
    $'------Start Log System-------\r'
check "the exit line is written" contains "$log" $'------Exit Log System-------\r'
first=$(grep -n "SendThread 1530 : Init Search Device Work Thread Value, strIP : 10.1.0.1, nPort : 1530  \*\[" "$log" | head -n 1 | cut -d: -f1)
second=$(grep -n "SendThread 1550 : Init Search Device Work Thread Value, strIP : 10.2.0.1, nPort : 1550  \*\[" "$log" | head -n 1 | cut -d: -f1)
check "1530 serves 10.1.0.1 and 1550 serves 10.2.0.1, in interface order" \
    test -n "$first" -a -n "$second" -a "${first:-0}" -lt "${second:-0}"
unstamped=$(grep -v -e $'^------Start Log System-------\r$' -e $'^------Exit Log System-------\r$' "$log" |
    grep -cvE $'\\*\\[[0-9]{2}::[0-9]{2}:[0-9]{2}:[0-9]{2}\\]\r$')
check "every other line carries the day-and-time stamp" equals "$unstamped" 0
check "the library's lines went to standard error" contains "$work/err.txt" \
    "SendMessage : pdhcp is NULL"
finish
