#!/usr/bin/env bash
# Making mode started at 62 s in a 640 x 360 window shows part 3; paused, its picture is the one
# qvtool frame renders for the paused time (PSNR at least 30 dB). Right then Page Down, Page Up
# and Home move the title's time as they should, the picture held throughout. Prints how long
# each seek took from the key to the title of the first frame at the new time.
source "$(dirname "$0")/e2e_lib.sh"
QVTOOL=${QVTOOL:?path of qvtool}

# Milliseconds since the epoch.
now_ms() { date +%s%3N; }

# Presses $1 and waits until the title shows $2 s (paused); prints the milliseconds it took.
seek_and_time() {
  local key=$1 expected=$2 start
  start=$(now_ms)
  press "$key"
  wait_for_title " ${expected//./\\.} s [^ ]+ paused" 60
  echo "$key: $(($(now_ms) - start)) ms to the first frame at $expected s"
}

start_show --window 640x360 --at 62
wait_for_title "^Quorvale" 60
wait_for_title 'part 3 [^ ]+ 6[2-9]\.[0-9] s [^ ]+ [0-9.]+ fps' 120
press space
wait_for_title 'part 3 [^ ]+ [0-9.]+ s [^ ]+ paused' 30
sleep 1  # the last frame drawn before the pause is on screen
paused=$(title_seconds)
echo "paused at $paused s"

window=$(xdotool search --onlyvisible --name '^Quorvale' | head -n 1)
import -window "$window" "$WORK_DIR/shown.png"
(cd "$WORK_DIR" && "$QVTOOL" frame "$paused" "$WORK_DIR/expected.png" --size 640x360) 2>"$WORK_DIR/frame.log" ||
  fail "qvtool frame: $(cat "$WORK_DIR/frame.log")"
psnr=$(compare -metric PSNR "$WORK_DIR/shown.png" "$WORK_DIR/expected.png" null: 2>&1 || true)
echo "PSNR against qvtool frame at $paused s: $psnr dB"
[ "$psnr" = "inf" ] || awk -v p="$psnr" 'BEGIN { exit !(p >= 30) }' || fail "PSNR $psnr dB is below 30 dB"

after_right=$(awk -v t="$paused" 'BEGIN { printf "%.2f", t + 5 }')
seek_and_time Right "$after_right"
seek_and_time Next 70.00      # Page Down: the start of part 4
seek_and_time Prior 54.00     # Page Up from part 4: the start of part 3
seek_and_time Home 0.00
press Escape
wait_for_exit 20
