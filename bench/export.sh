#!/usr/bin/env bash
# The export benchmark: the real `tetrav --export` (no display) beside ffmpeg doing the same job
# (per-input seek, scale, xstack in the panes' places, libx264 with the same preset, AAC) in
# the same run, on
#   1. four 640x360 25 fps recordings of one event (mp4/H.264, mkv/H.264 with B-frames,
#      avi/MPEG-4, webm/VP8) to 1280x720, 30 s from 20.5 s (a key frame in none of them);
#   2. four 1080p30 H.264 clips to 1920x1080, 20 s from 5.5 s.
# For each: wall time, speed (seconds exported per second) and the frame check: the quarters
# of the output not on the instant (each output frame i should show the event's frame FIRST + i
# in all four quarters), read back by bench/export_check.py. ROUNDS rounds, the median kept.
# Usage: bench/export.sh BUILD_DIR [ROUNDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
case $build in /*) ;; *) build="$root/$build" ;; esac
rounds=${2:-3}
tetrav="$build/tetrav"
[ -x "$tetrav" ] || { echo "build first: $tetrav is missing" >&2; exit 1; }
clips="$build/bench-clips"
"$root/scripts/make-clips.sh" --bench "$clips"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export GST_DEBUG=0 XDG_CONFIG_HOME="$tmp/config"

sd=("$clips"/sync1.mp4 "$clips"/sync2.mkv "$clips"/sync3.avi "$clips"/sync4.webm)
hd=("$clips"/hd30_1.mp4 "$clips"/hd30_2.mp4 "$clips"/hd30_3.mp4 "$clips"/hd30_4.mp4)

seconds_of() { # COMMAND...: "WALL CPU" seconds of the command (CPU: user + system, all threads)
    local TIMEFORMAT='%R %U %S'
    { time "$@" >"$tmp/out.log" 2>&1 || { cat "$tmp/out.log" >&2; echo "failed: $*" >&2; return 1; }; } \
        2>"$tmp/time"
    awk '{print $1, $2 + $3}' "$tmp/time"
}

run_ffmpeg() { # OUT FROM DURATION PANE_WxH PRESET RATE CLIP...
    local out=$1 from=$2 dur=$3 pane=$4 preset=$5 rate=$6
    shift 6
    local inputs=() k
    for k in "$@"; do inputs+=(-ss "$from" -i "$k"); done
    local f="" n
    for n in 0 1 2 3; do f+="[$n:v]scale=${pane/x/:}:flags=bilinear,setsar=1[p$n];"; done
    f+="[p0][p1][p2][p3]xstack=inputs=4:layout=0_0|0_h0|w0_0|w0_h0[v]"
    ffmpeg -hide_banner -nostdin -loglevel error -y "${inputs[@]}" -t "$dur" -filter_complex "$f" -map "[v]" \
        -map 0:a -r "$rate" -c:v libx264 -preset "$preset" -crf 20 -c:a aac -b:a 128k "$out"
}

median() { sort -g | awk '{v[NR]=$0} END {print v[int((NR+1)/2)]}'; }

measure() { # NAME FROM DURATION OUT_WxH PANE_WxH PRESET RATE FIRST SOURCE_WxH CLIP...
    local name=$1 from=$2 dur=$3 size=$4 pane=$5 preset=$6 rate=$7 first=$8 source=$9
    shift 9
    local to r t f
    to=$(echo "$from + $dur" | bc -l)
    : >"$tmp/tetrav.times"
    : >"$tmp/ffmpeg.times"
    for ((r = 1; r <= rounds; r++)); do
        # Turn the order each round, so other loads of the machine fall on both alike.
        if ((r % 2)); then
            seconds_of "$tetrav" --export "$tmp/t.mp4" --force --from "$from" --to "$to" --size "$size" "$@" \
                >>"$tmp/tetrav.times"
            seconds_of run_ffmpeg "$tmp/f.mp4" "$from" "$dur" "$pane" "$preset" "$rate" "$@" >>"$tmp/ffmpeg.times"
        else
            seconds_of run_ffmpeg "$tmp/f.mp4" "$from" "$dur" "$pane" "$preset" "$rate" "$@" >>"$tmp/ffmpeg.times"
            seconds_of "$tetrav" --export "$tmp/t.mp4" --force --from "$from" --to "$to" --size "$size" "$@" \
                >>"$tmp/tetrav.times"
        fi
    done
    t=$(median <"$tmp/tetrav.times")
    f=$(median <"$tmp/ffmpeg.times")
    printf '%s, %s s exported to %s (median of %d rounds; load average %s):\n' "$name" "$dur" "$size" "$rounds" \
        "$(cut -d' ' -f1 /proc/loadavg)"
    report() { # LABEL "WALL CPU" FILE
        local wall=${2% *} cpu=${2#* }
        printf '  %-16s %6.2f s wall %5.2fx real time, %6.2f CPU-s (%4.2fx real time per core pair)  %s\n' "$1" \
            "$wall" "$(echo "$dur / $wall" | bc -l)" "$cpu" "$(echo "2 * $dur / $cpu" | bc -l)" \
            "$("$root/bench/export_check.py" "$3" "$first" "$source")"
    }
    report "tetrav --export" "$t" "$tmp/t.mp4"
    report "ffmpeg (xstack)" "$f" "$tmp/f.mp4"
}

echo "Export: frames = output frames; off = quarters not showing the frame of the instant (target 0);"
echo "apart = frames whose four quarters do not all show the same frame"
# 20.5 s at 25 fps: the event's frame 512.
measure "four 640x360 (mp4, mkv B-frames, avi MPEG-4, webm VP8)" 20.5 30 1280x720 640x360 veryfast 25 512 640x360 \
    "${sd[@]}"
# 5.5 s at 30 fps: frame 165.
measure "four 1080p30 H.264" 5.5 20 1920x1080 960x540 superfast 30 165 1920x1080 "${hd[@]}"
