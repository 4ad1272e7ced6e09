#!/usr/bin/env bash
# Runs qvtool's drawing commands once, small, from a sanitizer build: a capture of four frames at
# 64 x 36 (the song render, the director, the read-back and the MP4 writer's encoder thread), two
# video-only pieces and their join (the pieces' reading and the copying writer), and one 64 x 36
# frame with 4 samples a pixel (the GPU reduction). Any sanitizer report fails the run. Only Mesa's own libraries are suppressed,
# by name, for ThreadSanitizer (tests/tsan_suppressions.txt); a report in this project's code never is.
#
# usage: tests/tools/tools_under_sanitizers.sh QVTOOL address|thread
set -euo pipefail
cd "$(dirname "$0")/../.."
qvtool=$(realpath "$1")
mode=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/qv_sanitized_tools.XXXXXX")
trap 'rm -rf "$work"' EXIT

case "$mode" in
  address)
    export ASAN_OPTIONS="detect_leaks=1:exitcode=66:strict_string_checks=1:detect_stack_use_after_return=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:exitcode=66"
    ;;
  thread)
    export TSAN_OPTIONS="halt_on_error=1:exitcode=66:second_deadlock_stack=1:suppressions=$PWD/tests/tsan_suppressions.txt"
    ;;
  *)
    echo "usage: $0 QVTOOL address|thread" >&2
    exit 2
    ;;
esac

run() {
  echo "+ qvtool $*"
  if ! "$qvtool" "$@" 2>"$work/stderr"; then
    cat "$work/stderr" >&2
    echo "FAILED under the $mode sanitizer: qvtool $*" >&2
    exit 1
  fi
  tail -n 1 "$work/stderr"
}

# The opening's first second (the dither pass), so that the song render before it stays short; the
# frame is the scene drawn directly.
run capture "$work/capture.mp4" --size 64x36 --fps 10 --from 1 --to 1.4
test -s "$work/capture.mp4" || { echo "FAILED: no capture written" >&2; exit 1; }
run capture "$work/piece1.mp4" --size 64x36 --fps 10 --from 1 --to 1.2 --no-audio
run capture "$work/piece2.mp4" --size 64x36 --fps 10 --from 1.2 --to 1.4 --no-audio
run join "$work/joined.mp4" "$work/piece2.mp4" "$work/piece1.mp4"
test -s "$work/joined.mp4" || { echo "FAILED: no join written" >&2; exit 1; }
if [ "$mode" = address ]; then
  run frame 30 "$work/frame.png" --size 64x36 --samples 4
  test -s "$work/frame.png" || { echo "FAILED: no frame written" >&2; exit 1; }
fi
echo "qvtool ran clean under the $mode sanitizer"
