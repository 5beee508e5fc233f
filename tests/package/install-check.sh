#!/bin/sh
# On a scratch Debian system (as root, never on a machine in use): installs the
# package, starts the installed jukebox as the user orvela under Xvfb for a few
# seconds, runs the tool through its /usr/bin link, then removes and purges.
# Usage: tests/package/install-check.sh build-package/orvela-jukebox_*.deb
set -e
DEB=$(readlink -f "$1")
# The user orvela starts programs below; a working folder it may not read (root's home) would confuse them.
cd /
export DEBIAN_FRONTEND=noninteractive
start=$(date +%s)
apt-get install -y -q "$DEB" > /tmp/install-check.apt.log
echo "install: $(( $(date +%s) - start )) s, package $(du -k "$DEB" | cut -f1) KiB, installed $(dpkg-query -W -f='${Installed-Size}' orvela-jukebox) KiB"
getent passwd orvela
ls -l /var/lib/orvela-jukebox
# A first install brings the demo collection, owned by the user that plays it.
demo_titles=$(grep -o "<ROW " /var/lib/orvela-jukebox/Musikliste.xml | wc -l)
echo "demo titles after the install: $demo_titles"
[ "$demo_titles" -gt 0 ] || { echo "the first install made no demo collection"; exit 1; }
[ "$(stat -c %U /var/lib/orvela-jukebox/Demo)" = orvela ] || { echo "the demo folder is not the user orvela's"; exit 1; }
apt-get install -y -q --no-install-recommends xvfb xauth > /dev/null

as_orvela() { runuser -u orvela -- env HOME=/var/lib/orvela-jukebox "$@"; }
# The tool's audio half is found through /proc/self/exe although it is started by its link.
as_orvela SDL_AUDIODRIVER=dummy orvela-jukebox-tool demo /var/lib/orvela-jukebox
as_orvela orvela-jukebox-tool list /var/lib/orvela-jukebox | head -n 3

set +e
as_orvela ORVELA_PROGRAM_FOLDER=/var/lib/orvela-jukebox QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=dummy \
  xvfb-run -a -s '-screen 0 1920x1080x24' timeout 10 /usr/bin/orvela-jukebox
rc=$?
set -e
echo "jukebox after 10 s: status $rc (124: still running when stopped)"
[ "$rc" -eq 124 ]
[ ! -e /var/lib/orvela-jukebox/Jukebox.lock ] || echo "(lock file left: the jukebox was killed, not ended)"

apt-get remove -y -q orvela-jukebox > /dev/null
[ -f /var/lib/orvela-jukebox/Jukebox.ini ] || { echo "remove deleted the program folder"; exit 1; }
apt-get purge -y -q orvela-jukebox > /dev/null
[ ! -e /var/lib/orvela-jukebox ] || { echo "purge kept the program folder"; exit 1; }
! getent passwd orvela > /dev/null || { echo "purge kept the user"; exit 1; }
echo "install check passed"
