#!/usr/bin/env bash
# The package's metadata as Debian's tools read it: the desktop entry (desktop-file-validate),
# the AppStream metadata (appstreamcli, without the network), the manual pages (man, with
# groff's warnings on), and the changelog's and the metadata's newest release, which must be
# the project's version. Opens no socket of its own.
# usage: metadata.sh VERSION RESOURCES_DIR MAN_DIR
set -uo pipefail
[ $# -eq 3 ] || { echo "usage: $0 VERSION RESOURCES_DIR MAN_DIR" >&2; exit 2; }
version=$1
resources=$2
man_dir=$3

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

for tool in desktop-file-validate appstreamcli man dpkg-parsechangelog; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps installs it)"
done
[ "$failures" -eq 0 ] || exit 1

# Hints and notes count too: the files are to be clean.
if ! out=$(desktop-file-validate "$resources/io.github.nasfinder.desktop" 2>&1) ||
    [ -n "$out" ]; then
    fail "desktop-file-validate: $out"
fi
metainfo=$resources/io.github.nasfinder.metainfo.xml
out=$(appstreamcli validate --no-net --pedantic "$metainfo" 2>&1) || fail "appstreamcli validate: $out"

for page in "$man_dir"/*.1; do
    out=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
        man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
    [ -z "$out" ] || fail "$(basename "$page"): $out"
done

changelog=$(dpkg-parsechangelog -l "$resources/debian/changelog" -S Version 2>&1)
[ "$changelog" = "$version" ] ||
    fail "debian/changelog's newest entry is '$changelog', not the project's $version"
release=$(grep -o '<release version="[^"]*"' "$metainfo" |
    head -n 1 | cut -d'"' -f2)
[ "$release" = "$version" ] ||
    fail "the metainfo's newest release is '$release', not the project's $version"

[ "$failures" -eq 0 ] || exit 1
echo "PASS: metadata"
