#!/usr/bin/env bash
# The main job: set up, build, record a demo with the simulated recorder and play it in the
# viewer (headless through the engine when there is no display, or with --headless).
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
if [ "${1:-}" != "--headless" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  echo "Starting the viewer playing $base.dvr ..."
  exec "$root_dir/build/velmora/velmora-player" "$base.dvr" --play
fi

# No display here (or --headless asked for it): the engine plays the demo without a window
# and saves what it shows.
echo "No display: playing 6 seconds through the engine headless instead of the viewer ..."
"$bin/dvrtool" play "$base.dvr" --headless --for 6 --screenshot "2:$base-grid.png" \
  --do 3:full:2 --screenshot "5:$base-channel2.png"
echo "Pictures of the played video: $base-grid.png, $base-channel2.png"
