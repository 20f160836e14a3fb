#!/usr/bin/env bash
# Runs the Windows build under Wine and compares it with the Linux build:
#   0. without Wine, the programs in dist/orj-windows: each imports only
#      Windows' own DLLs and carries its icon, manifest and version;
#   1. the cross-built pure and OpenGL tests (CTest in the Windows build tree);
#   2. end to end, ORJ_WINE_REPEAT times (default 1):
#      - viewer.exe through each camera of the sample scene: the screenshot
#        must equal the Linux viewer's byte for byte;
#      - viewer.exe on the benchmark grid, ended by holding A: status 0 and
#        the report line on standard output;
#      - sprite_demo.exe's screenshot equals Linux's;
#      - anim.exe build packs the same bytes as Linux's anim from the same frames.
#   3. once, as a Windows user (tests/windows/user_checks.sh): orj.exe import,
#      export and formats against Linux's orj; every kind of path in a folder
#      named "Modèles 日本"; the installer's silent install, run and uninstall;
#   4. once, the commands that run children (tests/windows/child_checks.sh):
#      the model library's crash, endless loop and runaway memory ended within
#      its limits, its large stack; orj.exe view against Linux's; orj.exe
#      bench history and compare.
# Wine's builtin copies of DLLs that Windows lacks are switched off
# (wine_session.sh), so that Wine cannot stand in for a missing one.
# Usage: tests/windows/run_wine_tests.sh [LINUX_BUILD [WINDOWS_BUILD]]
#        (defaults build and build-windows; both must be built)
# Every run is bounded by a timeout; a run that hangs fails the stage with a
# message saying which.
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
linux_build=$(realpath "${1:-build}")
windows_build=$(realpath "${2:-build-windows}")
repeat=${ORJ_WINE_REPEAT:-1}
source tests/windows/wine_session.sh
source tests/windows/dist_checks.sh
source tests/windows/user_checks.sh
source tests/windows/child_checks.sh
dist=$root/dist/orj-windows
setup=$root/dist/orj-windows-setup.exe

for program in viewer sprite_demo anim; do
  [ -x "$linux_build/app/$program" ] || wine_fail "$linux_build/app/$program is not built"
  [ -f "$windows_build/app/$program.exe" ] || wine_fail "$windows_build/app/$program.exe is not built"
done
[ -x "$linux_build/samples/make_sample_animation" ] || wine_fail "$linux_build/samples/make_sample_animation is not built"
[ -x "$linux_build/app/orj-import" ] || wine_fail "$linux_build/app/orj-import is not built (libassimp-dev)"
[ -f "$dist/orj-import.exe" ] && [ -f "$setup" ] || wine_fail "dist/ is not made (tools/build_windows.sh)"

scratch=$(mktemp -d)
cleanup() { wine_session_stop; rm -rf "$scratch"; }
trap cleanup EXIT
trap 'exit 130' INT TERM
wine_session_start
failures=0
check() {  # check CONDITION-STATUS WHAT
  if [ "$1" -eq 0 ]; then echo "   ok   $2"; else echo "   FAIL $2"; failures=$((failures + 1)); fi
}

echo "== the programs in dist/orj-windows =="
check_dll_imports "$dist"
check_resources "$dist" "$(sed -n 's/^#define ORJ_VERSION "\(.*\)"/\1/p' "$windows_build/include/orj/core/base/version_number.h")"

echo "== Windows tests under Wine (display $DISPLAY) =="
ctest --test-dir "$windows_build" --output-on-failure --timeout 300
check $? "cross-built pure and OpenGL tests"

cameras=(0 1 2 3 5)
sprite_passes=30
echo "== Linux references =="
mkdir -p "$scratch/linux" "$scratch/frames"
for camera in "${cameras[@]}"; do
  timeout 60 "$linux_build/app/viewer" --camera "$camera" --passes 50 --screenshot "$scratch/linux/camera$camera.png" \
    >/dev/null || wine_fail "the Linux viewer failed on camera $camera"
done
timeout 60 "$linux_build/app/sprite_demo" --passes $sprite_passes --screenshot "$scratch/linux/sprites.png" >/dev/null ||
  wine_fail "the Linux sprite_demo failed"
timeout 60 "$linux_build/samples/make_sample_animation" "$scratch/frames" "$scratch/unused.anim" "$scratch/unused.jpg" ||
  wine_fail "cannot draw the sample frames"
timeout 60 "$linux_build/app/anim" build "$scratch/frames/sample_sprite0001" "$scratch/linux/sprite.anim" \
  "$scratch/linux/sprite.jpg" || wine_fail "the Linux anim build failed"

# Holds A in the viewer's window until the viewer ends; prints its status.
hold_a_until_exit() {
  local out=$1 err=$2 pid window status
  wine_run 90 "$windows_build/app/viewer.exe" >"$out" 2>"$err" &
  pid=$!
  # Waits for the window while the viewer runs: one that ended says why.
  window=
  for _ in $(seq 1 300); do
    window=$(xdotool search --onlyvisible --name 'viewer' 2>/dev/null | head -n 1)
    [ -n "$window" ] || ! kill -0 "$pid" 2>/dev/null && break
    sleep 0.2
  done
  if [ -z "$window" ]; then
    echo "   the viewer's window did not appear within 60 s; its messages:" >&2
    tail -n 5 "$err" | sed 's/^/     /' >&2
    kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; echo 255; return
  fi
  # DirectInput reads keys only in the foreground window, and a tap can fall
  # between its polls: focus, then hold the key until the program is gone.
  timeout 10 xdotool windowfocus --sync "$window" >/dev/null 2>&1
  xdotool keydown a
  for _ in $(seq 1 300); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  xdotool keyup a 2>/dev/null
  wait "$pid"
  status=$?
  [ $status -eq 124 ] && echo "   the viewer did not end within 90 s of holding A" >&2
  echo $status
}

run=1
while [ $run -le "$repeat" ]; do
  echo "== end to end under Wine, run $run of $repeat =="
  out=$scratch/run$run
  mkdir -p "$out"
  for camera in "${cameras[@]}"; do
    wine_run 90 "$windows_build/app/viewer.exe" --camera "$camera" --passes 50 --screenshot "$out/camera$camera.png" \
      >"$out/camera$camera.out" 2>"$out/camera$camera.err"
    status=$?
    cmp -s "$out/camera$camera.png" "$scratch/linux/camera$camera.png"
    check $(( status != 0 || $? != 0 )) "viewer.exe camera $camera: status $status, screenshot equals Linux's"
  done

  status=$(hold_a_until_exit "$out/hold.out" "$out/hold.err")
  grep -Eq '^numero de poligonos: [0-9]+\. frames: [0-9]+\. segundos: [0-9.]+, poligonos/s [0-9.]+' "$out/hold.out"
  report=$?
  check $(( status != 0 || report != 0 )) "viewer.exe grid ended by holding A: status $status, report line: $(head -n 1 "$out/hold.out" | tr -d "\r")"

  wine_run 90 "$windows_build/app/sprite_demo.exe" --passes $sprite_passes --screenshot "$out/sprites.png" \
    >"$out/sprites.out" 2>"$out/sprites.err"
  status=$?
  cmp -s "$out/sprites.png" "$scratch/linux/sprites.png"
  check $(( status != 0 || $? != 0 )) "sprite_demo.exe: status $status, screenshot equals Linux's"

  wine_run 90 "$windows_build/app/anim.exe" build "$scratch/frames/sample_sprite0001" "$out/sprite.anim" "$out/sprite.jpg" \
    >"$out/anim.out" 2>"$out/anim.err"
  status=$?
  cmp -s "$out/sprite.anim" "$scratch/linux/sprite.anim" && cmp -s "$out/sprite.jpg" "$scratch/linux/sprite.jpg"
  check $(( status != 0 || $? != 0 )) "anim.exe build: status $status, same animation and strip bytes as Linux's"
  # Building again replaces the files (the C library's rename would refuse).
  wine_run 90 "$windows_build/app/anim.exe" build "$scratch/frames/sample_sprite0001" "$out/sprite.anim" "$out/sprite.jpg" \
    >"$out/anim-again.out" 2>"$out/anim-again.err"
  status=$?
  cmp -s "$out/sprite.anim" "$scratch/linux/sprite.anim" && [ ! -e "$out/sprite.anim.part" ]
  check $(( status != 0 || $? != 0 )) "anim.exe build over existing files: status $status, replaced"

  if [ $failures -gt 0 ]; then
    for f in "$out"/*.err; do [ -s "$f" ] && { echo "-- $f:"; head -n 20 "$f"; }; done
    break
  fi
  run=$((run + 1))
done

echo "== as a Windows user =="
failures_before=$failures
check_import_export
check_unicode_paths
check_installer "$setup"
echo "== commands that run children =="
check_model_library_limits
check_view
check_bench
if [ $failures -gt $failures_before ]; then
  for f in "$scratch"/*.err "$scratch"/import/*.err; do [ -s "$f" ] && { echo "-- $f:"; head -n 20 "$f"; }; done
fi

if [ -n "${ORJ_WINE_KEEP:-}" ]; then cp -r "$scratch" "$ORJ_WINE_KEEP"; echo "files kept in $ORJ_WINE_KEEP"; fi
if [ $failures -gt 0 ]; then echo "Windows stage: $failures check(s) failed"; exit 1; fi
echo "Windows stage passed ($repeat end-to-end run(s))."
