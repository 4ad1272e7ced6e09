#!/usr/bin/env bash
# A scene file cut short stops start-up with a message box and, once it is dismissed, the
# production ends with exit status 0 instead of reading past the file.
source "$(dirname "$0")/e2e_lib.sh"
require_message_box_fonts
head -c 1000 "$WORK_DIR/resources/scene.vxs" > "$WORK_DIR/short.vxs"
mv "$WORK_DIR/short.vxs" "$WORK_DIR/resources/scene.vxs"
start_show
# Start-up shows its window before it loads anything; the box stands over it.
wait_for_window 30
dismiss_message_box
wait_for_exit 20
echo "refused the short scene file and ended"
