#!/usr/bin/env bash
# The window end to end: started with LANG=de_DE.UTF-8, it shows German captions; three simulated
# boxes on a namespace LAN (scripts/lab) appear during the countdown, Refresh finds them again,
# and both buttons open the selected box. The lab is
# made inside a throw-away network namespace and removed on every way out. Without root or
# namespaces the test is skipped (77); it never runs on the host network.
# With "firewall" as a third argument, a firewall drops the answers while a box announces
# itself: the window tells so in its hint line, whose details it shows and saves as a picture.
# With "probe", the one box sits on a remote LAN behind a router, where neither multicast nor
# the broadcast reach: the window finds it through the target in its settings file.
# With "remembered", a remembered box sleeps: the window lists it below the box found and wakes
# it from its row's menu.
# Usage: window_lab.sh TST_WINDOWLAB NAS_SIM [firewall|probe|remembered]
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/lab
source "$here/../../scripts/lab"

[ $# -eq 2 ] || [ $# -eq 3 ] || { echo "usage: $0 TST_WINDOWLAB NAS_SIM [firewall|probe|remembered]" >&2; exit 2; }
windowtest=$(realpath "$1")
sim=$(realpath "$2")
situation=${3:-}
pictures=$PWD

if [ -z "${NASFINDER_WINDOW_LAB_SEALED:-}" ]; then
    if ! reason=$(lab_require 2>&1); then
        echo "SKIP: $reason (the window's end-to-end test never uses the host network)"
        exit 77
    fi
    NASFINDER_WINDOW_LAB_SEALED=1 exec unshare --net -- "$0" "$@"
fi

lab="nfapp$$"
work=$(mktemp -d "/tmp/$lab.XXXXXX")
trap 'lab_destroy; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
# The window's book of known boxes lives in the test's folder.
export XDG_STATE_HOME=$work/state

if [ "$situation" = firewall ]; then
    lab_create "$lab" && lab_add_lan "$lab" 1 && lab_add_boxes "$lab" 1 1 1 || exit 1
    lab_start_sim "$lab" lan1 "$work/sim.log" "$sim" --alive-interval 2 \
        --box "$(lab_box_address 1 1),box-1,nas-1,KORVANT,NS200,2.1" || exit 1
    # Answers come back as unicast; the group's announcements still pass.
    lab_exec "$lab" host iptables-legacy -A INPUT -p udp -m pkttype --pkt-type unicast -j DROP ||
        exit 1
    lab_exec "$lab" host env -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG=C.UTF-8 \
        QT_QPA_PLATFORM=offscreen NASFINDER_LAB_FIREWALL=1 \
        NASFINDER_SCREENSHOT="$pictures/nasfinder-hint.png" \
        "$windowtest" >"$work/window.txt" 2>&1
elif [ "$situation" = probe ]; then
    box=$(lab_box_address 78 1)
    lab_create "$lab" && lab_add_lan "$lab" 1 && lab_add_remote_lan "$lab" 1 78 &&
        lab_add_boxes "$lab" far78 1 1 || exit 1
    lab_start_sim "$lab" far78 "$work/sim.log" "$sim" \
        --box "$box,box-far,nas-far,KORVANT,NS200,2.1" || exit 1
    # As an administrator deploys it, in the user's settings.
    mkdir -p "$work/config/nasfinder"
    printf '[search]\ntargets=%s\n' "$box" >"$work/config/nasfinder/nasfinder.conf"
    lab_exec "$lab" host env -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG=C.UTF-8 \
        QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config" NASFINDER_LAB_PROBE="$box" \
        "$windowtest" >"$work/window.txt" 2>&1
elif [ "$situation" = remembered ]; then
    lab_create "$lab" && lab_add_lan "$lab" 1 && lab_add_boxes "$lab" 1 1 2 || exit 1
    sleeper=$(lab_box_address 1 2)
    mac=$(ip -n "$lab-lan1" -j link show eth0 | jq -r '.[0].address')
    # Remembered from an earlier day, with the MAC of the veth its address is on.
    mkdir -p -m 0700 "$XDG_STATE_HOME/nasfinder"
    jq -n --arg ip "$sleeper" --arg mac "$mac" '{version: 1, boxes: [{id: "box-s",
        host: "nas-sleepy", ip: $ip, vendor: "KORVANT", product: "NS200", version: "2.1",
        interface: "lan1", mac: $mac, firstSeen: "2026-12-01T09:00:00Z",
        lastSeen: "2026-12-07T09:00:00Z"}]}' >"$XDG_STATE_HOME/nasfinder/known-boxes.json"
    lab_start_sim "$lab" lan1 "$work/sim.log" "$sim" --asleep=box-s --boot-seconds 1 \
        --box "$(lab_box_address 1 1),box-1,nas-1,KORVANT,NS200,2.1" \
        --box "$sleeper,box-s,nas-sleepy,KORVANT,NS200,2.1" || exit 1
    lab_exec "$lab" host env -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG=C.UTF-8 \
        QT_QPA_PLATFORM=offscreen NASFINDER_LAB_SLEEPER="$sleeper" \
        "$windowtest" >"$work/window.txt" 2>&1
else
    lab_create "$lab" && lab_add_lan "$lab" 1 && lab_add_boxes "$lab" 1 1 3 || exit 1
    sim_args=()
    boxes=()
    for n in 1 2 3; do
        address=$(lab_box_address 1 "$n")
        sim_args+=(--box "$address,box-$n,nas-$n,KORVANT,NS200,2.1")
        boxes+=("$address")
    done
    lab_start_sim "$lab" lan1 "$work/sim.log" "$sim" "${sim_args[@]}" || exit 1

    # As a German desktop starts it: a region and an encoding in LANG, and no LANGUAGE list.
    lab_exec "$lab" host env -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG=de_DE.UTF-8 \
        QT_QPA_PLATFORM=offscreen NASFINDER_LAB_BOXES="${boxes[*]}" \
        "$windowtest" >"$work/window.txt" 2>&1
fi
status=$?
if [ "$status" -ne 0 ]; then
    echo "FAIL: the window test ended with $status"
    cat "$work/window.txt" "$work/sim.log"
    exit 1
fi
grep -E "^(PASS|SKIP|Totals)" "$work/window.txt"
