#!/usr/bin/env bash
# Takes the README's screenshot from the running program, so it always shows Tetrav as it is:
# the four demo clips playing on a private X server, started and paused through the desktop's
# media controls (playerctl on a private session bus), the screen then saved and halved.
# Usage: make-screenshot.sh BUILD_DIR [OUTPUT.png]   (default docs/screenshot.png)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
case $build in /*) ;; *) build="$root/$build" ;; esac
out=${2:-$root/docs/screenshot.png}

if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] || [ -z "${TETRAV_SCREENSHOT_INNER:-}" ]; then
    # shellcheck source=scripts/xvfb-lib.sh
    . "$root/scripts/xvfb-lib.sh"
    xvfb_start 1280x1024x24
    trap xvfb_stop EXIT
    TETRAV_SCREENSHOT_INNER=1 dbus-run-session -- "$0" "$build" "$out"
    exit $?
fi

demo="$root/demo"
"$root/scripts/make-clips.sh" --demo "$demo" >/dev/null
work=$(mktemp -d /tmp/tetrav-shot.XXXXXX)
export XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config
mkdir -m 700 "$XDG_RUNTIME_DIR"
"$build/tetrav" "$demo"/demo1.mp4 "$demo"/demo2.mp4 "$demo"/demo3.mp4 "$demo"/demo4.mp4 2>"$work/stderr" &
pid=$!
cleanup() { kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

# Until the set is open (the player says Paused), then play for a moment and pause.
for _ in $(seq 1 150); do
    [ "$(playerctl -p tetrav status 2>/dev/null)" = Paused ] && break
    sleep 0.1
done
[ "$(playerctl -p tetrav status 2>/dev/null)" = Paused ] || { cat "$work/stderr"; echo "the set did not open" >&2; exit 1; }
playerctl -p tetrav play
sleep 3
playerctl -p tetrav pause
sleep 1
mkdir -p "$(dirname "$out")"
import -window root -resize 50% "$out"
echo "wrote $out"
