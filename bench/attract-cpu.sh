#!/bin/sh
# The program's CPU while the attract screen moves, against the same program
# idling on the guest screen: the real jukebox under Xvfb on the demo
# collection with covers on and a one-minute wait; its own CPU time (user +
# system, from /proc) over a minute of each, in per cent of one core. The X
# server's share is given beside it (on a kiosk it is the real X server's).
#
#   bench/attract-cpu.sh build/program [WxH [PICTURE.png]]
# PICTURE.png keeps the screen as it was during the second minute.
set -eu
program_dir=$(readlink -f "${1:?usage: attract-cpu.sh PROGRAM_DIR [WxH]}")
size=${2:-1920x1080}
picture=${3:-}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cp "$source_dir"/assets/data/* "$folder/"
SDL_AUDIODRIVER=dummy "$program_dir/orvela-jukebox-tool" demo "$folder" >/dev/null
# Full screen as the kiosk has it, the wait cut to a minute, the phones' QR
# code on a free port of its own.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("", 0)); print(s.getsockname()[1])')
sed -i 's/^Kiosk=0/Kiosk=1/; s/^Maus=0/Maus=1/; s/^Leerlauf=10/Leerlauf=1/' "$folder/Jukebox.ini"
sed -i "s/^\[Handy\]\r\?\$/&\nPort=$port\r/" "$folder/Jukebox.ini"

SDL_AUDIODRIVER=dummy xvfb-run -a -s "-screen 0 ${size}x24" sh -c '
  "$1" --program-folder "$2" >"$2/out.txt" 2>&1 & pid=$!
  xvfb=$(pgrep -f "^Xvfb $DISPLAY ")
  ticks() { awk "{ print \$14 + \$15 }" /proc/$1/stat; }
  hz=$(getconf CLK_TCK)
  measure() {  # label seconds
    a=$(ticks $pid); x=$(ticks $xvfb); sleep $2; b=$(ticks $pid); y=$(ticks $xvfb)
    echo "$1: program $(echo "scale=2; 100 * ($b - $a) / $hz / $2" | bc) % of a core," \
         "X server $(echo "scale=2; 100 * ($y - $x) / $hz / $2" | bc) %"
  }
  sleep 3
  measure "guest screen, idle" 50
  sleep 12   # the attract screen comes after a minute without a touch
  [ -z "$3" ] || import -window root "$3"
  measure "attract screen" 60
  kill $pid; wait $pid
' attract-cpu "$program_dir/orvela-jukebox" "$folder" "$picture"
