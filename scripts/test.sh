#!/usr/bin/env bash
# Installs the dependencies, builds everything and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2
ctest --test-dir build --output-on-failure -j2

# The whole suite once more with AddressSanitizer and UndefinedBehaviorSanitizer, in a folder of
# its own and kept lean (-O1, no debug info, no benchmarks). SARVIK_SANITIZER_SUITE=0 leaves it out
# for a quick local run.
if [ "${SARVIK_SANITIZER_SUITE:-1}" != 0 ]; then
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=None "-DCMAKE_CXX_FLAGS=-O1 -g0" \
    -DSARVIK_SANITIZE=address,undefined -DSARVIK_BUILD_BENCH=OFF
  cmake --build build-asan -j2
  # The package test builds and starts a .deb; the sanitizers add nothing to it.
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=0 \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j2 -E '^packaging_deb$'
fi
