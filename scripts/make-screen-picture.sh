#!/bin/sh
# Makes docs/jukebox-playing.png, the README's picture of the playing main screen
# at 1920x1080, from the demo collection. Run it again when the screen changes.
set -e
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target orvela-jukebox-tool orvela-screen-picture program_data
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A program folder of its own, so the operator's collection is never touched.
for f in Jukebox.ini TempMusikliste.xml TempGenre.text TempInterpret.text TempJahr.text; do
  cp assets/data/$f "$work/"
done
cp assets/data/Musikliste.xml "$work/"
build/program/orvela-jukebox-tool demo "$work" >/dev/null
QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy build/tools/orvela-screen-picture "$work" docs/jukebox-playing.png 1920 1080
