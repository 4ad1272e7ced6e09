#!/usr/bin/env bash
# Saving test.glsl while the production runs changes the frames that follow. The opening shows
# the scene through the dither pass; here that pass hands the picture on unchanged, so the scene
# shader's solid colour reaches the screen: magenta, then green once saved. Neither can be an
# undrawn window (black, or the black-and-white pattern of the screen behind it), so seeing
# magenta proves start-up is over and the folder is watched before the save.
source "$(dirname "$0")/e2e_lib.sh"

cat > "$WORK_DIR/resources/dither.glsl" <<'GLSL'
#version 450
uniform sampler2D image;
out vec4 colour;
void main() { colour = texelFetch(image, ivec2(gl_FragCoord.xy), 0); }
GLSL
solid_colour_shader "1.0, 0.0, 1.0" > "$WORK_DIR/resources/test.glsl"
start_show
wait_for_window 30
wait_for_pixel "255,0,255"
solid_colour_shader "0.0, 1.0, 0.0" > "$WORK_DIR/resources/test.glsl"
wait_for_pixel "0,255,0"
echo "the edited shader showed in the following frames"
xdotool mousemove 20 20 key Escape
wait_for_exit 20
