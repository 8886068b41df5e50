#!/usr/bin/env bash
# Runs the window benchmark on an X server (Xvfb) inside a network namespace of its own: the
# window starts the search, whose broadcasts and multicasts must stay on this machine. A mount
# namespace gives it a resolv.conf of its own, whose name server never answers (its queries are
# dropped), for the starts with a host name kept as a search target.
# Usage: bench/app/run-app-bench.sh NASFINDER_APP_BENCH [--runs N] [--idle-seconds S]
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 NASFINDER_APP_BENCH [ARGS...]" >&2; exit 2; }
if [ "$(id -u)" -ne 0 ] || ! unshare --net --mount true 2>/dev/null; then
    echo "app bench: skipped, a network namespace needs root (the window never searches the real network)" >&2
    exit 0
fi
command -v Xvfb >/dev/null || { echo "app bench: Xvfb is missing (scripts/install-deps)" >&2; exit 1; }
command -v iptables-legacy >/dev/null ||
    { echo "app bench: iptables-legacy is missing (scripts/install-deps)" >&2; exit 1; }

exec unshare --net --mount -- bash -c '
    set -eu
    ip link set lo up
    ip link set lo multicast on
    ip route add 224.0.0.0/4 dev lo
    ip route add 255.255.255.255/32 dev lo 2>/dev/null || true
    displayfile=$(mktemp)
    # The window reads the book of known boxes when a search ends: an empty one of its own; and
    # its settings, none but those a run is given.
    state=$(mktemp -d)
    export XDG_STATE_HOME=$state/state XDG_CONFIG_HOME=$state/config
    mkdir -p "$state/named/nasfinder"
    printf "[search]\ntargets=nas.office.example\n" >"$state/named/nasfinder/nasfinder.conf"
    # A name server on the loopback of this namespace, whose queries are dropped unanswered.
    printf "nameserver 127.0.0.53\noptions timeout:30 attempts:5\n" >"$state/resolv.conf"
    mount --bind "$state/resolv.conf" /etc/resolv.conf
    iptables-legacy -A INPUT -d 127.0.0.53 -p udp --dport 53 -j DROP
    iptables-legacy -A INPUT -d 127.0.0.53 -p tcp --dport 53 -j DROP
    # -displayfd picks a free display, so parallel runs and other X servers do not collide.
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
    xvfb=$!
    trap "kill $xvfb 2>/dev/null; rm -rf $displayfile $state" EXIT
    for _ in $(seq 100); do [ -s "$displayfile" ] && break; sleep 0.05; done
    [ -s "$displayfile" ] || { echo "app bench: Xvfb did not start" >&2; exit 1; }
    DISPLAY=:$(head -n1 "$displayfile") "$@" --name-target-config "$state/named"
' app-bench "$@"
