#!/usr/bin/env bash
# Sets up and builds, checks the format, then runs every test: the default
# build, the tests again under AddressSanitizer and UndefinedBehaviorSanitizer,
# the core's tests in 32 bits, a short run of each fuzz target, the install,
# and the Windows DLL's and tool's tests under Wine. Fails on the first failure; says how long each stage took.
set -euo pipefail
cd "$(dirname "$0")/.."

started=$SECONDS
timings=()
stage() {
  local name="$1" from=$SECONDS
  shift
  "$@"
  timings+=("$(printf '%5ds  %s' $((SECONDS - from)) "$name")")
}

# The default build includes the benchmarks (not run here: their figures
# need a quiet machine), so that they keep building.
stage "setup and default build" bash scripts/setup.sh
# One layout for the whole tree: a file that drifts from .clang-format fails
# the run (clang-format comes with setup).
stage "format" bash scripts/check-format.sh
stage "tests" ctest --preset default -j2

sanitize() {
  cmake --preset sanitize
  cmake --build --preset sanitize -j2
  ctest --preset sanitize -j2
}
stage "sanitizers: build and tests" sanitize

stage "32-bit core tests" bash scripts/test-32.sh
stage "fuzz smoke" bash scripts/fuzz.sh --smoke 20000

# cmake --install puts the tool in place.
install_check() {
  rm -rf build/install-check
  cmake --install build --prefix build/install-check --strip >/dev/null
  build/install-check/bin/zetmovebill --help >/dev/null
}
stage "install" install_check

stage "Windows DLL under Wine" bash scripts/test-windows.sh

printf '%s\n' "${timings[@]}"
echo "all stages: $((SECONDS - started))s"
# Tests are kept to about a third of the code; everyone sees where they stand.
bash scripts/count-lines.sh
