#!/usr/bin/env bash
# Installs everything the build, the tools and the tests need on a fresh Debian 12 machine.
# Run as root. Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  # toolchain
  cmake g++ ninja-build pkg-config clang clang-format libclang-rt-14-dev
  # media: decoding, scaling, and libx264 through libavcodec for test recordings
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libswresample-dev ffmpeg
  # audio output and JPEG snapshots
  libsdl2-dev libturbojpeg0-dev libjpeg62-turbo-dev
  # the viewer: Qt 6 Widgets, WebEngine for the map pages, SVG; a virtual display for the demo
  qt6-base-dev qt6-webengine-dev qt6-svg-dev xvfb xauth
  # Leaflet, copied beside the map pages
  libjs-leaflet
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev python3
  # FAT volumes made and checked by the system's own tools in the layout tests
  dosfstools mtools
  # exported GPX tracks checked against their schema
  libxml2-utils
  # the transport (standalone Asio); network tests in private namespaces (ip, unshare)
  libasio-dev iproute2 util-linux
)

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: run as root (apt-get needs it)" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${packages[@]}"
