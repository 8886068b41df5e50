#!/usr/bin/env bash
# nas-search --watch: a box that starts appears at once, one that says byebye is gone within a
# second, one killed without a word is gone after two silent rounds, and SIGINT ends the watch
# with the boxes present and status 0.
source "$(dirname "$0")/e2e-common.sh"

lab_create "$lab"
lab_add_lan "$lab" 1
lab_add_boxes "$lab" 1 1 3
lab_start_sim "$lab" lan1 "$work/sim-a.log" "$sim" \
    --box "$(lab_box_address 1 1),box-a,nas-a,KORVANT,NS200,2.1"
quiet=$LAB_LAST_PID
lab_start_sim "$lab" lan1 "$work/sim-b.log" "$sim" \
    --box "$(lab_box_address 1 2),box-b,nas-b,KORVANT,NS200,2.1"
polite=$LAB_LAST_PID

lab_spawn "$lab" host "$work/out.json" "$work/err.txt" "$search" --watch --every 2 --json
watching=$LAB_LAST_PID

# event_time EVENT IP: milliseconds since the epoch when the line first showed, polled.
wait_for() {
    local event=$1 ip=$2 limit=$3 i
    for ((i = 0; i < limit * 20; i++)); do
        jq -e --arg e "$event" --arg ip "$ip" -s 'any(.[]; .event == $e and .ip == $ip)' \
            "$work/out.json" >/dev/null 2>&1 && return 0
        sleep 0.05
    done
    return 1
}

check "box-a appears" wait_for appeared "$(lab_box_address 1 1)" 5
check "box-b appears" wait_for appeared "$(lab_box_address 1 2)" 5

started=$(date +%s%N)
lab_start_sim "$lab" lan1 "$work/sim-c.log" "$sim" --alive-interval 0 \
    --box "$(lab_box_address 1 3),box-c,nas-c,TALIX3,T9,3.0"
check "box-c appears by its announcement, before the next round" \
    wait_for appeared "$(lab_box_address 1 3)" 1

stopped=$(date +%s%N)
lab_stop "$polite"
check "box-b's byebye makes it go within a second" wait_for gone "$(lab_box_address 1 2)" 1
check "it went because of its byebye" equals \
    "$(jq -r --arg ip "$(lab_box_address 1 2)" 'select(.event == "gone" and .ip == $ip) | .reason' "$work/out.json")" \
    byebye

lab_stop "$quiet" KILL
killed=$(date +%s%N)
check "box-a, killed, goes after two silent rounds" wait_for gone "$(lab_box_address 1 1)" 8
silent_ms=$((($(date +%s%N) - killed) / 1000000))
check "not before two rounds of 2 s (took $silent_ms ms)" test "$silent_ms" -ge 2000
check "it went silently" equals \
    "$(jq -r --arg ip "$(lab_box_address 1 1)" 'select(.event == "gone" and .ip == $ip) | .reason' "$work/out.json")" \
    silent

lab_stop "$watching" INT
check "SIGINT ends the watch with status 0" equals "$LAB_STATUS" 0
check "the last line counts the boxes present" equals "$(tail -n 1 "$work/out.json")" \
    '{"event":"done","devices":1}'
check "every line is JSON" jq -e . "$work/out.json" >/dev/null
check "appeared lines carry when the box was seen" equals \
    "$(jq -r 'select(.event == "appeared") | .seen | test("^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:]{8}Z$")' "$work/out.json" | sort -u)" \
    true
check "no box appeared twice" equals \
    "$(jq -r 'select(.event == "appeared") | .ip' "$work/out.json" | sort | uniq -d)" ""
finish
