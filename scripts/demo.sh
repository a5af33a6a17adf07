#!/usr/bin/env bash
# Installs the dependencies, builds the program and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2
# The program with a virtual Sarvik2V2 inside; settings go to the start directory.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  cat >&2 <<'TXT'
demo.sh: no display found, so the program runs invisibly (Qt's offscreen platform), connected to the
virtual device, until Ctrl+C. To see it, run demo.sh on a desktop (or with DISPLAY set, e.g. over
ssh -X), or take pictures: scripts/screenshot.sh (under Xvfb) or scripts/manual-pictures.sh.
TXT
  export QT_QPA_PLATFORM=offscreen
  # No session here: give Qt a private runtime folder, and keep the offscreen platform's own
  # remarks (which only say it has no windows to size) out of the terminal.
  XDG_RUNTIME_DIR=$(mktemp -d)
  export XDG_RUNTIME_DIR
  exec 2> >(grep -v --line-buffered -e 'propagateSizeHints' -e 'XDG_RUNTIME_DIR' >&2)
fi
exec ./build/src/app/sarvikcontrol --demo "$@"
