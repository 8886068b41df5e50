#!/usr/bin/env bash
# What the final list keeps: accepted vendors only, upper-cased, and one entry per box although
# each box answers three workers.
source "$(dirname "$0")/e2e-common.sh"

lab_create "$lab"
lab_add_lan "$lab" 1
lab_add_boxes "$lab" 1 1 5
boxes=()
n=0
for box in "box-k nas-k korvant" "box-g nas-g KORVANT-GmbH" "box-t nas-t Talix3" \
    "box-o nas-o OTHERCO" "box-x nas-x TALIX3X"; do
    n=$((n + 1))
    read -r id host vendor <<<"$box"
    boxes+=(--box "$(lab_box_address 1 "$n"),$id,$host,$vendor,NS200,2.1")
done
lab_start_sim "$lab" lan1 "$work/sim.log" "$sim" "${boxes[@]}"

lab_exec "$lab" host "$search" --json --seconds 3 >"$work/out.json" 2>"$work/err.txt"
check "nas-search exits 0" equals "$?" 0
check "accepted vendors only" equals "$(device_ids "$work/out.json")" "box-g box-k box-t"
check "one entry per address" equals \
    "$(jq -r 'select(.event == "device") | .ip' "$work/out.json" | sort | uniq -d | wc -l)" 0
check "vendors stored upper-cased in their first 8 bytes" equals \
    "$(jq -r 'select(.event == "device") | .factory' "$work/out.json" | sort | tr '\n' ' ')" \
    "KORVANT KORVANT-GmbH TALIX3 "
for id in box-k box-o box-x; do
    check "$id is reported by all three workers before the filter" equals \
        "$(report_handles "$work/out.json" "$id")" "67 1530 1900"
done
check "reports carry the vendor as sent" equals \
    "$(jq -r 'select(.event == "report" and .id == "box-k") | .factory' "$work/out.json" | sort -u)" \
    "korvant"
check "done counts the list" equals "$(tail -n 1 "$work/out.json")" '{"event":"done","devices":3}'
check "the filter's print went to standard error" contains "$work/err.txt" \
    "NewDeviceInfo.factory = OTHERCO"
finish
