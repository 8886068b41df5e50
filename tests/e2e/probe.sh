#!/usr/bin/env bash
# Boxes beyond this network, in one lab walked in turn: the host's LAN 1 leads to a router
# (forwarding on) and behind it a remote LAN 10.78.0.0/16 with two boxes, 10.78.1.1 and
# 10.78.1.2. Multicast and the limited broadcast stop at the router, unicast probes cross it:
#   no --probe                  the remote boxes are not found
#   --probe ADDRESS/RANGE/NAME  they are, answering the unicast M-SEARCH and search request;
#                               a probe of one box's address is answered by that box alone
#   --watch --probe             every round probes
#   a /22 sweep                 paced: first to last probe on the router's wire
#   --probe with no route       the hint probe-no-route
#   --probe an empty address    the hint probe-unanswered
# usage: probe.sh NAS_SEARCH NAS_SIM
source "$(dirname "$0")/e2e-common.sh"
command -v tcpdump >/dev/null || { echo "FAIL: tcpdump is missing (scripts/install-deps)"; exit 1; }

box=$(lab_box_address 78 1)
lab_create "$lab"
lab_add_lan "$lab" 1
lab_add_remote_lan "$lab" 1 78
lab_add_boxes "$lab" far78 1 2
lab_hosts "$lab" host "127.0.0.1 localhost" "$box far-nas.lab"
lab_start_sim "$lab" far78 "$work/sim.log" "$sim" \
    --box "$box,box-far,nas-far,KORVANT,NS200,2.1" \
    --box "$(lab_box_address 78 2),box-far2,nas-far2,KORVANT,NS200,2.1"

hint_codes() {
    jq -r 'select(.event == "hint") | .code' "$1" | tr '\n' ' ' | sed 's/ $//'
}
hint_field() {
    jq -r --arg code "$2" --arg field "$3" 'select(.event == "hint" and .code == $code) | .[$field]' "$1"
}
# run_search NAME ARGS...: nas-search in the host namespace, its JSON in $work/NAME.json.
run_search() {
    local name=$1
    shift
    lab_exec "$lab" host "$search" --json --seconds 2 "$@" >"$work/$name.json" 2>"$work/$name.err"
    check "$name: nas-search exits 0" equals "$?" 0
}
probe_line() { jq -c 'select(.event == "probe")' "$1"; }

run_search plain
check "without --probe the remote box is not found" equals "$(device_ids "$work/plain.json")" ""
check "without --probe there is no probe line" equals "$(probe_line "$work/plain.json")" ""
check "and no probe hint" equals "$(hint_codes "$work/plain.json")" "nothing-heard"

for entry in "$box:box-far" "10.78.1.0/24:box-far box-far2" "far-nas.lab:box-far"; do
    target=${entry%%:*}
    name=found-${target//\//_}
    run_search "$name" --probe "$target"
    check "--probe $target finds ${entry#*:}" equals "$(device_ids "$work/$name.json")" "${entry#*:}"
    check "--probe $target: no hint" equals "$(hint_codes "$work/$name.json")" ""
done
check "the probe line follows the workers" equals \
    "$(jq -r '.event' "$work/found-$box.json" | grep -v report | head -n 4 | tr '\n' ' ')" \
    "worker worker worker probe "
check "the probe line counts the addresses" equals \
    "$(probe_line "$work/found-10.78.1.0_24.json")" '{"event":"probe","targets":254}'
check "the unicast M-SEARCH was answered (SSDP worker)" has_report "$work/found-$box.json" box-far 1900 1
check "the unicast search request was answered (port 67)" has_report "$work/found-$box.json" box-far 67 1

# A watch probes every round.
lab_exec "$lab" host timeout -s TERM 7 "$search" --watch --every 2 --json --probe "$box" \
    >"$work/watch.json" 2>"$work/watch.err"
check "--watch --probe: the box appears" equals \
    "$(jq -r 'select(.event == "appeared") | .id' "$work/watch.json")" box-far
check "and stays: it answers three rounds' probes" equals "$(jq -r 'select(.event == "gone") | .id' "$work/watch.json")" ""

# The sweep's pace, from the router's side of the host's LAN: 1022 addresses, 2044 datagrams.
# Started directly, not through a shell function, so that $! is tcpdump itself.
ip netns exec "$lab-lan1" tcpdump -i eth0 -n -Z root -w "$work/sweep.pcap" \
    'udp and dst net 10.78.0.0/16 and (dst port 1900 or dst port 68)' 2>"$work/tcpdump.err" &
capture=$!
LAB_PIDS+=("$capture")
for ((i = 0; i < 100; i++)); do grep -q "listening on" "$work/tcpdump.err" && break; sleep 0.05; done
run_search sweep --probe 10.78.0.0/22
sleep 0.5
kill -INT "$capture"
wait "$capture" 2>/dev/null
tcpdump -r "$work/sweep.pcap" -n -tt 2>/dev/null | awk '{print $1}' >"$work/sweep.times"
check "the sweep sent 2044 probes" equals "$(wc -l <"$work/sweep.times")" 2044
span=$(awk 'NR == 1 {first = $1} {last = $1} END {printf "%.3f", last - first}' "$work/sweep.times")
echo "sweep of a /22: 2044 probes in $span s"
check "at most 4000 a second: 2043 gaps take at least 0.51 s (took $span s)" \
    test "$(echo "$span >= 0.51" | bc)" -eq 1
check "and the sweep is out within 2 s (took $span s)" test "$(echo "$span <= 2" | bc)" -eq 1
check "the sweep found the boxes" equals "$(device_ids "$work/sweep.json")" "box-far box-far2"

run_search no-route --probe 192.0.2.7 --probe 192.0.2.8
check "no route: the hint is probe-no-route" equals "$(hint_codes "$work/no-route.json")" \
    probe-no-route
check "it names the targets" equals "$(hint_field "$work/no-route.json" probe-no-route targets)" \
    "192.0.2.7, 192.0.2.8"
check "it gives the error" equals "$(hint_field "$work/no-route.json" probe-no-route error)" \
    "Network is unreachable"

run_search unanswered --probe 10.78.1.200 --probe "$box"
check "a target that answers: no probe hint for the one that did not" equals \
    "$(hint_codes "$work/unanswered.json")" ""
run_search unanswered --probe 10.78.1.200
check "nobody there: the hint is probe-unanswered" equals "$(hint_codes "$work/unanswered.json")" \
    "probe-unanswered"
check "it names the target" equals "$(hint_field "$work/unanswered.json" probe-unanswered targets)" \
    "10.78.1.200"

lab_exec "$lab" host "$search" --probe 10.0.0.0/8 >"$work/refused.out" 2>"$work/refused.err"
check "a range wider than /20 is refused with status 2" equals "$?" 2
check "in one line quoting the text" equals "$(cat "$work/refused.err")" \
    "nas-search: --probe 10.0.0.0/8: a range may hold at most 4096 addresses (/20)"
finish
