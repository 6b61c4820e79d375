#!/usr/bin/env bash
# Runs a test program on an X server of its own with no window manager. There a window that asks
# for the system focus has it at once, so an alert takes the keyboard before the window it covers
# hears that it lost the system focus: the order in which the window's note of its focused control
# goes stale, every time rather than now and then.
set -u
if ! command -v Xvfb >/dev/null; then
    echo "needs Xvfb, which the test command installs; skipped"
    exit 77
fi

dir=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$dir/display" 2>"$dir/log" &
server=$!
cleanup() { kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; rm -rf "$dir"; }
trap cleanup EXIT

for _ in $(seq 1 200); do
    [ -s "$dir/display" ] && break
    sleep 0.05
done
if [ ! -s "$dir/display" ]; then
    echo "Xvfb did not start:"
    cat "$dir/log"
    exit 1
fi

DISPLAY=":$(head -n 1 "$dir/display")" "$@"
