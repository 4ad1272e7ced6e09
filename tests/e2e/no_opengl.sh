#!/usr/bin/env bash
# On a display without OpenGL the production says so in a message box and, once it is
# dismissed, ends with exit status 0 instead of drawing through missing entry points.
# Run on an X server started without its GLX extension.
source "$(dirname "$0")/e2e_lib.sh"
start_show
deadline=$((SECONDS + 30))
box=""
while [ $SECONDS -lt $deadline ]; do
  # The box is drawn grey in the middle of an otherwise black screen.
  box=$(pixel_at 320 120)
  [ "$box" != "0,0,0" ] && break
  kill -0 "$SHOW_PID" 2>/dev/null || fail "ended without showing a message: $(cat "$WORK_DIR/show.log")"
  sleep 0.5
done
[ "$box" != "0,0,0" ] || fail "no message box appeared"
kill -0 "$SHOW_PID" 2>/dev/null || fail "ended before the message was dismissed"
xdotool mousemove 320 120 key Return
wait_for_exit 20
echo "reported the missing OpenGL and ended"
