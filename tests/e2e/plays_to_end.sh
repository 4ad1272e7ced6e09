#!/usr/bin/env bash
# Left alone, the production plays the whole song through the audio output and ends with exit
# status 0. SDL's disk driver stands in for a sound card and records what was played, which
# must be the song exactly as qvtool renders it (with silence only where playback waited for
# the render).
source "$(dirname "$0")/e2e_lib.sh"
QVTOOL=${QVTOOL:?path of qvtool}
COMPARE=${COMPARE_PLAYED_AUDIO:?path of compare_played_audio}
record_sound
song_bytes=39510016
start_show
wait_for_window 30
wait_for_exit 240
played=$(stat -c %s "$SDL_DISKAUDIOFILE" 2>/dev/null || echo 0)
[ "$played" -ge "$song_bytes" ] || fail "only $played of $song_bytes bytes reached the audio output"
(cd "$WORK_DIR" && "$QVTOOL" song --raw "$WORK_DIR/song.raw") || fail "qvtool song failed"
"$COMPARE" "$SDL_DISKAUDIOFILE" "$WORK_DIR/song.raw" || fail "the audio output did not play the song"
echo "played the whole song and ended"
