#!/usr/bin/env bash
# The Windows build, run under wine on Xvfb: it opens its window with a WGL context, draws the
# show (wine has no sound server here, so the clock runs without a device), follows a test.glsl
# saved while it runs (the folder watch through ReadDirectoryChangesW) and ends with exit status
# 0 on Escape. It runs from a copy of resources/, so the repository's files are never changed.
# Usage (inside xvfb-run): windows_build_under_wine.sh QUORVALE.EXE SOURCE_DIR
set -euo pipefail
source "$(dirname "$0")/../../scripts/require.sh"; for tool in wine:wine wineboot:wine wineserver:wine xdotool:xdotool import:imagemagick convert:imagemagick; do require_command "${tool%%:*}" "${tool#*:}"; done
exe=$1
source_dir=$2
work=$(mktemp -d)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cp -r "$source_dir/resources" "$work/resources"
wineboot -i >/dev/null 2>&1 || true
(cd "$work" && exec wine "$exe") >"$work/show.log" 2>&1 &
pid=$!

deadline=$((SECONDS + 60))
until xdotool search --onlyvisible --name '^Quorvale$' >/dev/null 2>&1; do
  kill -0 "$pid" 2>/dev/null || fail "ended before its window appeared: $(tail -5 "$work/show.log")"
  [ $SECONDS -lt $deadline ] || fail "no window within 60 s"
  sleep 0.5
done
sleep 5
import -window root "$work/screen.png"
mean=$(convert "$work/screen.png" -format "%[fx:int(255*mean)]" info:)
[ "$mean" -gt 10 ] || fail "the window stayed black (mean level $mean)"

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
  convert "$work/screen.png" -crop 200x100+220+130 +repage -colorspace Gray \
    -format "%[fx:int(255*minima)],%[fx:int(255*maxima)]" info:
}
save_and_wait_for() {
  local levels=$1 deadline=$((SECONDS + 20)) seen=""
  solid_colour_shader "$2" >"$work/resources/test.glsl"
  while [ $SECONDS -lt $deadline ]; do
    seen=$(middle_levels)
    [ "$seen" = "$levels" ] && return 0
    kill -0 "$pid" 2>/dev/null || fail "ended while waiting for the edited shader: $(tail -5 "$work/show.log")"
    sleep 0.5
  done
  fail "20 s after saving test.glsl the screen's middle has levels $seen, expected $levels"
}
save_and_wait_for "0,0" "0.0, 0.0, 0.0"
save_and_wait_for "255,255" "1.0, 1.0, 1.0"
save_and_wait_for "0,0" "0.0, 0.0, 0.0"
xdotool mousemove 20 20 key Escape
deadline=$((SECONDS + 30))
while kill -0 "$pid" 2>/dev/null; do
  [ $SECONDS -lt $deadline ] || { kill -KILL "$pid"; fail "did not end on Escape"; }
  sleep 0.2
done
set +e; wait "$pid"; status=$?; set -e
[ "$status" -eq 0 ] || fail "exit status $status"
echo "quorvale.exe drew its show under wine (mean level $mean), followed the saved test.glsl and ended on Escape"
