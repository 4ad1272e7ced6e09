#!/usr/bin/env bash
# In making mode a held picture is redrawn when a shader is saved; a saved test.glsl that does
# not build leaves the picture as it was, with its log on stderr and in the title and no message
# box, each error at resources/test.glsl:LINE:COLUMN; a save that empties the file says so; the
# next good save takes over.
source "$(dirname "$0")/e2e_lib.sh"

solid_colour_shader "1.0, 0.0, 0.0" > "$WORK_DIR/resources/test.glsl"
start_show --window 640x360 --at 62
wait_for_title 'part 3' 60
wait_for_pixel "255,0,0"
press space
wait_for_title 'paused' 30
solid_colour_shader "0.0, 1.0, 0.0" > "$WORK_DIR/resources/test.glsl"
wait_for_pixel "0,255,0"
echo "the held picture was redrawn with the saved shader"

printf '#version 450\nout vec4 colour;\nvoid main() { colour = vec4(1.0) }\n' > "$WORK_DIR/resources/test.glsl"
wait_for_title 'resources/test\.glsl:3:[0-9]+: error' 30
sleep 1
[ "$(pixel_at 100 100)" = "0,255,0" ] || fail "the broken save changed the picture to $(pixel_at 100 100)"
grep -q "test.glsl did not build" "$WORK_DIR/show.log" || fail "no log on stderr: $(cat "$WORK_DIR/show.log")"
grep -q "^resources/test.glsl:3:[0-9]*: error" "$WORK_DIR/show.log" || fail "no error at its file position: $(cat "$WORK_DIR/show.log")"
echo "the broken save kept the picture; stderr: $(grep -A3 "did not build" "$WORK_DIR/show.log" | grep -m1 -i error)"

: > "$WORK_DIR/resources/test.glsl"
wait_for_title 'test\.glsl: the file is empty' 30
[ "$(pixel_at 100 100)" = "0,255,0" ] || fail "the empty save changed the picture to $(pixel_at 100 100)"
echo "the empty save was reported and kept the picture"

solid_colour_shader "0.0, 0.0, 1.0" > "$WORK_DIR/resources/test.glsl"
wait_for_pixel "0,0,255"
wait_for_title 'paused$' 10
press Escape
wait_for_exit 20
