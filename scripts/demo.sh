#!/usr/bin/env bash
# Installs the dependencies, builds the program and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2
# Until the main window lands, this exercises the device link end to end.
exec ./build/bench/link_bench "$@"
