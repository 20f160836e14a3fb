#!/usr/bin/env bash
# Builds the API documentation (docs/Doxyfile) into a temporary folder and
# fails on any warning: a public type, function or member without its
# comment, a comment Doxygen cannot read, or a setting it does not know.
# Headers on the PENDING list below are reported, not failed, until they are
# documented; take each off the list once it is.
# Usage: tools/check_docs.sh [OUTPUT_DIR]   (OUTPUT_DIR keeps the HTML)
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1

# Headers (or folders, ending in /) still to be documented.
PENDING=(
)

command -v doxygen >/dev/null || { echo "check_docs.sh: doxygen is not installed (run tools/setup.sh)" >&2; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
output=${1:-$scratch}
mkdir -p "$output"
version=$(sed -n 's/^project(orj VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
# Warnings about the settings come on standard error, before the log is open.
ORJ_VERSION=$version ORJ_DOCS_OUTPUT=$output ORJ_DOCS_WARNINGS=$scratch/warnings.txt doxygen docs/Doxyfile \
  2>"$scratch/stderr.txt" || { cat "$scratch/stderr.txt" >&2; echo "check_docs.sh: doxygen failed" >&2; exit 1; }

pending() {  # pending FILE: whether FILE is on the list
  local entry
  for entry in "${PENDING[@]}"; do
    case $entry in
    */) [[ $1 == "$entry"* ]] && return 0 ;;
    *) [ "$1" = "$entry" ] && return 0 ;;
    esac
  done
  return 1
}

# Warnings start "PATH:LINE: warning:" (or "warning:" when about no file); a
# warning's further lines are indented.
failed=0
declare -A pending_count=()
while IFS= read -r line; do
  path=${line%%:*}
  path=${path#"$PWD/"}
  if [[ $line == *": warning: "* ]] && pending "$path"; then
    pending_count[$path]=$((${pending_count[$path]:-0} + 1))
  elif [[ $line == *": warning: "* || $line == *": error: "* || $line == warning:* || $line == error:* ]]; then
    echo "${line#"$PWD/"}"
    failed=1
  fi
done < <(sort -u "$scratch/warnings.txt" "$scratch/stderr.txt")

for path in $(printf '%s\n' "${!pending_count[@]}" | sort); do
  echo "pending: $path (${pending_count[$path]} undocumented)"
done
for entry in "${PENDING[@]}"; do
  [[ $entry == */ ]] && continue
  [ -n "${pending_count[$entry]:-}" ] || [ ! -f "$entry" ] || echo "note: $entry is documented now; take it off PENDING"
done
documented=$(find include/orj -name '*.h' | while read -r h; do pending "$h" || echo "$h"; done | wc -l)
if [ $failed -ne 0 ]; then
  echo "check_docs.sh: Doxygen warned (above): undocumented names, unreadable comments or settings"
  exit 1
fi
echo "check_docs.sh: $documented headers documented, ${#pending_count[@]} pending"
