#!/bin/sh
# One `orvela-jukebox-tool info` per hostile audio file (made by
# make-hostile-files.py from the committed fixtures): wall-clock seconds and
# peak resident memory of the whole process, and what it printed.
# Usage: bench/hostile-files.sh TOOL [FOLDER]
#   TOOL    the built orvela-jukebox-tool (build/program/orvela-jukebox-tool)
#   FOLDER  where the files are made and kept for later runs (default: a
#           folder under TMPDIR); the 1 GiB ones are sparse.
# Needs python3 and GNU time (/usr/bin/time). Run twice: the first run also
# reads the files into the page cache.
set -e
TOOL=$(realpath "${1:?usage: $0 TOOL [FOLDER]}")
HERE=$(cd "$(dirname "$0")" && pwd)
FOLDER=${2:-${TMPDIR:-/tmp}/orvela-hostile-files}
if [ ! -e "$FOLDER/samples-2pow36.flac" ]; then
  python3 "$HERE/make-hostile-files.py" "$HERE/../tests/fixtures/audio" "$FOLDER"
fi
printf '%-28s %8s %9s  %s\n' file seconds peak_MB "info's line"
for f in "$FOLDER"/*; do
  line=$(/usr/bin/time -f '%e %M' -o "$FOLDER.time" "$TOOL" info "$f" 2>/dev/null | cut -f2- | tr '\t' '|' | cut -c1-60)
  set -- $(cat "$FOLDER.time")
  printf '%-28s %8s %9.1f  %s\n' "$(basename "$f")" "$1" "$(echo "$2 / 1024" | bc -l)" "$line"
done
rm -f "$FOLDER.time"
