#!/usr/bin/env bash
# The search follows a changing network and says nothing false about it, in turn:
#   1. a LAN plugged in late whose box only announces is found from its announcement, while an
#      address removed mid-run retires its worker and gives no hint;
#   2. without a default route (no route for the group or the limited broadcast) the box is
#      found through its LAN's own worker, with no hint;
#   3. 200 add/remove cycles of one address keep threads, sockets and ports bounded.
# usage: follow.sh NAS_SEARCH NAS_SIM
source "$(dirname "$0")/e2e-common.sh"
command -v iptables-legacy >/dev/null || { echo "FAIL: iptables is missing (scripts/install-deps)"; exit 1; }

hint_codes() {
    jq -r 'select(.event == "hint") | .code' "$1" | tr '\n' ' ' | sed 's/ $//'
}
# wait_for COUNT PATTERN FILE: until FILE has COUNT lines matching PATTERN (5 s at most).
wait_for() {
    local i
    for ((i = 0; i < 500; i++)); do
        [ "$(grep -c -- "$2" "$3" 2>/dev/null)" -ge "$1" ] && return 0
        sleep 0.01
    done
    return 1
}

lab_create "$lab"
lab_add_lan "$lab" 1
lab_add_boxes "$lab" 1 1 1
lab_start_sim "$lab" lan1 "$work/sim1.log" "$sim" \
    --box "$(lab_box_address 1 1),box-a,nas-a,KORVANT,NS200,2.1"
# LAN 2's box announces every second but hears no search: it can only be found by listening.
lab_prepare_lan "$lab" 2
lab_add_boxes "$lab" 2 1 1
lab_exec "$lab" lan2 iptables-legacy -A INPUT -p udp -m multiport --dports 68,1900 -j DROP
lab_start_sim "$lab" lan2 "$work/sim2.log" "$sim" --alive-interval 1 \
    --box "$(lab_box_address 2 1),box-b,nas-b,KORVANT,NS200,2.1"
# LAN 3: a network the machine leaves while it searches (a laptop moving on).
lab_add_lan "$lab" 3

echo "--- 1. a late LAN that only announces, and an address that goes"
lab_spawn "$lab" host "$work/late.json" "$work/late.err" "$search" --json --seconds 6 \
    --searches 2 --interval 3
searching=$LAB_LAST_PID
wait_for 1 '"interface":"lan3"' "$work/late.json"
sleep 0.5
lab_connect_lan "$lab" 2
ip -n "$lab-host" addr del 10.3.0.1/16 dev lan3
lab_wait "$searching"
check "nas-search exits 0" equals "$LAB_STATUS" 0
check "box-b is found from its announcement on the late LAN" equals \
    "$(device_ids "$work/late.json")" "box-a box-b"
check "box-b reached the shared SSDP worker" has_report "$work/late.json" box-b 1900 2
check "lan3's worker went" equals \
    "$(jq -r 'select(.event == "worker" and .interface == "lan3") | .state' "$work/late.json" |
        tr '\n' ' ')" "listening gone "
check "no hint" equals "$(hint_codes "$work/late.json")" ""

echo "--- 2. no default route"
ip -n "$lab-host" route del 224.0.0.0/4 dev lan1
ip -n "$lab-host" route del 255.255.255.255/32 dev lan1
ip -n "$lab-host" link set lan2 down
lab_exec "$lab" host "$search" --json --diagnose --seconds 3 >"$work/noroute.json" 2>"$work/noroute.err"
check "nas-search exits 0" equals "$?" 0
check "the broadcast could not be sent" equals "$(jq -r \
    'select(.event == "worker" and .role == "broadcast" and .searches != null) | .sendErrors' \
    "$work/noroute.json")" 1
check "box-a is found through lan1's worker" equals "$(device_ids "$work/noroute.json")" "box-a"
check "no hint" equals "$(hint_codes "$work/noroute.json")" ""

echo "--- 3. 200 add/remove cycles of one address"
lab_spawn "$lab" host "$work/cycles.json" "$work/cycles.err" "$search" --json --watch --every 600
pid=$LAB_LAST_PID
wait_for 1 '"interface":"lan1"' "$work/cycles.json"
count_threads() { ls "/proc/$pid/task" | wc -l; }
count_sockets() { find "/proc/$pid/fd" -lname 'socket:*' | wc -l; }
threads_before=$(count_threads)
sockets_before=$(count_sockets)
for ((n = 1; n <= 200; n++)); do
    ip -n "$lab-host" addr add 10.3.0.1/16 dev lan3
    wait_for "$n" '"address":"10.3.0.1".*"state":"listening"' "$work/cycles.json" || break
    ip -n "$lab-host" addr del 10.3.0.1/16 dev lan3
    wait_for "$n" '"address":"10.3.0.1".*"state":"gone"' "$work/cycles.json" || break
done
sleep 0.5  # the last retired worker's thread ends on its own
threads_after=$(count_threads)
sockets_after=$(count_sockets)
ports=$(lab_exec "$lab" host ss -Huan | awk '{print $4}' | sed 's/.*://' | sort -un | tr '\n' ' ')
lab_stop "$pid"
echo "threads $threads_before -> $threads_after, sockets $sockets_before -> $sockets_after, ports: $ports"
check "all 200 cycles were followed (got $((n - 1)))" equals "$((n - 1))" 200
check "every new worker took the freed slot" equals "$(jq -r \
    'select(.event == "worker" and .address == "10.3.0.1") | .port' "$work/cycles.json" | sort -u)" 1550
check "threads stay as they were" equals "$threads_after" "$threads_before"
check "sockets stay as they were" equals "$sockets_after" "$sockets_before"
check "only the lasting ports are held" equals "$ports" "67 1530 1900 "
finish
