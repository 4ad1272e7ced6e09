#!/usr/bin/env bash
# The Windows release, run under wine on Xvfb exactly as a maker hands it out: the archive is
# unpacked into a fresh folder (its name has a space in it) and quorvale.exe started there.
# Without arguments it opens its window with a WGL context, draws the show (wine has no sound
# server here, so the clock runs without a device), follows a test.glsl saved while it runs (the
# folder watch through ReadDirectoryChangesW) and ends with exit status 0 on Escape. A bad option
# shows its message box before any window and, once the box is dismissed, ends with status 2.
# `--window 640x360 --at 62` runs with sound (a PulseAudio null sink, recorded from its monitor):
# it plays, Space holds picture and sound (the recording is silent), the held picture matches
# `qvtool frame` at the time the title shows (the readout hidden with Tab: PSNR at least 60 dB),
# and Space plays on.
# `--window 320x180 --loop 100 101` wraps in the wave output's queue: 8 s of what the sink played
# holds the song's frames from round(100 x 44100) up to, never at or past, round(101 x 44100),
# and Space held down for 2 s leaves the show paused at its time.
# Usage (inside xvfb-run, on a screen larger than 640 x 360 plus the window's frame):
#   windows_build_under_wine.sh quorvale-windows.zip QVTOOL
# (PLAYED_SEGMENTS, the end-to-end tests' recording reader, defaults to the one of QVTOOL's build.)
set -euo pipefail
source "$(dirname "$0")/../../scripts/require.sh"
for tool in wine:wine wineboot:wine wineserver:wine xdotool:xdotool import:imagemagick \
  convert:imagemagick compare:imagemagick unzip:unzip pulseaudio:pulseaudio parec:pulseaudio-utils; do
  require_command "${tool%%:*}" "${tool#*:}"
done
archive=$(realpath "$1")
qvtool=$(realpath "$2")
played_segments=${PLAYED_SEGMENTS:-$(dirname "$qvtool")/tests/e2e/played_segments}
[ -x "$played_segments" ] || { echo "FAIL: no played_segments at $played_segments" >&2; exit 1; }
work=$(mktemp -d)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all
pid=""
stop_show() { if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then kill -KILL "$pid" 2>/dev/null || true; fi; }
sound_server=""
# Only the server this test started: its runtime folder names it.
stop_sound_server() { if [ -n "$sound_server" ]; then pulseaudio --kill >/dev/null 2>&1 || true; fi; }
trap 'stop_show; wineserver -k >/dev/null 2>&1 || true; stop_sound_server; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

release="$work/un packed"
mkdir "$release"
unzip -q "$archive" -d "$release"
for name in quorvale.exe resources/test.glsl resources/fbtest.glsl resources/dither.glsl \
  resources/blend.glsl resources/blur.glsl resources/scene.vxs "resources/Orrin&Vassel.png"; do
  [ -s "$release/$name" ] || fail "the archive lacks $name"
done
wineboot -i >/dev/null 2>&1 || true

# start_show ARGUMENTS...: runs the unpacked exe from its own folder, the log in show.log.
start_show() {
  (cd "$release" && exec wine ./quorvale.exe "$@") >"$work/show.log" 2>&1 &
  pid=$!
}
# wait_for_window NAME_PATTERN SECONDS: prints the id of the first visible window so named.
wait_for_window() {
  local deadline=$((SECONDS + $2)) id=""
  until id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) && [ -n "$id" ]; do
    kill -0 "$pid" 2>/dev/null || fail "ended before a window named $1 appeared: $(tail -5 "$work/show.log")"
    [ $SECONDS -lt $deadline ] || fail "no window named $1 within $2 s"
    sleep 0.5
  done
  echo "$id"
}
# wait_for_exit SECONDS: sets `status` to the exit status once the show has ended (in this
# shell: only the shell that started the show can wait for it).
wait_for_exit() {
  local deadline=$((SECONDS + $1))
  while kill -0 "$pid" 2>/dev/null; do
    [ $SECONDS -lt $deadline ] || fail "did not end within $1 s"
    sleep 0.2
  done
  set +e; wait "$pid"; status=$?; set -e
  pid=""
}

# ---- Without arguments: the show, a live shader edit, Escape ---------------------------------
read -r screen_width screen_height < <(xdotool getdisplaygeometry)
start_show
wait_for_window '^Quorvale$' 60 >/dev/null
# Start-up (the scene, the shaders) runs after the window shows: wait for the first picture.
deadline=$((SECONDS + 60))
mean=0
until [ "$mean" -gt 10 ]; do
  [ $SECONDS -lt $deadline ] || fail "the window stayed black for 60 s (mean level $mean)"
  kill -0 "$pid" 2>/dev/null || fail "ended before drawing: $(tail -5 "$work/show.log")"
  sleep 1
  import -window root "$work/screen.png"
  mean=$(convert "$work/screen.png" -format "%[fx:int(255*mean)]" info:)
done

# A scene shader that paints one colour. Black and white pass the opening's dither unchanged,
# so once an edit is picked up the middle of the screen is that one colour all over. The real
# scene never keeps it black, then white, then black again in turn.
solid_colour_shader() {
  printf '#version 450\nlayout(location = 0) uniform vec4 frame;\nout vec4 colour;\n'
  printf 'void main() { colour = vec4(%s, 1.0); }\n' "$1"
}
# Darkest and lightest level (0-255) of a 200 x 100 patch in the middle of the screen.
middle_levels() {
  import -window root "$work/screen.png" 2>/dev/null
  convert "$work/screen.png" -crop "200x100+$((screen_width / 2 - 100))+$((screen_height / 2 - 50))" +repage \
    -colorspace Gray -format "%[fx:int(255*minima)],%[fx:int(255*maxima)]" info:
}
save_and_wait_for() {
  local levels=$1 deadline=$((SECONDS + 20)) seen=""
  solid_colour_shader "$2" >"$release/resources/test.glsl"
  while [ $SECONDS -lt $deadline ]; do
    seen=$(middle_levels)
    [ "$seen" = "$levels" ] && return 0
    kill -0 "$pid" 2>/dev/null || fail "ended while waiting for the edited shader: $(tail -5 "$work/show.log")"
    sleep 0.5
  done
  fail "20 s after saving test.glsl the screen's middle has levels $seen, expected $levels"
}
cp "$release/resources/test.glsl" "$work/test.glsl"
save_and_wait_for "0,0" "0.0, 0.0, 0.0"
save_and_wait_for "255,255" "1.0, 1.0, 1.0"
save_and_wait_for "0,0" "0.0, 0.0, 0.0"
xdotool mousemove 20 20 key Escape
wait_for_exit 30
[ "$status" -eq 0 ] || fail "exit status $status after Escape"
cp "$work/test.glsl" "$release/resources/test.glsl"
echo "quorvale.exe drew its show under wine (mean level $mean), followed the saved test.glsl and ended on Escape"

# ---- A bad option: the message box, no window, status 2 --------------------------------------
# The box waits for its OK, so it is dismissed here once it shows; the production's own window
# must never have appeared by then.
start_show --at 62 --window 640by360
box=$(wait_for_window '^Quorvale: command line$' 60)
! xdotool search --name '^Quorvale($| )' >/dev/null 2>&1 || fail "a window opened despite the bad option"
xdotool key --window "$box" Return 2>/dev/null
wait_for_exit 30
[ "$status" -eq 2 ] || fail "exit status $status after a bad option, expected 2"
grep -q 'quorvale: ' "$work/show.log" || fail "the message did not reach standard error: $(cat "$work/show.log")"
echo "a bad option showed its box and ended with status 2: $(head -1 "$work/show.log")"

# ---- --window 640x360 --at 62 with sound: it plays, Space holds it, the held picture ----------
# A sound server of this test's own (its runtime folder is private) with one null sink of the
# song's own format, so the frames reach the recording unchanged; wine's wave output plays into
# it and parec records what it plays.
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
sound_server=started
pulseaudio --daemonize=yes --exit-idle-time=-1 -n --load="module-null-sink sink_name=nul format=float32le rate=44100 channels=2" \
  --load=module-native-protocol-unix >"$work/pulse.log" 2>&1 || fail "no sound server: $(cat "$work/pulse.log")"
# record NAME: two seconds of what the sink plays, as float stereo frames; fails on a short take.
record() {
  timeout -s INT 2 parec -d nul.monitor --format=float32le --rate=44100 --channels=2 --raw >"$work/$1.raw" || true
  [ "$(stat -c %s "$work/$1.raw")" -ge 352800 ] || fail "recorded only $(stat -c %s "$work/$1.raw") bytes of sound ($1)"
}
is_silent() { [ "$(tr -d '\000' <"$work/$1.raw" | head -c 1 | wc -c)" -eq 0 ]; }
title_of() { xdotool getwindowname "$window" 2>/dev/null || true; }

start_show --window 640x360 --at 62
window=$(wait_for_window '^Quorvale · part 3 ' 90)
# The clock stands at 62 s until the song render has got there; then the sound plays.
deadline=$((SECONDS + 90))
until awk -v t="$(title_of)" 'BEGIN { exit !(match(t, / [0-9.]+ s /) && substr(t, RSTART + 1) + 0 > 62.05) }'; do
  [ $SECONDS -lt $deadline ] || fail "the show did not move on from 62 s: title \"$(title_of)\""
  sleep 0.5
done
record playing
! is_silent playing || fail "nothing sounded while the show played from 62 s"
# A key sent to a window without the focus can go unread by wine when both cores are busy.
xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool key --window "$window" space 2>/dev/null
title=""
deadline=$((SECONDS + 30))
until [[ $title == *paused* ]]; do
  [ $SECONDS -lt $deadline ] || fail "Space did not hold the show: title \"$title\""
  sleep 0.5
  title=$(xdotool getwindowname "$window")
done
held_at=$(sed -E 's/.* ([0-9]+\.[0-9]+) s .*/\1/' <<<"$title")
# Keys wait for the frame being drawn, and frames are slow here: the hold lands some seconds on.
[[ $title == *"part 3 "* ]] && awk -v t="$held_at" 'BEGIN { exit !(t >= 62 && t < 75) }' ||
  fail "held at \"$title\", expected part 3 a few seconds after 62 s"
sleep 1  # what the output had queued has sounded
record held
is_silent held || fail "the sound went on while the show was held"
xdotool key --window "$window" Tab 2>/dev/null  # the readout hidden: the show's picture alone
sleep 1  # the frame drawn at the held time reaches the screen
eval "$(xdotool getwindowgeometry --shell "$window")"
[ "$WIDTH" -eq 640 ] && [ "$HEIGHT" -eq 360 ] || fail "the client area is ${WIDTH} x ${HEIGHT}, not 640 x 360"
import -window root "$work/screen.png"
convert "$work/screen.png" -crop "640x360+$X+$Y" +repage "$work/held.png"
(cd "$release" && "$qvtool" frame "$held_at" "$work/expected.png" --size 640x360 >"$work/qvtool.log" 2>&1) ||
  fail "qvtool frame $held_at failed: $(cat "$work/qvtool.log")"
psnr=$(compare -metric PSNR "$work/held.png" "$work/expected.png" null: 2>&1 || true)
[[ $psnr == inf* ]] || awk -v p="$psnr" 'BEGIN { exit !(p + 0 >= 60) }' ||
  fail "the held picture differs from qvtool frame $held_at: PSNR $psnr dB"
xdotool key --window "$window" space 2>/dev/null
deadline=$((SECONDS + 30))
until [[ $(title_of) == *fps* ]]; do
  [ $SECONDS -lt $deadline ] || fail "Space did not resume the show: title \"$(title_of)\""
  sleep 0.5
done
sleep 1
record resumed
! is_silent resumed || fail "nothing sounded once the show was resumed"
xdotool key --window "$window" Escape 2>/dev/null
wait_for_exit 30
[ "$status" -eq 0 ] || fail "exit status $status after Escape in making mode"
echo "--window 640x360 --at 62 held \"$title\"; against qvtool frame $held_at: PSNR $psnr dB"
echo "its sound played, was silent while held and played again on Space"

# ---- --loop 100 101: the wrap inside the wave output's queue; a held Space --------------------
start_show --window 320x180 --loop 100 101
window=$(wait_for_window '^Quorvale · part 4 ' 90)
deadline=$((SECONDS + 90))
until [[ $(title_of) == *fps* ]] && ! [[ $(title_of) == *" 100.0 s "* ]]; do
  [ $SECONDS -lt $deadline ] || fail "the loop did not start playing: title \"$(title_of)\""
  sleep 0.5
done
timeout -s INT 8 parec -d nul.monitor --format=float32le --rate=44100 --channels=2 --raw >"$work/loop.raw" || true
"$qvtool" song --raw "$work/song.raw" 2>"$work/song.log" || fail "qvtool song: $(cat "$work/song.log")"
"$played_segments" "$work/loop.raw" "$work/song.raw" >"$work/segments.txt"
# With both cores busy wine's audio thread can underrun; the sink then plays silence, and a few
# frames at such an edge may not match the song. Anything longer is a fault.
awk '$1 == "other" && $3 > 16 { bad = 1 } END { exit bad }' "$work/segments.txt" ||
  fail "the sink played frames that are not the song: $(grep -B2 -A2 '^other' "$work/segments.txt" | head -20)"
awk '$1 == "song" && ($4 < 4410000 || $4 + $3 > 4454100) { bad = 1 } END { exit bad }' "$work/segments.txt" ||
  fail "song frames outside the loop: $(cat "$work/segments.txt")"
passes=$(awk '$1 == "song" && $4 == 4410000' "$work/segments.txt" | wc -l)
[ "$passes" -ge 5 ] || fail "only $passes passes began at the loop's start: $(cat "$work/segments.txt")"
echo "--loop 100 101: $passes passes of song frames 4410000-4454099 in 8 s, none past"

xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool mousemove --window "$window" 20 20 keydown space
deadline=$((SECONDS + 30))
until [[ $(title_of) == *paused ]]; do
  [ $SECONDS -lt $deadline ] || fail "Space did not hold the loop: title \"$(title_of)\""
  sleep 0.1
done
held=$(title_of)
sleep 2
xdotool keyup space
sleep 1.5  # anything the repeats set going is drawn by now
[ "$(title_of)" = "$held" ] || fail "Space held for 2 s from \"$held\" left \"$(title_of)\""
xdotool key --window "$window" Escape 2>/dev/null
wait_for_exit 30
[ "$status" -eq 0 ] || fail "exit status $status after Escape in the loop"
echo "Space held for 2 s: \"$held\", unchanged"
