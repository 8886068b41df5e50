#!/usr/bin/env bash
# The book of known boxes on a hostile filesystem, one situation after another, each with a
# state folder of its own: a symbolic link at the book, at its lock and at the temporary name
# it was once written through; a folder others may write, and one of another user; a FIFO, an
# unreadable book, a book of a newer version; two set-asides in one second; an id that is not
# UTF-8 seen three times; a box whose LOCATION names another host; a flood of 1100 ids. The
# search always runs; what cannot be used is told and left as it is.
source "$(dirname "$0")/e2e-common.sh"

lab_create "$lab"
lab_add_lan "$lab" 1
lab_add_boxes "$lab" 1 1 2
box="$(lab_box_address 1 1),box-a,nas-a,KORVANT,NS200,2.1"
mac=$(ip -n "$lab-lan1" -j link show eth0 | jq -r '.[0].address')
lab_start_sim "$lab" lan1 "$work/sim.log" "$sim" --box "$box"
running=$LAB_LAST_PID

# use NAME: the book in a state folder of its own, made 0700 as the program makes it.
use() {
    export XDG_STATE_HOME=$work/$1
    folder=$XDG_STATE_HOME/nasfinder
    book=$folder/known-boxes.json
    mkdir -p -m 700 "$XDG_STATE_HOME" "$folder"
}

# remembered: a book with one box seen now, and a copy to compare it with.
remembered() {
    printf '{"version":1,"boxes":[{"id":"box-r","host":"nas-r","ip":"10.1.9.9","lastSeen":"%s"}]}\n' \
        "$(date -u +%FT%TZ)" >"$book"
    chmod 600 "$book"
    cp -p "$book" "$work/before.json"
}

# listing: every file of the folder with its kind, mode, size and time.
listing() {
    find "$folder" -mindepth 1 -printf '%f %y %m %s %T@\n' | sort
}

# run NAME COMMAND...: in the lab's host, output in NAME.out and NAME.err, the status in $status.
run() {
    local name=$1
    shift
    lab_exec "$lab" host "$@" >"$work/$name.out" 2>"$work/$name.err"
    status=$?
}

# searched NAME WHAT: the search of run NAME (--json) exited 0 and found box-a.
searched() {
    check "$2: the search runs and finds the box" equals \
        "$status $(device_ids "$work/$1.out")" "0 box-a"
}

set_asides() {
    find "$folder" -name 'known-boxes.json.bad-*' | wc -l
}

echo victim >"$work/victim"
chmod 644 "$work/victim"
victim_intact() {
    check "$1: the file the link points to is untouched" equals \
        "$(cat "$work/victim") $(stat -c %a "$work/victim")" "victim 644"
}

# 1. A symbolic link at the book.
use link-book
ln -s "$work/victim" "$book"
run 1-search "$search" --json --seconds 3
searched 1-search "1. link at the book"
check "1. it is told" contains "$work/1-search.err" "is a symbolic link, which is not followed"
run 1-forget "$search" --forget all
check "1. --forget cannot use it" equals "$status" 1
victim_intact 1
check "1. the link stays" test -L "$book"

# 2. A symbolic link at the lock.
use link-lock
remembered
ln -s "$work/victim" "$book.lock"
run 2-forget "$search" --forget all
check "2. link at the lock: --forget cannot use the book" equals "$status" 1
check "2. it is told" contains "$work/2-forget.err" "known-boxes.json.lock is a symbolic link"
check "2. the book is untouched" cmp "$book" "$work/before.json"
victim_intact 2

# 3. A symbolic link at the temporary name the book was once written through.
use link-temporary
remembered
ln -s "$work/victim" "$book.tmp"
run 3-forget "$search" --forget all
check "3. link at the temporary name: --forget writes the book" equals \
    "$status $(jq '.boxes | length' "$book") $(stat -c %a "$book")" "0 0 600"
victim_intact 3
check "3. the link stays" test -L "$book.tmp"
check "3. no temporary file is left" equals "$(find "$folder" -name '*.tmp-*' | wc -l)" 0

# 4. A folder others may write in, then 5. one of another user: neither read nor written.
use open-folder
remembered
chmod 777 "$folder"
before=$(listing)
run 4-search "$search" --json --seconds 3
searched 4-search "4. folder 0777"
check "4. it is told" contains "$work/4-search.err" "may be written by others than its owner"
check "4. nothing in the folder changed" equals "$(listing)" "$before"

use other-user
remembered
chown nobody "$folder"
before=$(listing)
run 5-search "$search" --json --seconds 3
searched 5-search "5. folder of another user"
check "5. it is told" contains "$work/5-search.err" "belongs to another user"
check "5. nothing in the folder changed" equals "$(listing)" "$before"

# 6. A FIFO at the book: never waited on (stopped by KILL, as a search keeps SIGTERM blocked).
use fifo
mkfifo -m 600 "$book"
run 6-known timeout -s KILL 10 "$search" --known
check "6. FIFO: --known ends at once with 1" equals "$status" 1
check "6. it is told" contains "$work/6-known.err" "is not a regular file"
run 6-search timeout -s KILL 10 "$search" --json --seconds 3
searched 6-search "6. FIFO"
check "6. the FIFO stays, not set aside" equals "$(stat -c %F "$book") $(set_asides)" "fifo 0"

# 7. A book its owner cannot read: nas-search as nobody, whose folder it is.
chmod 755 "$work"
install -m 755 "$search" "$work/nas-search"
as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups "$work/nas-search")
use unreadable
remembered
chmod 000 "$book"
chown -R nobody:nogroup "$XDG_STATE_HOME"
run 7-known "${as_nobody[@]}" --known
check "7. unreadable: --known exits 1" equals "$status" 1
check "7. it is told" contains "$work/7-known.err" "cannot be opened: Permission denied"
run 7-search "${as_nobody[@]}" --json --seconds 3
searched 7-search "7. unreadable"
check "7. the book is untouched, not set aside" equals \
    "$(cmp "$book" "$work/before.json" && echo same) $(stat -c %a "$book") $(set_asides)" \
    "same 0 0"

# 8. A book of a newer version.
use newer
printf '{"version":2,"boxes":[],"shelves":[]}\n' >"$book"
cp -p "$book" "$work/before.json"
run 8-search "$search" --json --seconds 3
searched 8-search "8. newer version"
check "8. it is told" contains "$work/8-search.err" "of a version this program does not know"
run 8-forget "$search" --forget all
check "8. --forget cannot use it" equals "$status" 1
check "8. the book is untouched, not set aside" equals \
    "$(cmp "$book" "$work/before.json" && echo same) $(set_asides)" "same 0"

# 9. Two books that are no books set aside in one second: both kept.
use twice
# From the start of a second, so that both fall in it.
sleep "$(echo "1 - 0.$(date +%N)" | bc)"
echo "not a book 1" >"$book"
run 9-first "$search" --forget all
echo "not a book 2" >"$book"
run 9-second "$search" --forget all
check "9. both set aside" equals "$(cat "$folder"/known-boxes.json.bad-* | sort | tr '\n' ,)" \
    "not a book 1,not a book 2,"
check "9. the second under a counted name" equals \
    "$(find "$folder" -name 'known-boxes.json.bad-*Z-2' | wc -l)" 1
check "9. each is told" equals "$(cat "$work/9-first.err" "$work/9-second.err" |
    grep -c 'moved to .*known-boxes.json.bad-')" 2
lab_stop "$running"

# 10. An id that is not UTF-8, seen three times: one entry.
use raw-id
lab_start_sim "$lab" lan1 "$work/sim-raw.log" "$sim" \
    --box "$(lab_box_address 1 2),box-"$'\xff\xfe'",nas-raw,KORVANT,NS200,2.1"
running=$LAB_LAST_PID
for round in 1 2 3; do
    run "10-$round" "$search" --seconds 3
    check "10. search $round exits 0" equals "$status" 0
done
check "10. one entry, its id kept as its bytes" equals \
    "$(jq -c '[.boxes[] | [.idHex, .host]]' "$book")" '[["626f782dfffe","nas-raw"]]'
lab_stop "$running"

# 11. A box whose LOCATION names another host of LAN 1, which the host knows by its own MAC:
# seen first as it is, then naming that host; then naming it in a book of its own.
use location
lab_start_sim "$lab" lan1 "$work/sim-own.log" "$sim" --box "$box"
running=$LAB_LAST_PID
# The host learns the box's MAC as it would from any exchange.
lab_exec "$lab" host ping -c 1 -W 1 "$(lab_box_address 1 1)" >/dev/null
run 11-own "$search" --seconds 3
lab_stop "$running"
check "11. seen as it is: its veth's MAC" equals \
    "$(jq -r '.boxes[] | select(.id == "box-a") | .mac' "$book")" "$mac"
ip -n "$lab-host" neigh replace 10.1.0.200 lladdr 02:00:00:00:be:ef dev lan1 nud permanent
# Only the SSDP answers, which carry LOCATION, get through.
lab_exec "$lab" lan1 iptables-legacy -A INPUT -p udp --dport 68 -j DROP
lab_start_sim "$lab" lan1 "$work/sim-other.log" "$sim" --box "$box" --location 10.1.0.200
running=$LAB_LAST_PID
run 11-other "$search" --json --seconds 3
check "11. the box names the other host" equals \
    "$(jq -r 'select(.event == "device") | .ip' "$work/11-other.out")" 10.1.0.200
check "11. the earlier MAC and interface are kept" equals \
    "$(jq -r '.boxes[] | select(.id == "box-a") | [.ip, .mac, .interface] | join(" ")' "$book")" \
    "10.1.0.200 $mac lan1"
use location-fresh
run 11-fresh "$search" --seconds 3
check "11. in a book of its own: no MAC, no interface" equals \
    "$(jq -r '.boxes[] | select(.id == "box-a") | [.ip, .mac, .interface] | join(",")' "$book")" \
    "10.1.0.200,,"
lab_stop "$running"

# 12. A flood of 1100 new ids: the box remembered stays, the rest of the flood is told once.
use flood
remembered
lab_add_lan "$lab" 2
lab_add_boxes "$lab" 2 1 1100
for ((n = 1; n <= 1100; n++)); do
    echo "$(lab_box_address 2 "$n") flood-$n nas-f$n KORVANT NS200 2.1"
done >"$work/flood.txt"
lab_start_sim "$lab" lan2 "$work/sim-flood.log" "$sim" --config "$work/flood.txt" --quiet \
    --alive-interval 0 --answer-spread 1000
running=$LAB_LAST_PID
run 12-search "$search" --seconds 5
check "12. the search exits 0" equals "$status" 0
check "12. the book is full" equals "$(jq '.boxes | length' "$book")" 1000
check "12. the box remembered stays" equals \
    "$(jq -r '.boxes[] | select(.id == "box-r") | .host' "$book")" nas-r
check "12. told once" equals "$(grep -c 'could not be remembered' "$work/12-search.err")" 1
lab_stop "$running"

finish
