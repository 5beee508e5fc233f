#!/bin/sh
# The real program on a virtual screen, as a guest's phone meets it: the
# jukebox starts with the phones' page switched on, the screen is
# photographed, the QR code is read from the picture as a camera would, and
# the address it holds is opened. At 1024x768 and at 1920x1080.
# Usage: phone_code_screen.sh PROGRAM [PICTURE_FOLDER]
# PROGRAM is the built orvela-jukebox beside its tool; with PICTURE_FOLDER the
# screens (over the demo collection) are kept there as phone-code-WxH.png.
# Exit 77 (skipped) when the machine has no network address but the loopback.
set -u
program=$(readlink -f "${1:?usage: phone_code_screen.sh PROGRAM [PICTURE_FOLDER]}")
pictures=${2:-}
tool=$(dirname "$program")/orvela-jukebox-tool
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
for need in xvfb-run import convert identify zbarimg curl python3; do
  command -v "$need" >/dev/null || { echo "missing $need (scripts/ensure-packages.sh installs it)"; exit 1; }
done
if [ -z "$(hostname -I 2>/dev/null | tr -d ' ')" ]; then
  echo "no network address besides the loopback: nothing a phone could reach"; exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

one_size() {
  size=$1
  folder="$work/$size"
  mkdir -p "$folder"
  cp "$source_dir"/assets/data/* "$folder/"
  if [ -n "$pictures" ]; then "$tool" demo "$folder" >/dev/null || fail "demo collection"; fi
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("", 0)); print(s.getsockname()[1])')
  # The kiosk's settings (full screen, as the package's kiosk folder has them)
  # and a port of this run's own; the page is on as delivered.
  sed -i 's/^Kiosk=0/Kiosk=1/; s/^Maus=0/Maus=1/' "$folder/Jukebox.ini"
  # The port goes into the phones' own section, wherever it stands in the file.
  sed -i "s/^\[Handy\]\r\?\$/&\nPort=$port\r/" "$folder/Jukebox.ini"
  grep -q '^\[Handy\]' "$folder/Jukebox.ini" || fail "the delivered Jukebox.ini has no [Handy] section"
  shot="$work/screen-$size.png"
  # A phone a metre away: a 12 MP camera (4032 pixels across 69 degrees) sees
  # 0.343 mm of the room a pixel; a 15.6" 16:9 panel shows 0.179 mm a pixel at
  # 1920x1080, and 0.252 mm at 1024x768 (full height, bars at the sides).
  case $size in
    1920x1080) camera=52 ;;
    *) camera=73 ;;
  esac
  # The code changes at every start: the picture is read and its address
  # opened while the program that showed it still runs. A busy machine may
  # take a while to lay the full screen out, so the screen is photographed
  # until a camera reads it, for half a minute at most.
  SDL_AUDIODRIVER=dummy xvfb-run -a -s "-screen 0 ${size}x24" sh -c '
    "$1" --program-folder "$2" >"$2/out.txt" 2>&1 & pid=$!
    # Up when the page answers.
    i=0
    until curl -s -o /dev/null "http://127.0.0.1:$3/"; do
      i=$((i + 1)); [ $i -gt 300 ] && break
      kill -0 $pid 2>/dev/null || break
      sleep 0.2
    done
    i=0
    while [ $i -lt 30 ]; do
      sleep 1
      import -window root "$4"
      zbarimg -q --raw -Sdisable -Sqrcode.enable "$4" >"$2/address.txt"
      convert "$4" -resize "$5%" "$2/camera.png"
      zbarimg -q --raw -Sdisable -Sqrcode.enable "$2/camera.png" >"$2/seen.txt"
      [ -s "$2/address.txt" ] && cmp -s "$2/address.txt" "$2/seen.txt" && break
      i=$((i + 1))
    done
    address=$(head -n 1 "$2/address.txt")
    [ -n "$address" ] && curl -s --max-time 20 -o "$2/page.html" -w "%{http_code}" "$address" >"$2/status.txt"
    kill $pid; wait $pid
  ' phone-code "$program" "$folder" "$port" "$shot" "$camera"
  [ -s "$shot" ] || { cat "$folder/out.txt"; fail "$size: no picture of the screen"; }
  geometry=$(identify -format '%wx%h' "$shot")
  [ "$geometry" = "$size" ] || fail "$size: the picture is $geometry"
  [ "$(wc -l <"$folder/address.txt")" -eq 1 ] || fail "$size: not exactly one QR code on the screen"
  address=$(cat "$folder/address.txt")
  case "$address" in
    "http://"*":$port/?k="?*) ;;
    *) fail "$size: the QR code says '$address', not the page on port $port" ;;
  esac
  host=${address#http://}; host=${host%%:*}
  hostname -I | tr ' ' '\n' | grep -qx "$host" || fail "$size: $host is none of this machine's addresses"
  [ "$(cat "$folder/status.txt" 2>/dev/null)" = 200 ] || fail "$size: $address answered '$(cat "$folder/status.txt" 2>/dev/null)'"
  grep -q "Orvela Jukebox" "$folder/page.html" || fail "$size: the page at $address is not the jukebox's"
  grep -q "Bitte den QR-Code an der Jukebox scannen" "$folder/page.html" && fail "$size: the code in the QR was refused"
  seen=$(cat "$folder/seen.txt")
  [ "$seen" = "$address" ] || fail "$size: a camera a metre away reads '$seen'"
  echo "$size: $address"
  if [ -n "$pictures" ]; then cp "$shot" "$pictures/phone-code-$size.png"; fi
  return 0
}

one_size 1024x768
one_size 1920x1080
