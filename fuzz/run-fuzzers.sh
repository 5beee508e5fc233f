#!/bin/sh
# Builds the libFuzzer targets with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer and runs each for SECONDS, one after another.
# Usage: fuzz/run-fuzzers.sh SECONDS [TARGET...]   (default: every fuzz_* target)
# The committed seeds in fuzz/corpus/<target>/ are copied into the growing corpus
# under fuzz/out/corpus/<target>/; crash inputs land in fuzz/out/artifacts/<target>/.
set -e
if [ $# -lt 1 ] || ! [ "$1" -gt 0 ] 2>/dev/null; then
  echo "usage: $0 SECONDS [TARGET...]" >&2
  exit 2
fi
SECONDS_EACH=$1
shift
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$ROOT/build-fuzz
OUT=$ROOT/fuzz/out

missing=""
for p in clang libclang-rt-14-dev; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
if [ -n "$missing" ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  echo "Installing:$missing"
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -q
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
fi

if [ $# -gt 0 ]; then
  TARGETS="$*"
else
  TARGETS=""
  for src in "$ROOT"/fuzz/fuzz_*.cpp; do
    [ -e "$src" ] || continue
    TARGETS="$TARGETS $(basename "$src" .cpp)"
  done
fi
[ -n "$TARGETS" ] || { echo "no fuzz targets" >&2; exit 2; }

CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -G Ninja -DORVELA_FUZZ=ON \
  -DORVELA_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# shellcheck disable=SC2086
cmake --build "$BUILD" -j2 --target $TARGETS

# Inputs are small, so one large allocation means a size taken from the input
# was trusted; the limit turns it into a finding.
MALLOC_LIMIT_MB=${FUZZ_MALLOC_LIMIT_MB:-64}
export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

status=0
summary=""
for t in $TARGETS; do
  corpus=$OUT/corpus/$t
  artifacts=$OUT/artifacts/$t
  log=$OUT/logs/$t.log
  mkdir -p "$corpus" "$artifacts" "$OUT/logs"
  if [ -d "$ROOT/fuzz/corpus/$t" ]; then
    cp -n "$ROOT/fuzz/corpus/$t"/* "$corpus"/ 2>/dev/null || true
  fi
  echo "== $t for ${SECONDS_EACH}s (log: $log)"
  if "$BUILD/fuzz/$t" "$corpus" -max_total_time="$SECONDS_EACH" -timeout=10 \
      -malloc_limit_mb="$MALLOC_LIMIT_MB" -print_final_stats=1 \
      -artifact_prefix="$artifacts/" >"$log" 2>&1; then
    result="ok"
  else
    result="FAILED (see $log and $artifacts)"
    status=1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  [ -n "$runs" ] || runs=$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$log" | tail -n 1)
  line="$t: ${runs:-?} executions in ${SECONDS_EACH}s, $result"
  echo "$line"
  summary="$summary$line
"
done
echo "== summary"
printf '%s' "$summary"
exit $status
