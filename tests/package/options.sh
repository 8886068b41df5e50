#!/usr/bin/env bash
# Each program's --help against its manual page: the long options of "--help" and those under
# the page's OPTIONS heading must be the same sets, so an option cannot be added to one without
# the other. Also: --version prints "NAME VERSION" with the project's version, and the page's
# title line carries that version.
# usage: options.sh VERSION MAN_DIR PROGRAM...
set -uo pipefail
[ $# -ge 3 ] || { echo "usage: $0 VERSION MAN_DIR PROGRAM..." >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=package-common.sh
source "$here/package-common.sh"
version=$1
man_dir=$2
shift 2

# man_options PAGE: the long options in the tags of the OPTIONS section's paragraphs (the line
# after each .TP), one a line, sorted. Options named in the text elsewhere do not count.
man_options() {
    awk '/^\.SH / { options = ($2 == "OPTIONS"); next }
         options && tag { print; tag = 0; next }
         options && /^\.TP/ { tag = 1 }' "$1" |
        sed 's/\\-/-/g' | grep -o -- '--[a-z][a-z0-9-]*' | sort -u
}

for program in "$@"; do
    name=$(basename "$program")
    page=$man_dir/$name.1
    if [ ! -f "$page" ]; then
        fail "$name: no manual page $page"
        continue
    fi

    help_options "$program"
    from_help=$options
    from_man=$(man_options "$page")
    [ -n "$from_help" ] || fail "$name: no options found in --help"
    while read -r option; do
        [ -n "$option" ] && fail "$name: $option is in --help but not in $name.1"
    done < <(comm -23 <(printf '%s\n' "$from_help") <(printf '%s\n' "$from_man"))
    while read -r option; do
        [ -n "$option" ] && fail "$name: $option is in $name.1 but not in --help"
    done < <(comm -13 <(printf '%s\n' "$from_help") <(printf '%s\n' "$from_man"))

    run_info "$program" --version
    [ "$info" = "$name $version" ] ||
        fail "$name --version printed '$info', expected '$name $version'"
    grep -q "^\.TH .* \"nasfinder $version\"" "$page" ||
        fail "$name.1: the .TH line does not carry \"nasfinder $version\""
done
finish
