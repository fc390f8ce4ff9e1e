#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address + undefined sanitizers) and runs each for
# the given number of seconds (default 60), starting from the seed corpus.
set -euo pipefail
source "$(dirname "$0")/common.sh"

seconds=${1:-60}
CC=clang CXX=clang++ cmake -S "$root_dir" -B "$root_dir/build-fuzz" -G Ninja -DFLEET_FUZZ=ON \
  -DFLEET_TESTS=OFF >/dev/null
# Only the fuzz targets: the rest of the tree is not meant to link with the fuzzer runtime.
targets=(fuzz_gop_parser fuzz_walkers fuzz_ini fuzz_language_file)
ninja -C "$root_dir/build-fuzz" "${targets[@]}"
status=0
for target in "${targets[@]}"; do
  bin=$(find "$root_dir/build-fuzz" -name "$target" -type f -perm -u+x | head -n 1)
  work="$root_dir/build-fuzz/corpus-$target"
  mkdir -p "$work"
  echo "== $target for ${seconds}s"
  "$bin" -max_total_time="$seconds" -print_final_stats=1 "$work" "$root_dir/fuzz/corpus/$target" \
    || status=1
done
exit $status
