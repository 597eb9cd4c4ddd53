#!/usr/bin/env bash
# Makes the bad-media corpus: files a user may well try to play that are damaged, cut short,
# mislabelled or not media at all, next to a few unusual ones that must play. Files that
# already exist are kept; each is written under a temporary name and renamed when complete.
#
# Usage: make-bad-clips.sh OUTDIR
#
# Permissions, folders, pipes and dangling links are made by the tests themselves, where
# they run (an unprivileged user, a temporary folder).
set -euo pipefail

out=${1:?usage: make-bad-clips.sh OUTDIR}
mkdir -p "$out"
tmp="$out/.part-$$"
mkdir -p "$tmp"
trap 'rm -rf "$tmp"' EXIT

ff() { ffmpeg -hide_banner -nostdin -loglevel error -y "$@"; }
h264=(-c:v libx264 -preset veryfast -g 25 -pix_fmt yuv420p)
aac=(-c:a aac -b:a 96k)

# produce NAME RECIPE: runs the function RECIPE with the file to write as its argument, then
# renames that file to NAME.
produce() {
    [ -e "$out/$1" ] && return 0
    "$2" "$tmp/$1"
    mv -f "$tmp/$1" "$out/$1"
}

# Sources: a recording of 8 s at a high rate (over 1 MB; the index is written at the end, as
# a camera or screen recorder does) and a short clip, both with sound.
src="$tmp/source.mp4"
ff -f lavfi -i testsrc2=s=640x360:r=25:d=8 -f lavfi -i sine=frequency=440:duration=8 \
    "${h264[@]}" -b:v 3M "${aac[@]}" -f mp4 "$src"
small="$tmp/small.mp4"
ff -f lavfi -i testsrc2=s=320x240:r=25:d=3 -f lavfi -i sine=frequency=660:duration=3 \
    "${h264[@]}" "${aac[@]}" -f mp4 "$small"

# --- Files that cannot play ---
# The first 1 MB of a recording that was never finalised: no index (moov box) at all.
no_moov() { head -c 1000000 "$src" >"$1"; }
# Only the file type box of an MP4: the header of a file whose writing failed at once.
header_only() { head -c 32 "$src" >"$1"; }
# Random bytes with a video name.
random_bytes() { dd if=/dev/urandom of="$1" bs=64k count=4 status=none; }
# A text file named as a video.
text() { printf 'Not a video, only a name.\n' >"$1"; }
# An empty file.
empty() { : >"$1"; }
# A WAV header that announces sound, and no samples.
wav_header() {
    ff -f lavfi -i sine=duration=1 -f wav "$tmp/full.wav"
    head -c 44 "$tmp/full.wav" >"$1"
}
# A container whose only stream is text: nothing to see or hear.
subtitles() {
    printf '1\n00:00:00,000 --> 00:00:02,000\nNo picture.\n' >"$tmp/sub.srt"
    ff -i "$tmp/sub.srt" -c:s srt -f matroska "$1"
}

# --- Unusual files that must play ---
# A raw H.264 elementary stream (no container, no length until parsed).
raw_h264() { ff -i "$small" -an -c:v copy -bsf:v h264_mp4toannexb -f h264 "$1"; }
# An MPEG transport stream cut at two thirds: plays what is there.
cut_ts() {
    ff -i "$small" -c copy -f mpegts "$tmp/full.ts"
    head -c $(($(stat -c %s "$tmp/full.ts") * 2 / 3)) "$tmp/full.ts" >"$1"
}
# An MP4 with 64 KiB of zeros in the middle of its picture data.
damaged_middle() {
    cp "$small" "$1"
    dd if=/dev/zero of="$1" bs=1 seek=$(($(stat -c %s "$1") / 2)) count=65536 conv=notrunc status=none
}
# Sound only, as MP3.
sound_only() { ff -f lavfi -i sine=frequency=550:duration=3 -c:a libmp3lame -b:a 128k -f mp3 "$1"; }

produce no_moov.mp4 no_moov
produce header_only.mp4 header_only
produce random.mp4 random_bytes
produce text.avi text
produce empty.mkv empty
produce header_only.wav wav_header
produce subtitles_only.mkv subtitles
produce raw.h264 raw_h264
produce cut.ts cut_ts
produce damaged_middle.mp4 damaged_middle
produce sound_only.mp3 sound_only
