#!/usr/bin/env bash
# Saving test.glsl while the production runs changes the frames that follow. The opening part is
# dithered to black and white, so the scene shader paints the screen white, then black. White
# first: an undrawn window may read black, and only a drawn frame shows that start-up is over and
# the folder is watched.
source "$(dirname "$0")/e2e_lib.sh"

solid_colour_shader "1.0, 1.0, 1.0" > "$WORK_DIR/resources/test.glsl"
start_show
wait_for_window 30
wait_for_pixel "255,255,255"
solid_colour_shader "0.0, 0.0, 0.0" > "$WORK_DIR/resources/test.glsl"
wait_for_pixel "0,0,0"
echo "the edited shader showed in the following frames"
xdotool mousemove 20 20 key Escape
wait_for_exit 20
