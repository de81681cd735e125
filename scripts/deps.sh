#!/usr/bin/env bash
# Installs what the build, the tests and the demo need on Debian 12.
# Only missing packages are installed, so a second run is quick.
#
#   bash scripts/deps.sh            everything: build, tests, demo, Windows cross build, fuzzing
#   bash scripts/deps.sh package    only what building the Debian package needs
set -euo pipefail

# Building the program, the tool and the package (release preset, cpack).
BUILD=(
  build-essential cmake pkg-config dpkg-dev libcli11-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  qt6-tools-dev qt6-l10n-tools
)
# The tests, the demo and the Windows cross build.
TESTS=(
  ninja-build libgtest-dev libgmock-dev
  iproute2 iputils-ping procps psmisc util-linux nftables
  xvfb xdotool xclip x11-apps imagemagick
  lintian desktop-file-utils appstream man-db qt6-translations-l10n
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64
  # The fuzz preset: clang and its libFuzzer and sanitizer runtimes.
  clang libclang-rt-14-dev
)

case ${1:-all} in
  package) PACKAGES=("${BUILD[@]}") ;;
  all) PACKAGES=("${BUILD[@]}" "${TESTS[@]}") ;;
  *) echo "usage: deps.sh [package]" >&2; exit 2 ;;
esac

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
