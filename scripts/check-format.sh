#!/usr/bin/env bash
# Checks that the tracked C++ sources under src/, tests/ and bench/ are as
# .clang-format lays them out. Changes nothing: prints each file that drifts
# with the number of its lines clang-format would rewrite, and exits 1 if
# there is any. Hand-aligned tables are fenced with clang-format off/on and
# do not count.
#
#   CLANG_FORMAT=clang-format-14  the formatter to use (default clang-format)
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root" || exit 2
formatter="${CLANG_FORMAT:-clang-format}"
if ! command -v "$formatter" >/dev/null; then
  echo "check-format: $formatter not found (Debian package clang-format, installed by scripts/setup.sh)" >&2
  exit 2
fi

mapfile -d '' files < <(git ls-files -z -- 'src/*.cpp' 'src/*.hpp' 'src/*.h' 'tests/*.cpp' 'tests/*.hpp' \
  'tests/*.h' 'bench/*.cpp' 'bench/*.hpp' 'bench/*.h')
if [ ${#files[@]} -eq 0 ]; then
  echo "check-format: no C++ files found under src/, tests/ or bench/" >&2
  exit 2
fi

formatted="$(mktemp)"
trap 'rm -f "$formatted"' EXIT

drifting=0
for file in "${files[@]}"; do
  "$formatter" --dry-run -Werror "$file" >/dev/null 2>&1 && continue
  # Either the file drifts or the formatter failed on it; only a difference
  # to the formatted text counts as drift.
  if ! "$formatter" "$file" >"$formatted"; then
    echo "check-format: $formatter failed on $file" >&2
    exit 2
  fi
  # The larger of the lines taken out and the lines put in, so that a change
  # that only inserts or only removes lines counts too.
  lines=$(diff "$file" "$formatted" | awk '
    /^</ { removed++ } /^>/ { added++ }
    END { print (removed > added ? removed : added) + 0 }')
  [ "$lines" -eq 0 ] && continue
  if [ "$lines" -eq 1 ]; then echo "$file: 1 line drifts"; else echo "$file: $lines lines drift"; fi
  drifting=$((drifting + 1))
done

if [ "$drifting" -gt 0 ]; then
  echo "check-format: $drifting of ${#files[@]} files drift from .clang-format (clang-format -i FILE fixes one)"
  exit 1
fi
echo "check-format: all ${#files[@]} files as .clang-format lays them out"
