#!/usr/bin/env bash
# Sets up and builds, then runs every test: the default build, the tests again
# under AddressSanitizer and UndefinedBehaviorSanitizer, and the Windows DLL's
# tests when their script is there. Fails on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
ctest --preset default -j2

cmake --preset sanitize
cmake --build --preset sanitize -j2
ctest --preset sanitize -j2

if [ -f scripts/test-windows.sh ]; then
  bash scripts/test-windows.sh
fi
