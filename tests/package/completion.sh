#!/usr/bin/env bash
# The bash completion files, each sourced into this shell and asked as bash would ask it:
# "PROGRAM --" offers exactly the long options of "PROGRAM --help", option values complete
# as the option takes them, and "nasfinder --language " offers the codes of the language files.
# usage: completion.sh COMPLETION_DIR "CODES" PROGRAM...
set -uo pipefail
[ $# -ge 3 ] || { echo "usage: $0 COMPLETION_DIR CODES PROGRAM..." >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=package-common.sh
source "$here/package-common.sh"
completion_dir=$1
codes=$2
shift 2

# compopt works only while bash itself completes; the files' calls are accepted here.
# shellcheck disable=SC2317
compopt() { :; }

# complete_words LINE: the words the command's completion offers for LINE, one a line, sorted.
# LINE is split as bash splits it, "=" being a word of its own, and the last word is completed.
complete_words() {
    local line=$1 function
    COMP_LINE=$line
    COMP_POINT=${#line}
    read -r -a COMP_WORDS <<<"${line//=/ = }"
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    function=$(complete -p "${COMP_WORDS[0]}" 2>/dev/null | sed -n 's/.* -F \([^ ]*\) .*/\1/p')
    if [ -z "$function" ]; then
        echo "(no completion for ${COMP_WORDS[0]})"
        return
    fi
    COMPREPLY=()
    "$function" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    [ ${#COMPREPLY[@]} -eq 0 ] || printf '%s\n' "${COMPREPLY[@]}" | sort
}

# expect LINE WORDS: the completion of LINE offers exactly WORDS (blank-separated; may be empty).
expect() {
    local got want
    got=$(complete_words "$1" | tr '\n' ' ' | sed 's/ $//')
    want=$(tr -s ' ' '\n' <<<"$2" | grep -v '^$' | sort | tr '\n' ' ' | sed 's/ $//')
    [ "$got" = "$want" ] || fail "'$1' offered '$got', expected '$want'"
}

declare -A built
for program in "$@"; do
    name=$(basename "$program")
    built[$name]=1
    file=$completion_dir/$name
    if [ ! -f "$file" ]; then
        fail "$name: no completion file $file"
        continue
    fi
    # shellcheck disable=SC1090
    source "$file"
    help_options "$program"
    expect "$name --" "$options"
done

work=$(mktemp -d /tmp/nasfinder-completion.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir "$work/logs" "$work/lab"
touch "$work/boxes.txt" "$work/lab/more.txt"
cd "$work" || exit 1

if [ -n "${built[nas-search]:-}" ]; then
    expect "nas-search --js" "--json"
    expect "nas-search --json --no" "--no-interface-search --no-remember"
    # The log folder is a prefix the file name is appended to: folders only, ending in "/".
    expect "nas-search --log-dir " "lab/ logs/"
    expect "nas-search --log-dir=lo" "logs/"
    expect "nas-search --seconds " ""
    expect "nas-search --request-hex " ""
fi
if [ -n "${built[nas-sim]:-}" ]; then
    expect "nas-sim --config " "boxes.txt lab logs"
    expect "nas-sim --config=box" "boxes.txt"
    expect "nas-sim --box " ""
    expect "nas-sim --box 10.1.0.5,a,h,v,p,1 --q" "--quiet"
fi
if [ -n "${built[nasfinder]:-}" ]; then
    expect "nasfinder --language " "$codes"
    expect "nasfinder --language=" "$codes"
    expect "nasfinder --language p" "$(tr ' ' '\n' <<<"$codes" | grep '^p')"
    expect "nasfinder --language de --h" "--help --help-all"
fi
finish
