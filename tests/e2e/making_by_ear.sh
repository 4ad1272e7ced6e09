#!/usr/bin/env bash
# Keys act on what is heard, and no cut clicks. Recorded with SDL's disk driver and compared with
# the song rendered by qvtool song --raw: Shift+Right while playing moves the sound by exactly
# 44,100 frames; a pause and resume plays on from the frame after the last one heard, repeating
# and skipping nothing; no two neighbouring recorded samples around a cut differ by more than the
# song's own largest step there. Then, held, `]` after `[` and a seek puts the picture back at
# the new loop's start.
source "$(dirname "$0")/e2e_lib.sh"
record_sound

start_show --window 320x180 --at 62
wait_for_title 'part 3 [^ ]+ (62\.[1-9]|6[3-9]\.[0-9]) s [^ ]+ [0-9.]+ fps' 180
sleep 1
press shift+Right
sleep 1.5
press space
wait_for_title 'paused' 30
sleep 1
press space
wait_for_title '[0-9.]+ fps' 30
sleep 1.5
press space
wait_for_title 'paused' 30
sleep 0.5
loop_start=$(title_seconds)
press bracketleft
press Right
target=$(awk -v t="$loop_start" 'BEGIN { printf "%.3f", t + 5 }')
wait_for_title " ${target//./\\.} s [^ ]+ paused" 30
# A grain cut short within its fade in holds no frame at the song's own level, which the
# recording's reader cannot place; the grain sounds at full level well within this.
sleep 0.3
press bracketright
wait_for_title " ${loop_start//./\\.} s [^ ]+ paused" 30
sleep 3
[ "$(title_seconds)" = "$loop_start" ] || fail "after ] the held picture left the loop: $(window_title)"
echo "held ] at $target s: the picture went back to the loop's start $loop_start s and stayed"
press Escape
wait_for_exit 20

read_played_segments
mapfile -t runs < <(grep '^song' "$WORK_DIR/segments.txt")
# The song from 62 s, the move, the pause's stop, the resume, the grain at the seek while held.
[ "${#runs[@]}" -ge 3 ] || fail "expected at least three stretches of song: $(cat "$WORK_DIR/segments.txt")"
field() { echo "${runs[$1]}" | cut -d' ' -f"$2"; }
moved_from=$(($(field 0 4) + $(field 0 3)))
moved_to=$(field 1 4)
echo "Shift+Right: the sound went from song frame $moved_from to $moved_to"
[ $((moved_to - moved_from)) -eq 44100 ] || fail "the sound moved $((moved_to - moved_from)) frames, not 44100"
stopped=$(($(field 1 4) + $(field 1 3)))
resumed=$(field 2 4)
echo "pause: the sound stopped before song frame $stopped and resumed at $resumed"
[ "$resumed" -eq "$stopped" ] || fail "resuming played from $resumed, not from $stopped where the sound stopped"
# Each cut: the recorded step against the song's own largest step there.
while read -r _ offset step song_step; do
  echo "cut at recorded frame $offset: largest step $step, the song's own $song_step"
  awk -v a="$step" -v b="$song_step" 'BEGIN { exit !(a <= b) }' || fail "a click at recorded frame $offset"
done < <(grep '^cut' "$WORK_DIR/segments.txt")
