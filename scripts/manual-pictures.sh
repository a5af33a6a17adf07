#!/usr/bin/env bash
# Renews the manual's pictures (docs/manual/images/*_de.png, *_en.png) from the real program in
# service mode against the virtual device. Needs a configured build (scripts/test.sh or demo.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build -j2 --target sarvik_manualshots
for lang in de en; do
  build/docs/manual/sarvik_manualshots docs/manual/images "$lang" 2>/dev/null
done
