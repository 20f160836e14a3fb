#!/usr/bin/env bash
# Repeatability of the viewer's benchmark: RUNS identical runs (default 5) of
# SECONDS seconds (default 10) of the sample grid under Xvfb; prints each
# run's settled median with its spread and how far apart the medians are.
# Target: the largest median at most 10 % above the smallest.
#
# The reference, in the same session: as many runs at a fixed load
# (--copies, the count the first run settled at), taken in turn with the
# others, so that both see the same machine. Their spread is the machine's
# own: a benchmark cannot be steadier than the work it times.
# Usage: bench/repeatability.sh [BUILD_DIR] (default build); extra viewer
# options in VIEWER_OPTIONS, e.g. VIEWER_OPTIONS="--ramp linear"; TRACES=DIR
# keeps every run's trace there (settling-1.csv, fixed-1.csv, ...).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${RUNS:-5}
seconds=${SECONDS_PER_RUN:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ORJ_MESSAGES=stderr

field() {  # field NAME FILE: a number or word from the viewer's JSON report
  sed -n "s/^ *\"$1\": \([^,]*\),\{0,1\}$/\1/p" "$2" | head -n 1
}

run_once() {  # run_once NAME OPTIONS...: one run; prints its line, appends its median to NAME.medians
  local name=$1 json="$work/$1.json" trace=()
  shift
  [ -n "${TRACES:-}" ] && mkdir -p "$TRACES" && trace=(--trace "$TRACES/${name/ /-}.csv")
  tests/with_display.sh "$build/app/viewer" --seconds "$seconds" --quiet --no-save --report-json "$json" "${trace[@]}" "$@" \
    >/dev/null
  printf '%-8s settled %s at %.2f s, copies %s, polygons/s median %.0f (min %.0f, max %.0f, %s windows)\n' \
    "$name" "$(field settled "$json")" "$(field settled_at_seconds "$json" | sed "s/null/-1/")" \
    "$(field copies "$json")" "$(field polygons_per_second_median "$json")" \
    "$(field polygons_per_second_min "$json")" "$(field polygons_per_second_max "$json")" "$(field windows "$json")"
  field polygons_per_second_median "$json" >>"$work/${name%% *}.medians"
}

spread() {  # spread LABEL FILE: the medians' range and how far apart they are
  awk -v label="$1" -v runs="$runs" -v seconds="$seconds" '
    NR == 1 || $1 < low { low = $1 } NR == 1 || $1 > high { high = $1 }
    END {
      spread = low > 0 ? 100 * (high / low - 1) : 0
      printf "%s: %d runs of %d s, medians from %.0f to %.0f polygons/s, %.1f %% apart\n",
        label, runs, seconds, low, high, spread
    }' "$2"
}

fixed=""
for run in $(seq 1 "$runs"); do
  # shellcheck disable=SC2086
  run_once "settling $run" ${VIEWER_OPTIONS:-}
  [ -n "$fixed" ] || fixed=$(field copies "$work/settling $run.json")
  run_once "fixed $run" --copies "$fixed"
done
spread "settling count (target: 10 % or less)" "$work/settling.medians"
spread "fixed load of $fixed copies (the machine's own spread)" "$work/fixed.medians"
echo "load average while measuring: $(cut -d' ' -f1-3 /proc/loadavg)"
