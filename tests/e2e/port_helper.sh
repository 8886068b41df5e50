#!/usr/bin/env bash
# The port capability stays with the port helper. In one lab whose box answers only the
# broadcast search (a firewall drops SSDP), as an unprivileged user (nobody), in turn:
#   nas-search      finds the box: its broadcast worker listens on port 67 through the helper;
#   the window      finds it too, while a style plugin loaded into it from a folder of the
#                   user's (QT_PLUGIN_PATH, QT_STYLE_OVERRIDE) has no capability (CapEff 0)
#                   and cannot bind port 80.
# The programs themselves hold no capability.
# usage: port_helper.sh NAS_SEARCH NAS_SIM build|installed [NASFINDER STYLE_PLUGIN]
#   build      copies the programs and the helper beside NAS_SEARCH to a folder nobody can
#              reach and gives that copy the capability; the build tree's helper has none
#   installed  runs the programs where they are, with the helper the package installed
mode=${3:-}
source "$(dirname "$0")/e2e-common.sh"
window=${4:+$(realpath "$4")}
plugin=${5:+$(realpath "$5")}
case "$mode" in
build | installed) ;;
*)
    echo "usage: $0 NAS_SEARCH NAS_SIM build|installed [NASFINDER STYLE_PLUGIN]" >&2
    exit 2
    ;;
esac
for tool in setpriv setcap getcap iptables-legacy; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/install-deps)"; exit 1; }
done

# Folders nobody reaches: the programs' copies, the plugin, and a home with the book in it.
chmod 755 "$work"
home=$work/home
mkdir -p "$home" "$work/plugins/styles"
chown nobody:nogroup "$home"
if [ "$mode" = build ]; then
    helper=$(dirname "$search")/nasfinder-port-helper
    check "the build tree's helper has no capability" equals "$(getcap "$helper")" ""
    install -m 755 -D -t "$work/bin" "$search" "$helper"
    search=$work/bin/nas-search
    if [ -n "$window" ]; then
        install -m 755 "$window" "$work/bin/nasfinder"
        install -m 644 "$(dirname "$window")"/XML_*.xml "$work/bin/"
        window=$work/bin/nasfinder
    fi
    setcap cap_net_bind_service=+ep "$work/bin/nasfinder-port-helper"
fi
check "the programs hold no capability" equals "$(getcap "$search" $window)" ""

lab_create "$lab"
lab_add_lan "$lab" 1
lab_add_boxes "$lab" 1 1 1
lab_start_sim "$lab" lan1 "$work/sim.log" "$sim" \
    --box "$(lab_box_address 1 1),box-a,nas-a,KORVANT,NS200,2.1"
# SSDP both ways: answers come from port 1900, announcements and searches go to it.
lab_exec "$lab" host iptables-legacy -A INPUT -p udp -m multiport --ports 1900 -j DROP

as_nobody() {
    lab_exec "$lab" host setpriv --reuid=nobody --regid=nogroup --clear-groups \
        env -i LANG=C.UTF-8 HOME="$home" XDG_STATE_HOME="$home/state" "$@"
}

as_nobody "$search" --no-remember --json --seconds 3 >"$work/search.json" 2>"$work/search.txt"
check "nas-search exits 0" equals "$?" 0
check "its broadcast worker listens" equals \
    "$(jq -r 'select(.event == "worker" and .role == "broadcast") | .state' "$work/search.json")" \
    listening
check "it finds the box" equals "$(device_ids "$work/search.json")" box-a
check "by the broadcast search alone" equals "$(report_handles "$work/search.json" box-a)" 67
check "and gives no hint" equals \
    "$(jq -r 'select(.event == "hint") | .code' "$work/search.json")" ""

if [ -n "$window" ]; then
    install -m 644 "$plugin" "$work/plugins/styles/"
    lab_spawn "$lab" host "$work/window.txt" "$work/window.txt" setpriv --reuid=nobody \
        --regid=nogroup --clear-groups env -i LANG=C.UTF-8 HOME="$home" \
        XDG_STATE_HOME="$home/state" QT_QPA_PLATFORM=offscreen QT_PLUGIN_PATH="$work/plugins" \
        QT_STYLE_OVERRIDE=capprobe NASFINDER_CAPPROBE_REPORT="$home/capprobe.txt" "$window"
    window_pid=$LAB_LAST_PID
    # The window remembers the boxes it found when its search window of 11 s ends.
    book=$home/state/nasfinder/known-boxes.json
    for ((i = 0; i < 300; i++)); do
        [ -s "$book" ] && break
        sleep 0.1
    done
    lab_stop "$window_pid"
    check "the window finds the box" equals "$(jq -r '.boxes[].id' "$book")" box-a
    check "a plugin in the window has no capability" equals \
        "$(head -n 1 "$home/capprobe.txt")" $'CapEff:\t0000000000000000'
    check "and cannot bind port 80" equals "$(sed -n 2p "$home/capprobe.txt")" \
        "port 80: Permission denied"
fi
finish
