#!/bin/sh
# `orvela-jukebox-tool info` against a small TagLib program reading the same
# fields, each as a whole process over the same folder of small MP3 files.
# Prints wall-clock seconds (best of RUNS) and, where strace is installed, the
# system calls per file.
# Usage: bench/info-vs-taglib.sh TOOL [COUNT] [RUNS]
#   TOOL   the built orvela-jukebox-tool (build/program/orvela-jukebox-tool)
#   COUNT  files to make (default 10000), RUNS timed runs each (default 5)
# Needs ffmpeg (to make one tagged MP3, copied COUNT times), g++ and TagLib's
# headers (libtag1-dev), bc.
set -e
TOOL=$(realpath "${1:?usage: $0 TOOL [COUNT] [RUNS]}")
COUNT=${2:-10000}
RUNS=${3:-5}
HERE=$(cd "$(dirname "$0")" && pwd)
WORK=$(mktemp -d "${TMPDIR:-/tmp}/orvela-info-bench.XXXXXX")
trap 'rm -rf "$WORK"' EXIT

g++ -O2 -std=c++17 -o "$WORK/taglib-info" "$HERE/taglib_info.cpp" $(pkg-config --cflags --libs taglib)

# One second of tone at 128 kbit/s with an ID3v2.3 and an ID3v1 tag (17 KB).
ffmpeg -loglevel error -f lavfi -i "sine=frequency=440:duration=1" -ac 2 -c:a libmp3lame -b:a 128k \
  -id3v2_version 3 -write_id3v1 1 -metadata title=Tone -metadata artist=Band -metadata date=1999 \
  -metadata genre=Rock "$WORK/one.mp3"
mkdir "$WORK/files"
i=1
while [ "$i" -le "$COUNT" ]; do
  cp "$WORK/one.mp3" "$WORK/files/f$i.mp3"
  i=$((i + 1))
done
cd "$WORK/files"

# Best of RUNS, in seconds, after one run that warms the page cache.
best() {
  "$@" * >/dev/null
  b=""
  r=0
  while [ "$r" -lt "$RUNS" ]; do
    s=$(date +%s.%N)
    "$@" * >/dev/null
    e=$(date +%s.%N)
    t=$(echo "$e - $s" | bc)
    if [ -z "$b" ] || [ "$(echo "$t < $b" | bc)" -eq 1 ]; then b=$t; fi
    r=$((r + 1))
  done
  echo "$b"
}

ours=$(best "$TOOL" info)
theirs=$(best "$WORK/taglib-info")
echo "files:                     $COUNT"
echo "orvela-jukebox-tool info:  ${ours} s"
echo "TagLib reader:             ${theirs} s"
echo "TagLib / ours:             $(echo "scale=2; $theirs / $ours" | bc)"
# Same answers for the file? (TagLib prints the year as a number, 0 for none.)
echo "orvela: $("$TOOL" info f1.mp3)"
echo "taglib: $("$WORK/taglib-info" f1.mp3)"

if command -v strace >/dev/null 2>&1; then
  for who in ours theirs; do
    if [ "$who" = ours ]; then set -- "$TOOL" info; else set -- "$WORK/taglib-info"; fi
    strace -f -c -o "$WORK/strace.txt" "$@" * >/dev/null
    total=$(awk '$NF == "total" { print $4 }' "$WORK/strace.txt")
    echo "system calls per file ($who): $(echo "scale=2; $total / $COUNT" | bc)"
  done
fi
