#!/usr/bin/env bash
# How far one ray per pixel is from the picture many rays would give: for each part of the show,
# the PSNR of a 640 x 360 frame against a reference of the same show time drawn at 2560 x 1440
# (16 samples per pixel) and averaged down 4 x 4. Higher is cleaner; jagged edges and crawling
# textures pull it down.
#
#   benchmarks/show/psnr_table.sh [QVTOOL] [WORKDIR]
#
# Run it from the folder that holds resources/ (the source tree). QVTOOL defaults to
# build/qvtool; the frames are kept in WORKDIR (default: a temporary folder, removed at the end).
# Tools: qvtool, ImageMagick's convert and compare.
set -euo pipefail
source "$(dirname "$0")/show_times.sh"

qvtool=${1:-build/qvtool}
workdir=${2:-}
if [[ -z "$workdir" ]]; then
  workdir=$(mktemp -d)
  trap 'rm -rf "$workdir"' EXIT
fi
mkdir -p "$workdir"

mapfile -t times < <(show_times)

printf '%-8s %10s\n' "seconds" "PSNR (dB)"
for t in "${times[@]}"; do
  frame="$workdir/frame_${t}s.png"
  reference="$workdir/reference_${t}s_2560.png"
  reduced="$workdir/reference_${t}s.png"
  timeout 600 "$qvtool" frame "$t" "$frame" --size 640x360 >/dev/null 2>&1
  timeout 600 "$qvtool" frame "$t" "$reference" --size 2560x1440 >/dev/null 2>&1
  convert "$reference" -filter Box -resize 640x360 "$reduced"
  # compare writes the metric to stderr and exits 1 when the pictures differ at all.
  psnr=$(compare -metric PSNR "$frame" "$reduced" null: 2>&1 || true)
  printf '%-8s %10s\n' "$t" "$psnr"
done
