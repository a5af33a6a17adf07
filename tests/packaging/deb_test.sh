#!/usr/bin/env bash
# Builds the Debian package from the build tree, unpacks it into a fresh folder and starts the
# program from there: it must run, and find its translations and manuals inside the unpacked tree
# (not in the build tree). lintian must report no errors.
#   deb_test.sh BUILD_DIR [CPACK]
set -euo pipefail
build=$(cd "$1" && pwd)
cpack=${2:-cpack}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$build" && "$cpack" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/out/sarvikcontrol_*.deb)
echo "package: $(basename "$deb")"
dpkg-deb --info "$deb" | sed -n '/Depends/p'

root="$work/root"
dpkg-deb -x "$deb" "$root"
for f in usr/bin/sarvikcontrol usr/bin/sarvik2v2-sim usr/bin/sarvikctl \
         usr/share/applications/org.sarvikcontrol.SarvikControl.desktop \
         usr/share/metainfo/org.sarvikcontrol.SarvikControl.metainfo.xml \
         usr/share/icons/hicolor/scalable/apps/sarvikcontrol.svg \
         usr/share/icons/hicolor/48x48/apps/sarvikcontrol.png \
         usr/share/man/man1/sarvikcontrol.1.gz usr/share/man/man1/sarvik2v2-sim.1.gz \
         usr/share/man/man1/sarvikctl.1.gz usr/share/bash-completion/completions/sarvikctl \
         usr/share/doc/sarvikcontrol/copyright \
         usr/lib/udev/rules.d/70-sarvik2v2.rules \
         usr/share/locale/en/LC_MESSAGES/sarvikcontrol.mo; do
  [ -e "$root/$f" ] || { echo "missing in the package: $f"; exit 1; }
done

app="$root/usr/bin/sarvikcontrol"
# No display: --help and --version must not need one.
env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "$app" --version | grep -E '^SarvikControl [0-9]+\.[0-9]+\.[0-9]+$'
env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "$app" --help | grep -q -- '--demo'
# The command line links no widgets and starts without a display.
env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "$root/usr/bin/sarvikctl" --version | grep -E '^sarvikctl [0-9]+\.[0-9]+\.[0-9]+$'
if ldd "$root/usr/bin/sarvikctl" | grep -q Qt6Widgets; then echo "sarvikctl links Qt Widgets"; exit 1; fi
paths=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "$app" --paths)
echo "$paths"
for key in "catalogue en" "manual de" "manual en"; do
  line=$(grep "^$key: " <<<"$paths") || { echo "no line for $key"; exit 1; }
  case "${line#*: }" in
    "$root"/*) ;;
    *) echo "$key is not found inside the package: $line"; exit 1 ;;
  esac
done

if command -v lintian >/dev/null 2>&1; then
  # Errors fail the test; warnings are listed.
  lintian --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 || true
  cat "$work/lintian.log"
  if grep -q '^E: ' "$work/lintian.log"; then
    echo "lintian reports errors"
    exit 1
  fi
else
  echo "lintian is not installed"
  exit 1
fi
echo "package test passed"
