#!/usr/bin/env bash
# Prints the non-blank lines of every file under tests/ (code, scripts, build
# files and data alike) against those of every file under src/, and their
# ratio.
set -euo pipefail
cd "$(dirname "$0")/.."
count() { find "$1" -type f -print0 | xargs -0 awk '/[^[:space:]]/ { n++ } END { print n + 0 }'; }
tests=$(count tests)
code=$(count src)
echo "tests: $tests non-blank lines; src: $code; ratio $(awk -v t="$tests" -v c="$code" 'BEGIN { printf "%.1f%%", 100 * t / c }')"
