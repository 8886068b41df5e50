#!/usr/bin/env bash
# The programs' command lines as a user meets them: refused arguments, help, Ctrl-C, and pure
# JSON on standard output with the log on. Runs in namespaces of its own (lab_seal), so even a
# wrongly accepted command line cannot reach a real network; skipped (77) without root.
# usage: cli.sh NAS_SEARCH NAS_SIM
set -uo pipefail
search=$1
sim=$2

if [ -z "${NASFINDER_LAB_SEALED:-}" ]; then
    # shellcheck source=../../scripts/lab
    source "$(dirname "$0")/../../scripts/lab"
    if ! reason=$(lab_require 2>&1); then
        echo "SKIP: $reason (never runs on the host network)"
        exit 77
    fi
    lab_seal "$0" "$@"
fi
ip link set lo up

work=$(mktemp -d /tmp/nasfinder-cli.XXXXXX)
trap 'rm -rf "$work"' EXIT
# The book of known boxes goes to the test's folder, not the user's.
export XDG_STATE_HOME=$work/state
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# expect_status STATUS PROGRAM ARGS...: runs it with output in $work/out and $work/err.
expect_status() {
    local want=$1
    shift
    timeout 10 "$@" >"$work/out" 2>"$work/err"
    local got=$?
    [ "$got" -eq "$want" ] || fail "$* exited $got, expected $want"
}

for args in "--frobnicate" "--seconds 0" "--seconds -1" "--searches 0" "--searches 1001" \
    "--interval -1" "--request-hex 0b01" "--request-hex $(printf 'zz%.0s' {1..148})" \
    "stray-word"; do
    # shellcheck disable=SC2086
    expect_status 2 "$search" $args
    grep -q "^usage: nas-search" "$work/err" || fail "nas-search $args: no usage on stderr"
    [ ! -s "$work/out" ] || fail "nas-search $args: wrote to stdout"
done

# terminal_safe FILE: valid UTF-8 without C0 controls (newline and tab aside), DEL or C1.
terminal_safe() {
    local c0_del c1
    c0_del=$(printf '[\001-\010\013-\037\177]')
    c1=$(printf '\302[\200-\237]')
    iconv -f UTF-8 -t UTF-8 "$1" >/dev/null 2>&1 && ! LC_ALL=C grep -q -e "$c0_del" -e "$c1" "$1"
}

# expect_echo STATUS LINE ARGS...: nas-search echoes hostile arguments on stderr in LINE, with
# every control character and stray byte shown as '?'; and a target that once aborted it.
expect_echo() {
    local want=$1 line=$2
    shift 2
    expect_status "$want" "$search" "$@"
    local shown
    shown=$(printf '%q ' "$@")
    terminal_safe "$work/err" || fail "nas-search $shown: a control byte on stderr"
    grep -qF -- "$line" "$work/err" || fail "nas-search $shown: no '$line' on stderr"
}
expect_echo 2 "nas-search: --probe 10.0.0.0//: not a range such as 10.78.3.0/24" --probe 10.0.0.0//
expect_echo 2 "nas-search: --probe ?]0;owned?: not an address" --probe $'\e]0;owned\a'
expect_echo 2 "nas-search: ?[2J is not among the remembered boxes" --forget $'\e[2J'
expect_echo 2 "nas-search: nas?? is neither a remembered box" --wake $'nas\xff\x7f'
expect_echo 2 "nas-search: unrecognised option '--x?[2J'" $'--x\e[2J'
expect_echo 0 "nas-search: the interface pattern '?]0;owned?' matches no interface" \
    --seconds 1 --no-interface-search --interface $'\e]0;owned\a'

expect_status 0 "$search" --help
grep -q "^usage: nas-search" "$work/out" || fail "nas-search --help: no usage on stdout"

expect_status 2 "$sim"
grep -q "^usage: nas-sim" "$work/err" || fail "nas-sim without boxes: no usage on stderr"
expect_status 2 "$sim" --box "10.1.1.1,a,h"

# Ctrl-C ends a search at once with 130; SIGTERM with 143.
for signal in INT:130 TERM:143; do
    "$search" --seconds 30 >"$work/out" 2>"$work/err" &
    pid=$!
    sleep 0.5
    started=$(date +%s%N)
    kill -"${signal%%:*}" "$pid"
    wait "$pid"
    got=$?
    elapsed=$((($(date +%s%N) - started) / 1000000))
    [ "$got" -eq "${signal##*:}" ] || fail "SIG${signal%%:*} gave exit $got"
    [ "$elapsed" -lt 2000 ] || fail "SIG${signal%%:*} took $elapsed ms"
done

# With the log on, the library's lines go to stderr and stdout stays JSON Lines.
mkdir "$work/log"
expect_status 0 "$search" --json --seconds 1 --log-dir "$work/log/"
jq -e . "$work/out" >/dev/null || fail "stdout is not pure JSON Lines"
[ "$(tail -n 1 "$work/out")" = '{"event":"done","devices":0}' ] || fail "no done line last"
grep -q "SendMessage : pdhcp is NULL" "$work/err" || fail "the log lines did not reach stderr"
ls "$work/log/"*-SearchDeviceLog.txt >/dev/null 2>&1 || fail "no log file"

# Without --json: the table on stdout.
expect_status 0 "$search" --seconds 1 --no-interface-search
grep -q "^HOST *IP *PRODUCT *VENDOR *VERSION$" "$work/out" || fail "no table header"
grep -q "^0 devices found$" "$work/out" || fail "no device count"

[ "$failures" -eq 0 ] && echo "PASS: command lines"
exit $((failures > 0))
