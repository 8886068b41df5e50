# Shared by the end-to-end cases; sourced with the case's arguments NAS_SEARCH NAS_SIM [MORE...].
# Each case builds its own lab (scripts/lab) in namespaces of its own (lab_seal), and removes it
# on every way out; what it leaves running ends with its PID namespace. Without root or
# namespaces it is skipped with exit code 77; it never runs on the host network.

e2e_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../../scripts/lab
source "$e2e_here/../../scripts/lab"

if [ $# -lt 2 ]; then
    echo "usage: $0 NAS_SEARCH NAS_SIM [MORE...]" >&2
    exit 2
fi
search=$(realpath "$1")
sim=$(realpath "$2")

if [ -z "${NASFINDER_LAB_SEALED:-}" ]; then
    if ! reason=$(lab_require 2>&1); then
        echo "SKIP: $reason (the end-to-end tests never use the host network)"
        exit 77
    fi
    lab_seal "$0" "$@"
fi
command -v jq >/dev/null || { echo "FAIL: jq is missing (scripts/install-deps)"; exit 1; }

lab="nfe2e-$(basename "$0" .sh)"
work=$(mktemp -d "/tmp/$lab.XXXXXX")
trap 'lab_destroy; rm -rf "$work"' EXIT
# The book of known boxes that nas-search keeps goes to the case's folder, not the user's.
export XDG_STATE_HOME=$work/state
trap 'exit 130' INT TERM

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# check DESCRIPTION COMMAND...: a failed COMMAND is a failed check.
check() {
    local what=$1
    shift
    "$@" || fail "$what"
}

finish() {
    if [ "$failures" -ne 0 ]; then
        echo "--- nas-search output and logs in $work:"
        for f in "$work"/*; do [ -f "$f" ] && { echo "== $f"; head -c 4000 "$f"; }; done
        exit 1
    fi
    echo "PASS: $(basename "$0" .sh)"
    exit 0
}

# The ids of the final list, sorted, on one line.
device_ids() {
    jq -r 'select(.event == "device") | .id' "$1" | sort | tr '\n' ' ' | sed 's/ $//'
}

# The worker handles that reported id $2, sorted and distinct, on one line.
report_handles() {
    jq -r --arg id "$2" 'select(.event == "report" and .id == $id) | .handle' "$1" |
        sort -nu | tr '\n' ' ' | sed 's/ $//'
}

# has_report FILE ID HANDLE TYPE: some report of ID came from worker HANDLE with kind TYPE.
has_report() {
    jq -e --arg id "$2" --argjson handle "$3" --argjson type "$4" -s \
        'any(.[]; .event == "report" and .id == $id and .handle == $handle and .type == $type)' \
        "$1" >/dev/null
}

equals() { [ "$1" = "$2" ] || { echo "  got '$1', expected '$2'"; return 1; }; }
contains() { grep -qF -- "$2" "$1" || { echo "  '$2' not in $1"; return 1; }; }
lacks() { ! grep -qF -- "$2" "$1" || { echo "  '$2' found in $1"; return 1; }; }

# The one log file in directory $1.
log_file() {
    local files=("$1"/*)
    echo "${files[0]}"
}
