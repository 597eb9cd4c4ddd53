#!/usr/bin/env bash
# Runs fuzz targets built by build.sh. Usage: run.sh FOLDER SECONDS [NAME...] (all when none).
# Each target starts from its seeds in tests/fuzz/corpus/NAME; with FUZZ_KEEP=1 (make fuzz) it
# keeps what it finds in FOLDER/corpus/NAME and starts from that too, else it works in a folder
# of its own that goes at the end. A crash, hang, leak or sanitizer report is saved as
# FOLDER/artifacts/NAME-* and fails the run. FUZZ_RUNS=N stops each target after N inputs
# (the seconds still bound it); FUZZ_TIMEOUT=S lets one input take S seconds (10).
set -euo pipefail
out=${1:?usage: run.sh FOLDER SECONDS [NAME...]}
out=$(cd "$out" && pwd) # the targets may change their working folder
seconds=${2:-60}
shift 2 || shift $#
here=$(cd "$(dirname "$0")" && pwd)
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
    for f in "$here"/*_fuzz.cpp; do
        b=$(basename "$f" _fuzz.cpp)
        names+=("$b")
    done
fi

# A quarantine of 16 MB (not 256) still catches a use after free within an input (they are a
# few KB), and spares the kernel the pages a large one keeps faulting in: a third of the time.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:quarantine_size_mb=16}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$here/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# The targets write and replace files at every input: in memory, not on the disk.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
    export TMPDIR=/dev/shm
fi

failed=0
for name in "${names[@]}"; do
    bin=$out/fuzz_$name
    [ -x "$bin" ] || { echo "run.sh: $bin is not built" >&2; exit 1; }
    mkdir -p "$out/artifacts"
    if [ "${FUZZ_KEEP:-0}" = 1 ]; then
        work=$out/corpus/$name
        mkdir -p "$work"
    else
        work=$(mktemp -d "$out/run-$name.XXXXXX")
    fi
    args=(-max_total_time="$seconds" -timeout="${FUZZ_TIMEOUT:-10}" -rss_limit_mb=4096 -print_final_stats=1
          -artifact_prefix="$out/artifacts/$name-")
    [ -n "${FUZZ_RUNS:-}" ] && args+=(-runs="$FUZZ_RUNS")
    [ -f "$here/$name.dict" ] && args+=(-dict="$here/$name.dict")
    log=$out/fuzz-$name-$$.log
    seeds=()
    [ -d "$here/corpus/$name" ] && seeds+=("$here/corpus/$name")
    if "$bin" "${args[@]}" "$work" "${seeds[@]}" >"$log" 2>&1; then
        runs=$(grep -a -o 'Done [0-9]* runs' "$log" | tail -1 | awk '{print $2}') || true
        cov=$(grep -a -E '^#[0-9]+' "$log" | tail -1 | grep -a -o 'cov: [0-9]*' | awk '{print $2}') || true
        ft=$(grep -a -E '^#[0-9]+' "$log" | tail -1 | grep -a -o 'ft: [0-9]*' | awk '{print $2}') || true
        echo "fuzz_$name: ${runs:-?} runs, ${cov:-?} edges, ${ft:-?} features, no finding"
    else
        failed=1
        echo "fuzz_$name: FAILED (log: $log)"
        grep -a -E 'ERROR|SUMMARY|runtime error|Test unit written|check failed' "$log" | head -20 || true
    fi
    [ "${FUZZ_KEEP:-0}" = 1 ] || rm -rf "$work"
done
exit $failed
