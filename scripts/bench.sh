#!/usr/bin/env bash
# Builds and runs the benchmarks; each result is a ratio against a reference from the same run.
set -euo pipefail
source "$(dirname "$0")/common.sh"

build build-bench -DCMAKE_BUILD_TYPE=Release -DFLEET_TESTS=OFF
echo "== GOP parsing (no decoding) against copying the same bytes"
out="$root_dir/build-bench/format_bench.json"
"$root_dir/build-bench/bin/format_bench" --benchmark_out="$out" --benchmark_out_format=json \
  --benchmark_min_time=0.5
python3 "$root_dir/bench/ratio.py" "$out" BM_ParseGop BM_CopyGopReference

echo "== dvrsim test pictures (720p) against filling the same bytes"
out="$root_dir/build-bench/picture_bench.json"
"$root_dir/build-bench/bin/picture_bench" --benchmark_out="$out" --benchmark_out_format=json \
  --benchmark_min_time=0.5
for scene in flat camera; do
  python3 "$root_dir/bench/ratio.py" "$out" "BM_PaintPicture/$scene" BM_FillPictureReference
done

echo "== opening a 1 TB recorder disk (1M time units) against reading its time index once"
out="$root_dir/build-bench/disk_open_bench.json"
"$root_dir/build-bench/bin/disk_open_bench" --benchmark_out="$out" --benchmark_out_format=json
for cache in warm cold; do
  python3 "$root_dir/bench/ratio.py" "$out" "BM_OpenDisk/$cache" "BM_ReadTimeIndex/$cache"
done

echo "== a quick-index speed search over 1M records against a plain read of the quick index"
out="$root_dir/build-bench/find_bench.json"
"$root_dir/build-bench/bin/find_bench" --benchmark_out="$out" --benchmark_out_format=json
for search in BM_SpeedSearch BM_SpeedSearchAgain; do
  python3 "$root_dir/bench/ratio.py" "$out" "$search" BM_ReadQuickIndex
done

echo "== a channel's AVI export against a plain copy of the recording's bytes"
out="$root_dir/build-bench/export_bench.json"
"$root_dir/build-bench/bin/export_bench" --benchmark_out="$out" --benchmark_out_format=json
python3 "$root_dir/bench/ratio.py" "$out" BM_ChannelAviExport BM_CopyRecording

echo "== one Fennick link, 1 MiB messages, against a plain loopback socket with the same bytes"
out="$root_dir/build-bench/link_bench.json"
"$root_dir/build-bench/bin/link_bench" --benchmark_out="$out" --benchmark_out_format=json \
  --benchmark_min_time=1
python3 "$root_dir/bench/ratio.py" "$out" BM_FennickLink/real_time BM_LoopbackCopy/real_time

echo "== realtime network play: a GOP sent to its first picture, against the plain transfer"
"$root_dir/build-bench/bin/link_latency_bench" 20

# Camera-like detail costs the decoder what footage does; flat test pictures decode so fast
# that the engine's copy of every picture into its frame set weighs several times more.
for scene in camera flat; do
  echo "== decode, $scene scene: engine path against FFmpeg's decoder alone"
  sample="$root_dir/build-bench/bench-8ch-d1-$scene"
  "$root_dir/build-bench/bin/dvrsim" record --out "$sample" --channels 8 --stream-version 3 \
    --seconds 10 --resolution d1 --fps 15 --scene "$scene" >/dev/null
  "$root_dir/build-bench/bin/dvrtool" bench decode "$sample.dvr"
done

for scene in camera flat; do
  echo "== playback cost, $scene scene: normal play against a plain FFmpeg decode"
  python3 "$root_dir/bench/playback_cost.py" "$root_dir/build-bench/bin" 20 "$scene"
done
