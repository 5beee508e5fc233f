#!/bin/sh
# Installs the Debian packages the build and the tests need, only those missing.
# Usage: scripts/ensure-packages.sh [extra packages...]
set -e
PACKAGES="cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libavformat-dev libavcodec-dev
libswresample-dev libavutil-dev libsdl2-dev libfftw3-dev libicu-dev libx11-dev
fonts-liberation libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth x11-utils
qt6-translations-l10n libtag1-dev libebur128-dev qt6-httpserver-dev qt6-websockets-dev
at-spi2-core python3-pyatspi gir1.2-atspi-2.0 dbus-x11 xdotool libqrencode-dev zbar-tools imagemagick curl
chromium chromium-driver python3-selenium $*"
missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
[ -z "$missing" ] && exit 0
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "Installing:$missing"
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -q
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
