#!/usr/bin/env bash
# Checks the engine as others get it: installed from a build into a scratch
# prefix (cmake --install), then used as a person, a programmer and a packager
# would. Each step installs afresh; everything goes into one temporary folder,
# removed at the end.
# Usage: tools/check_installed.sh BUILD STEP...
#   programs  the installed viewer and sprite_demo, run from a folder without
#             data/, find the installed sample data: their screenshots equal
#             those of the build's own programs run from the source tree
#   examples  examples/ built against the installed package (find_package) and
#             run for 25 frames each under Xvfb
#   consumer  a program outside the tree that includes every installed header
#             and links every exported target, built through find_package and
#             through pkg-config; every header also compiles on its own
#   deb       cpack's Debian package: its fields and what it holds
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: tools/check_installed.sh BUILD STEP..." >&2; exit 2; }
cd "$(dirname "$0")/.."
root=$PWD
build=$(cd "$1" && pwd)
shift
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export ORJ_MESSAGES=stderr
display=(bash "$root/tests/with_display.sh" timeout 120)
jobs=$(nproc 2>/dev/null || echo 2)

install_prefix() {  # install_prefix DIR: a fresh install of the build
  rm -rf "$1"
  cmake --install "$build" --prefix "$1" >/dev/null
}

check_programs() {
  local prefix=$scratch/programs elsewhere=$scratch/elsewhere
  install_prefix "$prefix"
  mkdir -p "$elsewhere"
  "${display[@]}" "$build/app/viewer" --camera 0 --passes 3 --quiet --screenshot "$scratch/viewer.png" >/dev/null
  "${display[@]}" "$build/app/sprite_demo" --passes 3 --screenshot "$scratch/sprites.png"
  (
    cd "$elsewhere"
    "${display[@]}" "$prefix/bin/viewer" --camera 0 --passes 3 --quiet --screenshot viewer.png >/dev/null
    "${display[@]}" "$prefix/bin/sprite_demo" --passes 3 --screenshot sprites.png
  )
  cmp "$scratch/viewer.png" "$elsewhere/viewer.png"
  cmp "$scratch/sprites.png" "$elsewhere/sprites.png"
  echo "installed viewer and sprite_demo from another folder: the same pictures as from the source tree"
  "$prefix/bin/orj" check "$prefix/share/orj/data/fiche.orj"
  if [ -x "$prefix/bin/orj-import" ]; then "$prefix/bin/orj" formats >/dev/null; fi
  "$prefix/bin/anim" dump "$prefix/share/orj/data/sample_sprite.anim" >/dev/null
  echo "installed orj and anim read the installed sample data"
}

check_examples() {
  local prefix=$scratch/examples-prefix
  install_prefix "$prefix"
  cmake -S examples -B "$scratch/examples" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
  cmake --build "$scratch/examples" -j"$jobs" >/dev/null
  local program
  for program in scene_viewer sprites; do
    (cd "$scratch" && "${display[@]}" "$scratch/examples/$program" --frames 25)
    echo "examples/$program: 25 frames against the installed package"
  done
}

# The exported targets, from the installed CMake package.
exported_targets() {
  sed -n 's/^add_library(\(orj::[a-z_]*\) .*/\1/p' "$(find "$1" -name orjTargets.cmake)"
}

check_consumer() {
  local prefix=$scratch/consumer-prefix dir=$scratch/consumer
  install_prefix "$prefix"
  mkdir -p "$dir"
  # Every installed header, from the installed tree.
  (cd "$prefix/include" && find orj -name '*.h' | LC_ALL=C sort | sed 's/.*/#include <&>/') >"$dir/headers.h"
  cat >"$dir/consumer.cpp" <<'CPP'
// Includes every installed header of the engine; calls into orj::core and orj::gl.
#include "headers.h"

#include <cstdio>

int main()
{
    orj::Error error;
    orj::set_error(&error, orj::ERROR_MALFORMED, "consumer", 1, "%s", "checked");
    std::printf("orj %s: %s; messages to standard error: %d\n", ORJ_VERSION, error.message.c_str(),
                orj::messages_to_stderr() ? 1 : 0);
    return 0;
}
CPP
  local targets
  targets=$(exported_targets "$prefix" | tr '\n' ' ')
  # Whole archives: every object of every library is linked, so the package
  # must name everything each one needs, not only what main reaches.
  cat >"$dir/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.16)
project(orj_consumer LANGUAGES CXX)
find_package(orj REQUIRED)
add_executable(consumer consumer.cpp)
target_link_libraries(consumer PRIVATE $targets)
foreach(target $targets)
  list(APPEND archives \$<TARGET_FILE:\${target}>)
endforeach()
target_link_options(consumer PRIVATE LINKER:--whole-archive \${archives} LINKER:--no-whole-archive)
CMAKE
  cmake -S "$dir" -B "$dir/build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
  cmake --build "$dir/build" >/dev/null
  "$dir/build/consumer"
  echo "find_package: $(grep -c '#include' "$dir/headers.h") headers, targets $targets"

  local modules=(orj) libdir
  [ -f "$(find "$prefix" -name orj-import.pc)" ] && modules+=(orj-import)
  libdir=$(dirname "$(dirname "$(find "$prefix" -name orj.pc)")")
  export PKG_CONFIG_PATH=$libdir/pkgconfig
  local cflags libs engine_libs
  cflags=$(pkg-config --cflags "${modules[@]}")
  libs=$(pkg-config --libs "${modules[@]}")
  # The flags are words to split.
  # shellcheck disable=SC2086
  engine_libs=$(printf '%s\n' $libs | grep '^-lorj_' | tr '\n' ' ')
  # shellcheck disable=SC2086
  g++ -std=c++17 $cflags "$dir/consumer.cpp" -o "$dir/consumer-pc" \
    -Wl,--whole-archive $engine_libs -Wl,--no-whole-archive $libs
  "$dir/consumer-pc"
  echo "pkg-config ${modules[*]}: the same program, libraries $engine_libs"

  # Each header on its own: none may lean on another being included first.
  local header
  while read -r header; do
    # shellcheck disable=SC2086
    echo "#include <$header>" | g++ -std=c++17 $cflags -x c++ -fsyntax-only - || { echo "$header" >&2; return 1; }
  done < <(cd "$prefix/include" && find orj -name '*.h' | LC_ALL=C sort)
  echo "every header compiles on its own"
}

check_deb() {
  local out=$scratch/package
  cpack --config "$build/CPackConfig.cmake" -B "$out" >/dev/null 2>&1 || { echo "cpack failed" >&2; return 1; }
  local deb
  deb=$(find "$out" -maxdepth 1 -name '*.deb')
  echo "$(basename "$deb"):"
  dpkg-deb -f "$deb" Package Version Architecture Depends | sed 's/^/  /'
  dpkg-deb -c "$deb" | awk '{print $6}' >"$scratch/contents"
  local missing=0 want
  for want in usr/bin/viewer usr/bin/sprite_demo usr/bin/orj usr/bin/anim \
    usr/share/orj/data/fiche.orj usr/share/orj/data/texturarobot2.tga \
    usr/share/orj/data/sample_sprite.anim usr/share/orj/data/sample_sprite.jpg usr/share/doc/orj/README.md \
    'usr/lib/.*liborj_core\.a' 'usr/lib/.*liborj_gl\.a' 'usr/lib/.*cmake/orj/orjConfig\.cmake' \
    'usr/lib/.*cmake/orj/orjConfigVersion\.cmake' 'usr/lib/.*pkgconfig/orj\.pc' \
    usr/include/orj/core/base/error.h usr/include/orj/core/base/version_number.h usr/include/orj/gl/render/draw.h; do
    grep -q "^\./$want\$" "$scratch/contents" || { echo "the package lacks $want" >&2; missing=1; }
  done
  echo "  $(grep -c -v '/$' "$scratch/contents") files"
  return $missing
}

for step in "$@"; do
  case $step in
  programs | examples | consumer | deb) "check_$step" ;;
  *) echo "check_installed.sh: unknown step $step" >&2; exit 2 ;;
  esac
done
