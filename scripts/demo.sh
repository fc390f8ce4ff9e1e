#!/usr/bin/env bash
# The main job: set up, build, record a demo with the simulated recorder and show it.
set -euo pipefail
source "$(dirname "$0")/common.sh"

install_deps
build build
bin="$root_dir/build/bin"
mkdir -p "$root_dir/demo"
base="$root_dir/demo/bus"
"$bin/dvrsim" record --out "$base" --channels 4 --stream-version 3 --seconds 60 \
  --resolution d1 --fps 12 --audio-rate 16000 --seed 42
echo
"$bin/dvrtool" info "$base.dvr"
echo
"$bin/dvrtool" verify "$base.dvr"
echo
# The viewer is not built yet: the engine plays the demo headless and saves what it shows.
echo "Playing 6 seconds through the engine (headless) ..."
"$bin/dvrtool" play "$base.dvr" --headless --for 6 --screenshot "2:$base-grid.png" \
  --do 3:full:2 --screenshot "5:$base-channel2.png"
echo "Pictures of the played video: $base-grid.png, $base-channel2.png"
