#!/usr/bin/env bash
# Set up, build and run every test suite (built with the address and undefined-behaviour
# sanitizers), then the transport's and the engine links' suites under the thread sanitizer.
set -euo pipefail
source "$(dirname "$0")/common.sh"

install_deps

echo "== formatting and layering"
bash "$root_dir/scripts/check-format.sh"
bash "$root_dir/scripts/check-layers.sh"

echo "== configure without the viewer (Qt must not be looked for)"
configure_without_viewer

# Line tables only: backtraces and sanitizer reports keep files and lines, and the builds
# take two thirds of the time full debug information costs.
lean=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG")
# The sanitizer build at -O1 (what the sanitizers recommend): a fifth less compile time, and
# reports keep every frame.
asan_lean=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG")

# Every suite runs once, in the build with the address and undefined-behaviour sanitizers:
# building everything twice (plain and sanitized) no longer fits the CI's 45 minutes on two
# cores. --plain runs the plain build instead, as a developer does between changes.
if [ "${1:-}" = --plain ]; then
  echo "== plain build"
  build build "${lean[@]}"
  ctest --test-dir "$root_dir/build" --output-on-failure -j "$jobs"
  exit 0
fi

echo "== sanitizer build (address, undefined)"
build build-asan -DFLEET_SANITIZE=ON -DFLEET_BENCH=OFF "${asan_lean[@]}"
# A test that fails runs once more and the log keeps both runs: the leak checker itself has
# crashed at a program's exit now and then, which is no fault of the program's.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$root_dir/build-asan" --output-on-failure -j "$jobs" --repeat until-pass:2

# The transport's and the engine links' threads under the thread sanitizer: only their own
# suites are built here.
echo "== thread sanitizer build (the link suites and the engine's network links)"
cmake -S "$root_dir" -B "$root_dir/build-tsan" -G Ninja -DFLEET_SANITIZE_THREAD=ON \
  -DFLEET_VIEWER=OFF -DFLEET_BENCH=OFF "${asan_lean[@]}" >/dev/null
ninja -C "$root_dir/build-tsan" -j "$jobs" link_tests engine_net_test
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir "$root_dir/build-tsan" --output-on-failure -j "$jobs" \
  -R '^link\.|^(RealtimeLinkTest|RemoteLinkTest|RemoteDownloadTest)\.'
