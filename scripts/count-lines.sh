#!/usr/bin/env bash
# Prints the non-blank lines under tests/ (every file but CMakeLists.txt)
# against those of the sources under src/, and their ratio.
set -euo pipefail
cd "$(dirname "$0")/.."
count() { if [ $# -eq 0 ]; then echo 0; else cat "$@" | grep -cv '^[[:space:]]*$' || true; fi; }
mapfile -d '' test_files < <(find tests -type f ! -name CMakeLists.txt -print0)
mapfile -d '' src_files < <(find src -type f \( -name '*.cpp' -o -name '*.hpp' -o -name '*.h' -o -name '*.idl' \
  -o -name '*.in' -o -name '*.def' -o -name '*.rc' -o -name '*.pl' \) -print0)
tests=$(count "${test_files[@]}")
code=$(count "${src_files[@]}")
echo "tests: $tests non-blank lines; src: $code; ratio $(awk -v t="$tests" -v c="$code" 'BEGIN { printf "%.1f%%", 100 * t / c }')"
