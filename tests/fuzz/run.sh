#!/usr/bin/env bash
# Runs fuzz targets built by build.sh. Usage: run.sh FOLDER SECONDS [NAME...] (all when none).
# Each target starts from its seeds in tests/fuzz/corpus/NAME and keeps what it finds in
# FOLDER/corpus/NAME; a crash, hang, leak or sanitizer report is saved as
# FOLDER/artifacts/NAME-* and fails the run. FUZZ_RUNS=N stops each target after N inputs
# instead (FUZZ_SECONDS still bounds it).
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

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
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
    mkdir -p "$out/corpus/$name" "$out/artifacts"
    args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -print_final_stats=1
          -artifact_prefix="$out/artifacts/$name-")
    [ -n "${FUZZ_RUNS:-}" ] && args+=(-runs="$FUZZ_RUNS")
    [ -f "$here/$name.dict" ] && args+=(-dict="$here/$name.dict")
    log=$out/fuzz-$name.log
    seeds=()
    [ -d "$here/corpus/$name" ] && seeds+=("$here/corpus/$name")
    if "$bin" "${args[@]}" "$out/corpus/$name" "${seeds[@]}" >"$log" 2>&1; then
        runs=$(grep -o 'Done [0-9]* runs' "$log" | tail -1 | awk '{print $2}')
        cov=$(grep -E '^#[0-9]+' "$log" | tail -1 | grep -o 'cov: [0-9]*' | awk '{print $2}')
        ft=$(grep -E '^#[0-9]+' "$log" | tail -1 | grep -o 'ft: [0-9]*' | awk '{print $2}')
        echo "fuzz_$name: ${runs:-?} runs, ${cov:-?} edges, ${ft:-?} features, no finding"
    else
        failed=1
        echo "fuzz_$name: FAILED (log: $log)"
        grep -E 'ERROR|SUMMARY|runtime error|Test unit written|Assertion' "$log" | head -20 || true
    fi
done
exit $failed
