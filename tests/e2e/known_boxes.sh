#!/usr/bin/env bash
# The book of known boxes and waking, in turn: a box found is remembered with its veth's MAC;
# asleep, "nas-search --wake" by host name and by IP wakes it and exits 0 within 10 s; an
# unknown name exits 2 and sends nothing; --no-remember leaves the book untouched; --forget;
# a box last seen on the second subnet of an interface is woken at that subnet's broadcast;
# a packet that goes out of one interface of two is said so.
source "$(dirname "$0")/e2e-common.sh"

# e2e-common.sh points XDG_STATE_HOME into the case's folder.
book=$XDG_STATE_HOME/nasfinder/known-boxes.json
sleeper="$(lab_box_address 1 1),box-s,nas-sleepy,KORVANT,NS200,2.1"
awake="$(lab_box_address 1 2),box-w,nas-awake,KORVANT,NS200,2.1"

lab_create "$lab"
lab_add_lan "$lab" 1
lab_add_boxes "$lab" 1 1 2
mac=$(ip -n "$lab-lan1" -j link show eth0 | jq -r '.[0].address')
# Counts the magic packets leaving the host and reaching the boxes' LAN (iptables counts
# without changing anything).
lab_exec "$lab" host iptables-legacy -A OUTPUT -p udp --dport 9
lab_exec "$lab" lan1 iptables-legacy -A INPUT -p udp --dport 9
wake_packets() {
    lab_exec "$lab" "${1:-host}" iptables-legacy -L "${2:-OUTPUT}" -v -x -n |
        awk '$0 ~ /dpt:9/ { print $1 }'
}

# 1. Seen and remembered, with the MAC of the box's veth.
lab_start_sim "$lab" lan1 "$work/sim-awake.log" "$sim" --box "$sleeper" --box "$awake"
running=$LAB_LAST_PID
lab_exec "$lab" host "$search" --json --seconds 3 >"$work/search.json" 2>"$work/search.err"
check "the search exits 0" equals "$?" 0
lab_exec "$lab" host "$search" --known --json >"$work/known.json" 2>"$work/known.err"
check "--known exits 0" equals "$?" 0
check "both boxes are remembered" equals \
    "$(jq -r '.id' "$work/known.json" | sort | tr '\n' ' ')" "box-s box-w "
check "the box's MAC is its veth's" equals \
    "$(jq -r 'select(.id == "box-s") | .mac + " " + .interface + " " + .ip + " " + .host' \
        "$work/known.json")" "$mac lan1 10.1.1.1 nas-sleepy"
check "the book is the user's alone" equals "$(stat -c %a "$book")" 600
check "in a private folder" equals "$(stat -c %a "$(dirname "$book")")" 700
lab_stop "$running"

# 2. Asleep: woken by host name, then (asleep again) by IP, each within 10 s.
for target in nas-sleepy 10.1.1.1; do
    lab_start_sim "$lab" lan1 "$work/sim-$target.log" "$sim" --box "$sleeper" --box "$awake" \
        --asleep=box-s --boot-seconds 1
    running=$LAB_LAST_PID
    before=$(wake_packets)
    arrived=$(wake_packets lan1 INPUT)
    started=$(date +%s.%N)
    lab_exec "$lab" host "$search" --wake "$target" --json >"$work/wake-$target.json" \
        2>"$work/wake-$target.err"
    check "--wake $target exits 0" equals "$?" 0
    took=$(echo "$(date +%s.%N) - $started" | bc)
    check "--wake $target answered within 10 s (took $took s)" test "$(echo "$took < 10" | bc)" = 1
    check "--wake $target: wake, device, done" equals \
        "$(jq -r '.event' "$work/wake-$target.json" | tr '\n' ' ')" "wake device done "
    check "--wake $target sent to the LAN's broadcasts" equals \
        "$(jq -c 'select(.event == "wake") | [.mac, .interface, .addresses]' \
            "$work/wake-$target.json")" "[\"$mac\",\"lan1\",[\"10.1.255.255\",\"255.255.255.255\"]]"
    check "the woken box answered" equals \
        "$(jq -r 'select(.event == "device") | .id' "$work/wake-$target.json")" box-s
    # Three rounds to two addresses, again with every search until the box answers.
    check "at least three rounds to two addresses" test "$(($(wake_packets) - before))" -ge 6
    check "a whole round reached the box's LAN" test "$(($(wake_packets lan1 INPUT) - arrived))" -ge 6
    check "the box heard it" contains "$work/sim-$target.log" "magic packet for $mac"
    lab_stop "$running"
done

# 3. An unknown name: status 2 and not one packet.
# Boots for longer than the wait below.
lab_start_sim "$lab" lan1 "$work/sim-unknown.log" "$sim" --box "$sleeper" --asleep \
    --boot-seconds 30
running=$LAB_LAST_PID
before=$(wake_packets)
lab_exec "$lab" host "$search" --wake nas-nowhere --json >"$work/unknown.json" \
    2>"$work/unknown.err"
check "an unknown name exits 2" equals "$?" 2
check "nothing was sent" equals "$(wake_packets)" "$before"
check "nothing on standard output" equals "$(cat "$work/unknown.json")" ""
check "the reason is told" contains "$work/unknown.err" "neither a remembered box"
lab_exec "$lab" host "$search" --wake nas-sleepy --wait 2 >"$work/late.txt" 2>"$work/late.err"
check "a box that does not wake in time: 1" equals "$?" 1
check "with what to check" contains "$work/late.err" "wake-on-LAN"
lab_stop "$running"

# 4. --no-remember reads and writes nothing.
lab_start_sim "$lab" lan1 "$work/sim-last.log" "$sim" --box "$awake"
running=$LAB_LAST_PID
cp -p "$book" "$work/book-before.json"
lab_exec "$lab" host "$search" --no-remember --seconds 3 >/dev/null 2>"$work/nr.err"
check "--no-remember: the book is untouched" cmp "$book" "$work/book-before.json"
check "--no-remember: not even its time" equals "$(stat -c %Y "$book")" \
    "$(stat -c %Y "$work/book-before.json")"
XDG_STATE_HOME=$work/fresh lab_exec "$lab" host "$search" --no-remember --seconds 3 >/dev/null \
    2>>"$work/nr.err"
check "--no-remember makes no book" test ! -e "$work/fresh"

# 5. --forget one box, then an unknown one.
lab_exec "$lab" host "$search" --forget nas-awake 2>"$work/forget.err"
check "--forget exits 0" equals "$?" 0
check "the other box stays" equals "$(lab_exec "$lab" host "$search" --known --json |
    jq -r '.id' | tr '\n' ' ')" "box-s "
lab_exec "$lab" host "$search" --forget nas-awake 2>>"$work/forget.err"
check "--forget of a box not in the book exits 2" equals "$?" 2

# 6. A second subnet on the same LAN (10.5.0.0/24, after 10.1.0.0/16 on lan1) and a box on it,
# alone, so that the host learns its MAC from its own address; asleep, it is woken through the
# second subnet's broadcast (counted where it leaves and where it arrives).
lab_stop "$running"
lab_exec "$lab" host ip addr add 10.5.0.1/24 dev lan1
ip -n "$lab-lan1" addr add 10.5.0.7/24 dev eth0
lab_exec "$lab" host iptables-legacy -A OUTPUT -p udp --dport 9 -d 10.5.0.255
lab_exec "$lab" lan1 iptables-legacy -A INPUT -p udp --dport 9 -d 10.5.0.255
second() {
    lab_exec "$lab" "$1" iptables-legacy -L "$2" -v -x -n | awk '/10\.5\.0\.255/ { print $1 }'
}
other="10.5.0.7,box-o,nas-other,KORVANT,NS200,2.1"
lab_start_sim "$lab" lan1 "$work/sim-second.log" "$sim" --box "$other"
running=$LAB_LAST_PID
lab_exec "$lab" host "$search" --searches 3 --interval 1 --seconds 3 >/dev/null \
    2>"$work/second.err"
check "the box on the second subnet is remembered on lan1" equals \
    "$(lab_exec "$lab" host "$search" --known --json |
        jq -r 'select(.id == "box-o") | .interface + " " + .ip + " " + .mac')" "lan1 10.5.0.7 $mac"
lab_stop "$running"
lab_start_sim "$lab" lan1 "$work/sim-second-asleep.log" "$sim" --box "$other" --asleep \
    --boot-seconds 1
running=$LAB_LAST_PID
lab_exec "$lab" host "$search" --wake nas-other --json >"$work/wake-second.json" \
    2>"$work/wake-second.err"
check "--wake nas-other exits 0" equals "$?" 0
check "it went to the second subnet's broadcast" equals \
    "$(jq -c 'select(.event == "wake") | .addresses' "$work/wake-second.json")" \
    '["10.5.0.255","255.255.255.255"]'
check "three rounds left for 10.5.0.255" test "$(second host OUTPUT)" -ge 3
check "and reached the box's LAN" test "$(second lan1 INPUT)" -ge 1
lab_stop "$running"

# 7. A second LAN whose magic packets a firewall refuses: a MAC goes out of every interface,
# and the packet went out of one of the two.
lab_add_lan "$lab" 2
lab_exec "$lab" host iptables-legacy -A OUTPUT -o lan2 -p udp --dport 9 -j DROP
lab_exec "$lab" host "$search" --wake 02:00:5e:00:00:99 --wait 1 --json >"$work/partial.json" \
    2>"$work/partial.err"
check "a MAC that nobody answers for: 1" equals "$?" 1
check "it says on how many interfaces the packet went" contains "$work/partial.err" \
    "nas-search: magic packet sent on 1 of 2 interfaces"
check "and why not on the other" contains "$work/partial.err" \
    "nas-search: cannot wake: lan2: Operation not permitted"
check "the wake line lists where it went, lan1's two subnets" equals \
    "$(jq -c 'select(.event == "wake") | .addresses' "$work/partial.json")" \
    '["10.1.255.255","255.255.255.255","10.5.0.255","255.255.255.255"]'
finish
