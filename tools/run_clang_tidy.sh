#!/usr/bin/env bash
# Runs clang-tidy (the checks of .clang-tidy) over the engine's sources, the
# libraries, programs and sample-data generators, with a build's compile
# database; any finding fails. Tests, benchmarks and fuzzers are left out.
# Usage: tools/run_clang_tidy.sh BUILD [FILE-REGEX]
#   BUILD was configured with -DCMAKE_EXPORT_COMPILE_COMMANDS=ON.
set -uo pipefail
[ $# -ge 1 ] || { echo "usage: tools/run_clang_tidy.sh BUILD [FILE-REGEX]" >&2; exit 2; }
cd "$(dirname "$0")/.." || exit 1
build=$1
regex=${2:-.}
database=$build/compile_commands.json
[ -f "$database" ] || { echo "run_clang_tidy.sh: no $database (configure with -DCMAKE_EXPORT_COMPILE_COMMANDS=ON)" >&2; exit 1; }
command -v clang-tidy >/dev/null || { echo "run_clang_tidy.sh: clang-tidy is not installed (run tools/setup.sh)" >&2; exit 1; }
jobs=$(nproc 2>/dev/null || echo 2)

files=$(python3 - "$database" "$PWD" "$regex" <<'PY'
import json, re, sys
database, root, regex = sys.argv[1], sys.argv[2] + "/", re.compile(sys.argv[3])
seen = set()
for entry in json.load(open(database)):
    path = entry["file"]
    relative = path[len(root):] if path.startswith(root) else None
    if relative and relative.split("/")[0] in ("core", "gl", "importer", "app", "samples") and regex.search(relative):
        seen.add(relative)
print("\n".join(sorted(seen)))
PY
)
count=$(printf '%s\n' "$files" | grep -c .)
output=$(printf '%s\n' "$files" | xargs -P "$jobs" -n 4 clang-tidy -p "$build" --quiet --warnings-as-errors='*' 2>&1)
status=$?
printf '%s\n' "$output" | grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$|^Suppressed [0-9]+ warnings|^Use -header-filter|^Error while processing' || true
if [ $status -ne 0 ]; then
  echo "run_clang_tidy.sh: findings in the $count files checked (above)"
  exit 1
fi
echo "run_clang_tidy.sh: $count files, no findings"
