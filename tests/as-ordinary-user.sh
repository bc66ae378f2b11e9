#!/bin/sh
# Runs a test program as an ordinary user (nobody), where the sandbox takes a user namespace of
# its own instead of a second user: the attacks must fail there too. Already an ordinary user,
# the test has run as one: skipped (77).
set -eu
if [ "$(id -u)" != 0 ]; then
    echo "not root: the ordinary test run is this run"
    exit 77
fi
as_nobody() {
    setpriv --reuid="$(id -u nobody)" --regid="$(id -g nobody)" --clear-groups --inh-caps=-all \
        env HOME=/nonexistent XDG_RUNTIME_DIR= TMPDIR=/tmp "$@"
}
# A build in a folder that only root may enter cannot be run as anyone else.
if ! as_nobody test -x "$1"; then
    echo "$1 cannot be run by nobody: its folder is closed to other users"
    exit 77
fi
as_nobody "$@"
