# Shared by the scripts: dependency install (skippable) and configured builds.
# Sourced, not run.

root_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc 2>/dev/null || echo 2)

install_deps() {
  if [ "${FLEET_SKIP_DEPS:-0}" = 1 ]; then return; fi
  if [ "$(id -u)" -eq 0 ]; then
    bash "$root_dir/scripts/install-deps.sh"
  elif command -v sudo >/dev/null; then
    sudo bash "$root_dir/scripts/install-deps.sh"
  else
    echo "scripts: not root and no sudo; install the packages in scripts/install-deps.sh yourself" >&2
    echo "scripts: and run again with FLEET_SKIP_DEPS=1" >&2
    exit 1
  fi
}

# build DIR [cmake options...]
build() {
  local dir=$1
  shift
  cmake -S "$root_dir" -B "$root_dir/$dir" -G Ninja "$@" >/dev/null
  ninja -C "$root_dir/$dir" -j "$jobs"
}

# Everything but the viewer configures with Qt not even looked for; the plain build then
# compiles those same targets.
configure_without_viewer() {
  local dir="$root_dir/build-noviewer"
  cmake -S "$root_dir" -B "$dir" -G Ninja -DFLEET_VIEWER=OFF >/dev/null
  if grep -qE '^Qt6[A-Za-z]*_DIR:' "$dir/CMakeCache.txt"; then
    echo "scripts: -DFLEET_VIEWER=OFF still looked for Qt" >&2
    return 1
  fi
}
