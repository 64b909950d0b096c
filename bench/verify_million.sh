#!/usr/bin/env bash
# Times `zetmovebill verify` and `verify --repair` on a million bills: half a
# million stock bills with a million entry lines, a quarter million each of
# sales and purchase invoices due over a year, half a million settlements,
# all written with the sqlite3 shell as any other client would.
#   bench/verify_million.sh [ZETMOVEBILL] [DIR]
set -euo pipefail
zet=${1:-build/src/cli/zetmovebill}
dir=${2:-$(mktemp -d)}
db=$dir/million.db
rm -f "$db" "$db"-wal "$db"-shm
"$zet" --db "$db" init >/dev/null
sqlite3 "$db" <<'SQL'
BEGIN;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 500000)
INSERT INTO ICStockBill (FInterID, FTranType, FBillNo, FDate, FBillerID)
SELECT i, i % 5 + 1, 'STK-' || i, '2026-01-01', i % 100 FROM n;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000000)
INSERT INTO ICStockBillEntry (FInterID, FEntryID, FItemID, FQty) SELECT (i + 1) / 2, i % 2 + 1, i % 1000, 1.5 FROM n;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 250000)
INSERT INTO ICSale (FInterID, FBillNo, FPayDate, FStatus, FInvoiceAmountFor)
SELECT i, 'SAL-' || i, date('2026-01-01', '+' || (i % 400) || ' days'), 1, 100.25 + i % 1000 FROM n;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 250000)
INSERT INTO ICPurchase (FInterID, FBillNo, FPayDate, FStatus, FPurchaseAmountFor)
SELECT i, 'PUR-' || i, date('2026-01-01', '+' || (i % 400) || ' days'), 1, 50.5 + i % 700 FROM n;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 500000)
INSERT INTO t_RP_Settlement (FInterID, FTranType, FAmountFor)
SELECT (i + 1) / 2, CASE WHEN i % 4 < 2 THEN 80 ELSE 75 END, 0.1 * (i % 77) FROM n;
COMMIT;
SQL
echo "$(du -h "$db" | cut -f1) file"
/usr/bin/time -f "verify: %e s wall, %U s user, %M KB" "$zet" --db "$db" verify
sqlite3 "$db" "DELETE FROM t_ZetBillRegister WHERE FInterID = 77"
/usr/bin/time -f "verify --repair: %e s wall, %U s user, %M KB" "$zet" --db "$db" verify --repair
