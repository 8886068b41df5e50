#!/usr/bin/env bash
# Runs the window benchmark on an X server (Xvfb) in namespaces of its own (scripts/lab,
# lab_seal): the window starts the search, whose broadcasts and multicasts must stay on this
# machine. Its mount namespace gives it a resolv.conf of its own, whose name server never
# answers (its queries are dropped), for the starts with a host name kept as a search target.
# Usage: bench/app/run-app-bench.sh NASFINDER_APP_BENCH [--runs N] [--idle-seconds S]
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 NASFINDER_APP_BENCH [ARGS...]" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/lab
source "$here/../../scripts/lab"
# shellcheck source=../../scripts/desktop
source "$here/../../scripts/desktop"
if [ -z "${NASFINDER_LAB_SEALED:-}" ]; then
    if ! reason=$(lab_require 2>&1); then
        echo "app bench: skipped, $reason (the window never searches the real network)" >&2
        exit 0
    fi
    command -v Xvfb >/dev/null || { echo "app bench: Xvfb is missing (scripts/install-deps)" >&2; exit 1; }
    command -v iptables-legacy >/dev/null ||
        { echo "app bench: iptables-legacy is missing (scripts/install-deps)" >&2; exit 1; }
    lab_seal "$0" "$@"
fi

ip link set lo up
ip link set lo multicast on
ip route add 224.0.0.0/4 dev lo
ip route add 255.255.255.255/32 dev lo 2>/dev/null || true
# The window reads the book of known boxes when a search ends: an empty one of its own; and its
# settings, none but those a run is given.
state=$(mktemp -d)
trap 'desktop_stop; rm -rf "$state"' EXIT
export XDG_STATE_HOME=$state/state XDG_CONFIG_HOME=$state/config
mkdir -p "$state/named/nasfinder"
printf "[search]\ntargets=nas.office.example\n" >"$state/named/nasfinder/nasfinder.conf"
# A name server on the loopback of this namespace, whose queries are dropped unanswered.
printf "nameserver 127.0.0.53\noptions timeout:30 attempts:5\n" >"$state/resolv.conf"
mount --bind "$state/resolv.conf" /etc/resolv.conf
iptables-legacy -A INPUT -d 127.0.0.53 -p udp --dport 53 -j DROP
iptables-legacy -A INPUT -d 127.0.0.53 -p tcp --dport 53 -j DROP
desktop_x
"$@" --name-target-config "$state/named"
