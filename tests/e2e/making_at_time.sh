#!/usr/bin/env bash
# Making mode started at 62 s in a 640 x 360 window shows part 3; paused, with the readout hidden,
# its picture is the one qvtool frame renders for the paused time (PSNR at least 60 dB). Right
# then Page Down, Page Up and Home move the title's time as they should (a part key to the first
# millisecond the director draws in the part), the picture held throughout. Prints how long
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
# The clock waits at 62 s until the song render, started with the production, has got there.
wait_for_title 'part 3 [^ ]+ (62\.[1-9]|6[3-9]\.[0-9]) s [^ ]+ [0-9.]+ fps' 180
press space
wait_for_title 'part 3 [^ ]+ [0-9.]+ s [^ ]+ paused' 30
press Tab
sleep 1  # the picture without the readout is on screen
paused=$(title_seconds)
echo "paused at $paused s"

window=$(xdotool search --onlyvisible --name '^Quorvale' | head -n 1)
import -window "$window" "$WORK_DIR/shown.png"
(cd "$WORK_DIR" && "$QVTOOL" frame "$paused" "$WORK_DIR/expected.png" --size 640x360) 2>"$WORK_DIR/frame.log" ||
  fail "qvtool frame: $(cat "$WORK_DIR/frame.log")"
psnr=$(compare -metric PSNR "$WORK_DIR/shown.png" "$WORK_DIR/expected.png" null: 2>&1 || true)
echo "PSNR against qvtool frame at $paused s: $psnr dB"
[ "$psnr" = "inf" ] || awk -v p="$psnr" 'BEGIN { exit !(p >= 60) }' || fail "PSNR $psnr dB is below 60 dB"

# The parts run 0-22, 22-38, 38-54, 54-70, 70-110 and 110 s on, a part keeping its last moment:
# the first millisecond of the part after, or before, the part holding time $1.
part_start_after() { awk -v t="$1" 'BEGIN { n = split("0 22 38 54 70 110", s, " "); for (i = 2; i <= n; i++) if (s[i] >= t) { printf "%.3f", s[i] + 0.001; exit } }'; }
part_start_before() { awk -v t="$1" 'BEGIN { n = split("0 22 38 54 70 110", s, " "); p = 1; for (i = 2; i <= n; i++) if (s[i] < t) p = i; if (p > 1) p = p - 1; printf "%.3f", (p > 1 ? s[p] + 0.001 : 0) }'; }

after_right=$(awk -v t="$paused" 'BEGIN { printf "%.3f", t + 5 }')
seek_and_time Right "$after_right"
after_next=$(part_start_after "$after_right")
seek_and_time Next "$after_next"                              # Page Down
seek_and_time Prior "$(part_start_before "$after_next")"      # Page Up
seek_and_time Left "$(awk -v t="$(part_start_before "$after_next")" 'BEGIN { printf "%.3f", t - 5 }')"
seek_and_time Home 0.000
press Escape
wait_for_exit 20
