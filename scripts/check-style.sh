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

folders=(io archive raster render pictures tools serve app tests bench fuzz)
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
  # A file passed before is checked again only when it or any header changed: the
  # cache in the build folder lists the passed files by content.
  cache=$build_dir/style-braces.passed
  touch "$cache"
  headers=$(git ls-files -- "${existing[@]}" | grep -E '\.h$' | xargs cat | sha1sum | cut -c1-40)
  pending=()
  keys=()
  for unit in "${units[@]}"; do
    key="$(sha1sum <"$unit" | cut -c1-40)-$headers"
    if ! grep -qx "$key" "$cache"; then
      pending+=("$source_dir/$unit")
      keys+=("$key")
    fi
  done
  log=$(mktemp)
  trap 'rm -f "$log"' EXIT
  if [ ${#pending[@]} -gt 0 ]; then
    printf '%s\n' "${pending[@]}" | xargs -P 2 -n 4 clang-tidy -p "$build_dir" --quiet \
      --checks='-*,readability-braces-around-statements' --warnings-as-errors='*' \
      --header-filter="^$source_dir/($pattern)/" >"$log" 2>&1 || true
  fi
  if grep -q 'warning:\|error:' "$log"; then
    grep 'warning:\|error:' "$log" | sort -u
    echo "clang-tidy: statements without braces (fix with clang-tidy --fix)"
    exit 1
  fi
  if [ ${#keys[@]} -gt 0 ]; then
    printf '%s\n' "${keys[@]}" >>"$cache"
  fi
  echo "clang-tidy: braces around every statement in ${#units[@]} files (${#pending[@]} checked now)"
  ;;
*)
  echo "usage: check-style.sh format SOURCE_DIR | braces SOURCE_DIR BUILD_DIR" >&2
  exit 2
  ;;
esac
