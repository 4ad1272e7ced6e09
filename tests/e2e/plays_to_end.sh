#!/usr/bin/env bash
# Left alone, the production plays the whole song through the audio output and ends with exit
# status 0. SDL's disk driver stands in for a sound card and records what was played, which
# must be the song exactly as qvtool renders it.
source "$(dirname "$0")/e2e_lib.sh"
QVTOOL=${QVTOOL:?path of qvtool}
export SDL_AUDIODRIVER=disk
export SDL_DISKAUDIOFILE="$WORK_DIR/played.raw"
song_bytes=39510016
start_show
wait_for_window 30
(cd "$WORK_DIR" && "$QVTOOL" song --raw "$WORK_DIR/song.raw") || fail "qvtool song failed"
wait_for_exit 180
played=$(stat -c %s "$SDL_DISKAUDIOFILE" 2>/dev/null || echo 0)
[ "$played" -ge "$song_bytes" ] || fail "only $played of $song_bytes bytes reached the audio output"
cmp -n "$song_bytes" "$WORK_DIR/song.raw" "$SDL_DISKAUDIOFILE" || fail "the audio output did not receive the song"
echo "played the whole song ($played bytes with the device's trailing silence) and ended"
