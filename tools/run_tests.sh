#!/usr/bin/env bash
# Sets everything up and runs the whole test suite: the normal build, the same
# suite under AddressSanitizer and UndefinedBehaviorSanitizer, the benchmarks
# in their short mode (as tests), the fuzzers for a bounded time, and the
# Windows build under Wine (tools/build_windows.sh, tests/windows/).
# Usage: tools/run_tests.sh [--quick]   (--quick: normal build only)
# ORJ_SKIP_WINDOWS=1 leaves the Windows stage out.
set -euo pipefail
cd "$(dirname "$0")/.."
quick=0
[ "${1:-}" = "--quick" ] && quick=1

bash tools/setup.sh
export ORJ_MESSAGES=stderr
jobs=$(nproc 2>/dev/null || echo 2)
fuzz_seconds=${FUZZ_SECONDS:-60}

echo "== build (RelWithDebInfo) =="
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
echo "== tests =="
ctest --test-dir build -j"$jobs" --output-on-failure
[ $quick -eq 1 ] && exit 0

echo "== build (AddressSanitizer + UndefinedBehaviorSanitizer) =="
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DENGINE_SANITIZE=ON >/dev/null
cmake --build build-sanitize -j"$jobs"
echo "== tests under the sanitizers =="
ctest --test-dir build-sanitize -j"$jobs" --output-on-failure

echo "== fuzzers =="
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DENGINE_FUZZ=ON >/dev/null
for module in fuzz/*.cmake; do
  name=$(basename "$module" .cmake)
  cmake --build build-fuzz -j"$jobs" --target "fuzz_$name"
  fuzzer="build-fuzz/fuzz/fuzz_$name"
  if compgen -G "fuzz/regressions/$name/*" >/dev/null; then
    echo "-- $name: replaying the regression corpus"
    "$fuzzer" -runs=0 fuzz/regressions/"$name"/* 2>&1 | tail -n 2
  fi
  echo "-- $name: fuzzing for ${fuzz_seconds}s"
  scratch=$(mktemp -d)
  dict=()
  [ -f "fuzz/$name.dict" ] && dict=(-dict="fuzz/$name.dict")
  "$fuzzer" "${dict[@]}" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$scratch/" "$scratch" "fuzz/corpus/$name" 2>&1 | tail -n 3
  rm -rf "$scratch"
done
if [ -z "${ORJ_SKIP_WINDOWS:-}" ] && command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  echo "== Windows build (MinGW-w64; libraries cached in ${ORJ_WINDOWS_CACHE:-$HOME/.cache/orj-windows}) =="
  bash tools/build_windows.sh
  echo "== Windows build under Wine =="
  bash tests/windows/run_wine_tests.sh build build-windows
fi
echo "All test stages passed."
