#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer into
# FOLDER (the program's code is built there again, for fuzzing). Usage: build.sh FOLDER
set -euo pipefail
out=${1:?usage: build.sh FOLDER}
src=$(cd "$(dirname "$0")/../.." && pwd)
cxx=$(command -v clang++-14 || command -v clang++ || true)
if [ -z "$cxx" ]; then
    echo "build.sh: clang++ is missing (scripts/install-deps.sh installs clang-14)" >&2
    exit 1
fi
# -O1 with assertions kept: fast enough to fuzz, and Qt's and the code's checks still fire.
# Warnings are held to errors by the g++ build (CI=true); clang's differ, and a warning of its
# own must not keep the fuzz targets from running, so CI is left out here.
env -u CI cmake -S "$src" -B "$out" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" -DTETRAV_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$out" --target fuzz_targets -j "${JOBS:-2}"
