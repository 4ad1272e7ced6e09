#!/usr/bin/env bash
# The production opens its window, draws, and ends with exit status 0 when Escape is pressed.
source "$(dirname "$0")/e2e_lib.sh"
start_show
wait_for_window 30
sleep 2
xdotool mousemove 20 20 key Escape
wait_for_exit 20
echo "ended on Escape"
