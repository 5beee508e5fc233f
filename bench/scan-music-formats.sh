#!/bin/sh
# How fast `orvela-jukebox-tool scan` turns a tree of FLAC, M4A, Ogg or Opus
# files into a collection: the whole process (start, walk, TagLib reading every
# file, the collection file written), with a warm cache. Aim: 5,000 files/s.
#
# The tree is 50 folders of 200 copies of the committed test files, tagged and
# untagged ones in turn (TagLib reads a copy as it reads any file: the tag
# and the stream headers, never the audio data).
# Usage: bench/scan-music-formats.sh [BUILD_DIR [FORMAT...]]
#   BUILD_DIR defaults to ./build; FORMAT is flac, m4a, ogg or opus (default: flac m4a).
set -e
SOURCE_DIR=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=$(cd "${1:-$SOURCE_DIR/build}" && pwd)
[ $# -gt 0 ] && shift
FORMATS=${*:-flac m4a}
TOOL="$BUILD_DIR/program/orvela-jukebox-tool"
FIXTURES="$SOURCE_DIR/tests/fixtures/audio"
[ -x "$TOOL" ] || { echo "scan-music-formats: $TOOL is not built" >&2; exit 1; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
EMPTY='<?xml version="1.0" standalone="yes"?>  <DATAPACKET Version="2.0"><METADATA><FIELDS><FIELD attrname="Interpret" fieldtype="string" WIDTH="500"/><FIELD attrname="Titel" fieldtype="string" WIDTH="500"/><FIELD attrname="Pfad" fieldtype="string" WIDTH="500"/><FIELD attrname="Genre" fieldtype="string" WIDTH="20"/><FIELD attrname="Jahr" fieldtype="string" WIDTH="20"/><FIELD attrname="Dauer" fieldtype="string" WIDTH="20"/></FIELDS><PARAMS/></METADATA><ROWDATA></ROWDATA></DATAPACKET>'

now() { date +%s.%N; }

for format in $FORMATS; do
  music="$WORK/$format"
  mkdir -p "$music/Album 1"
  for i in $(seq 1 100); do
    cp "$FIXTURES/tagged.$format" "$music/Album 1/Titel $i a.$format"
    cp "$FIXTURES/untagged.$format" "$music/Album 1/Titel $i b.$format"
  done
  for folder in $(seq 2 50); do cp -r "$music/Album 1" "$music/Album $folder"; done
  mkdir -p "$WORK/programm"
  # Warm the cache: every file read once.
  cat "$music"/*/* > /dev/null
  best=""
  for run in 1 2 3; do
    printf '%s' "$EMPTY" > "$WORK/programm/Musikliste.xml"
    start=$(now)
    "$TOOL" scan --recursive "$music" "$WORK/programm" > "$WORK/out"
    end=$(now)
    rate=$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%d", 10000 / (e - s) }')
    echo "$format run $run: $(cat "$WORK/out"); whole process $(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.2f", e - s }') s, $rate files/s"
    if [ -z "$best" ] || [ "$rate" -gt "$best" ]; then best=$rate; fi
  done
  echo "$format: best whole-process rate $best files/s over 10000 files"
done
