#!/usr/bin/env bash
# Builds the libFuzzer target for the firmware file reader with clang (not part of the CMake
# build, which uses GCC) and writes a small seed corpus.
#   fuzz/build.sh [output dir]       then e.g.
#   <output dir>/hexfile_fuzz -max_total_time=600 -dict=fuzz/hex.dict <output dir>/corpus
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="${1:-$root/build-fuzz}"
mkdir -p "$out/corpus"
src="$root/src/modules/firmware"

CXX="${CXX:-clang++}"
# Qt is built with reduced relocations, so everything that uses it must be position-independent.
"$CXX" -std=c++20 -g -O1 -fPIC -fno-omit-frame-pointer \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -DQT_NO_KEYWORDS -DQT_NO_CAST_FROM_BYTEARRAY -I"$src" $(pkg-config --cflags Qt6Core) \
  "$root/fuzz/hexfile_fuzz.cpp" "$src/hexparser.cpp" "$src/hexfile.cpp" \
  $(pkg-config --libs Qt6Core) -o "$out/hexfile_fuzz"

# Seeds: a minimal file, records of each type, and srec_cat output when srecord is there.
printf ':020000040800F2\n:10C00000000102030405060708090A0B0C0D0E0FB8\n:00000001FF\n' > "$out/corpus/seed_basic.hex"
printf ':020000040800F2\r\n:0400000508000000EF\r\n:020000021000EC\r\n:020000040800F2\r\n:01C0000041FE\r\n' > "$out/corpus/seed_types.hex"
if command -v srec_cat > /dev/null; then
  head -c 600 /dev/urandom > "$out/seed.bin"
  srec_cat "$out/seed.bin" -binary -offset 0x0800FF00 -o "$out/corpus/seed_srec.hex" -intel \
    -output_block_size=32
  rm -f "$out/seed.bin"
fi
echo "built $out/hexfile_fuzz"
