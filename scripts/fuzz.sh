#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address + undefined sanitizers, stopping at the
# first report) and runs each for the given number of seconds (default 60), starting from the
# seed corpus. Usage: fuzz.sh [SECONDS] [TARGET...]
# A finding stops its target and leaves the reproducer in build-fuzz/findings/TARGET/; replay
# it with build-fuzz/fuzz/TARGET FILE, or through the ordinary build's corpus runner.
set -euo pipefail
source "$(dirname "$0")/common.sh"

seconds=${1:-60}
shift || true
all=(fuzz_gop_parser fuzz_walkers fuzz_ini fuzz_language_file fuzz_file_source fuzz_dvrtool
     fuzz_telemetry_json fuzz_app_config fuzz_mbr fuzz_fat fuzz_card_sector fuzz_quick_record
     fuzz_map_link fuzz_link_framing)
if [ $# -gt 0 ]; then targets=("$@"); else targets=("${all[@]}"); fi

# Options beyond the defaults, per target.
declare -A extra=(
  # A GOP is up to 2 MiB, and more than 1 MiB of audio is dropped: reach past both.
  [fuzz_gop_parser]="-max_len=2200000"
  [fuzz_telemetry_json]="-max_len=65536"
  [fuzz_file_source]="-max_len=65536"
  # Disk and volume images in their sparse form (fuzz/sparse_image.h).
  [fuzz_mbr]="-max_len=65536"
  [fuzz_fat]="-max_len=65536"
  # The commands print their reports; sanitizer reports still reach libFuzzer's output.
  [fuzz_dvrtool]="-max_len=65536 -close_fd_mask=3"
)

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
CC=clang CXX=clang++ cmake -S "$root_dir" -B "$root_dir/build-fuzz" -G Ninja -DFLEET_FUZZ=ON \
  -DFLEET_TESTS=OFF "${launcher[@]}" >/dev/null
# Only the fuzz targets: the rest of the tree is not meant to link with the fuzzer runtime.
ninja -C "$root_dir/build-fuzz" -j "$jobs" "${targets[@]}"
status=0
for target in "${targets[@]}"; do
  bin="$root_dir/build-fuzz/fuzz/$target"
  work="$root_dir/build-fuzz/corpus/$target"
  findings="$root_dir/build-fuzz/findings/$target"
  mkdir -p "$work" "$findings"
  echo "== $target for ${seconds}s"
  # shellcheck disable=SC2086 # the extra options are words
  if ! "$bin" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
       -artifact_prefix="$findings/" ${extra[$target]:-} "$work" "$root_dir/fuzz/corpus/$target"; then
    echo "== $target: finding in $findings/" >&2
    status=1
  fi
done
exit $status
