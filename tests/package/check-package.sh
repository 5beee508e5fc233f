#!/bin/sh
# Checks a .deb's contents and control data: the installed layout, the links,
# the data files, the maintainer scripts and the library packages in Depends.
# Usage: tests/package/check-package.sh PACKAGE.deb
#    or: tests/package/check-package.sh --from-build BUILD_DIR
# The second form makes a scratch package from an already built tree first
# (no new compile), which is what ctest does.
set -e
SOURCE_DIR=$(cd "$(dirname "$0")/../.." && pwd)
SCRATCH=$(mktemp -d)
trap 'rm -rf "$SCRATCH"' EXIT

if [ "$1" = --from-build ]; then
  DEB=$("$SOURCE_DIR/scripts/make-deb.sh" "$2" "$SCRATCH/out" | tail -n 1)
else
  DEB=$1
fi
[ -f "$DEB" ] || { echo "no package: $DEB"; exit 1; }

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

ARCH=$(dpkg --print-architecture)
VERSION=$(sed -n 's/^project(OrvelaJukebox VERSION \([0-9.]*\).*/\1/p' "$SOURCE_DIR/CMakeLists.txt")
case "$(basename "$DEB")" in
  "orvela-jukebox_${VERSION}_${ARCH}.deb") ;;
  *) fail "file name $(basename "$DEB"), expected orvela-jukebox_${VERSION}_${ARCH}.deb" ;;
esac

dpkg-deb --contents "$DEB" > "$SCRATCH/contents"
dpkg-deb --field "$DEB" > "$SCRATCH/control"
dpkg-deb --control "$DEB" "$SCRATCH/DEBIAN"

# "mode owner size date time path[ -> target]" per line.
entry() { awk -v p="./$1" '$6 == p' "$SCRATCH/contents"; }

for exe in orvela-jukebox orvela-jukebox-tool orvela-jukebox-tool-audio kiosk-session; do
  line=$(entry "usr/lib/orvela-jukebox/$exe")
  case "$line" in
    -rwxr-xr-x\ root/root*) ;;
    *) fail "usr/lib/orvela-jukebox/$exe missing or not an executable owned by root: '$line'" ;;
  esac
done
for link in orvela-jukebox orvela-jukebox-tool; do
  line=$(entry "usr/bin/$link")
  case "$line" in
    l*"-> ../lib/orvela-jukebox/$link") ;;
    *) fail "usr/bin/$link is not a link to ../lib/orvela-jukebox/$link: '$line'" ;;
  esac
done
[ -z "$(entry usr/bin/orvela-jukebox-tool-audio)" ] || fail "the audio half must stay out of PATH"
for data in "$SOURCE_DIR"/assets/data/*; do
  name=$(basename "$data")
  line=$(entry "usr/share/orvela-jukebox/$name")
  case "$line" in
    -rw-r--r--\ root/root*) ;;
    *) fail "data file usr/share/orvela-jukebox/$name missing: '$line'" ;;
  esac
done
[ -n "$(entry lib/systemd/system/orvela-jukebox-kiosk.service)" ] || fail "kiosk unit missing"
# Nothing may be installed into the program folder: dpkg would own (and on
# remove delete) the operator's files.
if grep -q '\./var/' "$SCRATCH/contents"; then fail "the package ships files under /var"; fi

for s in postinst prerm postrm; do
  [ -x "$SCRATCH/DEBIAN/$s" ] || fail "maintainer script $s missing"
  sh -n "$SCRATCH/DEBIAN/$s" || fail "maintainer script $s does not parse"
done

# Every program the kiosk unit starts must come with the package: a unit whose
# ExecStart is missing fails at each start (203/EXEC) and restarts for ever.
dpkg-deb --fsys-tarfile "$DEB" | tar -xOf - ./lib/systemd/system/orvela-jukebox-kiosk.service \
  > "$SCRATCH/kiosk.service" 2>/dev/null || true
exec_start=$(sed -n 's/^ExecStart=[-+!@:]*\([^ ]*\).*/\1/p' "$SCRATCH/kiosk.service")
[ -n "$exec_start" ] || fail "the kiosk unit has no ExecStart"
for program in $exec_start; do
  [ -n "$(entry "${program#/}")" ] || fail "the kiosk unit starts $program, which the package does not hold"
done

depends=$(sed -n 's/^Depends: //p' "$SCRATCH/control")
# One package per kind of library the programs link; the names carry the
# library's ABI version, so any version of each is accepted.
for pattern in 'libqt6widgets6' 'libqt6gui6' 'libqt6core6' 'libavcodec[0-9]' 'libavformat[0-9]' \
  'libswresample[0-9]' 'libsdl2-2\.0-0' 'libfftw3-single3' 'libicu[0-9]' 'libstdc\+\+6' 'libc6' \
  'libebur128-[0-9]' 'libtag1v5' 'libqrencode4' \
  'fonts-liberation' 'qt6-translations-l10n' 'adduser'; do
  echo "$depends" | grep -Eq "(^|, )$pattern" || fail "Depends lacks $pattern: $depends"
done
grep -q "^Architecture: $ARCH\$" "$SCRATCH/control" || fail "Architecture is not $ARCH"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed for $DEB"
  exit 1
fi
echo "package checks passed: $DEB"
