#!/usr/bin/env bash
# Starts the program's main window under Xvfb against an accelerated virtual device and saves
# the README's pictures of the two charts: docs/screenshot-operation-chart.png ("Fernsteuerung"
# during a run of preset 1) and docs/screenshot-log-chart.png (a downloaded run's log shown by
# "Verlauf anzeigen"), or into the folder given. Needs a configured build (scripts/demo.sh or
# scripts/test.sh) and the packages of scripts/install-deps.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs}
cmake --build build -j2 --target sarvik_chartshots
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
sleep 1
DISPLAY=$display QT_QPA_PLATFORM=xcb build/docs/manual/sarvik_chartshots "$out" 2>/dev/null
