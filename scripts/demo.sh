#!/usr/bin/env bash
# Installs the dependencies, builds the program and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2
# The program with a virtual Sarvik2V2 inside; settings go to the start directory.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  # No display: the virtual device live in the terminal instead of an invisible window.
  cat >&2 <<'TXT'
demo.sh: no display found, so the virtual device is shown in the terminal with sarvikctl (one
status line a second) until Ctrl+C. To see the program's windows, run demo.sh on a desktop (or
with DISPLAY set, e.g. over ssh -X), or take pictures: scripts/screenshot.sh (under Xvfb) or
scripts/manual-pictures.sh. Try also: ./build/src/cli/sarvikctl --demo records -o r.xlsx
TXT
  exec ./build/src/cli/sarvikctl --demo status --watch
fi
exec ./build/src/app/sarvikcontrol --demo "$@"
