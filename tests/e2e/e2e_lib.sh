# Shared helpers of the end-to-end tests: each test runs the real production under Xvfb from a
# private copy of the resources folder. Sourced by the test scripts, which run inside xvfb-run.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/require.sh"
require_command xdotool xdotool
require_command import imagemagick
require_command convert imagemagick

QUORVALE=${QUORVALE:?path of the production}
SOURCE_DIR=${SOURCE_DIR:?repository root}
WORK_DIR=$(mktemp -d)
trap 'stop_show; rm -rf "$WORK_DIR"' EXIT
cp -r "$SOURCE_DIR/resources" "$WORK_DIR/resources"
SHOW_PID=""

# Fails the test, with what the production printed so far, if anything.
fail() {
  echo "FAIL: $*" >&2
  if [ -s "$WORK_DIR/show.log" ]; then
    echo "the production printed:" >&2
    cat "$WORK_DIR/show.log" >&2
  fi
  exit 1
}

# Starts the production with the given options (none: the show as it always was).
start_show() {
  (cd "$WORK_DIR" && exec "$QUORVALE" "$@") >"$WORK_DIR/show.log" 2>&1 &
  SHOW_PID=$!
}

stop_show() {
  if [ -n "$SHOW_PID" ] && kill -0 "$SHOW_PID" 2>/dev/null; then
    kill -KILL "$SHOW_PID" 2>/dev/null || true  # the production traps SIGTERM
  fi
}

# Waits until the production's window is mapped.
wait_for_window() {
  local deadline=$((SECONDS + ${1:-30}))
  while [ $SECONDS -lt $deadline ]; do
    if xdotool search --onlyvisible --name '^Quorvale$' >/dev/null 2>&1; then return 0; fi
    kill -0 "$SHOW_PID" 2>/dev/null || fail "the production ended before its window appeared: $(cat "$WORK_DIR/show.log")"
    sleep 0.2
  done
  fail "no window within ${1:-30} s"
}

# Waits for the production to end and checks its exit status is 0.
wait_for_exit() {
  local deadline=$((SECONDS + $1)) status
  while [ $SECONDS -lt $deadline ]; do
    if ! kill -0 "$SHOW_PID" 2>/dev/null; then
      set +e; wait "$SHOW_PID"; status=$?; set -e
      SHOW_PID=""
      [ "$status" -eq 0 ] || fail "exit status $status; log: $(cat "$WORK_DIR/show.log")"
      return 0
    fi
    sleep 0.2
  done
  fail "the production did not end within $1 s"
}

# Prints the colour of the screen pixel at x y as "r,g,b" (0-255).
pixel_at() {
  import -window root "$WORK_DIR/screen.png" 2>/dev/null
  convert "$WORK_DIR/screen.png" -format "%[fx:int(255*p{$1,$2}.r)],%[fx:int(255*p{$1,$2}.g)],%[fx:int(255*p{$1,$2}.b)]" info:
}

# A scene shader that paints the whole screen one colour ("r, g, b" with values 0 to 1).
solid_colour_shader() {
  cat <<GLSL
#version 450
layout(location = 0) uniform vec4 frame;
out vec4 colour;
void main() { colour = vec4($1, 1.0); }
GLSL
}

# Waits up to 30 s for the pixel at (100, 100) to read "r,g,b" (0 to 255), polling every 0.3 s.
wait_for_pixel() {
  local expected=$1 deadline=$((SECONDS + 30)) seen=""
  while [ $SECONDS -lt $deadline ]; do
    seen=$(pixel_at 100 100)
    [ "$seen" = "$expected" ] && return 0
    sleep 0.3
  done
  fail "pixel is $seen, expected $expected"
}

# Waits until a message box shows in the middle of the screen, checks the production still waits
# for it, then presses its OK button (one line of text: the button sits at (320, 158) on the
# 640 x 360 screen). The full-screen window may hold the keyboard focus, so it is clicked.
dismiss_message_box() {
  local deadline=$((SECONDS + 30)) seen="0,0,0"
  while [ $SECONDS -lt $deadline ]; do
    seen=$(pixel_at 320 120)
    [ "$seen" != "0,0,0" ] && break
    kill -0 "$SHOW_PID" 2>/dev/null || fail "ended without showing a message: $(cat "$WORK_DIR/show.log")"
    sleep 0.5
  done
  [ "$seen" != "0,0,0" ] || fail "no message box appeared"
  sleep 0.5
  kill -0 "$SHOW_PID" 2>/dev/null || fail "ended before the message was dismissed"
  xdotool mousemove 320 158 click 1
}

# ---- Making mode ---------------------------------------------------------------------------

# The window's title, or nothing while there is no window.
window_title() {
  local id
  id=$(xdotool search --onlyvisible --name '^Quorvale' 2>/dev/null | head -n 1) || true
  [ -n "$id" ] && xdotool getwindowname "$id" 2>/dev/null || true
}

# The show time the title gives, e.g. "62.4" of "Quorvale · part 3 · 62.4 s · 1.9 fps".
title_seconds() { window_title | sed -n 's/.*part [0-9]*[^0-9]*\([0-9][0-9.]*\) s.*/\1/p'; }

# Waits until the title matches the extended regular expression $1, for at most $2 seconds.
wait_for_title() {
  local pattern=$1 deadline=$((SECONDS + ${2:-60})) title=""
  while [ $SECONDS -lt $deadline ]; do
    title=$(window_title)
    if [[ "$title" =~ $pattern ]]; then return 0; fi
    kill -0 "$SHOW_PID" 2>/dev/null || fail "the production ended: $(cat "$WORK_DIR/show.log")"
    sleep 0.05
  done
  fail "the title is \"$title\", waited for /$pattern/"
}

# Presses a key in the production's window (no window manager: the key goes where the pointer is).
press() { xdotool mousemove 20 20 key "$1"; }

# True when $1 and $2 differ by at most $3.
near() { awk -v a="$1" -v b="$2" -v d="$3" 'BEGIN { exit !((a - b) <= d && (b - a) <= d) }'; }

# Records what the production plays with SDL's disk driver, into $WORK_DIR/played.raw.
record_sound() {
  export SDL_AUDIODRIVER=disk
  export SDL_DISKAUDIOFILE="$WORK_DIR/played.raw"
}

# Reads the recording against the song rendered by qvtool song --raw: played_segments' lines go to
# $WORK_DIR/segments.txt (song, silence and cut lines). Fails when it holds frames not of the song.
read_played_segments() {
  local qvtool=${QVTOOL:?path of qvtool} reader=${PLAYED_SEGMENTS:?path of played_segments}
  "$qvtool" song --raw "$WORK_DIR/song.raw" 2>"$WORK_DIR/song.log" || fail "qvtool song: $(cat "$WORK_DIR/song.log")"
  "$reader" "$WORK_DIR/played.raw" "$WORK_DIR/song.raw" >"$WORK_DIR/segments.txt"
  if grep -q '^other' "$WORK_DIR/segments.txt"; then
    fail "the recording holds frames that are not the song: $(head "$WORK_DIR/segments.txt")"
  fi
}
