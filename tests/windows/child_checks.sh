# Sourced by run_wine_tests.sh: the commands that run other programs as
# children (the model library within its limits, orj view, orj bench),
# checked under Wine. Uses check, wine_run, windows_path and same_within
# (user_checks.sh), $scratch (with the Linux references), $linux_build and
# $dist from run_wine_tests.sh.

# left_in_temp PATTERN: the folders named PATTERN left in the users'
# temporary folders (C:\users\NAME\Temp, or ...\AppData\Local\Temp), where
# orj view and orj bench compare make their private ones.
left_in_temp() {
  find "$WINEPREFIX/drive_c/users" -maxdepth 5 -type d -name "$1" 2>/dev/null
}

# The fuzzer's regressions of the model library (first byte: the format): a
# crash, an endless loop and a runaway allocation each end the command with
# status 1, the model named with the cause, and no file left. Wine enforces
# no job limit: the loop is ended by the child's own watch of its processor
# time, the allocation by the caller's watch of the child's memory. Nesting
# that overflows a usual stack imports on the library's own.
check_model_library_limits() {
  local dir="$scratch/limits" extensions=(ply x gltf glb) name said model status
  mkdir -p "$dir"
  while IFS='|' read -r name said; do
    model="$dir/model.${extensions[$(od -An -tu1 -N1 "fuzz/regressions/model_library/$name" | tr -d ' ')]}"
    tail -c +2 "fuzz/regressions/model_library/$name" >"$model"
    wine_run 120 "$dist/orj.exe" import "$(windows_path "$model")" -o "$(windows_path "$dir/out.orj")" \
      --max-cpu 2 --max-memory 512 >/dev/null 2>"$scratch/limits-$name.err"
    status=$?
    grep -qF "the model library failed on $(windows_path "$model"): $said" "$scratch/limits-$name.err" &&
      [ "$(ls -A "$dir")" = "$(basename "$model")" ]
    check $(( status != 1 || $? != 0 )) "orj.exe import $name: status $status, \"$said\", no file left"
    rm -f "$model"
  done <<'CASES'
binary_ply_crash|it ended with access violation (exception 0xC0000005)
ascii_ply_endless_loop|it used up its 2 s of processor time
binary_x_runaway_memory|it ran out of memory within its limit of 512 MB
CASES
  { echo 'xof 0303txt 0032'; yes 'Frame f {' | head -n 40000; yes '}' | head -n 80000 | tr -d '\n'; } >"$dir/frames.x"
  wine_run 120 "$dist/orj.exe" import "$(windows_path "$dir/frames.x")" -o "$(windows_path "$dir/out.orj")" \
    >/dev/null 2>"$scratch/limits-frames.err"
  status=$?
  grep -q "nothing to draw" "$scratch/limits-frames.err"
  check $(( status != 1 || $? != 0 )) "orj.exe import of 40000 nested frames: read through on the library's stack, status $status, nothing to draw"
}

# orj.exe view imports the model and shows it as Linux's orj view does, and
# removes its private folder.
check_view() {
  local model=/usr/share/assimp/models/Collada/duck.dae status
  timeout 120 "$linux_build/app/orj" view "$model" --passes 50 --screenshot "$scratch/linux/view.png" >/dev/null 2>&1 ||
    check 1 "Linux orj view"
  wine_run 120 "$dist/orj.exe" view "$(windows_path "$model")" --passes 50 \
    --screenshot "$(windows_path "$scratch/view.png")" >/dev/null 2>"$scratch/view.err"
  status=$?
  cmp -s "$scratch/view.png" "$scratch/linux/view.png" && [ -z "$(left_in_temp 'orj-view-*')" ]
  check $(( status != 0 || $? != 0 )) "orj.exe view duck.dae: status $status, screenshot equals Linux's, its folder removed"
}

# A benchmark run kept in a history, listed by orj.exe bench history; orj.exe
# bench compare runs the viewer in turns and gives its verdict.
check_bench() {
  local db status history runs
  db=$(windows_path "$scratch/runs.sqlite")
  wine_run 90 "$dist/viewer.exe" --seconds 2 --quiet --results-db "$db" >/dev/null 2>"$scratch/bench-run.err"
  status=$?
  wine_run 60 "$dist/orj.exe" bench history --db "$db" --json >"$scratch/bench-history.json" 2>"$scratch/bench-history.err"
  history=$?
  runs=$(grep -o '"polygons_per_second_median"' "$scratch/bench-history.json" | wc -l)
  check $(( status != 0 || history != 0 || runs != 1 )) "viewer.exe --results-db, orj.exe bench history --json: statuses $status and $history, $runs run kept"

  wine_run 300 "$dist/orj.exe" bench compare --runs 6 --seconds 1 --copies 4 --quiet "" "" \
    >"$scratch/bench-compare.out" 2>"$scratch/bench-compare.err"
  status=$?
  grep -q '^B/A [0-9.]*, 95 % interval' "$scratch/bench-compare.out" && grep -q '^verdict: ' "$scratch/bench-compare.out" &&
    [ -z "$(left_in_temp 'orj-compare-*')" ]
  check $(( status != 0 || $? != 0 )) "orj.exe bench compare, 6 runs each: status $status, $(grep '^verdict' "$scratch/bench-compare.out" | tr -d '\r'), its folder removed"
}
