#!/usr/bin/env bash
# Repeatability of the viewer's benchmark: RUNS identical runs (default 5) of
# SECONDS seconds (default 10) of the sample grid under Xvfb; prints each
# run's settled median with its spread and how far apart the medians are.
# Target: the largest median at most 10 % above the smallest.
# Usage: bench/repeatability.sh [BUILD_DIR] (default build); extra viewer
# options in VIEWER_OPTIONS, e.g. VIEWER_OPTIONS="--ramp linear".
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${RUNS:-5}
seconds=${SECONDS_PER_RUN:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ORJ_MESSAGES=stderr

field() {  # field NAME FILE: a number or word from the viewer's JSON report
  sed -n "s/^ *\"$1\": \([^,]*\),\{0,1\}$/\1/p" "$2"
}

medians=()
for run in $(seq 1 "$runs"); do
  # shellcheck disable=SC2086
  tests/with_display.sh "$build/app/viewer" --seconds "$seconds" --quiet --report-json "$work/run$run.json" \
    ${VIEWER_OPTIONS:-} >/dev/null
  json="$work/run$run.json"
  median=$(field polygons_per_second_median "$json")
  printf 'run %d: settled %s at %.2f s, copies %s, polygons/s median %.0f (min %.0f, max %.0f, %s windows)\n' \
    "$run" "$(field settled "$json")" "$(field settled_at_seconds "$json" | sed "s/null/-1/")" "$(field copies "$json")" \
    "$median" "$(field polygons_per_second_min "$json")" "$(field polygons_per_second_max "$json")" \
    "$(field windows "$json")"
  medians+=("$median")
done
printf '%s\n' "${medians[@]}" | awk -v runs="$runs" -v seconds="$seconds" '
  NR == 1 || $1 < low { low = $1 } NR == 1 || $1 > high { high = $1 }
  END {
    spread = low > 0 ? 100 * (high / low - 1) : 0
    printf "%d runs of %d s: settled medians from %.0f to %.0f polygons/s, %.1f %% apart (target 10 %% or less): %s\n",
      runs, seconds, low, high, spread, spread <= 10 ? "met" : "not met"
  }'
echo "load average while measuring: $(cut -d' ' -f1-3 /proc/loadavg)"
