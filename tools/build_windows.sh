#!/usr/bin/env bash
# Cross-builds the engine's programs for 64-bit Windows with MinGW-w64 and packs
# them with data/ into dist/orj-windows.zip.
#
#   bash tools/build_windows.sh [--libraries-only]
#
# On a fresh Debian machine (as root) it installs what is missing, fetches
# Allegro's and libpng's source from Debian's source archive, applies the
# patches in windows/allegro-patches/ and builds the libraries statically into
# a cache outside the work tree, reused while the patches and this script's
# recipe stay the same:
#   ORJ_WINDOWS_CACHE (default ~/.cache/orj-windows)
# The engine is built in build-windows/ (ORJ_WINDOWS_BUILD changes that).
# Prints the library prefix on its last line as "prefix: PATH".
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
libraries_only=0
[ "${1:-}" = "--libraries-only" ] && libraries_only=1

triple=x86_64-w64-mingw32
cache=${ORJ_WINDOWS_CACHE:-$HOME/.cache/orj-windows}
build=${ORJ_WINDOWS_BUILD:-$root/build-windows}
jobs=$(nproc 2>/dev/null || echo 2)
toolchain=$root/windows/mingw64-toolchain.cmake

# --- packages -------------------------------------------------------------
packages=(g++-mingw-w64-x86-64 libz-mingw-w64-dev wine64 cmake pkg-config
          libgtest-dev nlohmann-json3-dev libstb-dev xvfb xauth xdotool x11-utils)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
sources_list=/etc/apt/sources.list.d/orj-windows-src.sources
need_update=0
if ! grep -rqs '^Types:.*deb-src\|^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  # Allegro's and libpng's source come from Debian's source archive.
  $SUDO tee "$sources_list" >/dev/null <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  need_update=1
fi
if [ ${#missing[@]} -gt 0 ] || [ $need_update -eq 1 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  [ ${#missing[@]} -gt 0 ] && $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

# --- libraries (cached) ---------------------------------------------------
# The prefix's name changes whenever the patches, the toolchain, the
# pkg-config files or the recipe below change (raise recipe_version when
# editing build_libraries), so a stale cache is never reused.
recipe_version=1
stamp=$( (echo "$recipe_version"; cat "$toolchain" windows/allegro-patches/*.patch windows/pkgconfig/*.pc.in) |
  sha256sum | cut -c1-12)
prefix=$cache/prefix-$stamp
export ORJ_WINDOWS_PREFIX=$prefix

fetch_source() {  # PACKAGE ORIG-TARBALL-GLOB
  if ! compgen -G "$cache/src/$2" >/dev/null; then
    mkdir -p "$cache/src"
    # Only the original tarball is needed; the Debian patch tarball may be
    # missing from the archive, so a failure is judged by the tarball alone.
    (cd "$cache/src" && timeout 600 apt-get source --download-only "$1" >/dev/null 2>&1) || true
  fi
  compgen -G "$cache/src/$2" >/dev/null || { echo "build_windows.sh: cannot fetch the source of $1" >&2; exit 1; }
  compgen -G "$cache/src/$2" | head -n 1
}

build_libraries() {
  local work
  mkdir -p "$cache"
  work=$(mktemp -d "$cache/work.XXXXXX")
  trap 'rm -rf "$work"' RETURN
  local cmake_cross=(-DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
                     -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_POLICY_DEFAULT_CMP0077=NEW)

  echo "-- Allegro 4.4 with AllegroGL and JPGalleg"
  tar xzf "$(fetch_source allegro4.4 'allegro4.4_*.orig.tar.gz')" -C "$work"
  local allegro=("$work"/allegro-*)
  for patch in windows/allegro-patches/*.patch; do
    patch -d "${allegro[0]}" -p1 -s <"$patch"
  done
  cmake -S "${allegro[0]}" -B "$work/allegro-build" "${cmake_cross[@]}" -DSHARED=OFF \
    -DWANT_EXAMPLES=OFF -DWANT_TESTS=OFF -DWANT_TOOLS=OFF -DWANT_DOCS=OFF \
    -DWANT_LOADPNG=OFF -DWANT_LOGG=OFF -DWANT_ALLEGROGL=ON -DWANT_JPGALLEG=ON >/dev/null
  cmake --build "$work/allegro-build" -j"$jobs" >/dev/null
  cmake --install "$work/allegro-build" >/dev/null

  echo "-- libpng (zlib from Debian's MinGW package)"
  tar xzf "$(fetch_source libpng1.6 'libpng1.6_*.orig.tar.gz')" -C "$work"
  local png=("$work"/libpng-*)
  cmake -S "${png[0]}" -B "$work/png-build" "${cmake_cross[@]}" -DPNG_SHARED=OFF -DPNG_STATIC=ON \
    -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DPNG_TOOLS=OFF >/dev/null
  cmake --build "$work/png-build" -j"$jobs" >/dev/null
  cmake --install "$work/png-build" >/dev/null

  echo "-- GoogleTest"
  cmake -S /usr/src/googletest -B "$work/gtest-build" "${cmake_cross[@]}" -DBUILD_GMOCK=OFF >/dev/null
  cmake --build "$work/gtest-build" -j"$jobs" >/dev/null
  cmake --install "$work/gtest-build" >/dev/null

  mkdir -p "$prefix/lib/pkgconfig"
  for template in windows/pkgconfig/*.pc.in; do
    sed "s#@PREFIX@#$prefix#" "$template" >"$prefix/lib/pkgconfig/$(basename "$template" .in)"
  done
  touch "$prefix/.complete"
}

if [ ! -f "$prefix/.complete" ]; then
  echo "== Windows libraries into $prefix (built once) =="
  rm -rf "$prefix"
  build_libraries
fi
# Header-only libraries come from Debian's packages, refreshed on every run.
mkdir -p "$prefix/include" "$prefix/share/cmake"
rm -rf "$prefix/include/nlohmann" "$prefix/include/stb" "$prefix/share/cmake/nlohmann_json"
cp -r /usr/include/nlohmann /usr/include/stb "$prefix/include/"
cp -r /usr/share/cmake/nlohmann_json "$prefix/share/cmake/"

if [ $libraries_only -eq 1 ]; then echo "prefix: $prefix"; exit 0; fi

# --- the engine -----------------------------------------------------------
echo "== the engine for Windows ($build) =="
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig PKG_CONFIG_PATH= \
  cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$jobs"

# --- dist -----------------------------------------------------------------
echo "== dist/orj-windows.zip =="
rm -rf dist/orj-windows dist/orj-windows.zip
mkdir -p dist/orj-windows
for program in viewer sprite_demo anim orj; do
  $triple-strip -o "dist/orj-windows/$program.exe" "$build/app/$program.exe"
done
cp -r data dist/orj-windows/data
# Windows readers expect CR LF line ends.
sed 's/$/\r/' windows/README-dist.txt >dist/orj-windows/README.txt
(cd dist && cmake -E tar cf orj-windows.zip --format=zip orj-windows)
echo "dist/orj-windows.zip: $(du -h dist/orj-windows.zip | cut -f1)"
echo "prefix: $prefix"
