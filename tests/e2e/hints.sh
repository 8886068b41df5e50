#!/usr/bin/env bash
# Why a search finds nothing, one situation per run, each in a lab of its own:
#   healthy          a box answers: no hint at all
#   unprivileged     nas-search as nobody, its port helper without the capability:
#                    broadcast-port-denied naming the helper, the box still found by SSDP
#   port_in_use      socat holds 1900: port-in-use naming it, the box still found
#   answers_blocked  a firewall drops unicast UDP, the box announces: answers-blocked
#   loopback_only    no network but loopback: no-ipv4-interface and nothing else
# usage: hints.sh NAS_SEARCH NAS_SIM CASE
case_name=${3:-}
source "$(dirname "$0")/e2e-common.sh"

hint_codes() {
    jq -r 'select(.event == "hint") | .code' "$1" | tr '\n' ' ' | sed 's/ $//'
}
hint_field() {
    jq -r --arg code "$2" --arg field "$3" 'select(.event == "hint" and .code == $code) | .[$field]' "$1"
}

lab_create "$lab"
if [ "$case_name" != loopback_only ]; then
    lab_add_lan "$lab" 1
    lab_add_boxes "$lab" 1 1 1
    lab_start_sim "$lab" lan1 "$work/sim.log" "$sim" --alive-interval 1 \
        --box "$(lab_box_address 1 1),box-a,nas-a,KORVANT,NS200,2.1"
fi

run_search() {
    lab_exec "$lab" host "$@" --json --seconds 3 >"$work/out.json" 2>"$work/err.txt"
    check "nas-search exits 0" equals "$?" 0
}

case "$case_name" in
healthy)
    run_search "$search"
    check "the box is found" equals "$(device_ids "$work/out.json")" "box-a"
    check "a healthy search gives no hint" equals "$(hint_codes "$work/out.json")" ""
    check "every worker listens" equals \
        "$(jq -r 'select(.event == "worker") | .state' "$work/out.json" | sort -u)" "listening"
    ;;
unprivileged)
    command -v setpriv >/dev/null || { echo "FAIL: setpriv is missing (util-linux)"; exit 1; }
    # A copy that nobody may run, wherever the build lies, with the build's helper beside it.
    chmod 755 "$work"
    install -m 755 "$search" "$work/nas-search"
    install -m 755 "$(dirname "$search")/nasfinder-port-helper" "$work/nasfinder-port-helper"
    run_search setpriv --reuid=nobody --regid=nogroup --clear-groups "$work/nas-search"
    check "the broadcast worker failed for lack of privilege" equals \
        "$(jq -r 'select(.event == "worker" and .role == "broadcast") | .state + " " + .error' \
            "$work/out.json")" "failed Permission denied"
    check "the only hint is broadcast-port-denied" equals "$(hint_codes "$work/out.json")" \
        "broadcast-port-denied"
    check "the hint gives the command for the helper beside it" equals \
        "$(hint_field "$work/out.json" broadcast-port-denied command)" \
        "sudo setcap cap_net_bind_service=+ep '$work/nasfinder-port-helper'"
    check "the box is still found by SSDP" equals "$(device_ids "$work/out.json")" "box-a"
    ;;
port_in_use)
    command -v socat >/dev/null || { echo "FAIL: socat is missing (scripts/install-deps)"; exit 1; }
    lab_spawn "$lab" host /dev/null /dev/null socat -u UDP4-RECV:1900 /dev/null
    for ((i = 0; i < 100; i++)); do
        lab_exec "$lab" host ss -uln 'sport = :1900' | grep -q 1900 && break
        sleep 0.05
    done
    run_search "$search"
    check "the hint is port-in-use" equals "$(hint_codes "$work/out.json")" "port-in-use"
    check "it names the port" equals "$(hint_field "$work/out.json" port-in-use port)" 1900
    check "it names the program" equals "$(hint_field "$work/out.json" port-in-use program)" socat
    check "it names the process" equals "$(hint_field "$work/out.json" port-in-use pid)" \
        "$(lab_exec "$lab" host ss -ulpn 'sport = :1900' | grep -o 'pid=[0-9]*' | head -n 1 | cut -d= -f2)"
    check "the box is still found by the interface's worker" equals \
        "$(device_ids "$work/out.json")" "box-a"
    ;;
answers_blocked)
    command -v iptables-legacy >/dev/null || { echo "FAIL: iptables is missing (scripts/install-deps)"; exit 1; }
    # Answers come back as unicast; the group's announcements still pass.
    lab_exec "$lab" host iptables-legacy -A INPUT -p udp -m pkttype --pkt-type unicast -j DROP
    run_search "$search"
    check "the hint is answers-blocked" equals "$(hint_codes "$work/out.json")" "answers-blocked"
    check "it names the ports to open" equals \
        "$(hint_field "$work/out.json" answers-blocked ports)" "67, 1900, 1530"
    check "the box itself was heard, by its announcements" equals \
        "$(jq -r 'select(.event == "report") | .type' "$work/out.json" | sort -u)" 2
    ;;
loopback_only)
    run_search "$search"
    check "the only hint is no-ipv4-interface" equals "$(hint_codes "$work/out.json")" \
        "no-ipv4-interface"
    check "nothing is found" equals "$(tail -n 1 "$work/out.json")" '{"event":"done","devices":0}'
    ;;
*)
    echo "usage: $0 NAS_SEARCH NAS_SIM healthy|unprivileged|port_in_use|answers_blocked|loopback_only" >&2
    exit 2
    ;;
esac
finish
