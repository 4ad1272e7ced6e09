#!/usr/bin/env bash
# Installs the Debian packages the build, the show and the tests need. Safe to run again:
# packages already present are left alone and nothing is fetched when all are there.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libsdl2-dev libegl-dev libgl-dev libstb-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libavcodec-dev libavformat-dev libswscale-dev libswresample-dev ffmpeg
  xvfb xauth xdotool imagemagick
  g++-mingw-w64-x86-64 wine wine64
  clang libclang-rt-14-dev
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  echo "Installing: ${missing[*]}"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
