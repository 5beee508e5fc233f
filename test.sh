#!/bin/sh
# Installs what is missing, builds everything and runs every test.
set -e
cd "$(dirname "$0")"
scripts/ensure-packages.sh
cmake -S . -B build -G Ninja -DORVELA_BUILD_TESTS=ON
cmake --build build
cd build && ctest --output-on-failure --timeout 600 "$@"
