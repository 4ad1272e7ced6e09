#!/usr/bin/env bash
# Space holds the sound with the picture: SDL's disk driver goes on recording what the output
# hands it, and while paused that is silence only; after the second Space the song comes back.
source "$(dirname "$0")/e2e_lib.sh"
record_sound
recorded() { stat -c %s "$SDL_DISKAUDIOFILE" 2>/dev/null || echo 0; }

# True when bytes [$1, $2) of the recording are all zero.
silent_between() { cmp -s -n $(($2 - $1)) <(tail -c +$(($1 + 1)) "$SDL_DISKAUDIOFILE") /dev/zero; }

start_show --window 640x360 --at 40
# The output plays silence at 40 s until the song render, started with the production, gets there.
wait_for_title 'part 2 [^ ]+ (40\.[1-9]|4[1-9]\.[0-9]) s [^ ]+ [0-9.]+ fps' 180
before=$(recorded)
sleep 1
silent_between "$before" "$(recorded)" && fail "no song was playing before the pause"
press space
wait_for_title 'paused' 30
sleep 0.5  # the buffer in flight when the key came is written
held_from=$(recorded)
sleep 2
held_to=$(recorded)
[ $((held_to - held_from)) -ge $((44100 * 8)) ] || fail "the output stopped recording while paused"
silent_between "$held_from" "$held_to" || fail "song frames were played while paused"
echo "paused: $(((held_to - held_from) / 8)) frames of silence"
press space
wait_for_title '[0-9.]+ fps' 30
resumed=$(recorded)
sleep 1
silent_between "$resumed" "$(recorded)" && fail "the song did not resume"
press Escape
wait_for_exit 20
echo "the song resumed after the second Space"
