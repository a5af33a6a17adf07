#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, everything instrumented with ASan and UBSan, in a
# build folder of their own (default build-fuzz).
#   fuzz/build.sh [build dir]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="${1:-$root/build-fuzz}"
launcher=()
if command -v ccache > /dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
if [ ! -f "$out/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS=-O1 \
    -DSARVIK_FUZZ=ON -DSARVIK_BUILD_TESTS=OFF -DSARVIK_BUILD_BENCH=OFF "${launcher[@]}" > /dev/null
fi
nice cmake --build "$out" -j"${JOBS:-2}" --target fuzzers
