#!/usr/bin/env bash
# The benchmark, on a private Xvfb, of the real `tetrav` program started from the command line:
#   1. Four 1080p30 H.264+AAC clips into the four panes, beside the reference player (four
#      `mpv --vo=x11 --hwdec=no` windows of the pane size) and the decode-only floor (four playbins
#      into fakesinks keeping real time), in ROUNDS interleaved rounds (the order turns each round,
#      so the other loads of the machine fall on all three alike). CPU of each process from /proc
#      over SECONDS of steady play after a 3 s start; the median of the rounds and of the ratios.
#      Dropped frames come from the program's own counters (TETRAV_FRAME_STATS, printed at exit);
#      the program's picture path and main thread are also weighed against its own decoding
#      (per-thread CPU), a ratio that holds when other work loads the machine.
#      TETRAV_OTHERS="NAME=/path/to/tetrav ..." adds other builds to every round (A/B of builds).
#   2. Large allocations: the program once more with bench/alloc_count preloaded; the number of
#      allocations of 64 KiB or more in 10 s of steady play; then the picture path for each
#      CPU second of decoding with the four panes shown and with one zoomed (three hidden).
#   3. Overload: four 1080p60 clips beside a busy loop on every processor; dropped frames per
#      pane, the spread between the frames the panes show (read from the screen) and the time the
#      window takes to answer a click.
#   4. Sync: four recordings of one event made differently, 60 s of commands in the window.
# BENCH_CPU_ONLY=1 runs part 1 alone, BENCH_ALLOC_ONLY=1 part 2 alone, BENCH_ZOOM_ONLY=1 the
# picture path with one pane zoomed (beside TETRAV_OTHERS); BENCH_OVERLOAD_ONLY=1 runs
# part 3 alone, ROUNDS times for tetrav and each of TETRAV_OTHERS in turn.
# Usage: bench/run.sh BUILD_DIR [SECONDS] [ROUNDS]
set -euo pipefail
if [ -z "${TETRAV_BENCH_BUS:-}" ]; then
    exec dbus-run-session -- env TETRAV_BENCH_BUS=1 "$0" "$@"
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
case $build in /*) ;; *) build="$root/$build" ;; esac
seconds=${2:-20}
rounds=${3:-3}
tetrav="$build/tetrav"
bench="$build/bench/window_bench"
for f in "$tetrav" "$build/bench/pane_watch" "$build/bench/alloc_count.so"; do
    [ -e "$f" ] || { echo "build first: $f is missing" >&2; exit 1; }
done
command -v mpv >/dev/null || { echo "mpv is missing: TETRAV_BENCH=1 scripts/install-deps.sh" >&2; exit 1; }

clips="$build/bench-clips"
echo "Making the benchmark clips (once) in $clips ..."
"$root/scripts/make-clips.sh" --bench "$clips"
hd30=("$clips"/hd30_1.mp4 "$clips"/hd30_2.mp4 "$clips"/hd30_3.mp4 "$clips"/hd30_4.mp4)
hd60=("$clips"/bench60_1.mp4 "$clips"/bench60_2.mp4 "$clips"/bench60_3.mp4 "$clips"/bench60_4.mp4)

# shellcheck source=../scripts/xvfb-lib.sh
source "$root/scripts/xvfb-lib.sh"
xvfb_start 1280x904x24
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"; xvfb_stop' EXIT
export GST_DEBUG=0 XDG_CONFIG_HOME="$tmp/config" XDG_RUNTIME_DIR="$tmp/runtime"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# shellcheck source=measure-lib.sh
source "$root/bench/measure-lib.sh"

# Players: each starts its processes in the background and leaves their ids in $pids.
play_tetrav() { # BINARY LOG CLIP...
    local bin=$1 log=$2
    shift 2
    TETRAV_FRAME_STATS=1 "$bin" "$@" >"$log" 2>&1 &
    pids=($!)
    play_when_open
}
play_mpv() { # LOG CLIP...
    local log=$1 n=0
    shift
    pids=()
    for clip in "$@"; do
        mpv --no-config --vo=x11 --hwdec=no --ao=null --geometry="640x452+$(((n % 2) * 640))+$(((n / 2) * 452))" \
            --no-border --script="$root/bench/mpv_stats.lua" --really-quiet "$clip" >>"$log" 2>&1 &
        pids+=($!)
        n=$((n + 1))
    done
}
play_floor() { # LOG CLIP...
    local log=$1 n=0 pipeline=()
    shift
    for clip in "$@"; do
        pipeline+=(playbin name=p$n uri="file://$clip" video-sink="fakesink sync=true"
            audio-sink="fakesink sync=true")
        n=$((n + 1))
    done
    gst-launch-1.0 -q "${pipeline[@]}" >"$log" 2>&1 &
    pids=($!)
}

# measure NAME PLAYER ARGS...: plays, waits 3 s, takes the CPU over $seconds, stops; appends
# "CPU-s/s peak-MB" to $tmp/NAME.cpu.
measure() {
    local name=$1 player=$2
    shift 2
    local log="$tmp/$name.$round.log"
    "$player" "$log" "$@"
    sleep 3
    local t0 c0 t1 c1 peak
    local parts0 parts1
    t0=$(now_s)
    c0=$(cpu_ticks "${pids[@]}")
    parts0=$(part_ticks "${pids[0]}")
    sleep "$seconds"
    t1=$(now_s)
    c1=$(cpu_ticks "${pids[@]}")
    parts1=$(part_ticks "${pids[0]}")
    peak=$(peak_kb "${pids[@]}")
    local p
    for p in "${pids[@]}"; do
        kill -0 "$p" 2>/dev/null || { echo "$name ended before the measure did (clips shorter than $((seconds + 3)) s?); see $log" >&2; exit 1; }
    done
    stop_all "${pids[@]}"
    echo "$(per_second "$c0" "$c1" "$t0" "$t1") $((peak / 1024))" >>"$tmp/$name.cpu"
    # For the program: its picture path and its main thread per unit of decoding.
    echo "$parts0 $parts1" | awk '{d = $4 - $1; if (d > 0) printf "%.3f %.3f\n", ($5 - $2) / d, ($6 - $3) / d}' \
        >>"$tmp/$name.parts"
}
declare -A binaries=([tetrav]="$tetrav")
tetrav_named() { play_tetrav "${binaries[$current]}" "$@"; }

names=(tetrav mpv floor)
players=(tetrav_named play_mpv play_floor)
tetravs=(tetrav)
for other in ${TETRAV_OTHERS:-}; do
    binaries[${other%%=*}]=${other#*=}
    names+=("${other%%=*}")
    players+=(tetrav_named)
    tetravs+=("${other%%=*}")
done
# overload BINARY: part 3 on one build. Four 1080p60 clips alone keep up on two cores, so as many
# busy loops as there are processors (OVERLOAD_BUSY to change it) run beside them: the machine
# cannot keep up.
overload() {
    local busy=() b
    for b in $(seq 1 "${OVERLOAD_BUSY:-$(nproc)}"); do
        (while :; do :; done) &
        busy+=($!)
    done
    play_tetrav "$1" "$tmp/overload.log" "${hd60[@]}"
    sleep 1
    local t0 c0 t1 c1
    t0=$(now_s)
    c0=$(cpu_ticks "${pids[@]}")
    # Within the clips' 12 s: 4 s of screens, then the clicks.
    "$build/bench/pane_watch" --seconds 4 --clicks 6 || echo "pane_watch could not read the panes"
    t1=$(now_s)
    c1=$(cpu_ticks "${pids[@]}")
    stop_all "${pids[@]}"
    [ ${#busy[@]} -eq 0 ] || kill "${busy[@]}" 2>/dev/null
    printf '%s: %.3f CPU-s/s; per pane: %s\n' "$(basename "$1")" "$(per_second "$c0" "$c1" "$t0" "$t1")" \
        "$(awk '/^tetrav-frames:/ {printf "%s shown %s dropped %s; ", $2, $(NF - 2), $(NF)}' "$tmp/overload.log" |
            sed "s|$clips/||g")"
}
# Part 2.
large_allocations() {
    echo "== Large allocations (64 KiB and up) by tetrav in 10 s of steady play (target 0)"
    ALLOC_COUNT_OUT="$tmp/alloc.txt" LD_PRELOAD="$build/bench/alloc_count.so" TETRAV_FRAME_STATS=1 "$tetrav" \
        "${hd30[@]}" >"$tmp/alloc.log" 2>&1 &
    pid=$!
    play_when_open
    sleep 1
    kill -USR2 "$pid"
    sleep 10
    kill -USR2 "$pid"
    stop_all "$pid"
    echo "tetrav: $(awk '$1 == "window" {print $2}' "$tmp/alloc.txt") allocations of 64 KiB or more in 10 s of play" \
        "after its first second ($(awk '$1 ~ /^[0-9]+$/ {n += $2} END {print n + 0}' "$tmp/alloc.txt") over the whole run)"
    if [ -n "${ALLOC_STACKS:-}" ]; then
        sed -n '/^stack/,$p' "$tmp/alloc.txt"
    fi
}
# Part 2b. zoomed BINARY: the picture path for each CPU second of decoding with the four panes
# shown, then with the first zoomed to the whole video area by a double click (three hidden).
zoomed() {
    play_tetrav "$1" "$tmp/zoomed.log" "${hd30[@]}"
    sleep 2
    local grid0 grid1 zoom0 zoom1 wid X Y WIDTH HEIGHT SCREEN
    grid0=$(part_ticks "${pids[0]}")
    sleep 6
    grid1=$(part_ticks "${pids[0]}")
    wid=$(xdotool search --onlyvisible --pid "${pids[0]}" | head -n 1)
    eval "$(xdotool getwindowgeometry --shell "$wid")"
    xdotool mousemove $((X + WIDTH / 4)) $((Y + HEIGHT / 3)) click --repeat 2 --delay 80 1
    sleep 1
    zoom0=$(part_ticks "${pids[0]}")
    sleep 6
    zoom1=$(part_ticks "${pids[0]}")
    stop_all "${pids[@]}"
    echo "$grid0 $grid1 $zoom0 $zoom1" | awk -v name="$(basename "$1")" '{
        printf "%s: picture path per CPU second of decoding: four panes %.3f, one zoomed %.3f\n", name,
            ($5 - $2) / ($4 - $1), ($11 - $8) / ($10 - $7)}'
}
if [ -n "${BENCH_ZOOM_ONLY:-}" ]; then
    echo "== One pane zoomed: four 1080p30 clips, the first zoomed after 8 s"
    zoomed "$tetrav"
    for other in ${TETRAV_OTHERS:-}; do
        zoomed "${other#*=}"
    done
    exit 0
fi
if [ -n "${BENCH_ALLOC_ONLY:-}" ]; then
    large_allocations
    exit 0
fi
if [ -n "${BENCH_OVERLOAD_ONLY:-}" ]; then
    echo "== Overload: four 1080p60 clips beside ${OVERLOAD_BUSY:-$(nproc)} busy loops, $rounds rounds (load average: $(cut -d ' ' -f 1-3 /proc/loadavg))"
    for round in $(seq 1 "$rounds"); do
        echo "round $round:"
        overload "$tetrav"
        for other in ${TETRAV_OTHERS:-}; do
            echo "(${other%%=*})"
            overload "${other#*=}"
        done
    done
    exit 0
fi

echo
echo "== Four 1080p30 clips, four panes: $rounds rounds of ${seconds} s, CPU of each process from /proc"
for round in $(seq 1 "$rounds"); do
    order=$(seq 0 $((${#names[@]} - 1)) | awk -v r="$round" -v n="${#names[@]}" '{print ($1 + r - 1) % n}')
    for i in $order; do
        current=${names[$i]}
        measure "${names[$i]}" "${players[$i]}" "${hd30[@]}"
    done
    line="round $round:"
    for name in "${names[@]}"; do
        line+=" $name $(tail -n 1 "$tmp/$name.cpu" | awk '{printf "%.3f", $1}')"
    done
    echo "$line CPU-s/s"
done
for name in "${tetravs[@]}"; do
    dropped=$(cat "$tmp/$name".*.log | awk '/^tetrav-frames:/ {d += $(NF); r += $(NF - 2)} END {print d + 0, r + 0}')
    printf '%s: median %.3f CPU-s/s, peak memory median %.0f MB; frames dropped %s of %s shown (all rounds, %d s of play each)\n' \
        "$name" "$(median_of "$tmp/$name.cpu" 1)" "$(median_of "$tmp/$name.cpu" 2)" "${dropped% *}" "${dropped#* }" \
        $((seconds + 3))
done
mpv_dropped=$(cat "$tmp"/mpv.*.log | awk -F'dropped=' '/mpv-stats/ {split($2, a, " "); d += a[1]} END {print d + 0}')
printf 'mpv: median %.3f CPU-s/s (four processes), peak memory median %.0f MB (the largest of the four); frames dropped %d\n' \
    "$(median_of "$tmp/mpv.cpu" 1)" "$(median_of "$tmp/mpv.cpu" 2)" "$mpv_dropped"
printf 'floor: median %.3f CPU-s/s\n' "$(median_of "$tmp/floor.cpu" 1)"
echo "Ratios, the median of the rounds (targets: tetrav <= 0.9 x mpv, <= 1.3 x the floor, 0 dropped):"
for name in "${tetravs[@]}"; do
    printf '  %s = %.2f x mpv = %.2f x the floor\n' "$name" "$(ratio_median "$tmp/$name.cpu" "$tmp/mpv.cpu")" \
        "$(ratio_median "$tmp/$name.cpu" "$tmp/floor.cpu")"
done
for name in "${tetravs[@]:1}"; do
    printf '  tetrav = %.2f x %s\n' "$(ratio_median "$tmp/tetrav.cpu" "$tmp/$name.cpu")" "$name"
done
echo "CPU of the picture path (conversion, scaling, sink) and of the main thread (painting, the tick) for"
echo "each CPU second of decoding, the median of the rounds (these hold on a loaded machine too):"
for name in "${tetravs[@]}"; do
    printf '  %s: picture path %.3f, main thread %.3f\n' "$name" "$(median_of "$tmp/$name.parts" 1)" \
        "$(median_of "$tmp/$name.parts" 2)"
done

[ -n "${BENCH_CPU_ONLY:-}" ] && exit 0
echo
large_allocations

echo
echo "== One pane zoomed: four 1080p30 clips, the first zoomed after 8 s"
zoomed "$tetrav"

echo
echo "== Overload: four 1080p60 clips beside ${OVERLOAD_BUSY:-$(nproc)} busy loops (more than this machine decodes in time)"
overload "$tetrav"

# Further measures of the window (each a file beside this one) hook in here.
"$root/bench/align.sh" "$build" || echo "the alignment bench failed"

echo
echo "== Sync: four recordings of one event made differently, 60 s of commands (targets: frame sync"
echo "   spread p99 <= 1 frame, max <= 2; seek to every pane on the target frame: median < 0.25 s)"
[ -x "$bench" ] || { echo "build first: $bench is missing" >&2; exit 1; }
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
