#!/bin/sh
# Runs packaging/kiosk-session with Xvfb standing in for Xorg and a small
# shell client standing in for the jukebox, and checks what the kiosk service
# relies on: the display refuses clients without the cookie (as root, also a
# client running as the user nobody), the cookie file is private, a stop
# (SIGTERM to the session) ends the client first while its display still
# answers and the server after it, the server keeps the session's console as
# its standard input, the session ends with the client's status,
# and a missing server is refused with its own status and a message.
# Usage: tests/package/kiosk-session-check.sh
# Needs Xvfb and xdpyinfo.
set -u
SOURCE_DIR=$(cd "$(dirname "$0")/../.." && pwd)
SESSION="$SOURCE_DIR/packaging/kiosk-session"
for tool in Xvfb xdpyinfo; do
  command -v "$tool" >/dev/null || { echo "kiosk-session check needs $tool"; exit 1; }
done
XVFB=$(command -v Xvfb)
SCRATCH=$(mktemp -d)
chmod 0755 "$SCRATCH"
trap 'rm -rf "$SCRATCH"' EXIT

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A display number nobody uses.
number=$(( ($$ % 400) + 100 ))
while [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ]; do number=$((number + 1)); done
DISPLAY_NAME=":$number"

# The client writes what it finds into $SCRATCH/<case>.log and then behaves as
# the case asks: wait for SIGTERM and end 0, or end by itself with a status.
cat > "$SCRATCH/client" <<'CLIENT'
#!/bin/sh
log=$CASE_LOG
answers() { xdpyinfo >/dev/null 2>&1 && echo yes || echo no; }
echo "own=$(answers)" >> "$log"
echo "auth=$XAUTHORITY" >> "$log"
echo "mode=$(stat -c %a "$XAUTHORITY")" >> "$log"
echo "nocookie=$(XAUTHORITY=/dev/null answers)" >> "$log"
server=$(pgrep -f "^[^ ]*Xvfb $DISPLAY " | head -n 1)
echo "serverinput=$(readlink "/proc/$server/fd/0")" >> "$log"
if [ "$(id -u)" = 0 ] && command -v runuser >/dev/null; then
  # Where nobody may run nothing at all (a scratch system whose root folder
  # only root may enter), there is nobody to refuse.
  if runuser -u nobody -- true 2>/dev/null; then
    other=$(runuser -u nobody -- env DISPLAY="$DISPLAY" XAUTHORITY="$XAUTHORITY" sh -c \
      'xdpyinfo >/dev/null 2>&1 && echo yes || echo no')
  else
    other=cannot-run
  fi
  echo "nobody=$other" >> "$log"
fi
case $CASE_END in
  term)
    trap 'echo "at-term=$(answers)" >> "$log"; exit 0' TERM
    echo ready >> "$log"
    while :; do sleep 0.1; done ;;
  *)
    exit "$CASE_END" ;;
esac
CLIENT
chmod 0755 "$SCRATCH/client"

# Stands in for tty1, the session's standard input under the service.
: > "$SCRATCH/console"

value() { sed -n "s/^$2=//p" "$SCRATCH/$1.log" | tail -n 1; }

# Runs the session for one case in the background; SESSION_PID names it.
start_session() {
  : > "$SCRATCH/$1.log"
  mkdir -p "$SCRATCH/run-$1"
  chmod 0700 "$SCRATCH/run-$1"
  CASE_LOG="$SCRATCH/$1.log" CASE_END=$2 ORVELA_KIOSK_CLIENT="$SCRATCH/client" \
    RUNTIME_DIRECTORY="$SCRATCH/run-$1" XDG_RUNTIME_DIR= \
    "$SESSION" "$XVFB" "$DISPLAY_NAME" -nolisten tcp -screen 0 640x480x24 \
    < "$SCRATCH/console" > "$SCRATCH/$1.out" 2>&1 &
  SESSION_PID=$!
}

# Waits up to 30 s for the session to end; its status (or "running") in STATUS.
finish_session() {
  i=0
  while kill -0 "$SESSION_PID" 2>/dev/null && [ $i -lt 300 ]; do sleep 0.1; i=$((i + 1)); done
  if kill -0 "$SESSION_PID" 2>/dev/null; then
    kill -KILL "$SESSION_PID"
    STATUS=running
  else
    wait "$SESSION_PID"
    STATUS=$?
  fi
}

server_left() { pgrep -f "^[^ ]*Xvfb $DISPLAY_NAME " >/dev/null; }

# case | how the client ends | status the session must end with
while read -r name ending expected; do
  start_session "$name" "$ending"
  if [ "$ending" = term ]; then
    i=0
    while ! grep -q '^ready$' "$SCRATCH/$name.log" && [ $i -lt 300 ]; do sleep 0.1; i=$((i + 1)); done
    kill -TERM "$SESSION_PID"
  fi
  finish_session
  [ "$STATUS" = "$expected" ] || fail "$name: session ended with $STATUS, expected $expected ($(cat "$SCRATCH/$name.out"))"
  [ "$(value "$name" own)" = yes ] || fail "$name: the client could not use its own display"
  [ "$(value "$name" nocookie)" = no ] || fail "$name: a client without the cookie was let in"
  [ "$(value "$name" mode)" = 600 ] || fail "$name: cookie file mode $(value "$name" mode), expected 600"
  # Xorg.wrap refuses a server whose standard input is no console.
  [ "$(value "$name" serverinput)" = "$SCRATCH/console" ] ||
    fail "$name: the server's standard input is $(value "$name" serverinput), not the session's"
  if [ "$(id -u)" = 0 ]; then
    case $(value "$name" nobody) in
      no) ;;
      cannot-run) echo "$name: the user nobody can run no program here; not asked" ;;
      *) fail "$name: the user nobody could use the display" ;;
    esac
  fi
  case $(value "$name" auth) in
    "$SCRATCH/run-$name/"*) ;;
    *) fail "$name: the cookie is not in the service's own folder: $(value "$name" auth)" ;;
  esac
  [ ! -e "$(value "$name" auth)" ] || fail "$name: the cookie file was left behind"
  if [ "$ending" = term ]; then
    [ "$(value "$name" at-term)" = yes ] || fail "$name: the display was gone when the client got SIGTERM"
  fi
  if server_left; then
    fail "$name: the X server still runs after the session"
    for pid in $(pgrep -f "^[^ ]*Xvfb $DISPLAY_NAME "); do kill "$pid"; done
  fi
done <<CASES
stop term 0
client-ends-cleanly 0 0
client-fails 3 3
CASES

# No server: refused at once, with the reason, before any client starts.
: > "$SCRATCH/none.log"
CASE_LOG="$SCRATCH/none.log" CASE_END=0 ORVELA_KIOSK_CLIENT="$SCRATCH/client" \
  "$SESSION" "$SCRATCH/no-such-server" "$DISPLAY_NAME" > "$SCRATCH/none.out" 2>&1
status=$?
[ "$status" = 78 ] || fail "missing server: status $status, expected 78"
grep -q "apt-get install xserver-xorg" "$SCRATCH/none.out" || fail "missing server: no hint what to install: $(cat "$SCRATCH/none.out")"
[ ! -s "$SCRATCH/none.log" ] || fail "missing server: the client was started"

# A server that ends at once: the session fails and never starts the client.
: > "$SCRATCH/dead.log"
CASE_LOG="$SCRATCH/dead.log" CASE_END=0 ORVELA_KIOSK_CLIENT="$SCRATCH/client" RUNTIME_DIRECTORY= \
  "$SESSION" /bin/false "$DISPLAY_NAME" > "$SCRATCH/dead.out" 2>&1
status=$?
[ "$status" = 1 ] || fail "server ending at once: status $status, expected 1"
[ ! -s "$SCRATCH/dead.log" ] || fail "server ending at once: the client was started"

if [ "$failures" -ne 0 ]; then
  echo "$failures kiosk session check(s) failed"
  exit 1
fi
echo "kiosk session checks passed"
