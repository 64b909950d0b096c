#!/bin/bash
# init --demo --force over a good database with the Nth write or sync failing,
# every STEP-th N: exit 0 with a whole database (integrity check, all bills),
# or exit 4 in one line with the old file byte for byte and nothing beside it.
# The same with the process interrupted there instead of the call failing.
# Then each read of a lookup failing in turn on that healthy file: the answer,
# or a failure that does not call the file damaged.
# Usage: init_fault_sweep.sh ZETMOVEBILL SHIM [STEP]
exe=$1 step=${3:-3}
export LD_PRELOAD=$2 ASAN_OPTIONS=verify_asan_link_order=0
dir=$(mktemp -d) && trap 'rm -rf "$dir"' EXIT && cd "$dir" || exit 1
"$exe" --db old.db init >/dev/null || exit 1
calls=$(ZET_FAULT_REPORT=1 "$exe" --db whole.db init --demo 2>&1 >/dev/null | cut -d' ' -f1)
# A program the shim cannot reach (one linked statically) would pass unswept.
[[ $calls =~ ^[1-9][0-9]*$ ]] || { echo "the shim counted no writes of $exe"; exit 1; }
bills=$(LD_PRELOAD= sqlite3 whole.db 'SELECT count(*) FROM ICStockBill')
wrong=0
for ((n = 1; n <= calls; n += step)); do
  rm -f t.db* && cp old.db t.db
  ZET_FAIL_AT=$n "$exe" --db t.db init --demo --force >/dev/null 2>err
  status=$? why=
  if ls | grep -q building; then why="left $(ls | grep building)"
  elif [ $status = 0 ]; then
    [ "$(LD_PRELOAD= sqlite3 t.db 'PRAGMA integrity_check; SELECT count(*) FROM ICStockBill')" = $'ok\n'"$bills" ] ||
      why="exit 0 but the new file is not whole"
  elif [ $status != 4 ] || [ "$(wc -l <err)" != 1 ] || ! cmp -s old.db t.db || [ -e t.db-wal ]; then
    why="exit $status, the old file $(cmp -s old.db t.db && echo kept || echo changed): $(head -2 err)"
  fi
  [ -n "$why" ] && wrong=$((wrong + 1)) && echo "write $n: $why"
done
# Interrupted (SIGINT) at the Nth write or sync instead: the process ends by
# the signal, silent, with the old file or a whole new one in place and
# nothing beside it.
for ((n = 1; n <= calls; n += 3 * step)); do
  rm -f t.db* && cp old.db t.db
  ZET_FAIL_AT=$n ZET_SIGNAL=2 "$exe" --db t.db init --demo --force >/dev/null 2>err
  status=$? kept=$(cmp -s old.db t.db && echo old || LD_PRELOAD= sqlite3 t.db 'PRAGMA integrity_check; SELECT count(*) FROM ICStockBill')
  if [ $status != 130 ] || [ -s err ] || ls | grep -q building || { [ "$kept" != old ] && [ "$kept" != $'ok\n'"$bills" ]; }; then
    wrong=$((wrong + 1)) && echo "signal at write $n: exit $status, left $(ls | tr '\n' ' ')"
  fi
done
reads=$(ZET_FAULT_REPORT=1 "$exe" --db whole.db --user 16394 first 1 2>&1 >/dev/null | cut -d' ' -f2)
for ((n = 1; n <= reads; n++)); do
  out=$(ZET_FAIL_READ_AT=$n "$exe" --db whole.db --user 16394 first 1 2>&1)
  [ "$out" = "first bill of kind 1: 1001" ] || ! grep -Eq "damaged|malformed" <<<"$out" ||
    { wrong=$((wrong + 1)) && echo "read $n: $out"; }
done
echo "init with write N of $calls failing, every $step (interrupted, every $((3 * step))); a lookup with read N of $reads failing: $wrong wrong"
[ "$calls" -gt 100 ] && [ "$reads" -gt 5 ] && [ $wrong = 0 ]
