#!/usr/bin/env bash
# Screenshots of the desktop job editor under Xvfb: the panelized example job
# (built by scripts/demo.sh) opened in the main window, its first board
# selected; then the export dialog, that board's aperture table and the
# preview. Writes out/screenshots/main-window.png, export-dialog.png,
# aperture-table.png and preview.png.
# Usage: scripts/screenshot.sh [BUILD_DIR]   (default: build)
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
if [ ! -f "$root/$build/build.ninja" ]; then
  cmake -S "$root" -B "$root/$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$root/$build" --target drumplot-cli ui_tests
"$root/scripts/demo.sh" "$build" > /dev/null
out="$root/out/screenshots"
mkdir -p "$out"
rm -f "$out/main-window.png" "$out/export-dialog.png" "$out/aperture-table.png" "$out/preview.png"
# The demo's settings file: millimetres, the layer names and the mark table.
DRUMPLOT_SETTINGS="$root/out/demo/GerbPrj.ini" \
DRUMPLOT_SCREENSHOT="$out/main-window.png" \
DRUMPLOT_SCREENSHOT_JOB="$root/out/demo/core-panel.wpr" \
QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$root/$build/tests/ui_tests" --gtest_filter='ScreenshotTest.*'
DRUMPLOT_SETTINGS="$root/out/demo/GerbPrj.ini" \
DRUMPLOT_SCREENSHOT_DIR="$out" \
DRUMPLOT_SCREENSHOT_JOB="$root/out/demo/core-panel.wpr" \
QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$root/$build/tests/ui_tests" --gtest_filter='OutputScreenshotTest.*'
for shot in main-window export-dialog aperture-table preview; do
  test -s "$out/$shot.png"
done
echo "Screenshots written to $out"
