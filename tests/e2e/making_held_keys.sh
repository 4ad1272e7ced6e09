#!/usr/bin/env bash
# Keys act once per press: Space held down for two seconds (the keyboard repeating it all the
# while) leaves the show paused, its time as it was when the hold began.
source "$(dirname "$0")/e2e_lib.sh"

start_show --window 320x180 --at 5
wait_for_title 'part 0 [^ ]+ ([5-9]\.[1-9]|[1-9][0-9]\.[0-9]) s [^ ]+ [0-9.]+ fps' 180
xdotool mousemove 20 20 keydown space
wait_for_title 'paused' 30
held=$(title_seconds)
sleep 2
xdotool keyup space
sleep 1  # anything the repeats set going is drawn by now
wait_for_title 'paused$' 10
after=$(title_seconds)
[ "$after" = "$held" ] || fail "held at $held s, the time moved to $after s while Space was down"
echo "Space held for 2 s: paused at $held s, still $after s after"
press Escape
wait_for_exit 20
