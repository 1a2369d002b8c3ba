#!/usr/bin/env bash
# Checks the house style over every C++ source of the tree:
#   check-style.sh format SOURCE_DIR          clang-format finds nothing to change
#   check-style.sh braces SOURCE_DIR BUILD_DIR every control statement has braces
# The braces check runs clang-tidy, with BUILD_DIR's compilation database, on every
# .cpp file of the tree and the headers they include.
set -euo pipefail
mode=$1
source_dir=$(cd "$2" && pwd)
cd "$source_dir"

folders=(archive raster render tools app tests bench fuzz)
existing=()
for folder in "${folders[@]}"; do
  [ -d "$folder" ] && existing+=("$folder")
done

case $mode in
format)
  mapfile -t files < <(git ls-files -- "${existing[@]}" | grep -E '\.(cpp|h)$')
  clang-format --dry-run --Werror "${files[@]}"
  echo "clang-format: ${#files[@]} files as formatted"
  ;;
braces)
  build_dir=$(cd "$3" && pwd)
  pattern=$(IFS='|'; echo "${existing[*]}")
  # Files missing from the database (the fuzz targets) borrow a neighbour's flags.
  mapfile -t units < <(git ls-files -- "${existing[@]}" | grep -E '\.cpp$')
  log=$(mktemp)
  trap 'rm -f "$log"' EXIT
  printf '%s\n' "${units[@]/#/$source_dir/}" | xargs -P 2 -n 4 clang-tidy -p "$build_dir" --quiet \
    --checks='-*,readability-braces-around-statements' --warnings-as-errors='*' \
    --header-filter="^$source_dir/($pattern)/" >"$log" 2>&1 || true
  if grep -q 'warning:\|error:' "$log"; then
    grep 'warning:\|error:' "$log" | sort -u
    echo "clang-tidy: statements without braces (fix with clang-tidy --fix)"
    exit 1
  fi
  echo "clang-tidy: braces around every statement in ${#units[@]} files"
  ;;
*)
  echo "usage: check-style.sh format SOURCE_DIR | braces SOURCE_DIR BUILD_DIR" >&2
  exit 2
  ;;
esac
