#!/usr/bin/env bash
# Installs the dependencies, builds the program and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2
# The program with a virtual Sarvik2V2 inside; settings go to the start directory.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "demo.sh: no display found; running without one (QT_QPA_PLATFORM=offscreen). Stop it with Ctrl+C." >&2
  export QT_QPA_PLATFORM=offscreen
fi
exec ./build/src/app/sarvikcontrol --demo "$@"
