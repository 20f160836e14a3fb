#!/usr/bin/env bash
# Sets everything up, builds the viewer and runs it on the sample scene.
# With a display: the viewer opens its window (hold A to end it; arguments are
# passed on, e.g. --camera 2).
# Without one: under Xvfb, the benchmark grid for 10 seconds (report on
# standard output, figures in out/report.json, its last frame in
# out/benchmark.png, one row per pass in out/trace.csv, plotted by gnuplot
# in out/trace.png, the run added to the history out/results.sqlite, whose
# runs so far are plotted in out/history.png), then 50 frames through each
# other camera of the sample scene (out/camera0.png ... out/camera3.png,
# out/camera5.png; camera 4 is the grid). Arguments, if any, replace all that
# with one run of the viewer with those arguments.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)" --target viewer orj

if [ -n "${DISPLAY:-}" ]; then
  exec build/app/viewer "$@"
fi

mkdir -p out
export ORJ_MESSAGES=stderr
if [ $# -gt 0 ]; then
  exec tests/with_display.sh build/app/viewer "$@"
fi

echo "benchmark grid, 10 seconds:"
tests/with_display.sh build/app/viewer --seconds 10 --screenshot out/benchmark.png --report-json out/report.json \
  --trace out/trace.csv --results-db out/results.sqlite --progress
gnuplot -e "trace='out/trace.csv'; picture='out/trace.png'" bench/plot_trace.gp
build/app/orj bench history --db out/results.sqlite --plot out/history.png | tail -n 1
for camera in 0 1 2 3 5; do
  echo "camera $camera, 50 frames:"
  tests/with_display.sh build/app/viewer --camera "$camera" --passes 50 --screenshot "out/camera$camera.png"
done
echo "figures: out/report.json, out/trace.csv, out/results.sqlite; pictures: out/trace.png, out/history.png, out/benchmark.png (the grid is fog at 1000 units), out/camera*.png"
