#!/usr/bin/env bash
# Sets up and builds, then takes the tour of the demo database (made in
# demo.db at the top of the tree the first time).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
./build/src/cli/zetmovebill --db demo.db demo
