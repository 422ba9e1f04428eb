#!/usr/bin/env bash
# Installs what the build needs on a Debian machine (only what is missing), then
# configures and builds Korvane in the given build folder: everything, or with --main
# only what the main job runs (the plug-in, korvane-host, the console and the stubs).
#   tools/setup.sh BUILD_DIR [--main] [extra cmake options...]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="$1"
shift
targets=()
if [ "${1:-}" = "--main" ]; then
  targets=(--target Korvane korvane-host korvane-console korvane-author-files)
  shift
fi

packages=(cmake ninja-build g++ pkg-config python3-dev libgtest-dev nlohmann-json3-dev python3-mypy
  # The headless host draws with Mesa off screen, writes PNG and renders text; the examples use PyOpenGL.
  libegl-dev libopengl-dev libgl-dev libegl-mesa0 libgl1-mesa-dri libpng-dev libfreetype-dev fonts-dejavu-core python3-opengl)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi

# The embedded interpreter must be the system's CPython, whatever python3 is first on PATH.
cmake -S "$here" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build_dir" "${targets[@]}"
