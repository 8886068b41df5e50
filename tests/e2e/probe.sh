#!/usr/bin/env bash
# Boxes beyond this network, in one lab walked in turn: the host's LAN 1 leads to a router
# (forwarding on) and behind it a remote LAN 10.78.0.0/16 with two boxes, 10.78.1.1 and
# 10.78.1.2. Multicast and the limited broadcast stop at the router, unicast probes cross it:
#   no --probe                  the remote boxes are not found
#   --probe ADDRESS/RANGE/NAME  they are, answering the unicast M-SEARCH and search request;
#                               a probe of one box's address is answered by that box alone
#   --watch --probe             every round probes
#   a /22 sweep                 paced: first to last probe on the router's wire
#   port 1900 held, 67 denied   the probes go from the LAN's worker (1530), which hears both
#                               answers; with all output dropped the hint probe-not-sent (the
#                               error), and without a per-address worker too (the ports' errors)
#   --watch --every 2, a /20    the sweeps resume, so the top of the range is probed too
#   --probe with no route       the hint probe-no-route
#   --probe an empty address    the hint probe-unanswered
# usage: probe.sh NAS_SEARCH NAS_SIM
source "$(dirname "$0")/e2e-common.sh"
for tool in tcpdump socat setpriv iptables-legacy; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/install-deps)"; exit 1; }
done

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
lab_spawn "$lab" lan1 /dev/null "$work/tcpdump.err" tcpdump -i eth0 -n -Z root \
    -w "$work/sweep.pcap" 'udp and dst net 10.78.0.0/16 and (dst port 1900 or dst port 68)'
capture=$LAB_LAST_PID
for ((i = 0; i < 100; i++)); do grep -q "listening on" "$work/tcpdump.err" && break; sleep 0.05; done
run_search sweep --probe 10.78.0.0/22
sleep 0.5
lab_stop "$capture" INT
tcpdump -r "$work/sweep.pcap" -n -tt 2>/dev/null | awk '{print $1}' >"$work/sweep.times"
check "the sweep sent 2044 probes" equals "$(wc -l <"$work/sweep.times")" 2044
span=$(awk 'NR == 1 {first = $1} {last = $1} END {printf "%.3f", last - first}' "$work/sweep.times")
echo "sweep of a /22: 2044 probes in $span s"
check "at most 4000 a second: 2043 gaps take at least 0.51 s (took $span s)" \
    test "$(echo "$span >= 0.51" | bc)" -eq 1
check "and the sweep is out within 2 s (took $span s)" test "$(echo "$span <= 2" | bc)" -eq 1
check "the sweep found the boxes" equals "$(device_ids "$work/sweep.json")" "box-far box-far2"

# Another program holds port 1900 and nas-search runs as nobody (port 67 denied): neither shared
# worker can send, the LAN's own worker (10.1.0.1:1530, the route's source) can.
lab_spawn "$lab" host /dev/null /dev/null socat -u UDP4-RECV:1900 /dev/null
holder=$LAB_LAST_PID
for ((i = 0; i < 100; i++)); do
    lab_exec "$lab" host ss -uln 'sport = :1900' | grep -q 1900 && break
    sleep 0.05
done
# A copy that nobody may run, wherever the build lies.
chmod 755 "$work"
install -m 755 "$search" "$work/nas-search"
# Beside it, the build's port helper, which has no capability: port 67 stays denied.
install -m 755 "$(dirname "$search")/nasfinder-port-helper" "$work/nasfinder-port-helper"
run_as_nobody() {
    local name=$1
    shift
    lab_exec "$lab" host setpriv --reuid=nobody --regid=nogroup --clear-groups \
        "$work/nas-search" --json --seconds 2 --no-remember "$@" >"$work/$name.json" 2>"$work/$name.err"
    check "$name: nas-search exits 0" equals "$?" 0
}
run_as_nobody held --probe "$box"
check "ports held: the probed box is found" equals "$(device_ids "$work/held.json")" box-far
check "both its answers came to the LAN's worker" equals "$(report_handles "$work/held.json" box-far)" 1530
# The 148-byte answer carries no version; the SSDP answer does.
check "the SSDP answer and the 148-byte one" equals "$(jq -r \
    'select(.event == "report" and .id == "box-far") | "[" + .osversion + "]"' "$work/held.json" |
    LC_ALL=C sort -u | tr -d '\n')" "[2.1][]"
check "no probe hint, only the ports'" equals "$(hint_codes "$work/held.json")" \
    "broadcast-port-denied port-in-use"

lab_exec "$lab" host iptables-legacy -A OUTPUT -j DROP
run_as_nobody firewalled --probe "$box"
lab_exec "$lab" host iptables-legacy -D OUTPUT -j DROP
check "all output dropped: the hint probe-not-sent" equals "$(hint_codes "$work/firewalled.json")" \
    "broadcast-port-denied port-in-use send-failed probe-not-sent"
check "it names the target" equals "$(hint_field "$work/firewalled.json" probe-not-sent targets)" "$box"
check "it gives the error" equals "$(hint_field "$work/firewalled.json" probe-not-sent error)" \
    "Operation not permitted"

run_as_nobody no-worker --interface 'none*' --probe "$box"
check "no worker can send: the hint probe-not-sent" equals "$(hint_codes "$work/no-worker.json")" \
    "broadcast-port-denied port-in-use probe-not-sent"
check "it gives the ports' errors" equals "$(hint_field "$work/no-worker.json" probe-not-sent error)" \
    "port 67: Permission denied; port 1900: Address already in use"
lab_stop "$holder"

# A /20 sweep (8188 datagrams, about 2 s) under a watch that searches every 2 s: each search
# resumes the sweep, so the top of the range is probed too. The router counts the probes it is
# to forward, and drops those to the addresses where no box is (no neighbour look-ups).
router() { lab_exec "$lab" lan1 iptables-legacy "$@"; }
router -A FORWARD -d 10.78.1.0/30 -j ACCEPT
router -A FORWARD -d 10.78.15.192/26 -p udp -j DROP
router -A FORWARD -d 10.78.0.0/24 -p udp -j DROP
router -A FORWARD -d 10.78.0.0/20 -p udp -j DROP
lab_exec "$lab" host timeout -s TERM 7 "$search" --watch --every 2 --json --probe 10.78.0.0/20 \
    >"$work/watch20.json" 2>"$work/watch20.err"
forwarded() { router -L FORWARD -v -x -n | awk -v net="$1" '$9 == net { print $1 }'; }
top=$(forwarded 10.78.15.192/26)
echo "watch of a /20 for 7 s: $top probes to 10.78.15.192/26, $(forwarded 10.78.0.0/24) to 10.78.0.0/24"
check "the top 63 addresses of the /20 got both probes at least once (got $top)" test "$top" -ge 126
check "and the watch found the boxes" equals \
    "$(jq -r 'select(.event == "appeared") | .id' "$work/watch20.json" | sort | tr '\n' ' ')" \
    "box-far box-far2 "
router -F FORWARD

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
