#!/usr/bin/env bash
# Starts the simulated build as a real process on the X server, waits for its window, saves a
# screenshot of the screen and closes the window the way its close button does (the window
# manager asks the window to close). The program must then exit with status 0.
set -u
app=$1
shot=$2

if [ -z "${DISPLAY:-}" ] || ! command -v wmctrl >/dev/null || ! command -v xdotool >/dev/null || ! command -v import >/dev/null; then
    echo "needs an X display with a window manager, wmctrl, xdotool and imagemagick; skipped"
    exit 77
fi
if ! wmctrl -m >/dev/null 2>&1; then
    echo "no window manager is running; skipped"
    exit 77
fi

"$app" &
pid=$!

# The window is made twice while it opens (once more when it switches to the native title bar),
# so only a window that is mapped counts, and it is looked up again before each use. Tests running
# beside this one open windows of the same title on the same display: only this process's counts.
find_window() { xdotool search --all --onlyvisible --pid "$pid" --name '^Quorvel$' 2>/dev/null | tail -n 1; }

# Waits up to 20 s for the mapped window and prints its id.
wait_for_window() {
    local found=""
    for _ in $(seq 1 400); do
        found=$(find_window)
        [ -n "$found" ] && break
        sleep 0.05
    done
    echo "$found"
}

window=$(wait_for_window)
if [ -z "$window" ]; then
    echo "no window titled Quorvel appeared"
    kill "$pid" 2>/dev/null
    exit 1
fi

# Looked up again, as the window may have been made anew meanwhile. import must never be given an
# empty id: it would then wait for a click on a window, holding every other client of the X
# server still until then.
sleep 0.5
window=$(wait_for_window)
[ -n "$window" ] || { echo "the window went away"; kill "$pid"; exit 1; }
timeout 20 import -frame -window "$window" "$shot" || { echo "screenshot failed"; kill "$pid"; exit 1; }
echo "screenshot: $shot"

# The window manager sends the window the same close request its close button does. On a
# loaded machine the window manager may not have taken the window on yet, so ask again each
# second; generous, because under the sanitizers the exit includes a leak check.
for tick in $(seq 1 600); do
    [ $((tick % 20)) -eq 1 ] && wmctrl -i -c "$(find_window)" 2>/dev/null
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
done
if kill -0 "$pid" 2>/dev/null; then
    echo "the program did not quit after its window was closed"
    kill -9 "$pid"
    exit 1
fi

wait "$pid"
status=$?
echo "exit status $status"
[ "$status" -eq 0 ]
