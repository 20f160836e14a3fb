#!/usr/bin/env bash
# Installs every Debian package the engine needs to build, run, test and benchmark.
# With --windows, also what the Windows build and its tests need: the MinGW-w64
# cross toolchain, Wine, NSIS for the installer, icoutils to check the programs'
# resources, the UTF-8 headers assimp is built with and tclsh, which makes
# SQLite's single-file source (about 1.8 GB; the test script asks for them).
# Safe to run again: packages already present are left alone.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git
  liballegro4-dev liballeggl4-dev libjpgalleg4-dev libloadpng4-dev
  libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri
  libgtest-dev googletest nlohmann-json3-dev libpng-dev libjpeg62-turbo-dev libgif-dev libstb-dev libcli11-dev
  libtinyobjloader-dev libfast-float-dev libassimp-dev assimp-utils assimp-testmodels libexpat1-dev
  clang libclang-rt-dev clang-format
  libsqlite3-dev sqlite3
  xvfb xauth xdotool x11-utils python3-xlib
  gnuplot-nox
  clang-tidy doxygen dpkg-dev
)
if [ "${1:-}" = "--windows" ]; then
  packages+=(g++-mingw-w64-x86-64 libz-mingw-w64-dev wine64 nsis icoutils libutfcpp-dev tcl)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
