#!/usr/bin/env bash
# Cross-builds the engine's programs for 64-bit Windows with MinGW-w64 and packs
# them with data/ into dist/orj-windows.zip.
#
#   bash tools/build_windows.sh [--libraries-only]
#
# On a fresh Debian machine (as root) it installs what is missing, fetches
# the libraries' source from Debian's source archive, applies the
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
packages=(g++-mingw-w64-x86-64 libz-mingw-w64-dev wine64 cmake pkg-config tcl
          libgtest-dev nlohmann-json3-dev libstb-dev libfast-float-dev libcli11-dev libutfcpp-dev
          nsis icoutils xvfb xauth xdotool x11-utils)
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
# changing how a library is built), so a stale cache is never reused.
recipe_version=3
stamp=$( (echo "$recipe_version"; cat "$toolchain" windows/allegro-patches/*.patch windows/pkgconfig/*.pc.in \
  windows/assimp-formats.txt) |
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

# Unpacks a Debian source package's original tarball into DIR and applies
# Debian's own patches (security fixes) when their tarball came too, except
# those named in SKIP (space-separated).
unpack_debian_source() {  # PACKAGE TARBALL-GLOB DIR [SKIP]
  local skip=" ${4:-} "
  local tarball debian
  tarball=$(fetch_source "$1" "$2")
  tar xf "$tarball" -C "$3"
  debian=$(compgen -G "$cache/src/${1}_*.debian.tar.xz" | head -n 1 || true)
  if [ -n "$debian" ]; then
    local tree=("$3"/*/)
    tar xJf "$debian" -C "${tree[0]}"
    if [ -f "${tree[0]}debian/patches/series" ]; then
      grep -v '^#' "${tree[0]}debian/patches/series" | while read -r patch _; do
        [ -z "$patch" ] || [[ $skip == *" $patch "* ]] && continue
        patch -d "${tree[0]}" -p1 -s <"${tree[0]}debian/patches/$patch"
      done
    fi
  fi
}

# Each library is built once into the prefix; a marker file says it is there.
build_library() {  # NAME
  local name=$1 work
  [ -f "$prefix/.built-$name" ] && return 0
  mkdir -p "$cache" "$prefix"
  work=$(mktemp -d "$cache/work.XXXXXX")
  local cmake_cross=(-DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
                     -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_POLICY_DEFAULT_CMP0077=NEW)
  local log=$work/build.log
  echo "-- $name"
  # The subshell stops at its first failure only outside a tested context
  # (if, ||): its status is taken afterwards.
  local status
  set +e
  (
    set -e
    case $name in
    allegro)  # Allegro 4.4 with AllegroGL and JPGalleg, patched
      tar xzf "$(fetch_source allegro4.4 'allegro4.4_*.orig.tar.gz')" -C "$work"
      src=("$work"/allegro-*)
      for patch in windows/allegro-patches/*.patch; do patch -d "${src[0]}" -p1 -s <"$patch"; done
      cmake -S "${src[0]}" -B "$work/build" "${cmake_cross[@]}" -DSHARED=OFF \
        -DWANT_EXAMPLES=OFF -DWANT_TESTS=OFF -DWANT_TOOLS=OFF -DWANT_DOCS=OFF \
        -DWANT_LOADPNG=OFF -DWANT_LOGG=OFF -DWANT_ALLEGROGL=ON -DWANT_JPGALLEG=ON ;;
    libpng)  # zlib comes from Debian's MinGW package
      tar xzf "$(fetch_source libpng1.6 'libpng1.6_*.orig.tar.gz')" -C "$work"
      src=("$work"/libpng-*)
      cmake -S "${src[0]}" -B "$work/build" "${cmake_cross[@]}" -DPNG_SHARED=OFF -DPNG_STATIC=ON \
        -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DPNG_TOOLS=OFF ;;
    libjpeg)  # without the SIMD code, which needs nasm; its output is the same
      mkdir "$work/src"
      unpack_debian_source libjpeg-turbo 'libjpeg-turbo_*.orig.tar.gz' "$work/src"
      src=("$work"/src/*/)
      cmake -S "${src[0]}" -B "$work/build" "${cmake_cross[@]}" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
        -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF ;;
    giflib)  # a plain Makefile: the library's few sources are compiled here
      mkdir "$work/src"
      unpack_debian_source giflib 'giflib_*.orig.tar.gz' "$work/src"
      src=("$work"/src/*/)
      mkdir -p "$work/build" "$prefix/lib" "$prefix/include"
      for c in dgif_lib egif_lib gifalloc gif_err gif_font gif_hash openbsd-reallocarray quantize; do
        $triple-gcc-posix -O2 -c "${src[0]}$c.c" -o "$work/build/$c.o"
      done
      $triple-ar rcs "$prefix/lib/libgif.a" "$work/build"/*.o
      cp "${src[0]}gif_lib.h" "$prefix/include/" ;;
    googletest)
      cmake -S /usr/src/googletest -B "$work/build" "${cmake_cross[@]}" -DBUILD_GMOCK=OFF ;;
    expat)  # the importer's Collada check
      mkdir "$work/src"
      unpack_debian_source expat 'expat_*.orig.tar.gz' "$work/src"
      src=("$work"/src/*/)
      # Debian's security fixes test "XML_DTD == 1", as its own build defines it.
      sed -i 's/^#cmakedefine XML_DTD$/#cmakedefine XML_DTD 1/' "${src[0]}expat/expat_config.h.cmake"
      cmake -S "${src[0]}expat" -B "$work/build" "${cmake_cross[@]}" -DEXPAT_SHARED_LIBS=OFF \
        -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_DOCS=OFF \
        -DEXPAT_BUILD_PKGCONFIG=OFF ;;
    minizip)  # zipped models for assimp; zlib comes from Debian's MinGW package
      mkdir "$work/src"
      unpack_debian_source minizip 'minizip_*.orig.tar.*' "$work/src"
      src=("$work"/src/*/)
      mkdir -p "$work/build" "$prefix/lib" "$prefix/include/minizip"
      for c in unzip ioapi; do
        $triple-gcc-posix -O2 -c "${src[0]}$c.c" -o "$work/build/$c.o"
      done
      $triple-ar rcs "$prefix/lib/libminizip.a" "$work/build"/*.o
      cp "${src[0]}unzip.h" "${src[0]}ioapi.h" "${src[0]}crypt.h" "$prefix/include/minizip/" ;;
    sqlite)  # the history of benchmark runs: the single-file source made here (with tclsh), compiled for Windows
      mkdir "$work/src" "$work/amalgamation"
      # Debian's lemon parser template comes from its own package: the one in the source serves.
      unpack_debian_source sqlite3 'sqlite3_*.orig.tar.xz' "$work/src" 02-use-packaged-lempar.c.patch
      src=("$work"/src/*/)
      (cd "$work/amalgamation" && "${src[0]}configure" --disable-tcl && make sqlite3.c)
      $triple-gcc-posix -O2 -DSQLITE_THREADSAFE=1 -DSQLITE_OMIT_LOAD_EXTENSION \
        -c "$work/amalgamation/sqlite3.c" -o "$work/amalgamation/sqlite3.o"
      mkdir -p "$prefix/lib" "$prefix/include"
      $triple-ar rcs "$prefix/lib/libsqlite3.a" "$work/amalgamation/sqlite3.o"
      cp "$work/amalgamation/sqlite3.h" "$work/amalgamation/sqlite3ext.h" "$prefix/include/" ;;
    assimp)  # static, with the formats the engine documents and the light ones (windows/assimp-formats.txt)
      mkdir "$work/src"
      # Debian links its own Draco library, which this build leaves out
      # (glTF's Draco mesh compression is not read).
      unpack_debian_source assimp 'assimp_*.orig.tar.xz' "$work/src" use-system-libdraco.patch
      src=("$work"/src/*/)
      formats=()
      while read -r kind name _; do
        case $kind in import) formats+=("-DASSIMP_BUILD_${name}_IMPORTER=ON") ;;
                      export) formats+=("-DASSIMP_BUILD_${name}_EXPORTER=ON") ;; esac
      done <windows/assimp-formats.txt
      # Debian's source leaves out the bundled utf8cpp, stb and minizip: the
      # headers of Debian's packages and the minizip built above stand in.
      PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig PKG_CONFIG_PATH= \
      cmake -S "${src[0]}" -B "$work/build" "${cmake_cross[@]}" -DBUILD_SHARED_LIBS=OFF \
        -DASSIMP_BUILD_TESTS=OFF -DASSIMP_BUILD_ASSIMP_TOOLS=OFF -DASSIMP_BUILD_SAMPLES=OFF \
        -DASSIMP_BUILD_ZLIB=OFF -DASSIMP_BUILD_DRACO=OFF -DASSIMP_WARNINGS_AS_ERRORS=OFF \
        -DASSIMP_INSTALL_PDB=OFF -DASSIMP_IGNORE_GIT_HASH=ON -DASSIMP_LIBRARY_SUFFIX= \
        -DASSIMP_BUILD_ALL_IMPORTERS_BY_DEFAULT=OFF -DASSIMP_BUILD_ALL_EXPORTERS_BY_DEFAULT=OFF \
        "${formats[@]}" \
        -DCMAKE_CXX_FLAGS="-Wa,-mbig-obj -I/usr/include/utf8cpp -I/usr/include/stb" ;;
    esac
    if [ -f "$work/build/CMakeCache.txt" ]; then
      cmake --build "$work/build" -j"$jobs"
      cmake --install "$work/build"
    fi
  ) >"$log" 2>&1
  status=$?
  set -e
  if [ $status -ne 0 ]; then
    tail -n 30 "$log" >&2
    rm -rf "$work"
    echo "build_windows.sh: building $name failed" >&2
    exit 1
  fi
  rm -rf "$work"
  touch "$prefix/.built-$name"
}

# The engine's own pkg-config files, written before the libraries that look
# others up and again after them, over the files a library installs itself.
write_pkgconfig_files() {
  mkdir -p "$prefix/lib/pkgconfig"
  for template in windows/pkgconfig/*.pc.in; do
    sed "s#@PREFIX@#$prefix#" "$template" >"$prefix/lib/pkgconfig/$(basename "$template" .in)"
  done
}

echo "== Windows libraries in $prefix (each built once) =="
write_pkgconfig_files
for library in allegro libpng libjpeg giflib googletest expat minizip assimp sqlite; do
  start=$SECONDS
  build_library "$library"
  if [ $((SECONDS - start)) -gt 1 ]; then echo "   $library: $((SECONDS - start)) s"; fi
done
write_pkgconfig_files

# Header-only libraries come from Debian's packages, refreshed on every run
# (CLI11, the command-line reader, is found by its header CLI/CLI.hpp).
mkdir -p "$prefix/include" "$prefix/share/cmake"
rm -rf "$prefix/include/nlohmann" "$prefix/include/stb" "$prefix/include/fast_float" "$prefix/include/CLI" \
  "$prefix/share/cmake/nlohmann_json"
cp -r /usr/include/nlohmann /usr/include/stb /usr/include/fast_float /usr/include/CLI "$prefix/include/"
cp -r /usr/share/cmake/nlohmann_json "$prefix/share/cmake/"

if [ $libraries_only -eq 1 ]; then echo "prefix: $prefix"; exit 0; fi

# --- the engine -----------------------------------------------------------
echo "== the engine for Windows ($build) =="
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# CMake keeps the libraries it found: a build tree made with another prefix starts afresh.
if [ "$(cat "$build/.orj-windows-prefix" 2>/dev/null)" != "$prefix" ]; then
  rm -f "$build/CMakeCache.txt"
  mkdir -p "$build"
  echo "$prefix" >"$build/.orj-windows-prefix"
fi
PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig PKG_CONFIG_PATH= \
  cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$jobs"

# --- dist -----------------------------------------------------------------
echo "== dist/orj-windows.zip =="
rm -rf dist/orj-windows dist/orj-windows.zip dist/orj-windows-setup.exe
mkdir -p dist/orj-windows
for program in viewer sprite_demo anim orj orj-import orj-bench; do
  $triple-strip -o "dist/orj-windows/$program.exe" "$build/app/$program.exe"
done
cp -r data dist/orj-windows/data
# Windows readers expect CR LF line ends.
sed 's/$/\r/' windows/README-dist.txt >dist/orj-windows/README.txt
(cd dist && cmake -E tar cf orj-windows.zip --format=zip orj-windows)
echo "dist/orj-windows.zip: $(du -h dist/orj-windows.zip | cut -f1)"

# --- installer ------------------------------------------------------------
# The lists of what the installer writes and the uninstaller removes, file by
# file, from the dist folder.
echo "== dist/orj-windows-setup.exe =="
lists=$build/installer/files
mkdir -p "$build/installer"
: >"$lists-install.nsh"
: >"$lists-uninstall.nsh"
(cd dist/orj-windows && find . -type d | sed 's#^\.##' | sort) | while read -r dir; do
  echo "SetOutPath \"\$INSTDIR${dir//\//\\}\"" >>"$lists-install.nsh"
  find "dist/orj-windows$dir" -maxdepth 1 -type f | sort | while read -r file; do
    echo "File \"$root/$file\"" >>"$lists-install.nsh"
    echo "Delete \"\$INSTDIR${dir//\//\\}\\$(basename "$file")\"" >>"$lists-uninstall.nsh"
  done
done
# Folders deepest first, each removed only when empty.
(cd dist/orj-windows && find . -mindepth 1 -type d | sed 's#^\.##' | sort -r) | while read -r dir; do
  echo "RMDir \"\$INSTDIR${dir//\//\\}\"" >>"$lists-uninstall.nsh"
done
version=$(sed -n 's/^#define ORJ_VERSION "\(.*\)"/\1/p' "$build/include/orj/core/base/version_number.h")
makensis -V2 -DVERSION="$version" -DFILES="$lists" -DOUTFILE="$root/dist/orj-windows-setup.exe" \
  -DSIZE_KB="$(du -sk dist/orj-windows | cut -f1)" windows/installer.nsi
echo "dist/orj-windows-setup.exe: $(du -h dist/orj-windows-setup.exe | cut -f1)"
echo "prefix: $prefix"
