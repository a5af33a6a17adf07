#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need on Debian 12 (run as root).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends \
  build-essential cmake ninja-build pkg-config git ca-certificates \
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libqt6serialport6 \
  qt6-qpa-plugins libgl-dev \
  libgtest-dev libgmock-dev googletest libbenchmark-dev \
  gettext libzip-dev libpugixml-dev \
  srecord python3 lintian \
  clang libclang-rt-14-dev \
  libudev-dev qt6-translations-l10n python3-openpyxl libxlsxwriter-dev qt6-charts-dev \
  xvfb xauth x11-apps xdotool imagemagick fonts-dejavu-core \
  libqt6opengl6-dev >/dev/null
