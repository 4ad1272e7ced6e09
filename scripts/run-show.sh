#!/usr/bin/env bash
# Builds the production and runs it from the repository (it reads resources/ from the current
# folder). Without a display nobody would see or hear it, so it renders the show into a video
# file instead (qvtool capture) and says where the file is.
set -euo pipefail

# The capture's size and frame rate without a display: small enough that the whole show renders
# in about 500 s of processor time on a 2-core machine drawing in software (README.md).
capture_settings=(--size 640x360 --fps 20)
capture_file=build/quorvale-capture.mp4

cd "$(dirname "$0")/.."
source scripts/require.sh
prepare_build
configure_release_build
if [ -n "${DISPLAY:-}" ]; then
  cmake --build build -j "$jobs" --target quorvale generated_resources
  exec build/quorvale
fi

cmake --build build -j "$jobs" --target qvtool generated_resources
echo "No display: rendering the show into $capture_file (${capture_settings[*]})"
build/qvtool capture "$capture_file" "${capture_settings[@]}"
echo "The show is in $PWD/$capture_file"
echo "Play it with any video player, for instance: ffplay $PWD/$capture_file"
