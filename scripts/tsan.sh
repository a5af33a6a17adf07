#!/usr/bin/env bash
# ThreadSanitizer over the link, worker, firmware and end-to-end tests (outside CI: slow, and Qt
# itself is not instrumented). Builds build-tsan/ and runs those tests; races whose stack runs
# through Qt's own libraries are suppressed by scripts/tsan.supp.
#   scripts/tsan.sh [ctest arguments]
set -euo pipefail
cd "$(dirname "$0")/.."
launcher=()
if command -v ccache > /dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=None "-DCMAKE_CXX_FLAGS=-O1 -g" \
  -DSARVIK_SANITIZE=thread -DSARVIK_BUILD_BENCH=OFF "${launcher[@]}" > /dev/null
nice cmake --build build-tsan -j2 --target \
  devicelink_wireformat_test devicelink_worker_test devicelink_serial_test devicelink_uiinvoker_test disc_discovery_test \
  disc_connection_test firmware_machine_test firmware_device_test firmware_bootsim_test \
  firmware_linkhalt_test firmware_window_test app_inprocess_test app_exe_test sarvikcontrol sarvik2v2-sim
# The runtime needs the address layout it was built for; newer kernels randomise more than that.
TSAN_OPTIONS="suppressions=$PWD/scripts/tsan.supp:halt_on_error=1:second_deadlock_stack=1" \
  setarch "$(uname -m)" -R nice ctest --test-dir build-tsan --output-on-failure -j2 \
  -R '^(devicelink_|disc_|firmware_|app_)' -E 'NOT_BUILT' "$@"
