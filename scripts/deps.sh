#!/usr/bin/env bash
# Installs what the build, the tests and the demo need on Debian 12.
# Only missing packages are installed, so a second run is quick.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libcli11-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  iproute2 iputils-ping procps psmisc util-linux
  xvfb xdotool xclip x11-apps imagemagick
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  if [[ $(id -u) -ne 0 ]]; then
    echo "deps: need root to install: ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
