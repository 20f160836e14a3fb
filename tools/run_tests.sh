#!/usr/bin/env bash
# Sets everything up and runs the whole test suite: the code style and the API
# documentation's completeness, the normal build, the engine as others get it
# (installed programs, the examples and a consumer program against the
# installed package, the Debian package), clang-tidy, the same suite under
# AddressSanitizer and UndefinedBehaviorSanitizer, the benchmarks in their
# short mode (as tests), the fuzzers for a bounded time, and the Windows build
# under Wine (tools/build_windows.sh, tests/windows/). Every
# stage runs even when an earlier one failed; the failures are listed at the
# end and the script then exits 1.
# Usage: tools/run_tests.sh [--quick]   (--quick: normal build only)
# ORJ_SKIP_WINDOWS=1 leaves the Windows stage out.
set -uo pipefail
cd "$(dirname "$0")/.."
quick=0
[ "${1:-}" = "--quick" ] && quick=1

failed=()
# stage NAME COMMAND...: runs one stage and notes it when it fails.
stage() {
  local name=$1
  shift
  echo "== $name =="
  "$@" || failed+=("$name")
}

finish() {
  if [ ${#failed[@]} -eq 0 ]; then
    echo "All test stages passed."
    exit 0
  fi
  echo "Failed stages:"
  printf '  %s\n' "${failed[@]}"
  exit 1
}

setup=(bash tools/setup.sh)
[ $quick -eq 0 ] && [ -z "${ORJ_SKIP_WINDOWS:-}" ] && setup+=(--windows)
"${setup[@]}" || { echo "tools/setup.sh failed" >&2; exit 1; }
export ORJ_MESSAGES=stderr
jobs=$(nproc 2>/dev/null || echo 2)
fuzz_seconds=${FUZZ_SECONDS:-60}

build_tree() {  # build_tree DIR CMAKE-OPTIONS...
  local dir=$1
  shift
  cmake -S . -B "$dir" "$@" >/dev/null && cmake --build "$dir" -j"$jobs"
}

# The code keeps the style of .clang-format.
check_format() {
  git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
}
stage "code format (clang-format)" check_format
stage "API documentation (Doxygen)" bash tools/check_docs.sh

if stage "build (RelWithDebInfo)" build_tree build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_EXPORT_COMPILE_COMMANDS=ON; then
  stage "tests" ctest --test-dir build -j"$jobs" --output-on-failure
  [ $quick -eq 1 ] && finish
  # The engine as others get it: installed into a scratch prefix.
  stage "installed programs from another folder" bash tools/check_installed.sh build programs
  stage "examples against the installed package" bash tools/check_installed.sh build examples
  stage "a consumer of every installed header and target" bash tools/check_installed.sh build consumer
  stage "Debian package (cpack)" bash tools/check_installed.sh build deb
  stage "clang-tidy" bash tools/run_clang_tidy.sh build
fi
[ $quick -eq 1 ] && finish

if stage "build (AddressSanitizer + UndefinedBehaviorSanitizer)" \
    build_tree build-sanitize -DCMAKE_BUILD_TYPE=Debug -DORJ_SANITIZE=ON; then
  stage "tests under the sanitizers" ctest --test-dir build-sanitize -j"$jobs" --output-on-failure
fi

# fuzz_one NAME: builds one fuzzer, replays its regressions, then fuzzes.
fuzz_one() {
  local name=$1 fuzzer="build-fuzz/fuzz/fuzz_$1" status=0
  cmake --build build-fuzz -j"$jobs" --target "fuzz_$name" || return 1
  if compgen -G "fuzz/regressions/$name/*" >/dev/null; then
    echo "-- $name: replaying the regression corpus"
    "$fuzzer" -runs=0 fuzz/regressions/"$name"/* 2>&1 | tail -n 2 || status=1
  fi
  echo "-- $name: fuzzing for ${fuzz_seconds}s"
  local scratch
  scratch=$(mktemp -d)
  local dict=()
  [ -f "fuzz/$name.dict" ] && dict=(-dict="fuzz/$name.dict")
  "$fuzzer" "${dict[@]}" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$scratch/" "$scratch" "fuzz/corpus/$name" 2>&1 | tail -n 3 || status=1
  rm -rf "$scratch"
  return $status
}

if stage "configure the fuzzers" env CC=clang CXX=clang++ \
    cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORJ_FUZZ=ON; then
  for name in $(sed -n 's/^ *engine_fuzzer(\([a-z_]*\) .*/\1/p' fuzz/CMakeLists.txt); do
    stage "fuzzer $name" fuzz_one "$name"
  done
fi

# The cross toolchain comes with tools/setup.sh --windows; the libraries are built once
# into a cache outside the work tree (see tools/build_windows.sh).
if [ -z "${ORJ_SKIP_WINDOWS:-}" ] && command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  if stage "Windows build (MinGW-w64)" bash tools/build_windows.sh; then
    stage "Windows build under Wine" bash tests/windows/run_wine_tests.sh build build-windows
  fi
fi
finish
