#!/usr/bin/env bash
# The benchmark: four 1080p30 H.264+AAC clips of 30 s played at once into four 640 x 452 panes
# on a private Xvfb, three ways, each measured with /usr/bin/time:
#   1. Tetrav: the real main window (bench/window_bench --script play), in both sync modes;
#   2. the reference player: four `mpv --vo=x11 --ao=null` windows of the pane size;
#   3. the floor: the same four files only decoded (gst-launch, fakesinks keeping real time);
#   plus the other rendering path for comparison: four gst-launch playbins scaling to the pane
#   size into ximagesink (the X11 overlay path).
# Then the sync benchmark: four recordings of one event made differently (mp4/H.264 1 s GOP,
# mkv/H.264 4 s GOP with B-frames, avi/MPEG-4 0.5 s GOP, webm/VP8 2.4 s GOP), 60 s of seeks,
# pause/resume, rate changes and frame steps in the real window, in frame sync and time sync,
# beside four mpv windows driven the same way: the spread between the frames the panes show.
# Usage: bench/run.sh BUILD_DIR [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
case $build in /*) ;; *) build="$root/$build" ;; esac
seconds=${2:-30}
bench="$build/bench/window_bench"
[ -x "$bench" ] || { echo "build first: $bench is missing" >&2; exit 1; }

clips="$build/bench-clips"
echo "Making the benchmark clips (once) in $clips ..."
"$root/scripts/make-clips.sh" --bench "$clips"
set -- "$clips"/bench1.mp4 "$clips"/bench2.mp4 "$clips"/bench3.mp4 "$clips"/bench4.mp4

# shellcheck source=../scripts/xvfb-lib.sh
source "$root/scripts/xvfb-lib.sh"
xvfb_start 1280x904x24
trap xvfb_stop EXIT
export GST_DEBUG=0

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"; xvfb_stop' EXIT

# runs NAME COMMAND...: times one command; leaves user+sys seconds and peak RSS (KB) in files.
timed() {
    local name=$1
    shift
    /usr/bin/time -f "%U %S %M %e" -o "$tmp/$name.time" "$@" >"$tmp/$name.out" 2>"$tmp/$name.err" || true
}
# The figures are on the last line (a killed command adds a line before them).
cpu_of() { tail -n 1 "$tmp/$1.time" | awk '{print $1 + $2}'; }
rss_of() { tail -n 1 "$tmp/$1.time" | awk '{print $3}'; }

echo
export XDG_CONFIG_HOME="$tmp/config" XDG_RUNTIME_DIR="$tmp/runtime"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
for mode in frame time; do
    echo "== Tetrav, the real window, $mode sync: four 1080p30 clips into four panes (${seconds} s)"
    timed "tetrav_$mode" "$bench" --script play --sync "$mode" --seconds "$seconds" --source 1920x1080 \
        --fps 30 "$@"
    grep -v 'spread' "$tmp/tetrav_$mode.out"
    echo "tetrav ($mode sync): whole process: CPU $(cpu_of "tetrav_$mode") s, peak memory" \
        "$(($(rss_of "tetrav_$mode") / 1024)) MB"
done
tetrav_cpu=$(awk -F'CPU ' '/per second of playback/ {split($2, a, " "); print a[1]}' "$tmp/tetrav_frame.out")
tetrav_time_cpu=$(awk -F'CPU ' '/per second of playback/ {split($2, a, " "); print a[1]}' "$tmp/tetrav_time.out")

echo
echo "== mpv --vo=x11 --ao=null, four windows of 640x452 (reference player)"
if command -v mpv >/dev/null; then
    n=0
    pids=()
    for clip in "$@"; do
        x=$(((n / 2) * 640))
        y=$(((n % 2) * 452))
        timed "mpv$n" mpv --no-config --vo=x11 --ao=null --geometry="640x452+$x+$y" --no-border \
            --length="$seconds" --script="$root/bench/mpv_stats.lua" --really-quiet "$clip" &
        pids+=($!)
        n=$((n + 1))
    done
    wait "${pids[@]}"
    mpv_cpu=0
    mpv_rss=0
    for i in 0 1 2 3; do
        mpv_cpu=$(echo "$mpv_cpu + $(cpu_of mpv$i)" | bc -l)
        mpv_rss=$((mpv_rss + $(rss_of mpv$i)))
        echo "mpv: window $((i + 1)): $(grep -h mpv-stats "$tmp/mpv$i.err" "$tmp/mpv$i.out" | tail -1)"
    done
    mpv_per_s=$(echo "$mpv_cpu / $seconds" | bc -l)
    printf 'mpv: CPU %.3f s per second of playback; memory %d MB (sum of the four peaks)\n' "$mpv_per_s" \
        $((mpv_rss / 1024))
else
    echo "mpv is not installed (TETRAV_BENCH=1 scripts/install-deps.sh installs it)"
    mpv_per_s=""
fi

echo
echo "== Decode only (the floor): gst-launch, four files, fakesinks in real time"
pipeline=()
n=0
for clip in "$@"; do
    pipeline+=(filesrc location="$clip" ! decodebin name=d$n
        d$n. ! queue ! fakesink sync=true d$n. ! queue ! fakesink sync=true)
    n=$((n + 1))
done
timed floor timeout $((seconds + 30)) gst-launch-1.0 -q "${pipeline[@]}"
floor_wall=$(tail -n 1 "$tmp/floor.time" | awk '{print $4}')
floor_per_s=$(echo "$(cpu_of floor) / $floor_wall" | bc -l)
printf 'floor: CPU %.3f s per second of playback over %.1f s; peak memory %d MB\n' "$floor_per_s" "$floor_wall" \
    $(($(rss_of floor) / 1024))

echo
echo "== Other rendering path: playbin scaling to 640x452 into ximagesink (X11 overlay), four processes"
n=0
pids=()
for clip in "$@"; do
    timed "xim$n" timeout "$seconds" gst-launch-1.0 -q playbin uri="file://$clip" \
        video-sink="videoconvertscale ! video/x-raw,width=640,height=452,pixel-aspect-ratio=1/1 ! ximagesink" \
        audio-sink="fakeaudiosink sync=true" &
    pids+=($!)
    n=$((n + 1))
done
wait "${pids[@]}"
xim_cpu=0
for i in 0 1 2 3; do xim_cpu=$(echo "$xim_cpu + $(cpu_of xim$i)" | bc -l); done
xim_per_s=$(echo "$xim_cpu / $seconds" | bc -l)
printf 'ximagesink: CPU %.3f s per second of playback\n' "$xim_per_s"

echo
echo "== Summary (targets: no dropped frames; CPU <= 1.0 x mpv and <= 1.5 x the floor; memory < 400 MB)"
printf 'tetrav %.3f CPU-s/s' "$tetrav_cpu"
[ -n "$mpv_per_s" ] && printf ' = %.2f x mpv' "$(echo "$tetrav_cpu / $mpv_per_s" | bc -l)"
printf ' = %.2f x the decode-only floor; time sync %.3f CPU-s/s; ximagesink path %.3f CPU-s/s\n' \
    "$(echo "$tetrav_cpu / $floor_per_s" | bc -l)" "$tetrav_time_cpu" "$xim_per_s"

echo
echo "== Sync: four recordings of one event made differently, 60 s of commands (targets: frame sync"
echo "   spread p99 <= 1 frame, max <= 2; seek to every pane on the target frame: median < 0.25 s)"
set -- "$clips"/sync1.mp4 "$clips"/sync2.mkv "$clips"/sync3.avi "$clips"/sync4.webm
for mode in frame time; do
    "$bench" --script sync --sync "$mode" --seconds 60 --source 640x360 --fps 25 "$@" 2>/dev/null
done
echo "   and with time offsets: the fourth pane a recording started 3.2 s later, offset -3.2 s"
"$bench" --script sync --sync frame --seconds 60 --source 640x360 --fps 25 --offset 4:-3.2 \
    "$clips"/sync1.mp4 "$clips"/sync2.mkv "$clips"/sync3.avi "$clips"/sync1_late.mp4 2>/dev/null
if command -v mpv >/dev/null; then
    "$root/bench/mpv_sync.py" 60 "$@" 2>/dev/null
fi
"$root/bench/sync_walk.sh" "$build" "${WALK_COMMANDS:-300}" || true
