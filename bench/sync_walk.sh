#!/usr/bin/env bash
# The command walk on the real program: a seeded random walk of user commands (pointer clicks on
# the tool bar and the seek bar, thumb drags, arrow keys, Ctrl+arrow nudges, the menu's step, the
# desktop's media controls) on four differently made files of one event (a variable-frame-rate
# mp4, HEVC mkv with open GOPs, MJPEG mov at 29.97 fps, MPEG-TS at 50 fps), each pane's frame read
# from the screen. Prints the seed, the commands (landed, no-ops, overtaken, missed), freezes, the
# lag of the panes in their own frames while playing, the time from a seek-bar click to every pane
# on its frame, and the time from each command to its first mark on the screen (WALK_SLOW=1 lists
# the commands answered after more than 100 ms).
# Then seek-bar clicks on four 1080p files: the time from a click to every pane on its frame,
# beside mpv's four windows in the same run (SEEK_CLICKS, 12 by default; 0 leaves them out).
# Usage: bench/sync_walk.sh BUILD_DIR [COMMANDS] [SEED]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
case $build in /*) ;; *) build="$root/$build" ;; esac
commands=${2:-300}
seed=${3:-$(date +%s)}
tests="$build/tests/tests_e2e"
[ -x "$tests" ] || { echo "build first: $tests is missing" >&2; exit 1; }
"$root/scripts/make-clips.sh" "$build/clips" >/dev/null

# shellcheck source=../scripts/xvfb-lib.sh
source "$root/scripts/xvfb-lib.sh"
xvfb_start 1280x1024x24
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"; xvfb_stop' EXIT
export XDG_CONFIG_HOME="$tmp/config" XDG_RUNTIME_DIR="$tmp/runtime" QT_QPA_PLATFORM=xcb GST_DEBUG=0
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

echo "== The command walk: $commands commands, seed $seed, $(uptime | sed 's/.*load/load/')"
if [ -n "${WALK_SLOW:-}" ]; then
    export TETRAV_WALK_SLOW=1
fi
status=0
TETRAV_CLIPS="$build/clips" TETRAV_WALK_COMMANDS=$commands TETRAV_WALK_SEED=$seed \
    dbus-run-session -- "$tests" --gtest_filter='SetWalkTest.RandomCommands*' >"$tmp/walk.out" 2>&1 || status=$?
if [ -n "${WALK_SLOW:-}" ]; then
    sed -n '/^walk:/p; /^walk: answered after/,/^walk: the worst/p' "$tmp/walk.out" | awk '!seen[$0]++'
else
    grep '^walk:' "$tmp/walk.out" || true
fi
if [ $status -ne 0 ]; then
    grep -v '^walk:' "$tmp/walk.out" | sed -n '/Failure/,$p'
fi

# Seek-bar clicks on four 1080p files (SEEK_CLICKS of them, paused): the real program, then mpv's
# four windows on the same files in the same run (exact seeks, from its own report).
if [ -n "${SEEK_CLICKS:-12}" ] && [ "${SEEK_CLICKS:-12}" -gt 0 ]; then
    "$root/scripts/make-clips.sh" --bench "$build/bench-clips" >/dev/null
    echo "== Seek-bar click to every pane on its frame, four 1080p30 files (GOP 2 s), $(uptime | sed 's/.*load/load/')"
    bench_status=0
    TETRAV_CLIPS="$build/clips" TETRAV_BENCH_CLIPS="$build/bench-clips" TETRAV_BENCH_SEEK_CLICKS=${SEEK_CLICKS:-12} \
        dbus-run-session -- "$tests" --gtest_filter='SetWalkBench.*' >"$tmp/bench.out" 2>&1 || bench_status=$?
    grep '^bench:' "$tmp/bench.out" || grep -A20 'Failure' "$tmp/bench.out" | head -n 40
    if command -v mpv >/dev/null; then
        "$root/bench/mpv_sync.py" --seeks "${SEEK_CLICKS:-12}" 0 "$build"/bench-clips/bench{1,2,3,4}.mp4 2>/dev/null || true
    fi
    [ $status -ne 0 ] || status=$bench_status
fi
exit $status
