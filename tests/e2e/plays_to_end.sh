#!/usr/bin/env bash
# Left alone, the production plays the whole song through the audio output and ends with exit
# status 0. SDL's disk driver stands in for a sound card and records what was played.
source "$(dirname "$0")/e2e_lib.sh"
export SDL_AUDIODRIVER=disk
export SDL_DISKAUDIOFILE="$WORK_DIR/played.raw"
song_bytes=39510016
start_show
wait_for_window 30
wait_for_exit 180
played=$(stat -c %s "$SDL_DISKAUDIOFILE" 2>/dev/null || echo 0)
[ "$played" -ge "$song_bytes" ] || fail "only $played of $song_bytes bytes reached the audio output"
echo "played $played bytes and ended"
