#!/usr/bin/env bash
# Makes the material for aligning recordings by their sound: one made-up event (speech from
# espeak-ng, claps, a tune, room noise, mixed with sox) "recorded" by four cameras that start at
# different moments, each with its own gain, noise, filter, sample rate and codec, muxed with a
# small video; beside them a recording of another event and a silent one, and a clip whose
# sound no decoder reads.
#
# Usage: make-align-clips.sh [--long] OUTDIR
#   default: short clips for the tests (an event of 36 s, cameras 0-9 s apart, 18-24 s each)
#   --long:  the bench's (an event of 12 min, cameras 0-90 s apart, 10 min each)
#
# OUTDIR/truth.txt names each camera's file, the second of the event at which it starts, and
# where its picture starts on the file's timeline (the muxer may move both streams to keep the
# codec's priming samples at or after zero):
#   cam3.mkv 9 0.035
# so camera k shows the event's second e at file time e - start_k + video_k, and pane k's offset
# against pane r is (start_r - start_k) + (video_k - video_r). Files that already exist are
# kept (truth.txt is written last).
set -euo pipefail

long=0
if [ "${1:-}" = --long ]; then
    long=1
    shift
fi
out=${1:?usage: make-align-clips.sh [--long] OUTDIR}
mkdir -p "$out"
[ -s "$out/truth.txt" ] && exit 0
tmp="$out/.part-$$"
mkdir -p "$tmp"
trap 'rm -rf "$tmp"' EXIT

ff() { ffmpeg -hide_banner -nostdin -loglevel error -y "$@"; }

if [ $long = 1 ]; then
    event=720
    starts=(0 37.250 90 12.625)
    lengths=(600 600 600 600)
else
    event=36
    starts=(0 3.250 9 1.625)
    lengths=(24 20 22 18)
fi

# A made-up scene of the given length and seed: words, claps and notes at irregular moments
# (nothing repeats, so no lag but the true one lines two recordings up), over room noise.
scene() { # scene SECONDS SEED OUT.wav
    local secs=$1 seed=$2 dst=$3
    # The words: a random text spoken at a random pace by a few voices, one sentence a file.
    python3 - "$secs" "$seed" "$tmp/words-$seed" <<'EOF'
import random, sys
secs, seed, prefix = float(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
rng = random.Random(seed)
words = ("camera river seven blue window paper garden orange music table light station "
         "morning number yellow market bridge silver winter forest quiet travel simple "
         "seventeen doctor pocket violin ladder thunder kitchen butter rocket").split()
voices = ["en", "en-us", "en+f3", "en+m3", "de", "fr"]
# Sentences of 3-9 words (about 0.4 s a word), each after a pause of 0.3-2.5 s.
t = 0.0
with open(prefix + ".list", "w") as lst:
    n = 0
    while t < secs:
        count = rng.randint(3, 9)
        text = " ".join(rng.choice(words) for _ in range(count))
        gap = rng.uniform(0.3, 2.5)
        print(f"{n} {gap:.3f} {rng.choice(voices)} {rng.randint(120, 200)} {text}", file=lst)
        t += gap + 0.4 * count
        n += 1
# Claps (a short burst of noise) and notes (plucked strings), as sox effect chains.
def chain(fname, make):
    t, parts = 0.0, []
    while t < secs:
        piece, dur = make()
        parts.append(piece)
        t += dur
    with open(prefix + fname, "w") as f:
        f.write("\n".join(parts))
def clap():
    gap = rng.uniform(0.4, 4.0)
    return f"synth 0.03 whitenoise fade q 0 0.03 0.028 : synth {gap:.3f} sine 0", 0.03 + gap
notes = ["C4", "D4", "E4", "F4", "G4", "A4", "B4", "C5", "E5", "G5"]
def note():
    d = rng.choice([0.15, 0.2, 0.3, 0.45])
    if rng.random() < 0.15:
        return f"synth {d} sine 0", d
    return f"synth {d} pluck {rng.choice(notes)}", d
chain(".claps", clap)
chain(".tune", note)
EOF
    # Each sentence after its pause, all of them one after another.
    local list="$tmp/words-$seed.list" parts=()
    while read -r n gap voice pace text; do
        espeak-ng -v "$voice" -s "$pace" -w "$tmp/w$seed-$n.wav" "$text"
        sox -V1 "$tmp/w$seed-$n.wav" -r 48000 -c 1 -b 16 "$tmp/wp$seed-$n.wav" pad "$gap"
        parts+=("$tmp/wp$seed-$n.wav")
        rm -f "$tmp/w$seed-$n.wav"
    done <"$list"
    sox -V1 "${parts[@]}" "$tmp/speech$seed.wav" pad 0 "$secs" trim 0 "$secs" norm -3
    # shellcheck disable=SC2046
    sox -V1 -n -r 48000 -c 1 "$tmp/claps$seed.wav" $(tr '\n' ' ' <"$tmp/words-$seed.claps") trim 0 "$secs"
    # shellcheck disable=SC2046
    sox -V1 -n -r 48000 -c 1 "$tmp/tune$seed.wav" $(tr '\n' ' ' <"$tmp/words-$seed.tune") trim 0 "$secs"
    sox -V1 -n -r 48000 -c 1 "$tmp/room$seed.wav" synth "$secs" brownnoise
    sox -V1 -m -v 1.0 "$tmp/speech$seed.wav" -v 0.5 "$tmp/claps$seed.wav" -v 0.35 "$tmp/tune$seed.wav" \
        -v 0.05 "$tmp/room$seed.wav" -b 16 "$dst" trim 0 "$secs" norm -1
    rm -f "$tmp"/wp"$seed"-*.wav "$tmp"/sg"$seed"-*.wav "$tmp"/*"$seed".wav
}

# A small moving picture of the given length, for the sound to sit beside.
picture() { # picture SECONDS OUT.mkv
    ff -f lavfi -i "testsrc2=s=160x90:r=25:d=$1" -c:v libx264 -preset ultrafast -g 50 -pix_fmt yuv420p \
        -f matroska "$2"
}

# One camera: its part of the event, its gain, filter, own noise and sample rate, then its codec.
camera() { # camera N EVENT.wav START LENGTH GAIN FILTER RATE NAME CODEC...
    local n=$1 src=$2 start=$3 len=$4 gain=$5 filter=$6 rate=$7 name=$8
    shift 8
    [ -s "$out/$name" ] && return 0
    sox -V1 "$src" "$tmp/cam$n-part.wav" trim "$start" "$len"
    sox -V1 -n -r 48000 -c 1 "$tmp/cam$n-noise.wav" synth "$len" pinknoise vol 0.02
    # shellcheck disable=SC2086
    sox -V1 -m "$tmp/cam$n-part.wav" "$tmp/cam$n-noise.wav" -r "$rate" "$tmp/cam$n.wav" $filter gain "$gain"
    picture "$len" "$tmp/cam$n-pic.mkv"
    ff -i "$tmp/cam$n-pic.mkv" -i "$tmp/cam$n.wav" -map 0:v -map 1:a -c:v copy "$@" -shortest \
        "$tmp/$name"
    mv -f "$tmp/$name" "$out/$name"
    rm -f "$tmp/cam$n"*
}

scene "$event" 7 "$tmp/event.wav"
camera 1 "$tmp/event.wav" "${starts[0]}" "${lengths[0]}" -4 "highpass 120" 44100 cam1.mp4 \
    -c:a aac -b:a 96k -f mp4
camera 2 "$tmp/event.wav" "${starts[1]}" "${lengths[1]}" -14 "lowpass 3000" 48000 cam2.mkv \
    -c:a libopus -b:a 48k -f matroska
camera 3 "$tmp/event.wav" "${starts[2]}" "${lengths[2]}" -2 "equalizer 1000 1q 9 highpass 300" 32000 \
    cam3.mkv -c:a libmp3lame -b:a 64k -f matroska
camera 4 "$tmp/event.wav" "${starts[3]}" "${lengths[3]}" -22 "bass -6 treble +4" 48000 cam4.mov \
    -c:a pcm_s16le -f mov

# Another event altogether, recorded as camera 1 was; a silent recording; and a clip whose sound
# is in a form no decoder knows (an AAC stream under an unknown four-character code).
other_len=${lengths[0]}
if [ ! -s "$out/other.mp4" ]; then
    scene "$((other_len + 2))" 99 "$tmp/other.wav"
    camera 5 "$tmp/other.wav" 1 "$other_len" -4 "highpass 120" 44100 other.mp4 -c:a aac -b:a 96k -f mp4
fi
if [ ! -s "$out/silent.mp4" ]; then
    picture "$other_len" "$tmp/silent-pic.mkv"
    ff -i "$tmp/silent-pic.mkv" -f lavfi -i "anullsrc=r=48000:cl=mono" -map 0:v -map 1:a -c:v copy \
        -c:a aac -b:a 64k -shortest -f mp4 "$tmp/silent.mp4"
    mv -f "$tmp/silent.mp4" "$out/silent.mp4"
fi
if [ ! -s "$out/undecodable.mov" ]; then
    ff -f lavfi -i "testsrc2=s=160x90:r=25:d=4" -f lavfi -i "sine=d=4" -c:v libx264 -preset ultrafast \
        -c:a aac -strict -2 -tag:a zzzz -f mov "$tmp/undecodable.mov"
    mv -f "$tmp/undecodable.mov" "$out/undecodable.mov"
fi

names=(cam1.mp4 cam2.mkv cam3.mkv cam4.mov)
for i in 0 1 2 3; do
    video=$(ffprobe -v error -select_streams v:0 -show_entries stream=start_time -of csv=p=0 "$out/${names[$i]}")
    echo "${names[$i]} ${starts[$i]} ${video:-0}"
done >"$tmp/truth.txt"
mv -f "$tmp/truth.txt" "$out/truth.txt"
