#!/usr/bin/env bash
# Builds and runs the benchmarks; each result is a ratio against a reference from the same run.
set -euo pipefail
source "$(dirname "$0")/common.sh"

build build-bench -DCMAKE_BUILD_TYPE=Release -DFLEET_TESTS=OFF
out="$root_dir/build-bench/format_bench.json"
"$root_dir/build-bench/bin/format_bench" --benchmark_out="$out" --benchmark_out_format=json \
  --benchmark_min_time=0.5
python3 "$root_dir/bench/ratio.py" "$out" BM_ParseGop BM_CopyGopReference
