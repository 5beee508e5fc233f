#!/bin/sh
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and runs
# the whole test suite under them.
set -e
cd "$(dirname "$0")/.."
scripts/ensure-packages.sh
cmake -S . -B build-asan -G Ninja -DORVELA_BUILD_TESTS=ON -DORVELA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
cmake --build build-asan
cd build-asan
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --output-on-failure --timeout 900 "$@"
