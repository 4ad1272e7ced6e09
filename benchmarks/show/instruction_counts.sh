#!/usr/bin/env bash
# The scene program's cost in instructions, which unlike times do not move with the processor or
# with other work on the machine:
#   - per pixel at each of TIMES: a `qvtool frame` of 320 x 180 less one of 32 x 18, over the
#     pixels between them;
#   - the program's build: a 16 x 16 frame at BUILD_TIME less the same frame drawn with a one-line
#     program, in millions.
# Counted by valgrind's cachegrind with the rasteriser on the calling thread (LP_NUM_THREADS=0),
# the driver's shader cache off and address randomisation off: every run builds its programs
# afresh, alike in both runs of a pair, and counts the same from one run to the next. (With a warm
# cache, a run now and then counted some 80 million more; with randomisation on, the build's count
# moved by a few per cent.) The runs get an environment and a picture path of their own, so that
# the calling shell does not move the stack: a longer picture path moved the per-pixel figure by
# about one per cent.
#
#   benchmarks/show/instruction_counts.sh
#
# Run it from the folder that holds resources/ (the source tree, or a copy with another scene
# program). Environment: QVTOOL (default build/qvtool), TIMES (default: show_times.txt), BUILD_TIME (104).
# Tools: qvtool, valgrind, setarch, env, awk. A 320 x 180 frame takes up to a minute under valgrind.
set -euo pipefail
source "$(dirname "$0")/show_times.sh"

qvtool=$(realpath "${QVTOOL:-build/qvtool}")
read -r -a times <<<"${TIMES:-$(show_times | tr '\n' ' ')}"
build_time=${BUILD_TIME:-104}
[[ -f resources/test.glsl ]] || { echo "instruction_counts.sh: no resources/test.glsl here" >&2; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Instructions of `qvtool frame T OUT --size SIZE` run in folder $1.
count() {
  local folder=$1 seconds=$2 size=$3 output
  output=$(cd "$folder" && env -i PATH="$PATH" LP_NUM_THREADS=0 MESA_SHADER_CACHE_DISABLE=true setarch "$(uname -m)" -R \
    valgrind --tool=cachegrind --cache-sim=no --cachegrind-out-file=/dev/null \
    "$qvtool" frame "$seconds" "$scratch/frame.png" --size "$size" 2>&1) ||
    { echo "instruction_counts.sh: qvtool frame $seconds --size $size failed in $folder" >&2; exit 1; }
  awk '/I *refs:/ { gsub(",", "", $4); print $4 }' <<<"$output"
}

printf '%-8s %22s\n' "seconds" "instructions per pixel"
for seconds in "${times[@]}"; do
  large=$(count "$PWD" "$seconds" 320x180)
  small=$(count "$PWD" "$seconds" 32x18)
  printf '%-8s %22d\n' "$seconds" $(((large - small) / (320 * 180 - 32 * 18)))
done

# The same show with a program that draws black: what a build costs beyond the scene program's.
cp -r resources "$scratch/"
printf '#version 450\nout vec4 fragColor;\nvoid main() { fragColor = vec4(0.0, 0.0, 0.0, 1.0); }\n' >"$scratch/resources/test.glsl"
program=$(count "$PWD" "$build_time" 16x16)
bare=$(count "$scratch" "$build_time" 16x16)
echo "build of the scene program: $(((program - bare) / 1000000)) million instructions"
