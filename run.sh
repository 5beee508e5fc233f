#!/bin/sh
# Installs what is missing, builds, and starts the jukebox from its program folder.
set -e
cd "$(dirname "$0")"
scripts/ensure-packages.sh
cmake -S . -B build -G Ninja -DORVELA_BUILD_TESTS=ON
cmake --build build --target orvela-jukebox orvela-jukebox-tool program_data
PROGRAM=build/program
# A new program folder gets a small demo collection so the jukebox shows music at once.
if ! grep -q "<ROW " "$PROGRAM/Musikliste.xml" 2>/dev/null; then
  "$PROGRAM/orvela-jukebox-tool" demo "$PROGRAM" || echo "Could not create the demo collection."
fi
if [ -z "$DISPLAY" ] && [ -z "$WAYLAND_DISPLAY" ] && [ "$QT_QPA_PLATFORM" != "offscreen" ]; then
  echo "No display found (DISPLAY and WAYLAND_DISPLAY are not set)."
  echo "Start ./run.sh inside a desktop session, or under Xvfb: xvfb-run -s '-screen 0 1920x1080x24' ./run.sh"
  exit 1
fi
exec "$PROGRAM/orvela-jukebox"
