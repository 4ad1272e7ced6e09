#!/usr/bin/env bash
# A loop of 100 to 101 s wraps in the audio feed itself: over 8 s of loops, however slowly the
# pictures come, SDL's disk-driver recording holds song frames from round(100 x 44100) up to, and
# never at or past, round(101 x 44100), with no silence between the first and the last and no
# frame of the song's opening before. The title's time stays inside the loop throughout.
source "$(dirname "$0")/e2e_lib.sh"
record_sound
recorded() { stat -c %s "$SDL_DISKAUDIOFILE" 2>/dev/null || echo 0; }
has_sound() { [ "$(tr -d '\000' <"$SDL_DISKAUDIOFILE" | head -c 1 | wc -c)" -gt 0 ]; }

start_show --window 320x180 --loop 100 101
# The output waits at 100 s until the song render, started with the production, is past it.
wait_for_title 'part 4 [^ ]+ 100\.[0-9] s [^ ]+ [0-9.]+ fps' 180
while ! has_sound; do
  kill -0 "$SHOW_PID" 2>/dev/null || fail "the production ended"
  sleep 0.2
done
playing_from=$(recorded)
seen=""
while [ $(($(recorded) - playing_from)) -lt $((8 * 44100 * 8)) ]; do
  t=$(title_seconds)
  [ -n "$t" ] && seen="$seen $t"
  [ -z "$t" ] || awk -v t="$t" 'BEGIN { exit !(t >= 100 && t <= 101) }' || fail "the title's time $t s left the loop"
  kill -0 "$SHOW_PID" 2>/dev/null || fail "the production ended"
  sleep 0.2
done
press Escape
wait_for_exit 20
echo "title times:$seen"

read_played_segments
# Runs of song: "song OFFSET LENGTH FIRST"; each must lie in [4410000, 4454100).
awk '$1 == "song" && ($4 < 4410000 || $4 + $3 > 4454100) { bad = bad " " $0 } END { if (bad != "") { print bad; exit 1 } }' \
  "$WORK_DIR/segments.txt" || fail "song frames outside the loop: $(cat "$WORK_DIR/segments.txt")"
passes=$(awk '$1 == "song" && $4 == 4410000' "$WORK_DIR/segments.txt" | wc -l)
[ "$passes" -ge 8 ] || fail "only $passes passes began at the loop's start: $(cat "$WORK_DIR/segments.txt")"
first=$(awk '$1 == "song" { print $2; exit }' "$WORK_DIR/segments.txt")
last=$(awk '$1 == "song" { end = $2 + $3 } END { print end }' "$WORK_DIR/segments.txt")
gaps=$(awk -v a="$first" -v b="$last" '$1 == "silence" && $2 > a && $2 < b' "$WORK_DIR/segments.txt")
[ -z "$gaps" ] || fail "silence inside the loop's sound: $gaps"
awk -v a="$first" '$1 == "song" && $2 < a' "$WORK_DIR/segments.txt" | grep -q . && fail "song before the loop"
echo "$passes passes of 100-101 s, $(((last - first) / 44100)) s of sound without a gap, nothing past frame 4454099"
