#!/bin/sh
# Figures of the loudness levelling that need the built programs rather than a
# benchmark binary: the loudness command over 1,000 titles of four minutes
# (files per second), and the jukebox's CPU share while it plays a levelled
# queue under Xvfb on SDL's disk driver.
# Usage: bench/loudness-figures.sh BUILD_DIR [WORK_DIR]
set -e
BUILD=$(cd "$1" && pwd)
WORK=${2:-/tmp/orvela-loudness-figures}
TOOL="$BUILD/program/orvela-jukebox-tool"
rm -rf "$WORK"
mkdir -p "$WORK/music" "$WORK/program"
cp "$(dirname "$0")/../assets/data/"* "$WORK/program/"

# Twenty different four-minute MP3s (128 kbit/s), each under fifty names.
for i in $(seq 1 20); do
  ffmpeg -loglevel error -f lavfi -i "sine=frequency=$((200 + 37 * i)):duration=240" \
    -af "volume=-$((i % 25))dB" -ac 2 -b:a 128k "$WORK/music/t$i.mp3"
done
{
  printf '<?xml version="1.0" standalone="yes"?>  <DATAPACKET Version="2.0"><METADATA><FIELDS>'
  for f in Interpret Titel Pfad; do printf '<FIELD attrname="%s" fieldtype="string" WIDTH="500"/>' $f; done
  for f in Genre Jahr Dauer; do printf '<FIELD attrname="%s" fieldtype="string" WIDTH="20"/>' $f; done
  printf '</FIELDS><PARAMS/></METADATA><ROWDATA>'
  for n in $(seq 1 1000); do
    ln -s "$WORK/music/t$(( (n % 20) + 1 )).mp3" "$WORK/music/n$n.mp3"
    printf '<ROW Interpret="I%s" Titel="T" Pfad="%s" Genre="" Jahr="" Dauer="04:00"/>' "$n" "$WORK/music/n$n.mp3"
  done
  printf '</ROWDATA></DATAPACKET>'
} > "$WORK/program/Musikliste.xml"

echo "== loudness over 1000 titles of 4 minutes"
/usr/bin/time -f "%e s wall, %U s user, %S s system" "$TOOL" loudness "$WORK/program"

echo "== playback CPU with levelling on (60 s, Xvfb, SDL disk driver)"
# Every title known, the automatic filling the queue, "Abspielen" pressed as
# in soak-automatic.sh; the CPU ticks of the whole process over a minute.
sed -i 's/^Automatik=.*/Automatik=1/; s/^Kiosk=.*/Kiosk=1/' "$WORK/program/Jukebox.ini"
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null
xvfb-run -n 98 -s '-screen 0 1024x768x24' sh -c "
  '$BUILD/program/orvela-jukebox' --program-folder '$WORK/program' & pid=\$!
  sleep 8
  xdotool mousemove \${PLAY_X:-843} \${PLAY_Y:-694} click 1
  sleep 5
  t0=\$(cut -d' ' -f14,15 /proc/\$pid/stat | tr ' ' '+' | bc)
  sleep 60
  t1=\$(cut -d' ' -f14,15 /proc/\$pid/stat | tr ' ' '+' | bc)
  echo \"CPU: \$(echo \"scale=2; 100 * (\$t1 - \$t0) / $(getconf CLK_TCK) / 60\" | bc) % of one core over 60 s\"
  kill \$pid; wait \$pid
"
