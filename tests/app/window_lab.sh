#!/usr/bin/env bash
# The window end to end: started with LANG=de_DE.UTF-8, it shows German captions; three simulated
# boxes on a namespace LAN (scripts/lab) appear during the countdown, Refresh finds them again,
# and both buttons open the selected box. The lab is made in namespaces of its own (lab_seal)
# and removed on every way out. Without root or namespaces the test is skipped (77); it never
# runs on the host network.
# With "firewall" as a third argument, a firewall drops the answers while a box announces
# itself: the window tells so in its hint line, whose details it shows and saves as a picture;
# under Xvfb, a screen reader hears the line's words (scripts/desktop).
# With "probe", the one box sits on a remote LAN behind a router, where neither multicast nor
# the broadcast reach: the window finds it through the target in its settings file.
# With "remembered", a remembered box sleeps: the window lists it below the box found and wakes
# it from its row's menu, opened by Shift+F10 pressed on the X server of a desktop of its own.
# With "busy", busy processes load the CPU while the window starts without a network, gets the
# boxes' LAN and searches three times: no hint that a box contradicts shows beside a box found.
# With "resolver", the window keeps a host name as a target and the name server never answers:
# the window paints and answers a key within 1 s, and Other networks shows the name being
# looked up.
# With "interfaces", a remembered box sleeps on lan1 of three LANs, and the window leaves lan1
# out: its wake goes out of lan2 and not lan1, and the line says that lan3 refused it.
# Usage: window_lab.sh TST_WINDOWLAB NAS_SIM [firewall|probe|remembered|busy|resolver|interfaces]
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/lab
source "$here/../../scripts/lab"
# shellcheck source=../../scripts/desktop
source "$here/../../scripts/desktop"

[ $# -eq 2 ] || [ $# -eq 3 ] || {
    echo "usage: $0 TST_WINDOWLAB NAS_SIM [firewall|probe|remembered|busy|resolver|interfaces]" >&2
    exit 2
}
windowtest=$(realpath "$1")
sim=$(realpath "$2")
situation=${3:-}
pictures=$PWD

if [ -z "${NASFINDER_LAB_SEALED:-}" ]; then
    if ! reason=$(lab_require 2>&1); then
        echo "SKIP: $reason (the window's end-to-end test never uses the host network)"
        exit 77
    fi
    needs=()
    case "$situation" in
    firewall) needs=(desktop_require desktop_screen_reader_require) ;;
    remembered) needs=(desktop_require) ;;
    esac
    for need in "${needs[@]}"; do
        reason=$("$need" 2>&1) || { echo "SKIP: $reason"; exit 77; }
    done
    lab_seal "$0" "$@"
fi

lab="nfapp"
work=$(mktemp -d "/tmp/$lab.XXXXXX")
# What the script starts in the background itself, but for the lab's and the desktop's.
started=()
trap 'for pid in "${started[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${started[@]}"; do wait "$pid" 2>/dev/null; done
    lab_destroy; desktop_stop; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
# The window's book of known boxes lives in the test's folder.
export XDG_STATE_HOME=$work/state
# No display and no bus of the user's: those the situation needs are the test's own (desktop).
unset DISPLAY
export DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/nasfinder-no-bus
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/nasfinder-no-bus

# window VARIABLE=VALUE...: the window test in the lab's host, in English on Qt's offscreen
# platform unless the variables say otherwise; its output in window.txt.
window() {
    lab_exec "$lab" host env -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG=C.UTF-8 \
        QT_QPA_PLATFORM=offscreen "$@" "$windowtest" >"$work/window.txt" 2>&1
}

# desktop: an X server, a runtime folder and private buses of the test's own, whose sockets are
# files that the lab's namespaces reach.
desktop() {
    desktop_runtime && desktop_x && desktop_bus DBUS_SESSION_BUS_ADDRESS &&
        desktop_bus DBUS_SYSTEM_BUS_ADDRESS
}

# remember_sleeper IP INTERFACE: the book remembers nas-sleepy (box-s) at IP from an earlier day,
# heard on INTERFACE, with the MAC of lan1's veth, where its address is.
remember_sleeper() {
    local mac
    mac=$(ip -n "$lab-lan1" -j link show eth0 | jq -r '.[0].address')
    mkdir -p -m 0700 "$XDG_STATE_HOME/nasfinder"
    jq -n --arg ip "$1" --arg interface "$2" --arg mac "$mac" '{version: 1, boxes: [{id: "box-s",
        host: "nas-sleepy", ip: $ip, vendor: "KORVANT", product: "NS200", version: "2.1",
        interface: $interface, mac: $mac, firstSeen: "2026-12-01T09:00:00Z",
        lastSeen: "2026-12-07T09:00:00Z"}]}' >"$XDG_STATE_HOME/nasfinder/known-boxes.json"
    echo "$mac"
}

fail() {
    echo "FAIL: $*"
    cat "$work/window.txt" "$work"/*.log 2>/dev/null
    exit 1
}

if [ "$situation" = firewall ]; then
    lab_create "$lab" && lab_add_lan "$lab" 1 && lab_add_boxes "$lab" 1 1 1 && desktop || exit 1
    lab_start_sim "$lab" lan1 "$work/sim.log" "$sim" --alive-interval 2 \
        --box "$(lab_box_address 1 1),box-1,nas-1,KORVANT,NS200,2.1" || exit 1
    # Answers come back as unicast; the group's announcements still pass.
    lab_exec "$lab" host iptables-legacy -A INPUT -p udp -m pkttype --pkt-type unicast -j DROP ||
        exit 1
    window QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 NASFINDER_LAB_FIREWALL=1 \
        NASFINDER_LAB_SCREEN_READER="$here/../support/atspi-label-names.py" \
        NASFINDER_SCREENSHOT="$pictures/nasfinder-hint.png"
elif [ "$situation" = probe ]; then
    box=$(lab_box_address 78 1)
    lab_create "$lab" && lab_add_lan "$lab" 1 && lab_add_remote_lan "$lab" 1 78 &&
        lab_add_boxes "$lab" far78 1 1 || exit 1
    lab_start_sim "$lab" far78 "$work/sim.log" "$sim" \
        --box "$box,box-far,nas-far,KORVANT,NS200,2.1" || exit 1
    # As an administrator deploys it, in the user's settings.
    mkdir -p "$work/config/nasfinder"
    printf '[search]\ntargets=%s\n' "$box" >"$work/config/nasfinder/nasfinder.conf"
    window XDG_CONFIG_HOME="$work/config" NASFINDER_LAB_PROBE="$box"
elif [ "$situation" = remembered ]; then
    lab_create "$lab" && lab_add_lan "$lab" 1 && lab_add_boxes "$lab" 1 1 2 && desktop || exit 1
    sleeper=$(lab_box_address 1 2)
    mac=$(remember_sleeper "$sleeper" lan1)
    lab_start_sim "$lab" lan1 "$work/sim.log" "$sim" --asleep=box-s --boot-seconds 1 \
        --box "$(lab_box_address 1 1),box-1,nas-1,KORVANT,NS200,2.1" \
        --box "$sleeper,box-s,nas-sleepy,KORVANT,NS200,2.1" || exit 1
    window QT_QPA_PLATFORM=xcb NASFINDER_LAB_SLEEPER="$sleeper"
elif [ "$situation" = busy ]; then
    # The boxes wait on a LAN that the host gets once the window has said it has no network.
    lab_create "$lab" && lab_prepare_lan "$lab" 1 && lab_add_boxes "$lab" 1 1 3 || exit 1
    sim_args=()
    for n in 1 2 3; do
        sim_args+=(--box "$(lab_box_address 1 "$n"),box-$n,nas-$n,KORVANT,NS200,2.1")
    done
    lab_start_sim "$lab" lan1 "$work/sim.log" "$sim" --alive-interval 1 --answer-spread 4000 \
        "${sim_args[@]}" || exit 1
    # Two busy processes a core, at the window's own priority.
    for ((n = 0; n < 2 * $(nproc); n++)); do
        (while :; do :; done) &
        started+=($!)
    done
    ip netns exec "$lab-host" env -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG=C.UTF-8 \
        QT_QPA_PLATFORM=offscreen NASFINDER_LAB_BUSY_READY="$work/ready" \
        "$windowtest" >"$work/window.txt" 2>&1 &
    shown=$!
    started+=("$shown")
    until [ -e "$work/ready" ] || ! kill -0 "$shown" 2>/dev/null; do sleep 0.05; done
    [ ! -e "$work/ready" ] || lab_connect_lan "$lab" 1 || exit 1
    wait "$shown"
elif [ "$situation" = resolver ]; then
    name=nas.office.example
    lab_create "$lab" && lab_add_lan "$lab" 1 && lab_unanswered_resolver "$lab" || exit 1
    timeout 2 ip netns exec "$lab-host" getent ahostsv4 "$name" >/dev/null
    [ $? -eq 124 ] || fail "the lab's name server answered for $name"
    mkdir -p "$work/config/nasfinder"
    printf '[search]\ntargets=%s\n' "$name" >"$work/config/nasfinder/nasfinder.conf"
    window XDG_CONFIG_HOME="$work/config" NASFINDER_LAB_UNANSWERED_NAME="$name"
elif [ "$situation" = interfaces ]; then
    lab_create "$lab" && lab_add_lan "$lab" 1 && lab_add_lan "$lab" 2 && lab_add_lan "$lab" 3 ||
        exit 1
    remember_sleeper "$(lab_box_address 1 1)" lan1 >/dev/null
    # Counts the magic packets leaving by lan1 and lan2; lan3 refuses them.
    lab_exec "$lab" host iptables-legacy -A OUTPUT -o lan1 -p udp --dport 9 &&
        lab_exec "$lab" host iptables-legacy -A OUTPUT -o lan2 -p udp --dport 9 &&
        lab_exec "$lab" host iptables-legacy -A OUTPUT -o lan3 -p udp --dport 9 -j DROP || exit 1
    window NASFINDER_LAB_EXCLUDED=lan1
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
    window LANG=de_DE.UTF-8 NASFINDER_LAB_BOXES="${boxes[*]}"
fi
status=$?
[ "$status" -eq 0 ] || fail "the window test ended with $status"
if [ "$situation" = remembered ]; then
    grep -q "magic packet for $mac" "$work/sim.log" || fail "the box heard no magic packet"
elif [ "$situation" = interfaces ]; then
    out() {
        lab_exec "$lab" host iptables-legacy -L OUTPUT -v -x -n |
            awk -v lan=" $1 " '/dpt:9/ && index($0, lan) { print $1 }'
    }
    [ "$(out lan1)" = 0 ] || fail "$(out lan1) magic packets left by lan1, which is left out"
    [ "$(out lan2)" -ge 6 ] || fail "only $(out lan2) magic packets left by lan2"
fi
grep -E "^(PASS|SKIP|QINFO|Totals)" "$work/window.txt"
