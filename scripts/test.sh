#!/usr/bin/env bash
# Builds everything and runs every test: unit, gl (headless EGL on Mesa), e2e (the whole
# production under Xvfb) and farm (the documented Slurm job array and GNU Parallel over ssh, on
# daemons of their own; as root); then the unit tests and a short qvtool capture and frame under
# AddressSanitizer and UndefinedBehaviorSanitizer, the threaded playback path and the capture's
# encoder thread under ThreadSanitizer, the Windows release archive (run under wine), and a
# bounded fuzzing run. Warnings are errors in every build.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/require.sh
prepare_build

echo "== build"
configure_release_build
cmake --build build -j "$jobs"

echo "== tests"
ctest --test-dir build --output-on-failure -j 1

echo "== unit tests under ASan + UBSan"
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_SANITIZE=ON >/dev/null
cmake --build build-sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir build-sanitize --output-on-failure -L unit

echo "== qvtool capture and frame under ASan + UBSan"
timeout -s KILL 600 tests/tools/tools_under_sanitizers.sh build-sanitize/qvtool address

echo "== threads under ThreadSanitizer"
# The song render thread publishing its rows, the SDL audio callback and the audio clock, in the
# unit tests whose names speak of audio, making mode's shader builds on a thread of their own, and
# a few seconds of the production's real playback under Xvfb ended by Escape. Any report fails the
# run; only Mesa's own races are suppressed.
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_TSAN=ON >/dev/null
cmake --build build-tsan -j "$jobs"
TSAN_OPTIONS="halt_on_error=1:exitcode=66:second_deadlock_stack=1:suppressions=$PWD/tests/tsan_suppressions.txt" \
  ctest --test-dir build-tsan --output-on-failure --no-tests=error -R 'audio|shader_builds|e2e_escape_during_playback'

echo "== the capture's encoder thread under ThreadSanitizer"
TSAN_OPTIONS="halt_on_error=1:exitcode=66:second_deadlock_stack=1:suppressions=$PWD/tests/tsan_suppressions.txt" \
  ctest --test-dir build-tsan --output-on-failure --no-tests=error -R '^video_writer_test$'
timeout -s KILL 900 tests/tools/tools_under_sanitizers.sh build-tsan/qvtool thread

echo "== Windows release"
# The cross build packed with its resources as makers hand it out, then run under wine from the
# unpacked archive. The screen leaves room for a framed 640 x 360 window.
scripts/make-release.sh
timeout -s KILL 420 tests/e2e/under_xvfb.sh "-screen 0 800x600x24" \
  tests/e2e/windows_build_under_wine.sh "$PWD/build/quorvale-windows.zip" "$PWD/build/qvtool"

if [ -x tests/scene/fuzz/run_fuzzer.sh ]; then
  echo "== scene loader fuzzing"
  tests/scene/fuzz/run_fuzzer.sh "${QV_FUZZ_SECONDS:-60}" build-fuzz
fi
echo "== all passed"
