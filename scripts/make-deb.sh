#!/bin/sh
# Makes the .deb from an already built tree: stages the installed layout,
# lets dpkg-shlibdeps name the library packages the executables link, and
# writes OUT_DIR/orvela-jukebox_<version>_<arch>.deb.
# Usage: scripts/make-deb.sh BUILD_DIR OUT_DIR
# BUILD_DIR is a CMake build whose program/ holds the three executables.
set -e
SOURCE_DIR=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=$(cd "$1" && pwd)
mkdir -p "$2"
OUT_DIR=$(cd "$2" && pwd)
PROGRAMS="orvela-jukebox orvela-jukebox-tool orvela-jukebox-tool-audio"

VERSION=$(sed -n 's/^project(OrvelaJukebox VERSION \([0-9.]*\).*/\1/p' "$SOURCE_DIR/CMakeLists.txt")
ARCH=$(dpkg --print-architecture)
[ -n "$VERSION" ] || { echo "make-deb: no version in CMakeLists.txt" >&2; exit 1; }

STAGE="$OUT_DIR/stage"
rm -rf "$STAGE"
LIBDIR="$STAGE/usr/lib/orvela-jukebox"
mkdir -p "$LIBDIR" "$STAGE/usr/bin" "$STAGE/usr/share/orvela-jukebox" \
  "$STAGE/lib/systemd/system" "$STAGE/usr/share/doc/orvela-jukebox" "$STAGE/DEBIAN"

for p in $PROGRAMS; do
  [ -x "$BUILD_DIR/program/$p" ] || { echo "make-deb: $BUILD_DIR/program/$p is not built" >&2; exit 1; }
  install -m 0755 -s "$BUILD_DIR/program/$p" "$LIBDIR/$p"
done
install -m 0755 "$SOURCE_DIR/packaging/kiosk-session" "$LIBDIR/kiosk-session"
# The tool finds its audio half through /proc/self/exe, which names the real
# file in /usr/lib, so relative links in /usr/bin are enough.
ln -s ../lib/orvela-jukebox/orvela-jukebox "$STAGE/usr/bin/orvela-jukebox"
ln -s ../lib/orvela-jukebox/orvela-jukebox-tool "$STAGE/usr/bin/orvela-jukebox-tool"
install -m 0644 "$SOURCE_DIR"/assets/data/* "$STAGE/usr/share/orvela-jukebox/"
install -m 0644 "$SOURCE_DIR/packaging/orvela-jukebox-kiosk.service" "$STAGE/lib/systemd/system/"
install -m 0644 "$SOURCE_DIR/README.md" "$STAGE/usr/share/doc/orvela-jukebox/README.md"
for s in postinst prerm postrm; do
  install -m 0755 "$SOURCE_DIR/packaging/$s" "$STAGE/DEBIAN/$s"
done

# dpkg-shlibdeps wants a debian/control beside it; a scratch one names the package.
SHLIB_DIR="$OUT_DIR/shlibdeps"
rm -rf "$SHLIB_DIR"
mkdir -p "$SHLIB_DIR/debian"
printf 'Source: orvela-jukebox\n\nPackage: orvela-jukebox\nArchitecture: any\n' > "$SHLIB_DIR/debian/control"
SHLIBS=$(cd "$SHLIB_DIR" && dpkg-shlibdeps -O --warnings=0 \
  $(for p in $PROGRAMS; do printf '%s ' "$LIBDIR/$p"; done) | sed -n 's/^shlibs:Depends=//p')
rm -rf "$SHLIB_DIR"
[ -n "$SHLIBS" ] || { echo "make-deb: dpkg-shlibdeps found no libraries" >&2; exit 1; }

SIZE=$(du -sk --exclude=DEBIAN "$STAGE" | cut -f1)
cat > "$STAGE/DEBIAN/control" <<CONTROL
Package: orvela-jukebox
Version: $VERSION
Architecture: $ARCH
Maintainer: Orvela Jukebox developers <jukebox@orvela.invalid>
Installed-Size: $SIZE
Section: sound
Priority: optional
Depends: $SHLIBS, fonts-liberation, qt6-translations-l10n, adduser
Recommends: xserver-xorg, x11-xserver-utils
Description: touch-screen jukebox for bars
 Guests choose titles from the venue's music collection on a touch screen;
 the jukebox plays them in turn. Includes orvela-jukebox-tool for building
 and checking the collection, and a kiosk session (orvela-jukebox-kiosk.service,
 disabled until enabled) that runs the jukebox alone on the first console.
CONTROL

DEB="$OUT_DIR/orvela-jukebox_${VERSION}_${ARCH}.deb"
dpkg-deb --root-owner-group -Zxz --build "$STAGE" "$DEB" >/dev/null
echo "$DEB"
