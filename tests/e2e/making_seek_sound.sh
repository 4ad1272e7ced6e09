#!/usr/bin/env bash
# The sound follows the picture: started at 62 s it plays from song frame round(62 x 44100);
# held, moved 5 s on (which plays a short grain there) and resumed, it plays on from the frame of
# the picture's new time (within 1 ms). Compares SDL's disk-driver recording with the song rendered by qvtool song --raw, and
# prints the distance between the picture's time and the sound after each seek.
source "$(dirname "$0")/e2e_lib.sh"
record_sound

start_show --window 640x360 --at 62
# The clock waits at 62 s until the song render, started with the production, has got there.
wait_for_title 'part 3 [^ ]+ (62\.[1-9]|6[3-9]\.[0-9]) s [^ ]+ [0-9.]+ fps' 180
sleep 2
press space
wait_for_title 'paused' 30
sleep 1
held=$(title_seconds)
target=$(awk -v t="$held" 'BEGIN { printf "%.3f", t + 5 }')
press Right
wait_for_title " ${target//./\\.} s [^ ]+ paused" 60
press space
wait_for_title '[0-9.]+ fps' 30
sleep 2
press Escape
wait_for_exit 20

read_played_segments
# The output starts at the start time: not one frame of the song's opening comes before.
mapfile -t runs < <(grep '^song' "$WORK_DIR/segments.txt")
[ "${#runs[@]}" -eq 3 ] || fail "expected the song, a grain and the song again, found: $(cat "$WORK_DIR/segments.txt")"
grain_start=$(echo "${runs[1]}" | cut -d' ' -f4)
grain_length=$(echo "${runs[1]}" | cut -d' ' -f3)
[ "$grain_start" -eq "$(echo "${runs[2]}" | cut -d' ' -f4)" ] || fail "the grain played elsewhere than the resume"
[ "$grain_length" -le 5512 ] || fail "a grain of $grain_length frames is longer than a row"
first_frame=$(echo "${runs[0]}" | cut -d' ' -f4)
[ "$first_frame" -eq 2734200 ] || fail "--at 62 started the sound at song frame $first_frame, not 2734200"
echo "--at 62: the sound starts at song frame $first_frame, the picture at 62 s: 0 ms apart"

# The paused picture's time is shown to the millisecond: the sound must start within 1 ms of it.
resumed_frame=$(echo "${runs[2]}" | cut -d' ' -f4)
distance_ms=$(awk -v f="$resumed_frame" -v t="$target" 'BEGIN { d = f / 44100 - t; printf "%.1f", d * 1000 }')
echo "after the seek to $target s: the sound resumed at song frame $resumed_frame, $distance_ms ms from the picture"
near "$distance_ms" 0 1 || fail "the sound is $distance_ms ms away from the picture"
gap=$(grep '^silence' "$WORK_DIR/segments.txt" | awk -v s="$(echo "${runs[0]}" | cut -d' ' -f2)" '$2 > s { print $3; exit }')
echo "held: $gap frames of silence between the two stretches"
