#!/bin/sh
# Installs what is missing, makes a Release build of the programs and writes
# build-package/orvela-jukebox_<version>_<arch>.deb.
set -e
cd "$(dirname "$0")"
scripts/ensure-packages.sh dpkg-dev
cmake -S . -B build-package/build -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVELA_BUILD_TESTS=OFF
cmake --build build-package/build -j2 --target orvela-jukebox orvela-jukebox-tool orvela-jukebox-tool-audio
scripts/make-deb.sh build-package/build build-package
