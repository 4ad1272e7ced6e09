#!/usr/bin/env bash
# A scene program saved while making mode plays is built off the drawing thread: the pictures go
# on with the old program, and the new one takes over without a gap. Each save is a program text
# the driver's cache has never seen (a fresh cache, a new number in every text), so nothing is
# served from an earlier build; the program keeps the whole tracer, so its build is the real one.
source "$(dirname "$0")/e2e_lib.sh"

export MESA_SHADER_CACHE_DIR="$WORK_DIR/shader-cache"
unset MESA_SHADER_CACHE_DISABLE
export QUORVALE_PICTURE_LOG="$WORK_DIR/pictures.txt"
program="$WORK_DIR/resources/test.glsl"
grep -q 'fragColor = vec4(color, 1.0);' "$program" || fail "test.glsl no longer ends in the line this test edits"
cp "$program" "$WORK_DIR/original.glsl"

# Saves the scene program painting "r, g, b" over the traced picture, which still feeds the colour.
save_painting() {
  sed "s|fragColor = vec4(color, 1.0);|fragColor = vec4(vec3($1) + color * 1.0e-9 * $RANDOM.$RANDOM, 1.0);|" \
    "$WORK_DIR/original.glsl" > "$program.new"
  mv "$program.new" "$program"
  monotonic_ms >> "$WORK_DIR/saves.txt"
}
monotonic_ms() { python3 -c 'import time; print(time.monotonic() * 1000)'; }

wait_for_centre() {
  local deadline=$((SECONDS + 30))
  while [ $SECONDS -lt $deadline ]; do
    [ "$(pixel_at 80 45)" = "$1" ] && return 0
    sleep 0.2
  done
  fail "the saved program did not show $1 within 30 s (centre $(pixel_at 80 45))"
}

start_show --window 160x90 --at 62
wait_for_title 'part 3' 60
sleep 3
save_painting "1.0, 0.0, 1.0"
wait_for_centre "255,0,255"
sleep 1
save_painting "0.0, 1.0, 0.0"
wait_for_centre "0,255,0"
sleep 1
press Escape
wait_for_exit 20

# Gaps between pictures: the usual one before the first save, the longest from each save to 1 s
# after the picture changed. A build on the drawing thread stops the picture for 0.2 s or more.
python3 - "$WORK_DIR/pictures.txt" "$WORK_DIR/saves.txt" <<'PY' || fail "see above"
import statistics, sys
times = [float(line.split()[0]) for line in open(sys.argv[1])]
saves = [float(line) for line in open(sys.argv[2])]
gaps = [(b - a, b) for a, b in zip(times, times[1:])]
usual = statistics.median([g for g, at in gaps if saves[0] - 2000 <= at < saves[0]])
after = [g for g, at in gaps if any(s <= at <= s + 4000 for s in saves)]
longest = max(after)
limit = max(4 * usual, 100.0)
print(f"usual gap {usual:.1f} ms ({1000 / usual:.0f} pictures a second); longest after a save {longest:.1f} ms")
if usual > 1000 / 18:
    sys.exit(f"fewer than 18 pictures a second ({1000 / usual:.1f}): the measure means nothing here")
if longest > limit:
    sys.exit(f"a save stopped the picture for {longest:.0f} ms (limit {limit:.0f} ms)")
PY
echo "the saves built off the drawing thread"
