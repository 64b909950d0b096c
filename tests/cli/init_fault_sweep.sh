#!/bin/bash
# init --demo --force over a good database with one write or sync failing at
# call N, for every STEP-th N: each run must either exit 0 with a complete
# database that passes the integrity check, or exit 4 with one line, the old
# file byte for byte as it was, and nothing of the new one left beside it.
# Usage: init_fault_sweep.sh ZETMOVEBILL SHIM [STEP]
exe=$1 shim=$2 step=${3:-3}
# The shim is preloaded into sanitized builds too.
export ASAN_OPTIONS=verify_asan_link_order=0
dir=$(mktemp -d) && trap 'rm -rf "$dir"' EXIT && cd "$dir" || exit 1
"$exe" --db old.db init >/dev/null || exit 1
calls=$(ZET_FAULT_REPORT=1 LD_PRELOAD=$shim "$exe" --db whole.db init --demo 2>&1 >/dev/null | tail -1 | cut -d' ' -f1)
bills=$(sqlite3 whole.db 'SELECT count(*) FROM ICStockBill')
runs=0 wrong=0
for ((n = 1; n <= calls; n += step)); do
  rm -f t.db*; cp old.db t.db
  LD_PRELOAD=$shim ZET_FAIL_AT=$n "$exe" --db t.db init --demo --force >/dev/null 2>err
  status=$? runs=$((runs + 1)) why=
  if ls -a | grep -q building; then why="left $(ls -a | grep building | head -1)"
  elif [ $status = 0 ]; then
    [ "$(sqlite3 t.db 'PRAGMA integrity_check; SELECT count(*) FROM ICStockBill' 2>&1)" = $'ok\n'"$bills" ] ||
      why="exit 0 but the new file is not whole"
  elif [ $status = 4 ]; then
    [ "$(wc -l <err)" = 1 ] || why="$(wc -l <err) lines on standard error"
    cmp -s old.db t.db && [ ! -e t.db-wal ] || why="exit 4 but the old file changed"
  else why="exit $status: $(head -1 err)"
  fi
  [ -n "$why" ] && wrong=$((wrong + 1)) && echo "call $n: $why"
done
echo "init with call N of $calls failing, every $step: $runs runs, $wrong wrong"
# Each read of a lookup failing in turn, on the healthy file just made: the
# answer, or a failure that does not call the file damaged.
reads=$(ZET_FAULT_REPORT=1 LD_PRELOAD=$shim "$exe" --db whole.db --user 16394 first 1 2>&1 >/dev/null | cut -d' ' -f2)
misread=0
for ((n = 1; n <= reads; n++)); do
  out=$(LD_PRELOAD=$shim ZET_FAIL_READ_AT=$n "$exe" --db whole.db --user 16394 first 1 2>&1)
  [ "$out" = "first bill of kind 1: 1001" ] || ! grep -Eq "damaged|malformed" <<<"$out" ||
    { misread=$((misread + 1)) && echo "read $n: $out"; }
done
echo "a lookup with read N of $reads failing: $misread called the file damaged"
[ "$calls" -gt 100 ] && [ "$reads" -gt 5 ] && [ $((wrong + misread)) = 0 ]
