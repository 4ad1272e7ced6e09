#!/usr/bin/env bash
# The Windows build, run under wine on Xvfb: it opens its window with a WGL context, draws the
# show (wine has no sound server here, so the clock runs without a device) and ends with exit
# status 0 on Escape. Usage (inside xvfb-run): windows_build_under_wine.sh QUORVALE.EXE SOURCE_DIR
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
xdotool mousemove 20 20 key Escape
deadline=$((SECONDS + 30))
while kill -0 "$pid" 2>/dev/null; do
  [ $SECONDS -lt $deadline ] || { kill -KILL "$pid"; fail "did not end on Escape"; }
  sleep 0.2
done
set +e; wait "$pid"; status=$?; set -e
[ "$status" -eq 0 ] || fail "exit status $status"
echo "quorvale.exe drew its show under wine (mean level $mean) and ended on Escape"
