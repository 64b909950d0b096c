#!/usr/bin/env bash
# Builds the libFuzzer targets (cmake --preset fuzz: clang, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs them:
#
#   scripts/fuzz.sh TARGET SECONDS   one target for that long
#   scripts/fuzz.sh --smoke [RUNS]   every target for RUNS executions (20000)
#
# Targets: tsql_adapter, variant_text, props_string, arguments. Each starts from
# its seed corpus in tests/fuzz/corpus/TARGET; what it finds new is kept in
# build-fuzz/corpus/TARGET, and a crashing input is written to build-fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
targets=(tsql_adapter variant_text props_string arguments)

usage() {
  echo "usage: scripts/fuzz.sh TARGET SECONDS | scripts/fuzz.sh --smoke [RUNS]; targets: ${targets[*]}" >&2
  exit 2
}
[ $# -ge 1 ] || usage
if [ "$1" != --smoke ]; then
  [ $# -eq 2 ] && [[ " ${targets[*]} " == *" $1 "* ]] && [[ "$2" =~ ^[0-9]+$ ]] || usage
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 >/dev/null

run() {
  local target="$1"
  shift
  mkdir -p "build-fuzz/corpus/$target"
  (cd build-fuzz && "./tests/fuzz/fuzz_$target" "$@" "corpus/$target" "../tests/fuzz/corpus/$target")
}

if [ "$1" == --smoke ]; then
  runs="${2:-20000}"
  for target in "${targets[@]}"; do
    echo "fuzz $target: $runs executions"
    # A fixed seed: the same executions every time, so a failure here repeats.
    if ! run "$target" -seed=1 -runs="$runs" >"build-fuzz/$target.log" 2>&1; then
      tail -40 "build-fuzz/$target.log"
      echo "fuzz $target failed (log: build-fuzz/$target.log)" >&2
      exit 1
    fi
    grep '^Done' "build-fuzz/$target.log"
  done
else
  run "$1" -max_total_time="$2"
fi
