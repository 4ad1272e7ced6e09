#!/usr/bin/env bash
# The making-mode window can be resized and its picture follows: started at 320 x 180 with a
# scene shader painting everything red, then made 640 x 360, the window's far corner is red too
# (the picture scaled to the new size, not left in a corner of a black window).
source "$(dirname "$0")/e2e_lib.sh"

solid_colour_shader "1.0, 0.0, 0.0" > "$WORK_DIR/resources/test.glsl"
start_show --window 320x180 --at 62
wait_for_title 'part 3' 60
press Tab  # no readout over the corner looked at
[ "$(pixel_at 300 20)" = "255,0,0" ] || sleep 1
window=$(xdotool search --onlyvisible --name '^Quorvale' | head -n 1)
xdotool windowsize "$window" 640 360
deadline=$((SECONDS + 20))
until [ "$(pixel_at 620 20)" = "255,0,0" ] && [ "$(pixel_at 620 340)" = "255,0,0" ]; do
  [ $SECONDS -lt $deadline ] || fail "after the resize the far corner is $(pixel_at 620 20), not the picture"
  sleep 0.3
done
echo "resized to 640 x 360: the picture fills the window"
press Escape
wait_for_exit 20
