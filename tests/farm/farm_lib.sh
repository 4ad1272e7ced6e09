# Shared parts of the farm tests: the documentation's farm commands run as written on real
# engines on this machine, their joined capture compared with a one-run capture of the same range.
# Sourced by the test scripts; QVTOOL and SOURCE_DIR come from CTest.
set -euo pipefail
QVTOOL=${QVTOOL:?path of qvtool}
SOURCE_DIR=${SOURCE_DIR:?repository root}
source "$SOURCE_DIR/scripts/require.sh"
source "$SOURCE_DIR/scripts/processes.sh"

readonly skipped=77  # the tests' SKIP_RETURN_CODE

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

if [ "$(id -u)" -ne 0 ]; then
  echo "SKIPPED: the farm tests start munged, slurmctld, slurmd and sshd, which run jobs and logins as root" >&2
  exit $skipped
fi
require_command ffmpeg ffmpeg

# The documentation's settings (a full-size show) and the short range the tests draw instead.
readonly documented_settings="--plan 64 --fps 60 --size 1920x1080 --samples 4"
readonly test_range="--fps 6 --from 10 --to 11 --size 160x90 --samples 1 --crf 0"
readonly test_settings="--plan 3 $test_range"
readonly test_pictures=6

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT  # each test widens this once it has daemons to stop
# Stands for the folder every node sees at one path: the source tree's resources and qvtool, at
# the places the documented commands name them; the pieces and the joined file are written here.
SHARED=$WORK/shared
mkdir -p "$SHARED/build"
ln -s "$SOURCE_DIR/resources" "$SHARED/resources"
ln -s "$QVTOOL" "$SHARED/build/qvtool"

# The indented block of the farm documentation that holds $1, without its indent.
doc_block() {
  local file block
  for file in "$SOURCE_DIR/docs/archive-and-farms.md" "$SOURCE_DIR/README.md"; do
    [ -f "$file" ] || continue
    block=$(awk -v marker="$1" '
      /^    / { block = block substr($0, 5) "\n"; next }
      { if (index(block, marker)) exit; block = "" }
      END { if (index(block, marker)) printf "%s", block }' "$file")
    if [ -n "$block" ]; then
      printf '%s\n' "$block"
      return 0
    fi
  done
  fail "no command block with '$1' in README.md or docs/archive-and-farms.md"
}

# $1 with every $2 replaced by $3; fails when $2 is not there, so that a change to the documented
# commands stops the test instead of leaving it to test something else.
substitute() {
  case "$1" in *"$2"*) ;; *) fail "the documented commands no longer hold '$2':"$'\n'"$1" ;; esac
  printf '%s\n' "${1//"$2"/"$3"}"
}

# The documented commands with the tests' range and the shared folder.
for_this_test() {
  local commands
  commands=$(substitute "$1" "$documented_settings" "$test_settings")
  substitute "$commands" /shared/quorvale "$SHARED"
}

# The join that follows the pieces, as the documentation gives it.
documented_join() {
  doc_block '--sshloginfile' | grep 'qvtool join' || fail "no join in the documented commands"
}

# Every picture and sound packet of FILE decoded, with its time and a digest.
decoded() {
  ffmpeg -v error -i "$1" -map 0:v -map 0:a -f framemd5 - | grep -v '^#' || fail "cannot decode $1"
}

# The reference: one run of qvtool over the whole range, as capture runs without a farm.
capture_reference() {
  (cd "$SHARED" && build/qvtool capture "$WORK/reference.mp4" $test_range 2>"$WORK/reference.log") ||
    fail "the one-run capture failed: $(cat "$WORK/reference.log")"
}

# Fails unless FILE decodes to exactly the reference's pictures, times and sound.
expect_same_as_reference() {
  local expected actual
  [ -s "$1" ] || fail "no joined file $1"
  expected=$(decoded "$WORK/reference.mp4")
  actual=$(decoded "$1")
  [ "$(grep -c '^0,' <<<"$expected")" -eq $test_pictures ] || fail "the reference holds no $test_pictures pictures"
  grep -q '^1,' <<<"$expected" || fail "the reference has no sound"
  [ "$actual" = "$expected" ] || fail "$1 does not decode to the one-run capture's pictures and sound:
$(diff <(echo "$expected") <(echo "$actual") | head -n 20)"
}
