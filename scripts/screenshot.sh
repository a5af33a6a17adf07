#!/usr/bin/env bash
# Starts the demo under Xvfb, opens "Fernsteuerung", starts preset 1 and saves a picture of the
# main window (docs/screenshot-operation.png unless a path is given). Needs a build (scripts/demo.sh
# or scripts/test.sh) and the packages of scripts/install-deps.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/screenshot-operation.png}
work=$(mktemp -d)
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1000x820x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "${app:-}" "$xvfb" 2>/dev/null || true; rm -rf "$work"' EXIT
export DISPLAY=$display
sleep 1
# A fresh settings file: the main window at the top left, tall enough for "Fernsteuerung" with
# its flow chart, German texts.
printf '[settings/WinPos/Client_0]\nTop=0\nLeft=0\nWidth=1000\nHeight=800\n' >"$work/SarvikControl.ini"
(cd "$work" && exec "$OLDPWD/build/src/app/sarvikcontrol" --demo -C "$work/SarvikControl.ini") >"$work/app.log" 2>&1 &
app=$!
sleep 4
# Without a window manager only the mouse reaches the window: the tool bar's "Fernsteuerung",
# then the window's "Start" (preset 1 is selected on a first start).
xdotool mousemove 342 41 click 1
sleep 2
xdotool mousemove 65 728 click 1
sleep 8
import -window root -crop 1000x800+0+0 +repage "$out"
kill -TERM "$app"
wait "$app" || true
echo "saved $out"
