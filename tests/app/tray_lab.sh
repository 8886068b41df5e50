#!/usr/bin/env bash
# The program in the tray, in turn: "nasfinder --background" on a desktop of the test's own
# (scripts/desktop: Xvfb, trayer, a private session bus and a private system bus, with busfake's
# notification server and logind) against simulated boxes in a namespace lab.
# 1. At start the icon sits in trayer's panel and no window shows; the box marked in the book to
#    wake with the computer, asleep, gets its magic packet and, once it answers, one notification
#    that it is back. The menu, two boxes online and one remembered asleep, is saved as a picture
#    (nasfinder-tray.png in the build folder).
# 2. After the first 11 s a new box gives one notification.
# 3. A second nasfinder exits 0 within 2 s, and the first shows its window.
# 4. The new box says byebye, past the minute in which a box is told of once: one notification.
# 5. The marked box falls asleep without a word, still listed; logind's PrepareForSleep(false)
#    sends its packet again, and it is told back once it answers, not before.
# 6. SIGTERM: status 143, and the book holds the boxes heard.
# 7. Without a tray, --background says so and shows the window; closing it ends the program (1).
# Usage: tray_lab.sh NAS_SEARCH NAS_SIM NASFINDER BUSFAKE SCREENGRAB
pictures=$PWD
source "$(dirname "$0")/../e2e/e2e-common.sh"
# shellcheck source=../../scripts/desktop
source "$e2e_here/../../scripts/desktop"

[ $# -eq 5 ] || { echo "usage: $0 NAS_SEARCH NAS_SIM NASFINDER BUSFAKE SCREENGRAB" >&2; exit 2; }
nasfinder=$(realpath "$3")
busfake=$(realpath "$4")
screengrab=$(realpath "$5")
if ! reason=$(desktop_require 2>&1); then
    echo "SKIP: $reason"
    exit 77
fi
/usr/bin/python3 -c 'import Xlib' 2>/dev/null ||
    { echo "SKIP: python3-xlib is missing (scripts/install-deps)"; exit 77; }

trap 'exec 7>&- 8>&-; lab_destroy; desktop_stop; rm -rf "$work"' EXIT

# waitfor SECONDS COMMAND...: true once COMMAND is, polled every 0.1 s.
waitfor() {
    local end=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -lt "$end" ] || return 1
        sleep 0.1
    done
}
# The notifications recorded whose summary is $1.
told() { jq -r '.summary' "$work/notes.json" 2>/dev/null | grep -cxF -- "$1"; }
told_times() { [ "$(told "$1")" -ge "$2" ]; }
back="nas-marked is back online"
# The magic packets that the nas-sim logging to $1 heard for the marked box.
packets() { grep -c "magic packet for $mac" "$work/$1"; }
more_packets() { [ "$(packets "$1")" -gt "$2" ]; }
# The window's id, once it is mapped.
shown_window() { xdotool search --onlyvisible --name '^nasfinder$' 2>/dev/null | head -n 1; }
window_shown() { [ -n "$(shown_window)" ]; }
icon_embedded() { [ -n "$(desktop_tray_icon nasfinder)" ]; }
# A process that has ended (a zombie until waited for counts as ended).
ended() { [ ! -e "/proc/$1" ] || [ "$(awk '{ print $3 }' "/proc/$1/stat")" = Z ]; }
# status_of PID: its exit status (LAB_STATUS) once it ends, killed after 10 s.
status_of() {
    waitfor 10 ended "$1" || kill -KILL "$1"
    lab_wait "$1"
}
sleep_until() { [ "$1" -le "$SECONDS" ] || sleep $(($1 - SECONDS)); }

lab_create "$lab"
lab_add_lan "$lab" 1
lab_add_boxes "$lab" 1 1 4
marked=$(lab_box_address 1 1)
mac=$(ip -n "$lab-lan1" -j link show eth0 | jq -r '.[0].address')
# Remembered from an earlier day: the marked box, and one that nobody plays, which stays asleep.
mkdir -p -m 0700 "$XDG_STATE_HOME/nasfinder"
jq -n --arg ip "$marked" --arg mac "$mac" '{version: 1, boxes: [
    {id: "box-m", host: "nas-marked", ip: $ip, vendor: "KORVANT", product: "NS200",
     version: "2.1", interface: "lan1", mac: $mac, wakeWithComputer: true,
     firstSeen: "2026-12-01T09:00:00Z", lastSeen: "2026-12-07T09:00:00Z"},
    {id: "box-r", host: "nas-resting", ip: "10.1.1.9", vendor: "KORVANT", product: "NS200",
     version: "2.1", interface: "lan1", mac: "02:00:5e:10:01:09",
     firstSeen: "2026-12-01T09:00:00Z", lastSeen: "2026-12-07T09:00:00Z"}]}' \
    >"$XDG_STATE_HOME/nasfinder/known-boxes.json"
# Announcing every 2 s, so that the last time a box was heard is never older than that.
boxes=(--box "$marked,box-m,nas-marked,KORVANT,NS200,2.1"
    --box "$(lab_box_address 1 2),box-a,nas-alpha,KORVANT,NS200,2.1")
lab_start_sim "$lab" lan1 "$work/sim.log" "$sim" --alive-interval 2 --asleep=box-m \
    --boot-seconds 1 "${boxes[@]}"
players=$LAB_LAST_PID

desktop_x
desktop_tray
desktop_runtime
desktop_bus DBUS_SESSION_BUS_ADDRESS
desktop_bus DBUS_SYSTEM_BUS_ADDRESS
# busfake ends when its standard input closes: fds 7 and 8 hold them open.
mkfifo "$work/notes.in" "$work/login1.in"
"$busfake" notifications "$work/notes.json" <"$work/notes.in" >"$work/notes.out" 2>&1 &
LAB_PIDS+=($!)
exec 7>"$work/notes.in"
"$busfake" login1 <"$work/login1.in" >"$work/login1.out" 2>&1 &
LAB_PIDS+=($!)
exec 8>"$work/login1.in"
waitfor 10 grep -q ready "$work/notes.out" || fail "busfake notifications is not ready"
waitfor 10 grep -q ready "$work/login1.out" || fail "busfake login1 is not ready"
nasfinder_env=(env -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG=C.UTF-8 QT_QPA_PLATFORM=xcb
    XDG_CONFIG_HOME="$work/config" "$nasfinder")

# 1. Start.
lab_spawn "$lab" host "$work/tray.out" "$work/tray.err" "${nasfinder_env[@]}" --background
tray=$LAB_LAST_PID
check "the icon is embedded in trayer's panel" waitfor 20 icon_embedded
# The watch and its notifications start with the icon.
started=$SECONDS
check "no window is shown" test -z "$(shown_window)"
check "the marked box got its magic packet" waitfor 20 more_packets sim.log 0
check "the marked box is told back once it answers" waitfor 20 told_times "$back" 1

# The menu, with the asleep box's submenu, and the icon as a picture. The click is low on the
# icon, so that the menu leaves it in sight.
icon=$(desktop_tray_icon nasfinder)
eval "$(xdotool getwindowgeometry --shell "$icon")"
xdotool mousemove --sync $((X + WIDTH / 2)) $((Y + HEIGHT - 2)) click 3
# The popups: the menu and its submenus.
menus() { xdotool search --onlyvisible --classname nasfinder 2>/dev/null | grep -vx "$((icon))"; }
menus_open() { [ "$(menus | wc -l)" -ge "$1" ]; }
check "a right click opens the menu" waitfor 10 menus_open 1
xdotool key Down Down Down Right
check "the asleep box's submenu opens" waitfor 10 menus_open 2
left=1280 bottom=40
for window in $(menus); do
    eval "$(xdotool getwindowgeometry --shell "$window")"
    left=$((X < left ? X : left))
    bottom=$((Y + HEIGHT > bottom ? Y + HEIGHT : bottom))
done
left=$((left > 16 ? left - 16 : 0))
check "the menu is saved as a picture" lab_exec "$lab" host env QT_QPA_PLATFORM=xcb \
    "$screengrab" "$pictures/nasfinder-tray.png" "$left" 0 $((1280 - left)) $((bottom + 16))
xdotool key Escape Escape

# 2. A new box, once the boxes there at start have settled (SECONDS counts whole seconds).
sleep_until $((started + 13))
lab_start_sim "$lab" lan1 "$work/sim-new.log" "$sim" \
    --box "$(lab_box_address 1 4),box-n,nas-new,KORVANT,NS200,2.1"
newcomer=$LAB_LAST_PID
check "a new box is told" waitfor 20 told_times "New storage box: nas-new" 1
new_at=$SECONDS
check "with its address and product" equals "$(jq -r 'select(.summary | endswith("nas-new")) |
    .body' "$work/notes.json")" "Address $(lab_box_address 1 4), product NS200"

# 3. A second start.
second_started=$(date +%s.%N)
lab_exec "$lab" host "${nasfinder_env[@]}" >"$work/second.out" 2>"$work/second.err"
check "a second nasfinder exits 0" equals "$?" 0
took=$(echo "$(date +%s.%N) - $second_started" | bc)
check "within 2 s (took $took s)" test "$(echo "$took < 2" | bc)" = 1
check "the first shows its window" waitfor 10 window_shown

# 4. The new box goes.
sleep_until $((new_at + 62))
lab_stop "$newcomer"
check "the box that went is told" waitfor 20 told_times "nas-new went away" 1

# 5. Asleep again, silently, and a resume: more than a minute after it was told back.
lab_stop "$players" KILL
lab_start_sim "$lab" lan1 "$work/sim-resume.log" "$sim" --alive-interval 2 --asleep=box-m \
    --boot-seconds 8 "${boxes[@]}"
echo resume >&8
check "the resume signal sends the marked box's packet again" waitfor 10 \
    more_packets sim-resume.log 0
sleep 4
check "it is not told back while it boots" equals "$(told "$back")" 1
check "it is told back once it answers" waitfor 30 told_times "$back" 2

# 6. SIGTERM.
kill -TERM "$tray"
status_of "$tray"
check "SIGTERM ends it with 143" equals "$LAB_STATUS" 143
stopped_at=$(date +%s)
lab_exec "$lab" host "$search" --known --json >"$work/known.json"
check "the book holds the boxes heard" equals \
    "$(jq -r '.id' "$work/known.json" | sort | tr '\n' ' ')" "box-a box-m box-n box-r "
alpha_heard=$(date -d "$(jq -r 'select(.id == "box-a") | .lastSeen' "$work/known.json")" +%s)
check "as last heard, at the end" test "$alpha_heard" -ge $((stopped_at - 5))
# Nothing more: not the box there at start, nor a box twice within a minute.
check "nothing else was told" equals \
    "$(jq -r '.summary' "$work/notes.json" | LC_ALL=C sort | tr '\n' ';')" \
    "New storage box: nas-new;$back;$back;nas-new went away;"

# 7. No tray.
desktop_tray_stop
lab_spawn "$lab" host "$work/notray.out" "$work/notray.err" "${nasfinder_env[@]}" --background
tray=$LAB_LAST_PID
check "the window opens without a tray" waitfor 20 window_shown
check "--background says why" contains "$work/notray.err" "there is no system tray"
/usr/bin/python3 - "$(shown_window)" <<'END'
import sys
from Xlib import X, display, protocol
screen = display.Display()
window = screen.create_resource_object('window', int(sys.argv[1]))
protocols, delete = screen.intern_atom('WM_PROTOCOLS'), screen.intern_atom('WM_DELETE_WINDOW')
window.send_event(protocol.event.ClientMessage(window=window, client_type=protocols,
                                               data=(32, [delete, X.CurrentTime, 0, 0, 0])))
screen.flush()
END
status_of "$tray"
check "closing the window ends it with 1" equals "$LAB_STATUS" 1
finish
