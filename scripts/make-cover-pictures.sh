#!/bin/bash
# Makes the README's pictures of covers: a small collection made by FFmpeg and
# ImageMagick (MP3s with an attached picture, FLACs with a picture block, M4As
# with covr, a folder with folder.jpg, titles without any), the real jukebox
# under Xvfb at 1024x768 and 1920x1080 (the attract screen after its minute,
# then a title chosen through the phones' page playing), and the phones' page
# in headless Chromium at 390x844. Needs ffmpeg besides what
# scripts/ensure-packages.sh installs; takes about three minutes.
set -eu
cd "$(dirname "$0")/.."
b=${BUILD:-build}
cmake --build "$b" --target orvela-jukebox orvela-jukebox-tool program_data >/dev/null
bin=$(readlink -f "$b/program")
docs=$(readlink -f docs)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The collection: files of each kind, made by other programs than ours.
out=$work/music; t=$work/sounds
mkdir -p "$out/Eingebettet" "$out/Ordnerbild" "$out/Ohne" "$t"
pic() { convert -size 600x600 "gradient:$2" -gravity center -fill white -stroke black -strokewidth 2 -font DejaVu-Sans-Bold -pointsize 64 -annotate 0 "$3" "$1"; }
tone() { ffmpeg -v error -y -f lavfi -i "sine=frequency=$2:duration=$3" -ac 2 -ar 44100 "$1"; }
n=0
mk() { # kind artist title genre year colours label
  n=$((n+1)); tone "$t/w$n.wav" $((200 + n * 37)) 40
  case $1 in
    mp3) pic "$t/p$n.jpg" "$6" "$7"
         ffmpeg -v error -y -i "$t/w$n.wav" -i "$t/p$n.jpg" -map 0 -map 1 -c:a libmp3lame -b:a 128k -c:v copy -id3v2_version 3 \
           -metadata:s:v comment="Cover (front)" -metadata artist="$2" -metadata title="$3" -metadata genre="$4" -metadata date="$5" \
           "$out/Eingebettet/$2 - $3.mp3" ;;
    flac) pic "$t/p$n.png" "$6" "$7"
         ffmpeg -v error -y -i "$t/w$n.wav" -i "$t/p$n.png" -map 0 -map 1 -c:a flac -c:v copy -disposition:v attached_pic \
           -metadata artist="$2" -metadata title="$3" -metadata genre="$4" -metadata date="$5" "$out/Eingebettet/$2 - $3.flac" ;;
    m4a) pic "$t/p$n.jpg" "$6" "$7"
         ffmpeg -v error -y -i "$t/w$n.wav" -i "$t/p$n.jpg" -map 0 -map 1 -c:a aac -b:a 128k -c:v copy -disposition:v attached_pic \
           -metadata artist="$2" -metadata title="$3" -metadata genre="$4" -metadata date="$5" "$out/Eingebettet/$2 - $3.m4a" ;;
    folder) mkdir -p "$out/Ordnerbild/$2"
         [ -f "$out/Ordnerbild/$2/folder.jpg" ] || pic "$out/Ordnerbild/$2/folder.jpg" "$6" "$7"
         ffmpeg -v error -y -i "$t/w$n.wav" -c:a libmp3lame -b:a 128k -id3v2_version 3 \
           -metadata artist="$2" -metadata title="$3" -metadata genre="$4" -metadata date="$5" "$out/Ordnerbild/$2/$3.mp3" ;;
    none) ffmpeg -v error -y -i "$t/w$n.wav" -c:a libmp3lame -b:a 128k -id3v2_version 3 \
           -metadata artist="$2" -metadata title="$3" -metadata genre="$4" -metadata date="$5" "$out/Ohne/$2 - $3.mp3" ;;
  esac
}
mk mp3 "Abendrot" "Über den Dächern" Pop 1984 "#ff9a3c-#6a1b9a" "Abendrot"
mk flac "Blaue Stunde" "Hafenlichter" Jazz 1996 "#1e88e5-#0d1b3a" "Blaue\nStunde"
mk m4a "Citrus Club" "Limonade" Dance 2011 "#cddc39-#00897b" "Citrus"
mk folder "Dünenfunk" "Strandbar" Rock 1979 "#ffd54f-#bf360c" "Dünen\nfunk"
mk folder "Dünenfunk" "Ebbe und Flut" Rock 1979 "#ffd54f-#bf360c" "Dünen\nfunk"
mk mp3 "Eisblume" "Kristall" Pop 2003 "#e0f7fa-#4dd0e1" "Eisblume"
mk none "Fernweh" "Nachtzug nach Süden" Schlager 1972
mk none "Gitarrenwerk" "Saitensprung" Rock 1991
mk flac "Himbeerhimmel" "Sommerregen" Pop 2018 "#f06292-#4a148c" "Him\nbeere"
mk none "Irrlicht" "Moorgesang" Folk 1988
mk m4a "Jadegarten" "Teehaus" Chillout 2009 "#66bb6a-#1b5e20" "Jade"
mk none "Kapelle Kornfeld" "Erntedank" Volksmusik 1965

# A program folder of its own on a free port: the kiosk's screen, a wait of one
# minute, the collection and its covers.
program_folder() {
  pf=$(mktemp -d -p "$work")
  cp assets/data/* "$pf/"
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("", 0)); print(s.getsockname()[1])')
  sed -i "s/^\[Handy\]\r\?\$/&\nPort=$port\r/" "$pf/Jukebox.ini"
  sed -i 's/^Kiosk=0/Kiosk=1/; s/^Maus=0/Maus=1/; s/^Leerlauf=10/Leerlauf=1/' "$pf/Jukebox.ini"
  "$bin/orvela-jukebox-tool" scan --recursive "$out" "$pf" >/dev/null
  "$bin/orvela-jukebox-tool" covers "$pf" >/dev/null
  echo "$pf"
}

# As a phone does: the address from the screen's QR code, the page's cookie, a
# search, a choice. Prints the address.
choose() {  # SCREEN_PICTURE ARTIST
  address=$(zbarimg -q --raw -Sdisable -Sqrcode.enable "$1" | head -n 1)
  base=${address%%/?k=*}; code=${address#*k=}
  curl -s -c "$work/jar" -o /dev/null "$address"
  id=$(curl -s "$base/api/suche?k=$code&modus=interpret&text=$2" |
       python3 -c 'import json, sys; print(json.load(sys.stdin)["titel"][0]["id"])')
  curl -s -b "$work/jar" -H "Content-Type: application/json" -d "{\"id\":\"$id\"}" \
       "$base/api/waehlen?k=$code" >/dev/null
  echo "$address"
}

run_on_screen() {  # SIZE PROGRAM_FOLDER: starts the jukebox on a display of its own
  export DISPLAY=:$((200 + RANDOM % 3000))
  Xvfb "$DISPLAY" -screen 0 "${1}x24" -nolisten tcp >/dev/null 2>&1 & xvfb=$!
  sleep 1
  SDL_AUDIODRIVER=dummy "$bin/orvela-jukebox" --program-folder "$2" >"$2/out.txt" 2>&1 & jukebox=$!
}
stop_screen() {
  kill $jukebox; wait $jukebox || true
  kill $xvfb; wait $xvfb || true
}

for size in 1024x768 1920x1080; do
  pf=$(program_folder)
  run_on_screen "$size" "$pf"
  sleep 66
  import -window root "$docs/attract-$size.png"
  xdotool mousemove 10 10 click 1
  sleep 2
  import -window root "$pf/screen.png"
  choose "$pf/screen.png" Abendrot >/dev/null
  sleep 4
  import -window root "$docs/covers-$size.png"
  stop_screen
done

pf=$(program_folder)
run_on_screen 1280x1024 "$pf"
sleep 5
import -window root "$pf/screen.png"
address=$(choose "$pf/screen.png" Blaue)
chromium --headless=new --no-sandbox --disable-gpu --hide-scrollbars --force-device-scale-factor=2 \
  --window-size=390,844 --virtual-time-budget=6000 --screenshot="$docs/phone-page-390x844.png" "$address" 2>/dev/null
stop_screen
echo "docs/attract-*.png, docs/covers-*.png and docs/phone-page-390x844.png written"
