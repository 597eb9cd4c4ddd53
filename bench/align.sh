#!/usr/bin/env bash
# Alignment by sound on four 10-minute recordings of one made-up event (scripts/make-align-clips.sh
# --long: AAC 44.1 kHz, Opus 48 kHz, MP3 32 kHz, PCM 48 kHz; each its own gain, filter and noise;
# cameras 0-90 s apart): the real `tetrav --align-audio --print-offsets`, its offsets against the
# truth, its wall and processor time and its memory; beside it, in the same run, ffmpeg decoding
# the same four tracks to 8 kHz mono (the decoding floor); then the unrelated and silent
# recordings against the first camera (no match may be found), reading all of them.
# Camera 2 (Opus in Matroska, muxed by ffmpeg) comes out about 7 ms early: GStreamer and ffmpeg
# alike read its sound that far ahead of its picture (the muxer moved the picture by the codec
# delay that the reader takes off the sound again); the sound itself is placed to the sample.
#
# Usage: bench/align.sh BUILD_DIR   (targets: every pane within 10 ms, 4 x 10 min in < 5 s wall,
#                                    analysis memory < 200 MB, no false match)
set -euo pipefail
build=${1:?usage: align.sh BUILD_DIR}
root=$(cd "$(dirname "$0")/.." && pwd)
tetrav="$build/tetrav"
clips="$build/bench-clips/align-long"
echo "Making the 10-minute recordings (once) in $clips ..."
"$root/scripts/make-align-clips.sh" --long "$clips"
cams=(cam1.mp4 cam2.mkv cam3.mkv cam4.mov)
paths=()
for c in "${cams[@]}"; do paths+=("$clips/$c"); done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

echo
echo "== Alignment by sound: four 10-minute recordings (load average $(cut -d' ' -f1 /proc/loadavg) on $(nproc) processors)"
rounds=${ALIGN_ROUNDS:-3}
for r in $(seq "$rounds"); do
    /usr/bin/time -f "%e %U %S %M" -o "$tmp/time$r" env TETRAV_ALIGN_TRACE=1 \
        "$tetrav" --align-audio --print-offsets "${paths[@]}" >"$tmp/out$r" 2>"$tmp/err$r" || true
    load=$(cut -d' ' -f1 /proc/loadavg)
    start=$(date +%s.%N)
    for k in "${!paths[@]}"; do
        /usr/bin/time -f "%U %S" -o "$tmp/ff$k" ffmpeg -hide_banner -nostdin -loglevel error -threads 1 \
            -i "${paths[$k]}" -vn -ac 1 -ar 8000 -f s16le -y /dev/null &
    done
    wait
    floor=$(echo "$(date +%s.%N) - $start" | bc)
    floorcpu=$(cat "$tmp"/ff? | awk '{s += $1 + $2} END {print s}')
    read -r wall user sys rss < <(tail -n 1 "$tmp/time$r")
    analysis=$(awk '/^trace: probed/ {before=$(NF-4)} /^trace: aligned/ {peak=$(NF-1)} END {printf "%.0f", peak-before}' "$tmp/err$r")
    printf 'round %d (load %s): tetrav %.2f s wall, %.2f s processor (%.2f user + %.2f system), peak %.0f MB (analysis +%s MB); ffmpeg decoding the four side by side: %.2f s wall, %.2f s processor\n' \
        "$r" "$load" "$wall" "$(echo "$user + $sys" | bc)" "$user" "$sys" "$(echo "$rss / 1024" | bc -l)" "$analysis" "$floor" "$floorcpu"
done
echo "offsets found against the truth (the reference is the shortest: camera 1, all being 10 min):"
worst=0
for k in 0 1 2 3; do
    read -r _ start video < <(grep "^${cams[$k]} " "$clips/truth.txt")
    read -r _ start1 video1 < <(grep "^${cams[0]} " "$clips/truth.txt")
    truth=$(echo "($start1 - $start) + ($video - $video1)" | bc -l)
    found=$(sed -n "$((k + 1))p" "$tmp/out1")
    err=$(echo "($found - $truth) * 1000" | bc -l)
    printf '  pane %d %-9s found %+11.6f s  truth %+11.6f s  error %+7.3f ms\n' $((k + 1)) "${cams[$k]}" "$found" "$truth" "$err"
    worst=$(echo "e=${err#-}; if (e > $worst) e else $worst" | bc -l)
done
printf '  largest error %.3f ms (target 10 ms)\n' "$worst"

echo "camera 1, another event and a silent recording (no pane may match; nothing matching, all 10 minutes are read):"
load=$(cut -d' ' -f1 /proc/loadavg)
/usr/bin/time -f "%e %U %S" -o "$tmp/time-u" \
    "$tetrav" --align-audio --print-offsets "$clips/cam1.mp4" "$clips/other.mp4" "$clips/silent.mp4" \
    >"$tmp/out-u" 2>"$tmp/err-u" || true
sed 's/^/  /' "$tmp/err-u"
read -r wall user sys < <(tail -n 1 "$tmp/time-u")
printf '  (load %s) %.2f s wall, %.2f s processor\n' "$load" "$wall" "$(echo "$user + $sys" | bc)"
refused=$(grep -c "does not match\|silent" "$tmp/err-u" || true)
printf '  false matches: %d of 2\n' $((2 - refused))
