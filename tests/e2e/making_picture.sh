#!/usr/bin/env bash
# What making mode puts on the window (320 x 180):
# - `--at 111`, in the last part, which draws nothing: a black picture;
# - a held picture, the readout hidden with Tab, is the one `qvtool frame` gives at the title's
#   time (PSNR at least 60 dB); with the readout shown it differs in the readout's rows only; it
#   is drawn again when the window is exposed;
# - Period moves the held time on by exactly one scene step;
# - a changed scene file changes the held picture; a broken one leaves it, with its message on it
#   until a good one loads;
# - a shader save that does not build puts its log on the picture, the readout hidden, and a good
#   save takes it away.
source "$(dirname "$0")/e2e_lib.sh"
QVTOOL=${QVTOOL:?path of qvtool}

window_id() { xdotool search --onlyvisible --name '^Quorvale' 2>/dev/null | head -n 1; }
shot() { import -window "$(window_id)" "$WORK_DIR/$1.png"; }
# PSNR of the same crop (WxH+X+Y, the whole picture by default) of two pictures.
psnr() {
  convert "$WORK_DIR/$1.png" -crop "${3:-320x180+0+0}" +repage "$WORK_DIR/crop1.png"
  convert "$WORK_DIR/$2.png" -crop "${3:-320x180+0+0}" +repage "$WORK_DIR/crop2.png"
  compare -metric PSNR "$WORK_DIR/crop1.png" "$WORK_DIR/crop2.png" null: 2>&1 || true
}
# Fx expressions (e.g. "255*maxima.r") of a crop of the fresh shot, comma-separated integers.
measure() { convert "$WORK_DIR/now.png" -crop "$1" +repage -format "$2" info:; }
# Waits up to 30 s until `$@` (a test on a fresh shot named "now") holds.
wait_for_picture() {
  local deadline=$((SECONDS + 30))
  while [ $SECONDS -lt $deadline ]; do
    shot now
    if "$@"; then return 0; fi
    kill -0 "$SHOW_PID" 2>/dev/null || fail "the production ended"
    sleep 0.3
  done
  fail "the picture never satisfied: $*"
}
all_black() { [ "$(measure 320x180+0+0 '%[fx:int(255*maxima)]')" = "0" ]; }
same_as() { [ "$(psnr now "$1")" = "inf" ]; }
differs_from() { [ "$(psnr now "$1")" != "inf" ]; }
# The scene step the director shows at part-3 time $1 (part 3 starts at 54 s), worked out as the
# production does: the millisecond to a sample frame, the frame to seconds and the step in single
# precision. So 62.350 s is the last moment of step 500 (62.3499985 s) and 62.500 s the first of
# 510: doubles alone get one of the two wrong.
step_at() {
  awk -v t="$1" '
    function single(x,  e, q, r, n) {  # x > 0 rounded to the nearest float, ties to even
      e = 0
      while (2 ^ e > x) e--
      while (2 ^ (e + 1) <= x) e++
      q = 2 ^ (23 - e); r = x * q; n = int(r)
      if (r - n > 0.5 || (r - n == 0.5 && n % 2 == 1)) n++
      return n / q
    }
    BEGIN {
      frame = int(int(t * 1000 + 0.5) / 1000 * 44100 + 0.5)
      print int(single(single(single(frame / 44100) - 54) * 60))
    }'
}

# ---- The last part is black ----
start_show --window 320x180 --at 111
wait_for_title 'part 5 ' 60
press Tab
wait_for_picture all_black
press Escape
wait_for_exit 20
echo "--at 111: black"

# ---- A held picture: the readout, qvtool frame, one step ----
start_show --window 320x180 --at 62
wait_for_title 'part 3 [^ ]+ (62\.[1-9]|6[3-9]\.[0-9]) s [^ ]+ [0-9.]+ fps' 180
press space
wait_for_title 'part 3 [^ ]+ [0-9.]+ s [^ ]+ paused$' 30
held=$(title_seconds)
shot with_readout
press Tab
wait_for_picture differs_from with_readout
shot held
(cd "$WORK_DIR" && "$QVTOOL" frame "$held" "$WORK_DIR/expected.png" --size 320x180) 2>"$WORK_DIR/frame.log" ||
  fail "qvtool frame: $(cat "$WORK_DIR/frame.log")"
match=$(psnr held expected)
[ "$match" = "inf" ] || awk -v p="$match" 'BEGIN { exit !(p >= 60) }' || fail "held at $held s: PSNR $match dB against qvtool frame"
# At 320 pixels the readout (part and set, time, pattern:row, step, rate, state) takes two lines.
[ "$(psnr held with_readout 320x148+0+32)" = "inf" ] || fail "the readout changed the picture below its rows"
echo "held at $held s: PSNR $match dB against qvtool frame; the readout changes rows 0-31 only"
id=$(window_id)
xdotool windowunmap --sync "$id"  # the window's contents are lost; mapped again, it is exposed
xdotool windowmap --sync "$id"
xdotool windowfocus --sync "$id"  # unmapping took the keyboard's focus away
wait_for_picture same_as held

press period
wait_for_title "part 3 [^ ]+ [0-9.]+ s [^ ]+ paused$" 30
deadline=$((SECONDS + 30))
while [ "$(title_seconds)" = "$held" ] && [ $SECONDS -lt $deadline ]; do sleep 0.1; done
stepped=$(title_seconds)
[ $(($(step_at "$stepped") - $(step_at "$held"))) -eq 1 ] || fail "Period moved from $held s to $stepped s"
wait_for_picture differs_from held
shot stepped
echo "Period: $held s (step $(step_at "$held")) to $stepped s (step $(step_at "$stepped"))"

# ---- The scene file: a changed one is drawn, a broken one is not ----
# The mesh records come first (count, then each: u32, faces F, 16-byte faces, V, 12-byte
# positions, 4-byte extras, two 16-byte surface records per face, T, 64-byte transforms); the
# positions of mesh 20, the first of part 3, are set to zero.
u32() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }
scene="$WORK_DIR/resources/scene.vxs"
offset=4
for _ in $(seq 0 19); do
  faces=$(u32 "$scene" $((offset + 4))) vertices=$(u32 "$scene" $((offset + 8 + 16 * faces)))
  transforms=$(u32 "$scene" $((offset + 12 + 16 * faces + 16 * vertices + 32 * faces)))
  offset=$((offset + 16 + 16 * faces + 16 * vertices + 32 * faces + 64 * transforms))
done
faces=$(u32 "$scene" $((offset + 4))) vertices=$(u32 "$scene" $((offset + 8 + 16 * faces)))
cp "$scene" "$WORK_DIR/changed.vxs"
dd if=/dev/zero of="$WORK_DIR/changed.vxs" bs=1 seek=$((offset + 12 + 16 * faces)) count=$((12 * vertices)) \
  conv=notrunc status=none
cp "$WORK_DIR/changed.vxs" "$WORK_DIR/good.vxs"
mv "$WORK_DIR/changed.vxs" "$scene"
wait_for_picture differs_from stepped
shot changed
head -c 1000 "$scene" >"$WORK_DIR/broken.vxs"
mv "$WORK_DIR/broken.vxs" "$scene"
text_over_changed() { differs_from changed && [ "$(psnr now changed 320x100+0+80)" = "inf" ]; }
wait_for_picture text_over_changed
mv "$WORK_DIR/good.vxs" "$scene"
wait_for_picture same_as changed
echo "a changed scene was drawn; a broken one left the picture, its message over it until a good one"

# ---- A shader that does not build ----
solid_colour_shader "0.0, 1.0, 0.0" >"$WORK_DIR/resources/test.glsl"
all_green() { [ "$(measure 320x100+0+80 '%[fx:int(255*minima.g)],%[fx:int(255*maxima.r)]')" = "255,0" ]; }
wait_for_picture all_green
shot green
printf '#version 450\nout vec4 colour;\nvoid main() { colour = vec4(1.0) }\n' >"$WORK_DIR/resources/test.glsl"
wait_for_title 'resources/test\.glsl:3:[0-9]+: error' 30
log_on_picture() { differs_from green && [ "$(psnr now green 320x40+0+140)" = "inf" ]; }
wait_for_picture log_on_picture
solid_colour_shader "0.0, 0.0, 1.0" >"$WORK_DIR/resources/test.glsl"
only_blue() { [ "$(measure 320x180+0+0 '%[fx:int(255*minima.b)],%[fx:int(255*maxima.r)],%[fx:int(255*maxima.g)]')" = "255,0,0" ]; }
wait_for_picture only_blue
echo "a broken save put its log on the picture; a good one took it away"
press Escape
wait_for_exit 20
