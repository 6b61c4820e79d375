#!/usr/bin/env bash
# Runs a test program on an X server of its own under the late window manager, which applies each
# request a window sends it in order but one every 150 ms: the timing under which a window that is
# sized several times before it is shown can be left at an earlier size, every time rather than
# now and then.
#
#     with_late_window_manager.sh MANAGER PROGRAM [ARGS...]
set -u
here=$(cd "$(dirname "$0")" && pwd)

exec "$here/without_window_manager.sh" bash -c '
    manager=$1
    shift
    exec 3< <(exec "$manager" 150)
    if ! read -r -t 10 line <&3 || [ "$line" != ready ]; then
        echo "the late window manager did not start"
        exit 1
    fi
    "$@"
' _ "$@"
