#!/usr/bin/env bash
# What a part's first frame costs, as a user of `qvtool frame` meets it: for one time in each part,
# the time of a whole `qvtool frame` run at SIZE less that of a 16 x 16 run of the same time (the
# process's start-up: reading the scene, compiling the programs, writing the picture). The median
# of RUNS pairs is printed in milliseconds.
#
#   benchmarks/show/first_frame_cost.sh [B_FOLDER]
#
# Run it from the folder that holds resources/ (the source tree, or a copy with another scene
# program). With B_FOLDER, a second folder holding resources/ is measured in turn with the first,
# run for run, and the median of the ratios first/second is printed too: drawing the two in turn
# keeps a machine whose speed drifts from favouring either, so the ratio holds better than two
# separate runs of frame_benchmark. Environment: QVTOOL (default build/qvtool), SIZE (640x360),
# RUNS (3), TIMES (default: show_times.txt). Tools: qvtool, date, sort, awk.
set -euo pipefail
source "$(dirname "$0")/show_times.sh"

qvtool=$(realpath "${QVTOOL:-build/qvtool}")
size=${SIZE:-640x360}
runs=${RUNS:-3}
read -r -a times <<<"${TIMES:-$(show_times | tr '\n' ' ')}"
folder_a=$PWD
folder_b=${1:-}
[[ -z "$folder_b" ]] || folder_b=$(realpath "$folder_b")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() {
  echo "first_frame_cost.sh: qvtool frame $2 failed in $1" >&2
  exit 1
}

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# Milliseconds of a frame at SIZE beyond the start-up, drawn with the resources of folder $1.
frame_cost() {
  local start middle end
  start=$(now_ms)
  (cd "$1" && "$qvtool" frame "$2" "$scratch/small.png" --size 16x16 >/dev/null 2>&1) || fail "$1" "$2"
  middle=$(now_ms)
  (cd "$1" && "$qvtool" frame "$2" "$scratch/frame.png" --size "$size" >/dev/null 2>&1) || fail "$1" "$2"
  end=$(now_ms)
  echo $(((end - middle) - (middle - start)))
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

if [[ -z "$folder_b" ]]; then
  printf '%-8s %14s\n' "seconds" "first frame ms"
else
  printf '%-8s %14s %14s %8s\n' "seconds" "first frame ms" "B frame ms" "ratio"
fi
for t in "${times[@]}"; do
  costs_a=() costs_b=() ratios=()
  for ((run = 0; run < runs; ++run)); do
    a=$(frame_cost "$folder_a" "$t")
    costs_a+=("$a")
    if [[ -n "$folder_b" ]]; then
      b=$(frame_cost "$folder_b" "$t")
      costs_b+=("$b")
      ratios+=("$(awk -v a="$a" -v b="$b" 'BEGIN { printf "%.3f", (b > 0) ? a / b : 0 }')")
    fi
  done
  if [[ -z "$folder_b" ]]; then
    printf '%-8s %14s\n' "$t" "$(printf '%s\n' "${costs_a[@]}" | median)"
  else
    printf '%-8s %14s %14s %8s\n' "$t" "$(printf '%s\n' "${costs_a[@]}" | median)" \
      "$(printf '%s\n' "${costs_b[@]}" | median)" "$(printf '%s\n' "${ratios[@]}" | median)"
  fi
done
