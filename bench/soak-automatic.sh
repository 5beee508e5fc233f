#!/bin/sh
# A night with nobody watching, shortened: the real program under Xvfb plays
# the automatic on many short generated titles through SDL's disk driver, and
# its memory, threads and open files are written at the start and every
# INTERVAL seconds.  Usage: bench/soak-automatic.sh BUILD_PROGRAM_DIR WORK_DIR SECONDS [INTERVAL]
# Needs ffmpeg, xvfb-run and xdotool.
set -e
PROGRAM=$1 WORK=$2 SECONDS_TOTAL=$3 INTERVAL=${4:-300}
rm -rf "$WORK" && mkdir -p "$WORK/music"
cp "$PROGRAM"/orvela-jukebox "$PROGRAM"/orvela-jukebox-tool "$PROGRAM"/orvela-jukebox-tool-audio "$WORK/"
for f in Jukebox.ini Musikliste.xml TempMusikliste.xml TempGenre.text TempInterpret.text TempJahr.text; do
  cp "$PROGRAM/$f" "$WORK/"
done
i=0
while [ $i -lt 40 ]; do
  hz=$((220 + i * 23)); len=$((5 + i % 6))
  ffmpeg -loglevel error -f lavfi -i "sine=frequency=$hz:duration=$len" -ac 2 -b:a 128k \
    -metadata artist="Band $((i % 9))" -metadata title="Ton $i" -metadata genre=Test -metadata date=2026 \
    "$WORK/music/t$i.mp3"
  i=$((i + 1))
done
"$WORK/orvela-jukebox-tool" scan "$WORK/music" "$WORK" >/dev/null
sed -i 's/^Automatik=.*/Automatik=1/; s/^Kiosk=.*/Kiosk=1/; s/^Titelausblenden=.*/Titelausblenden=1/' "$WORK/Jukebox.ini"
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=${SOAK_AUDIO_FILE:-/dev/null}
xvfb-run -n 97 -s '-screen 0 1024x768x24' sh -c "
  '$WORK/orvela-jukebox' & pid=\$!
  sleep 5
  win=\$(xdotool search --name 'Orvela Jukebox' | head -1)
  # \"Abspielen\": the right-hand player button row at the design size.
  xdotool mousemove \${PLAY_X:-843} \${PLAY_Y:-694} click 1
  start=\$(date +%s)
  while kill -0 \$pid 2>/dev/null; do
    now=\$(date +%s)
    echo \"\$((now - start)) s: rss \$(grep VmRSS /proc/\$pid/status | tr -s ' ' | cut -d' ' -f2) kB,\" \
         \"threads \$(grep Threads /proc/\$pid/status | cut -f2),\" \
         \"open files \$(ls /proc/\$pid/fd | wc -l),\" \
         \"cpu \$(cut -d' ' -f14,15 /proc/\$pid/stat) ticks\"
    [ \$((now - start)) -ge $SECONDS_TOTAL ] && break
    sleep $INTERVAL
  done
  kill \$pid; wait \$pid
"
