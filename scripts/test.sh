#!/usr/bin/env bash
# Sets up and builds, then runs every test: the default build, the tests again
# under AddressSanitizer and UndefinedBehaviorSanitizer, the core's tests in 32
# bits, a short run of each fuzz target, the install, and the Windows DLL's
# tests under Wine. Fails on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
ctest --preset default -j2

cmake --preset sanitize
cmake --build --preset sanitize -j2
ctest --preset sanitize -j2

bash scripts/test-32.sh
bash scripts/fuzz.sh --smoke 20000

# cmake --install puts the tool in place.
rm -rf build/install-check
cmake --install build --prefix build/install-check >/dev/null
build/install-check/bin/zetmovebill --help >/dev/null

# The benchmarks are not run here (their figures need a quiet machine), but
# they must keep building.
cmake --preset bench
cmake --build --preset bench -j2

bash scripts/test-windows.sh

# Tests are kept to about a third of the code; everyone sees where they stand.
bash scripts/count-lines.sh
