#!/usr/bin/env bash
# Sets everything up, builds the viewer and runs it on the sample scene.
# With a display: the viewer opens its window (hold A to end it; arguments are
# passed on, e.g. --camera 2). Without one: it runs under Xvfb for a bounded
# time (10 seconds unless arguments say otherwise), prints its report and
# saves a screenshot to out/viewer.png and the figures to out/report.json.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)" --target viewer

if [ -n "${DISPLAY:-}" ]; then
  exec build/app/viewer "$@"
fi

mkdir -p out
export ORJ_MESSAGES=stderr
args=("$@")
[ ${#args[@]} -eq 0 ] && args=(--seconds 10)
tests/with_display.sh build/app/viewer "${args[@]}" --screenshot out/viewer.png --report-json out/report.json
echo "screenshot: out/viewer.png, figures: out/report.json"
