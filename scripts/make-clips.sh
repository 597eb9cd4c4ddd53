#!/usr/bin/env bash
# Makes the test, demo and benchmark clips with ffmpeg. Clips that already exist are kept, so
# a rerun only makes what is missing. Each clip is written under a temporary name and renamed
# when complete, so an interrupted run never leaves a half-written clip behind.
#
# Usage: make-clips.sh OUTDIR            test clips (tests use these)
#        make-clips.sh --demo OUTDIR     demo1.mp4 .. demo4.mp4 for `make run`
#        make-clips.sh --bench OUTDIR    four 1080p30 clips of 70 s for the benchmark, four 1080p60
#                                        clips of 12 s for the overload measure
#
# Every picture shows its frame number (large, white), the time code (yellow) and, along the
# bottom edge, the frame number in binary: ten cells of a tenth of the width and 16 lines high,
# least significant bit on the left, white = 1. Tests read the frame number from those cells.
# The sound is a sine tone.
set -euo pipefail

mode=test
case ${1:-} in
--demo) mode=demo; shift ;;
--bench) mode=bench; shift ;;
esac
out=${1:?usage: make-clips.sh [--demo|--bench] OUTDIR}
mkdir -p "$out"

font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
fontarg=""
[ -f "$font" ] && fontarg="fontfile=$font:"

ff() { ffmpeg -hide_banner -nostdin -loglevel error -y "$@"; }

# picture W H [LABEL]: the video filter chain that draws the counter, time code and bit cells.
picture() {
    local w=$1 h=$2 label=${3:-}
    local big=$((h / 4)) small=$((h / 9)) cell=$((w / 10)) y=$((h - 16))
    local f="drawtext=${fontarg}text='%{frame_num}':x=w/16:y=h/8:fontsize=$big:fontcolor=white"
    f+=",drawtext=${fontarg}text='%{pts\\:hms}':x=w/16:y=h/2:fontsize=$small:fontcolor=yellow"
    if [ -n "$label" ]; then
        f+=",drawtext=${fontarg}text='$label':x=w-tw-w/16:y=h/8:fontsize=$small:fontcolor=0x80ff80"
    fi
    f+=",drawbox=x=0:y=$y:w=iw:h=16:color=black:t=fill"
    local i
    for i in 0 1 2 3 4 5 6 7 8 9; do
        f+=",drawbox=x=$((i * cell)):y=$y:w=$cell:h=16:color=white:t=fill:enable='mod(floor(n/$((1 << i))),2)'"
    done
    printf '%s' "$f"
}

# clip NAME SECONDS TONE_HZ WxH FPS [ffmpeg output options...]
# TONE_HZ 0 = no sound; WxH "-" = no picture. VSELECT: a filter after the drawing (frames dropped).
# BACKGROUND: filters that paint the background before the drawing.
clip() {
    local name=$1 secs=$2 tone=$3 size=$4 fps=$5
    shift 5
    local dest="$out/$name"
    [ -s "$dest" ] && return 0
    local inputs=() maps=()
    if [ "$size" != "-" ]; then
        local w=${size%x*} h=${size#*x}
        inputs+=(-f lavfi -i "color=c=0x203040:s=$size:r=$fps:d=$secs${BACKGROUND:+,$BACKGROUND}")
        maps+=(-vf "$(picture "$w" "$h" "${LABEL:-}")${VSELECT:+,$VSELECT}")
    fi
    if [ "$tone" != 0 ]; then
        inputs+=(-f lavfi -i "sine=frequency=$tone:sample_rate=48000:duration=$secs")
    fi
    local tmp="$out/.part-$$-$name"
    ff "${inputs[@]}" "${maps[@]}" -t "$secs" "$@" "$tmp"
    mv -f "$tmp" "$dest"
}

# late SOURCE NAME: the same recording from a camera started 3.2 s later: a frame-exact copy of
# SOURCE from its frame at 3.2 s on, encoded again (its pictures keep their frame numbers).
late() {
    local src="$out/$1" dest="$out/$2"
    [ -s "$dest" ] && return 0
    ff -ss 3.2 -i "$src" -c:v libx264 -preset veryfast -g 25 -pix_fmt yuv420p "${aac[@]}" -f mp4 \
        "$out/.part-$$-$2"
    mv -f "$out/.part-$$-$2" "$dest"
}

trap 'rm -f "$out"/.part-$$-*' EXIT

h264=(-c:v libx264 -preset veryfast -g 25 -pix_fmt yuv420p)
aac=(-c:a aac -b:a 96k)

if [ $mode = demo ]; then
    n=1
    for demo in 20:440 25:550 30:660 35:880; do
        LABEL="Clip $n" clip "demo$n.mp4" "${demo%:*}" "${demo#*:}" 640x360 25 "${h264[@]}" "${aac[@]}" -f mp4
        n=$((n + 1))
    done
    exit 0
fi

if [ $mode = bench ]; then
    n=1
    for tone in 440 550 660 880; do
        LABEL="Clip $n" clip "hd30_$n.mp4" 70 "$tone" 1920x1080 30 -c:v libx264 -preset veryfast -g 60 \
            -pix_fmt yuv420p -b:v 6M "${aac[@]}" -f mp4
        n=$((n + 1))
    done
    # More than this machine can decode in time: four at 60 frames a second.
    n=1
    for tone in 440 550 660 880; do
        LABEL="Clip $n" clip "bench60_$n.mp4" 12 "$tone" 1920x1080 60 -c:v libx264 -preset ultrafast -g 120 \
            -pix_fmt yuv420p -b:v 8M "${aac[@]}" -f mp4
        n=$((n + 1))
    done
    # One event recorded four ways (containers, codecs, key-frame spacing), for the sync benchmark.
    LABEL="mp4" clip sync1.mp4 70 440 640x360 25 -c:v libx264 -preset veryfast -g 25 -pix_fmt yuv420p \
        "${aac[@]}" -f mp4
    LABEL="mkv" clip sync2.mkv 70 550 640x360 25 -c:v libx264 -preset veryfast -g 100 -bf 3 -pix_fmt yuv420p \
        -c:a libvorbis -q:a 3 -f matroska
    LABEL="avi" clip sync3.avi 70 660 640x360 25 -c:v mpeg4 -q:v 4 -g 12 -c:a mp2 -b:a 128k -f avi
    LABEL="webm" clip sync4.webm 70 880 640x360 25 -c:v libvpx -deadline realtime -cpu-used 8 -b:v 800k -g 60 \
        -c:a libopus -b:a 64k -f webm
    late sync1.mp4 sync1_late.mp4
    exit 0
fi

# The clips the tests rely on: 320x240, 25 fps, H.264 + AAC.
clip a_6s.mp4 6 440 320x240 25 "${h264[@]}" "${aac[@]}" -f mp4
clip b_4s.mp4 4 660 320x240 25 "${h264[@]}" "${aac[@]}" -f mp4
clip c_10s.mp4 10 550 320x240 25 "${h264[@]}" "${aac[@]}" -f mp4
clip d_20s.mp4 20 880 320x240 25 "${h264[@]}" "${aac[@]}" -f mp4
clip video_only_3s.mp4 3 0 320x240 25 "${h264[@]}" -f mp4
clip audio_only_3s.m4a 3 440 - 0 "${aac[@]}" -f mp4

# One event seen by differently made recordings, for frame sync: 25 fps, 12 s, different
# containers, codecs and key-frame spacing (1 s, 4 s with B-frames, 0.5 s, 2.4 s); and the same
# event at other frame rates.
clip sync_h264.mp4 12 440 320x240 25 -c:v libx264 -preset veryfast -g 25 -pix_fmt yuv420p "${aac[@]}" -f mp4
clip sync_h264_b.mkv 12 550 320x240 25 -c:v libx264 -preset veryfast -g 100 -bf 3 -pix_fmt yuv420p \
    -c:a libvorbis -q:a 3 -f matroska
clip sync_mpeg4.avi 12 660 320x240 25 -c:v mpeg4 -q:v 4 -g 12 -c:a mp2 -b:a 128k -f avi
clip sync_vp8.webm 12 880 320x240 25 -c:v libvpx -deadline realtime -cpu-used 8 -b:v 400k -g 60 \
    -c:a libopus -b:a 64k -f webm
for rate in 30 50 60 30000/1001; do
    clip "sync_fps${rate%%/*}.mp4" 12 440 320x240 "$rate" "${h264[@]}" "${aac[@]}" -f mp4
done
late sync_h264.mp4 sync_h264_late.mp4

# Pictures larger than a pane, for enlargement and zoom: 1280x720, 3 s. In the first, columns one
# pixel wide, alternately white and black (a sharp enlargement shows them, a blurred one grey); in
# the second the colour says where a point lies (red grows to the right, green downwards).
fine=(-c:v libx264 -preset veryfast -g 25 -qp 8 -pix_fmt yuv420p)
BACKGROUND="geq=lum='if(mod(X\,2)\,235\,16)':cb=128:cr=128" clip fine_lines.mp4 3 440 1280x720 25 "${fine[@]}" \
    "${aac[@]}" -f mp4
BACKGROUND="format=rgb24,geq=r='255*X/W':g='255*Y/H':b=96" clip gradient.mp4 3 440 1280x720 25 "${fine[@]}" \
    "${aac[@]}" -f mp4

# The same event in four harder formats, for the command walk: 20 s each, the HEVC one 18 s (the
# reference when the shortest leads). Their pictures carry the number of the 50 fps (or 25,
# 30000/1001) frame of the event they show:
# - a variable-frame-rate mp4: a 50 fps recording keeping frames 0, 1, 2, 3 and 5 of every eight
#   (gaps of 20, 40 and 60 ms; the numbers stay those of the 50 fps grid);
# - HEVC in mkv with open GOPs (2 s) and B-frames, 25 fps;
# - Motion JPEG in mov at 29.97 fps with PCM sound;
# - MPEG-TS at 50 fps, H.264 with B-frames and a GOP of 1 s.
LABEL="vfr" VSELECT="select='lt(mod(n\,8)\,4)+eq(mod(n\,8)\,5)'" clip walk_vfr.mp4 20 440 320x240 50 -vsync vfr \
    "${h264[@]}" "${aac[@]}" -f mp4
LABEL="hevc" clip walk_hevc.mkv 18 550 320x240 25 -c:v libx265 -preset veryfast -pix_fmt yuv420p \
    -x265-params "log-level=error:keyint=50:min-keyint=50:open-gop=1:bframes=4:scenecut=0" -c:a libvorbis -q:a 3 \
    -f matroska
LABEL="mjpeg" clip walk_mjpeg.mov 20 660 320x240 30000/1001 -c:v mjpeg -q:v 4 -pix_fmt yuvj420p -c:a pcm_s16le \
    -f mov
LABEL="ts50" clip walk_ts50.ts 20 880 320x240 50 -c:v libx264 -preset veryfast -g 50 -bf 3 -pix_fmt yuv420p \
    -c:a mp2 -b:a 128k -f mpegts

# A phone recording held upright: the frames are stored on their side (turned a quarter
# counter-clockwise) and the container says to turn them a quarter clockwise to show them.
if [ ! -s "$out/rotated_90.mp4" ]; then
    ff -f lavfi -i "color=c=0x203040:s=320x240:r=25:d=3" -f lavfi -i "sine=frequency=440:duration=3" \
        -vf "$(picture 320 240),transpose=cclock" -t 3 "${h264[@]}" "${aac[@]}" -f mp4 "$out/.part-$$-side.mp4"
    # ffmpeg 5.1 writes the display matrix when copying; its "rotate" counts counter-clockwise.
    ff -i "$out/.part-$$-side.mp4" -c copy -metadata:s:v:0 rotate=270 -f mp4 "$out/.part-$$-rotated_90.mp4"
    rm -f "$out/.part-$$-side.mp4"
    mv -f "$out/.part-$$-rotated_90.mp4" "$out/rotated_90.mp4"
fi

# A stream whose picture size changes midway (320x240 for 2 s, then 160x120 for 2 s), as a
# broadcast recording does at a programme change: MPEG-TS files join end to end (the second
# one's time stamps carry on from the first's).
if [ ! -s "$out/size_change.ts" ]; then
    offset=0
    for part in 320x240 160x120; do
        ff -f lavfi -i "color=c=0x203040:s=$part:r=25:d=2" -f lavfi -i "sine=frequency=440:duration=2" \
            -vf "$(picture "${part%x*}" "${part#*x}")" -t 2 "${h264[@]}" "${aac[@]}" -output_ts_offset $offset \
            -f mpegts "$out/.part-$$-$part.ts"
        offset=2
    done
    cat "$out/.part-$$-320x240.ts" "$out/.part-$$-160x120.ts" >"$out/.part-$$-size_change.ts"
    rm -f "$out/.part-$$-320x240.ts" "$out/.part-$$-160x120.ts"
    mv -f "$out/.part-$$-size_change.ts" "$out/size_change.ts"
fi

# Files that must not open.
[ -e "$out/not_video.avi" ] || printf 'This is a text file with a video file name.\n' >"$out/not_video.avi"
[ -e "$out/zero.mp4" ] || : >"$out/zero.mp4"
if [ ! -s "$out/truncated.mp4" ]; then
    size=$(stat -c %s "$out/a_6s.mp4")
    head -c $((size * 3 / 10)) "$out/a_6s.mp4" >"$out/.part-$$-truncated.mp4"
    mv -f "$out/.part-$$-truncated.mp4" "$out/truncated.mp4"
fi
# A file that opens but breaks while it plays: its index (at the front) promises 20 s, the data
# stops after about 6 s, as with a recording copied only in part.
if [ ! -s "$out/cut_short.mp4" ]; then
    ff -i "$out/d_20s.mp4" -c copy -movflags +faststart -f mp4 "$out/.part-$$-whole.mp4"
    size=$(stat -c %s "$out/.part-$$-whole.mp4")
    head -c $((size * 3 / 10)) "$out/.part-$$-whole.mp4" >"$out/.part-$$-cut_short.mp4"
    rm -f "$out/.part-$$-whole.mp4"
    mv -f "$out/.part-$$-cut_short.mp4" "$out/cut_short.mp4"
fi
if [ ! -s "$out/subtitle_only.mkv" ]; then
    # A real container whose only stream is text: nothing to play.
    printf '1\n00:00:00,000 --> 00:00:02,000\nNo picture, no sound.\n' >"$out/.part-$$-sub.srt"
    ff -i "$out/.part-$$-sub.srt" -c:s srt -f matroska "$out/.part-$$-subtitle_only.mkv"
    rm -f "$out/.part-$$-sub.srt"
    mv -f "$out/.part-$$-subtitle_only.mkv" "$out/subtitle_only.mkv"
fi

# One clip per container the file-open dialog offers, 4 s each.
sd=(-c:v mpeg2video -q:v 4 -g 12)
clip format.mpeg 4 440 320x240 25 "${sd[@]}" -c:a mp2 -b:a 128k -f mpeg
# MP3 in AVI makes the demuxer drop a frame from the timeline: MPEG audio layer 2 instead.
clip format.avi 4 440 320x240 25 -c:v mpeg4 -q:v 4 -g 25 -c:a mp2 -b:a 128k -f avi
clip format.mov 4 440 320x240 25 "${h264[@]}" "${aac[@]}" -f mov
clip format.m2t 4 440 320x240 25 "${sd[@]}" -c:a mp2 -b:a 128k -f mpegts
clip format.vob 4 440 352x288 25 -target pal-dvd -s 352x288 -c:a ac3 -b:a 128k -f vob
clip format.rm 4 440 320x240 25 -c:v rv10 -q:v 4 -g 25 -c:a ac3 -b:a 128k -f rm
clip format.rmvb 4 440 320x240 25 -c:v rv20 -q:v 4 -g 25 -c:a ac3 -b:a 128k -f rm
clip format.mp4 4 440 320x240 25 "${h264[@]}" "${aac[@]}" -f mp4
clip format.mkv 4 440 320x240 25 "${h264[@]}" -c:a libvorbis -q:a 3 -f matroska
clip format.webm 4 440 320x240 25 -c:v libvpx -deadline realtime -cpu-used 8 -b:v 500k -g 25 \
    -c:a libopus -b:a 64k -f webm
clip format.m4v 4 440 320x240 25 "${h264[@]}" "${aac[@]}" -f ipod
clip format.ts 4 440 320x240 25 "${h264[@]}" "${aac[@]}" -f mpegts
clip format.wmv 4 440 320x240 25 -c:v wmv2 -q:v 4 -g 25 -c:a wmav2 -b:a 96k -f asf
clip format.flv 4 440 320x240 25 -c:v flv -q:v 4 -g 25 "${aac[@]}" -f flv
