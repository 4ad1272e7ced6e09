#!/usr/bin/env bash
# A loop of 30 to 34 s plays from 30 s, reaches the loop's end and is back near 30 s five
# seconds after it began; the shown time never leaves the loop.
source "$(dirname "$0")/e2e_lib.sh"
start_show --window 640x360 --loop 30 34
# The clock waits at 30 s until the song render, started with the production, has got there.
wait_for_title 'part 1 [^ ]+ 3(0\.[1-9]|[1-3]\.[0-9]) s [^ ]+ [0-9.]+ fps' 180
started=$SECONDS
highest=0
seen=""
while [ $((SECONDS - started)) -lt 5 ]; do
  t=$(title_seconds)
  if [ -n "$t" ]; then
    seen="$seen $t"
    near "$t" 32 2.3 || fail "the time $t s left the loop (seen:$seen)"
    highest=$(awk -v a="$t" -v b="$highest" 'BEGIN { print (a > b ? a : b) }')
  fi
  sleep 0.2
done
final=$(title_seconds)
echo "times seen:$seen; after 5 s: $final s"
awk -v h="$highest" 'BEGIN { exit !(h >= 33) }' || fail "never came near the loop's end (highest $highest s)"
near "$final" 31.25 1.25 || fail "after 5 s the time is $final s, not near 30 s"
press Escape
wait_for_exit 20
