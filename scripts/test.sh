#!/usr/bin/env bash
# Sets up and builds, then runs every test: the default build, the tests again
# under AddressSanitizer and UndefinedBehaviorSanitizer, and the Windows DLL's
# tests under Wine. Fails on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
ctest --preset default -j2

cmake --preset sanitize
cmake --build --preset sanitize -j2
ctest --preset sanitize -j2

# The benchmarks are not run here (their figures need a quiet machine), but
# they must keep building.
cmake --preset bench
cmake --build --preset bench -j2

bash scripts/test-windows.sh

# Tests are kept to about a third of the code; everyone sees where they stand.
bash scripts/count-lines.sh
