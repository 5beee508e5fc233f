#!/bin/sh
# Makes the README's pictures at 1920x1080 from the demo collection: the playing
# main screen (docs/jukebox-playing.png), the settings menu, a question box and
# the collection window over it. Run it again when a window changes.
set -e
cd "$(dirname "$0")/.."
# BUILD names another build folder (default: build).
b=${BUILD:-build}
cmake -S . -B "$b" -G Ninja >/dev/null
cmake --build "$b" --target orvela-jukebox-tool orvela-screen-picture program_data
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A program folder of its own, so the operator's collection is never touched.
for f in Jukebox.ini TempMusikliste.xml TempGenre.text TempInterpret.text TempJahr.text; do
  cp assets/data/$f "$work/"
done
cp assets/data/Musikliste.xml "$work/"
"$b"/program/orvela-jukebox-tool demo "$work" >/dev/null
picture() {
  QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy "$b"/tools/orvela-screen-picture --view "$1" "$work" "$2" 1920 1080
}
picture playing docs/jukebox-playing.png
picture settings-menu docs/settings-menu.png
picture message-box docs/message-box.png
picture collection-window docs/collection-window.png
