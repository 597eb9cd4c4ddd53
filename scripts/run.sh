#!/usr/bin/env bash
# Starts Tetrav on four demo clips, making them first if they are not there yet.
# Usage: run.sh BUILD_DIR [video files...]   (files given replace the demo clips)
set -euo pipefail
build=${1:-build}
shift || true
root=$(cd "$(dirname "$0")/.." && pwd)
case $build in /*) ;; *) build="$root/$build" ;; esac

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "Tetrav needs a graphical desktop: no DISPLAY is set." >&2
    echo "On a headless machine try: xvfb-run -s '-screen 0 1280x1024x24' make run" >&2
    exit 1
fi

if [ $# -eq 0 ]; then
    demo="$root/demo"
    "$root/scripts/make-clips.sh" --demo "$demo"
    set -- "$demo"/demo1.mp4 "$demo"/demo2.mp4 "$demo"/demo3.mp4 "$demo"/demo4.mp4
fi
exec "$build/tetrav" "$@"
