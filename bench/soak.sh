#!/usr/bin/env bash
# The soak: the real main window opens the four 1080p benchmark clips as a set, plays them with
# seeks, pauses and stops them, CYCLES times (50 unless given), on a private Xvfb; it prints the
# resident memory with the set closed after each cycle and the peak.
# Usage: bench/soak.sh BUILD_DIR [CYCLES]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
case $build in /*) ;; *) build="$root/$build" ;; esac
cycles=${2:-50}
soak="$build/bench/soak"
[ -x "$soak" ] || { echo "build first: $soak is missing" >&2; exit 1; }

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

"$soak" --cycles "$cycles" "$clips"/bench1.mp4 "$clips"/bench2.mp4 "$clips"/bench3.mp4 "$clips"/bench4.mp4
