#!/usr/bin/env bash
# Rebuilds the pictures in assets/ from make_pictures.cpp.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
g++ -std=c++20 -O1 -fPIC "$here/make_pictures.cpp" -o "$work/make_pictures" \
  $(pkg-config --cflags --libs Qt6Gui)
"$work/make_pictures" "$here/.."
