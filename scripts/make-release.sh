#!/usr/bin/env bash
# Writes build/quorvale-windows.zip, the show as makers hand it out: quorvale.exe beside the
# resources/ folder it loads from the current folder, so unpacking it anywhere and starting the
# exe there plays the show. Builds what it needs: the Linux build generates the scene and the
# title image into resources/, the mingw-w64 cross build makes the exe (static, no DLLs of ours).
set -euo pipefail

# Exactly what the production loads: the five shaders, the scene and the title image.
release_resources=(test.glsl fbtest.glsl dither.glsl blend.glsl blur.glsl scene.vxs "Orrin&Vassel.png")
archive=build/quorvale-windows.zip

cd "$(dirname "$0")/.."
source scripts/require.sh
prepare_build
require_command zip zip

configure_release_build
cmake --build build -j "$jobs" --target generated_resources
cmake -S . -B build-windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake >/dev/null
cmake --build build-windows -j "$jobs" --target quorvale

# The archive is put together in a private folder and moved into place whole, so an earlier
# archive is replaced only by a complete one.
stage=$(mktemp -d build/release.XXXXXX)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/resources"
cp build-windows/quorvale.exe "$stage/"
for name in "${release_resources[@]}"; do
  [ -s "resources/$name" ] || { echo "FAIL: resources/$name is missing or empty" >&2; exit 1; }
  cp "resources/$name" "$stage/resources/"
done
# -X leaves out Unix owners and extra times: the archive holds names, contents and dates only.
(cd "$stage" && zip -q -X -r quorvale-windows.zip quorvale.exe resources)
mv "$stage/quorvale-windows.zip" "$archive"
echo "wrote $PWD/$archive ($(stat -c %s "$archive") bytes): quorvale.exe and resources/ (${release_resources[*]})"
