#!/usr/bin/env bash
# Bad options end the production with one message on stderr and exit status 2, before any window
# opens.
source "$(dirname "$0")/e2e_lib.sh"
check_refused() {
  local status=0
  (cd "$WORK_DIR" && timeout 20 "$QUORVALE" "$@") >"$WORK_DIR/out.log" 2>"$WORK_DIR/err.log" || status=$?
  [ "$status" -eq 2 ] || fail "quorvale $* exited with $status, not 2"
  [ -s "$WORK_DIR/err.log" ] || fail "quorvale $* said nothing on stderr"
  if xdotool search --name '^Quorvale' >/dev/null 2>&1; then fail "quorvale $* opened a window"; fi
  echo "quorvale $*: $(head -n 1 "$WORK_DIR/err.log")"
}
check_refused --speed 2
check_refused --at
check_refused --at 62x
check_refused --at 500
check_refused --loop 34 30
check_refused --at 50 --loop 30 40
check_refused --window 640
check_refused --window 4x4
check_refused --window 640x360 --at 10 --at 20
