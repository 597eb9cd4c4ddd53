#!/usr/bin/env bash
# The soak: the real `tetrav` program on a private Xvfb and session bus, driven as the desktop
# drives it: the four 1080p benchmark clips opened as a set through its org.freedesktop.Application
# door, played, moved with MPRIS seeks, paused, resumed and stopped, CYCLES times (50 unless
# given). After each stop it prints the program's resident memory (from /proc) with the set
# closed, its threads and descriptors, then the first and last of those, the largest and the peak.
# Targets: the last within 10 % of the first close, the peak under 400 MB.
# Usage: bench/soak.sh BUILD_DIR [CYCLES]
set -euo pipefail
if [ -z "${TETRAV_SOAK_BUS:-}" ]; then
    exec dbus-run-session -- env TETRAV_SOAK_BUS=1 "$0" "$@"
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
case $build in /*) ;; *) build="$root/$build" ;; esac
cycles=${2:-50}
tetrav=${TETRAV_BIN:-$build/tetrav}
[ -x "$tetrav" ] || { echo "build first: $tetrav is missing" >&2; exit 1; }

clips="$build/bench-clips"
echo "Making the benchmark clips (once) in $clips ..."
"$root/scripts/make-clips.sh" --bench "$clips"

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

"$tetrav" >"$tmp/tetrav.log" 2>&1 &
pid=$!
trap 'stop_all $pid; rm -rf "$tmp"; xvfb_stop' EXIT

for _ in $(seq 1 100); do
    gdbus introspect --session --dest org.tetrav.Tetrav --object-path /org/tetrav/Tetrav >/dev/null 2>&1 && break
    sleep 0.1
done
uris="[$(printf "'file://%s'," "$clips"/hd30_1.mp4 "$clips"/hd30_2.mp4 "$clips"/hd30_3.mp4 "$clips"/hd30_4.mp4)]"
uris=${uris/,]/]}

first=-1
largest=0
last=0
longest_stop=0
for cycle in $(seq 1 "$cycles"); do
    gdbus call --session --dest org.tetrav.Tetrav --object-path /org/tetrav/Tetrav \
        --method org.freedesktop.Application.Open "$uris" '{}' >/dev/null
    play_when_open
    sleep 1.5
    for offset in 10500000 -7500000 15500000; do
        mpris Seek "int64 $offset"
        sleep 0.7
    done
    mpris Pause
    sleep 0.3
    mpris Play
    sleep 0.7
    t0=$(now_s)
    mpris Stop
    t1=$(now_s)
    stop_ms=$(awk -v a="$t0" -v b="$t1" 'BEGIN {printf "%d", (b - a) * 1000}')
    [ "$stop_ms" -gt "$longest_stop" ] && longest_stop=$stop_ms
    wait_status Stopped
    sleep 1 # the pipelines going down beside the event loop
    last=$(($(status_kb "$pid" VmRSS) / 1024))
    [ "$first" -lt 0 ] && first=$last
    [ "$last" -gt "$largest" ] && largest=$last
    echo "cycle $cycle: resident $last MB with the set closed (peak so far $(($(status_kb "$pid" VmHWM) / 1024)) MB," \
        "$(awk '$1 == "Threads:" {print $2}' "/proc/$pid/status") threads, $(ls "/proc/$pid/fd" | wc -l) descriptors)"
done
printf 'soak: %d cycles of the real program: resident with the set closed: first %d MB, last %d MB (%+.1f %%), largest %d MB; peak %d MB; longest stop %d ms\n' \
    "$cycles" "$first" "$last" "$(awk -v a="$first" -v b="$last" 'BEGIN {print 100 * (b - a) / a}')" "$largest" \
    $(($(status_kb "$pid" VmHWM) / 1024)) "$longest_stop"
