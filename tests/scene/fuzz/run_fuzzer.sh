#!/bin/sh
# Builds the scene loader fuzzer with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs it for SECONDS from the seed corpus in tests/scene/corpus. The working corpus, the
# binary and any crash reproducers go into WORKDIR. Exits non-zero when the fuzzer finds a fault.
set -eu

if [ $# -ne 2 ]; then
  echo "usage: $0 SECONDS WORKDIR" >&2
  exit 2
fi
seconds=$1
workdir=$2
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
cxx=${CXX_FUZZ:-clang++}
. "$root/scripts/require.sh"
require_command "$cxx" clang
require_file "$("$cxx" -print-runtime-dir)/libclang_rt.fuzzer-x86_64.a" libclang-rt-14-dev "the fuzzer runtime of $cxx"

mkdir -p "$workdir/corpus" "$workdir/artifacts"
"$cxx" -std=c++20 -O1 -g -fno-omit-frame-pointer -Wall -Wextra -Werror \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$root" \
  "$here/scene_fuzzer.cpp" "$root/scene/scene_loader.cpp" "$root/scene/bvh.cpp" "$root/scene/scene_pack.cpp" \
  "$root/scene/trace_tree.cpp" \
  -o "$workdir/scene_fuzzer"

cp "$root"/tests/scene/corpus/*.vxs "$workdir/corpus/"
# UBSan stops at the first report; ASan leaks count as findings too.
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  "$workdir/scene_fuzzer" "$workdir/corpus" \
  -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -timeout=10 \
  -artifact_prefix="$workdir/artifacts/" -print_final_stats=1
