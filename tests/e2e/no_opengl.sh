#!/usr/bin/env bash
# On a display without OpenGL the production says so in a message box and, once it is
# dismissed, ends with exit status 0 instead of drawing through missing entry points.
# Run on an X server started without its GLX extension.
source "$(dirname "$0")/e2e_lib.sh"
require_message_box_fonts
start_show
dismiss_message_box
wait_for_exit 20
echo "reported the missing OpenGL and ended"
