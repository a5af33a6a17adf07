#!/usr/bin/env bash
# Runs every fuzz target for SECONDS each (one at a time, niced) on its seed corpus and prints
#   fuzz <target> runs=<n> crashes=<n>
# A target that crashes is started again until its time is used up; the inputs that crashed
# are kept in <build dir>/artifacts/<target>/.
#   fuzz/run-all.sh SECONDS [target...]        (BUILD_DIR overrides build-fuzz)
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:?usage: fuzz/run-all.sh SECONDS [target...]}"
shift
out="${BUILD_DIR:-$root/build-fuzz}"
# FUZZ_NO_BUILD=1 runs what is built.
if [ -z "${FUZZ_NO_BUILD:-}" ]; then
  bash "$root/fuzz/build.sh" "$out" > "$out.log" 2>&1 || { cat "$out.log"; exit 1; }
fi

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(wireformat_fuzz serialrx_fuzz sampledata_fuzz settingsini_fuzz presetfile_fuzz pkd_fuzz
           workbook_fuzz bootloader_fuzz hexfile_fuzz)
fi
# Scratch files go to memory where there is some: the settings save syncs every file it writes.
if [ -z "${TMPDIR:-}" ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8

status=0
for t in "${targets[@]}"; do
  name="${t%_fuzz}"
  corpus="$out/corpus/$t"
  artifacts="$out/artifacts/$t"
  mkdir -p "$corpus" "$artifacts"
  extra=()
  [ -d "$root/fuzz/corpus/$name" ] && extra+=("$root/fuzz/corpus/$name")
  [ -f "$root/fuzz/$name.dict" ] && extra=(-dict="$root/fuzz/$name.dict" "${extra[@]}")
  runs=0
  crashes=0
  end=$(( $(date +%s) + seconds ))
  starts=0
  while :; do
    left=$(( end - $(date +%s) ))
    [ "$left" -gt 0 ] || break
    log="$out/$t.log"
    nice "$out/fuzz/$t" -max_total_time="$left" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$artifacts/" "$corpus" "${extra[@]}" > "$log" 2>&1
    rc=$?
    n=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
    [ -n "$n" ] || n=$(grep -o '^#[0-9]*' "$log" | tail -1 | tr -d '#')
    runs=$(( runs + ${n:-0} ))
    [ "$rc" -eq 0 ] && break
    crashes=$(( crashes + 1 ))
    cp "$log" "$artifacts/crash-$crashes.log"
    starts=$(( starts + 1 ))
    [ "$starts" -lt 50 ] || break
  done
  echo "fuzz $t runs=$runs crashes=$crashes"
  [ "$crashes" -eq 0 ] || status=1
done
exit $status
