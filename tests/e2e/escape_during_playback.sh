#!/usr/bin/env bash
# With an audio device the production plays, and Escape during playback ends it at once with
# exit status 0 (the output is closed without waiting for the song). SDL's disk driver stands in
# for a sound card. The ThreadSanitizer build runs this as its short real run of the playback path.
source "$(dirname "$0")/e2e_lib.sh"
record_sound
wanted_bytes=$((44100 * 8 * ${QV_PLAY_SECONDS:-3}))
start_show
wait_for_window 60
# Start-up ends by opening the output; then the recording grows at the pace of playback.
deadline=$((SECONDS + 180))
until [ "$(stat -c %s "$SDL_DISKAUDIOFILE" 2>/dev/null || echo 0)" -ge "$wanted_bytes" ]; do
  [ $SECONDS -lt $deadline ] || fail "the audio output did not play ${QV_PLAY_SECONDS:-3} s within 180 s"
  kill -0 "$SHOW_PID" 2>/dev/null || fail "the production ended while playing: $(cat "$WORK_DIR/show.log")"
  sleep 0.5
done
xdotool mousemove 20 20 key Escape
wait_for_exit 60
echo "played $(($(stat -c %s "$SDL_DISKAUDIOFILE") / 352800)) s and ended on Escape"
