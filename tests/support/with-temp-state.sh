#!/bin/sh
# usage: with-temp-state.sh COMMAND [ARGS...]
# Runs COMMAND with XDG_STATE_HOME in a fresh temporary folder, removed afterwards: a test
# neither reads a book of known boxes an earlier run left behind nor touches the user's.
state=$(mktemp -d /tmp/nasfinder-state.XXXXXX) || exit 1
XDG_STATE_HOME=$state "$@"
status=$?
rm -rf "$state"
exit $status
