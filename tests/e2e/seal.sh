#!/usr/bin/env bash
# A sealed lab (scripts/lab, lab_seal) ends with everything in it, in turn:
#   1. a lab script that ends without stopping the program it started: the program ends too;
#   2. a lab killed as ctest's timeout kills it (SIGKILL): its program ends, and its named
#      namespaces and /etc/netns files, which the machine never saw, are gone with it;
#   3. two labs of the same names at once do not meet;
#   4. .ci/leftovers, in a lab of its own, names a process that carries a run's mark and a lab
#      namespace left behind, and passes once they are gone.
# The outer script opens no socket: it starts the labs and reads /proc and /run/netns.
# usage: seal.sh    (seal.sh lab leave|hang|leftovers TOKEN DIR: one lab, run by the steps)
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/lab
source "$here/../../scripts/lab"

if [ "${1:-}" = lab ]; then
    lab_seal "$0" "$@"
    mode=$2 token=$3 dir=$4
    if [ "$mode" = leftovers ]; then
        # A process of a run that nobody stopped, and a namespace nobody removed.
        NASFINDER_CI_RUN=$token sleep 300 &
        ip netns add nfseal-left
        "$here/../../.ci/leftovers" "$token" 2>"$dir/named" && exit 1
        kill "$!" && wait "$!"
        ip netns del nfseal-left
        exec "$here/../../.ci/leftovers" "$token"
    fi
    lab_create nfseal && lab_etc nfseal host hosts "10.1.0.2 nas" || exit 1
    # The token as sleep's seconds (300.TOKEN) marks the program for the outer script.
    lab_spawn nfseal host /dev/null /dev/null sleep "300.$token"
    touch "$dir/ready-$token"
    [ "$mode" = leave ] || sleep 300
    exit 0
fi

if ! reason=$(lab_require 2>&1); then
    echo "SKIP: $reason"
    exit 77
fi
work=$(mktemp -d /tmp/nfseal.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
check() {
    local what=$1
    shift
    "$@" || { echo "FAIL: $what"; failures=$((failures + 1)); }
}
# running TOKEN: a process of the machine runs sleep 300.TOKEN.
running() {
    local f
    for f in /proc/[0-9]*/cmdline; do
        [ "$(tr '\0' ' ' 2>/dev/null <"$f")" != "sleep 300.$1 " ] || return 0
    done
    return 1
}
gone_within() {
    local i
    for ((i = 0; i < 50; i++)); do running "$1" || return 0; sleep 0.1; done
    return 1
}
ready_within() {
    local i
    for ((i = 0; i < 100; i++)); do [ -e "$work/ready-$1" ] && return 0; sleep 0.1; done
    return 1
}
nothing_named() { ! compgen -G "/run/netns/nfseal*" >/dev/null && ! compgen -G "/etc/netns/nfseal*" >/dev/null; }

echo "--- 1. a lab that leaves its program running"
"$0" lab leave 11 "$work"
check "the lab ended with 0" test $? -eq 0
check "its program ended with it" gone_within 11

echo "--- 2. a lab killed, and 3. two labs of the same names at once"
"$0" lab hang 21 "$work" &
first=$!
"$0" lab hang 22 "$work" &
second=$!
check "the first lab is up" ready_within 21
check "the second lab, of the same names, is up" ready_within 22
check "the first lab's program runs" running 21
check "the machine sees neither lab's namespaces nor /etc files" nothing_named
kill -KILL "$first" "$second"
{ wait "$first" "$second"; } 2>/dev/null
check "the first lab's program ended with it" gone_within 21
check "the second lab's program ended with it" gone_within 22
check "nothing of theirs is left" nothing_named

echo "--- 4. what a run leaves behind"
"$0" lab leftovers 4 "$work" >"$work/leftovers.out" 2>&1
check "leftovers passes once nothing is left" test $? -eq 0
check "it named the process" grep -q "left running: pid [0-9]*: sleep 300" "$work/named"
check "it named the namespace" grep -qx "left behind: /run/netns/nfseal-left" "$work/named"
[ "$failures" -eq 0 ] || { cat "$work"/named "$work/leftovers.out" 2>/dev/null; exit 1; }
echo "PASS: seal"
