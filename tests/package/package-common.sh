# shellcheck shell=bash
# Shared by the package tests that start the programs; sourced with the test's arguments.
# "--help" and "--version" print and exit before any socket is opened, but a fault there would
# start a search or the window instead. So the test moves into throw-away namespaces first
# (lab_seal), and is skipped (77) where none can be made; it never runs on the host network.

if [ -z "${NASFINDER_LAB_SEALED:-}" ]; then
    # shellcheck source=../../scripts/lab
    source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lab"
    if ! reason=$(lab_require 2>&1); then
        echo "SKIP: $reason (never runs on the host network)"
        exit 77
    fi
    lab_seal "$0" "$@"
fi
ip link set lo up

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

finish() {
    if [ "$failures" -ne 0 ]; then
        exit 1
    fi
    echo "PASS: $(basename "$0" .sh)"
    exit 0
}

# run_info PROGRAM OPTION: sets info to the program's answer to --help or --version on
# standard output; a status other than 0 is a failure. The window's program runs on Qt's
# offscreen platform.
run_info() {
    info=$(QT_QPA_PLATFORM=offscreen timeout 10 "$1" "$2" 2>/dev/null)
    local status=$?
    [ "$status" -eq 0 ] || fail "$(basename "$1") $2 exited $status, expected 0"
}

# help_options PROGRAM: sets options to the long options that "PROGRAM --help" lists, one a
# line, sorted. An option line starts with blanks and a dash; its option column ends at the
# first two blanks.
help_options() {
    run_info "$1" --help
    # shellcheck disable=SC2034  # read by the sourcing test
    options=$(printf '%s\n' "$info" | sed -n 's/^ \{1,\}\(-.*\)$/\1/p' | sed 's/  .*//' |
        grep -o -- '--[a-z][a-z0-9-]*' | sort -u)
}
