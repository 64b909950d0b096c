// Whole method calls on the embedded host against the same statements run
// on the same connection, over 10 thousand, 100 thousand and a million bills
// (and more, given as sizes).
//
// The bills: half of them stock bills (five transaction types, two entry
// lines each), the other half spread evenly over the fifteen other bill
// tables, with entry lines and settlements. Orders, invoices and other bills
// carry 490 days of history up to 9 days ahead; one line in a hundred is
// still open (undelivered, half settled), the rest are closed; above a
// million bills the same number stays open, so that only history grows.
// Restricted users see nine in ten base items; three more see 4% of the
// bills or none. 10 thousand users with 20 recent bills each.
//
// For each call it prints the median thread CPU time of the whole call
// (rights lookups, catalogue, adapter, SQLite, recordsets); the baseline:
// the same statements (the text the adapter makes of them, with its values
// written in) prepared once and stepped to the end on the same connection,
// and the ratio of the two; the same again with the reads of the call in one
// read transaction, ended before a write, as the host runs a method call
// ("in one txn"), and that ratio; the same statements prepared, stepped and
// finalized each time ("bare") and that ratio; the SQLite virtual-machine
// steps of the whole call; the most memory SQLite took during the calls
// beyond what the connection already held ("peak MB"). CPU time and steps
// hardly depend on how loaded the machine is; wall time does, and is shown
// only for the batch.
//
// Then, per size: one B-tree seek (the baseline of the administrator's next
// bill); whole runs of the command line for three calls (CPU of the process,
// user and system, against the same call made in this process; "peak MB" is
// the run's largest resident set); and 30 thousand of the administrator's
// next bills through one `zetmovebill batch`.
//
// Usage: host_bench [--only TEXT]... [SIZE ...]   (default 10000 100000 1000000)
//   --only: the rows whose name contains TEXT (any of them, when repeated)
// The databases are built once under $TMPDIR (or /tmp) as
// zet-host-bench-SIZE-STAMP.db and reused while the schema and the data
// script stay as they are (STAMP is taken from both); delete them to rebuild.

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/console_toolbar.hpp"
#include "component/cls_move_bill.hpp"
#include "embedded/database.hpp"
#include "embedded/embedded_host.hpp"
#include "embedded/schema.hpp"
#include "embedded/tsql_adapter.hpp"

namespace {

using zet::Variant;
using zet::embedded::EmbeddedPlatform;

constexpr const char* kToday = "2026-06-01";
constexpr int kRecentUsers = 10'000;
constexpr int kFirstRecentUser = 100'000;

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// Every table filled by one INSERT ... SELECT over a counter; @S is the
// number of stock bills, @M the bills of each other table, @T the day.
constexpr const char* kPopulate = R"sql(
PRAGMA synchronous=OFF;
BEGIN;
CREATE TEMP TABLE k(i INTEGER PRIMARY KEY);
WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < @S) INSERT INTO k SELECT i FROM c;
INSERT INTO t_Group (FUserID, FGroupID) VALUES (1, 1), (16, 2), (17, 2), (25, 2);
INSERT INTO t_User (FUserID, FName, FUserGroupRight, FDataRight) VALUES
  (1, 'admin', 0, 0), (16, 'own bills', 2, 0), (17, 'group bills', 1, 0), (21, 'customers', 0, 1),
  (22, 'suppliers', 0, 2), (24, 'stocks', 0, 4), (25, 'customers suppliers stocks', 0, 7),
  (28, 'accounts', 0, 8), (99, 'no stock at all', 0, 4), (31, 'few customers', 0, 1), (32, 'no customer', 0, 1),
  (34, 'few stocks', 0, 4);
-- The accounts user may check and sign vouchers and sees both counts.
INSERT INTO t_AccessControl (FUserID, FObjectType, FObjectID, FAccessMask) VALUES (28, 4, 0, 41), (28, 0, 0, 131072);
INSERT INTO t_User (FUserID, FName) SELECT @R + i, 'recent ' || i FROM k WHERE i <= @U;
INSERT INTO t_SystemProfile (FCategory, FKey, FValue) VALUES
  ('IC', 'PurchaseAlarmDateCount', '7'), ('IC', 'APAlarmDateCount', '5'),
  ('IC', 'SaleAlarmDateCount', '7'), ('IC', 'ARAlarmDateCount', '5'), ('GL', 'CashBeforePost', '1');
-- Nine in ten of the base data rows are visible to the restricted users.
INSERT INTO t_Organization (FItemID, FRightUserID)
  SELECT i, CASE WHEN i % 10 = 0 THEN '1' ELSE '1,16,17,21,22,24,25,28' END FROM k WHERE i <= 100;
INSERT INTO t_supplier (FItemID, FRightUserID) SELECT FItemID, FRightUserID FROM t_Organization;
INSERT INTO t_Stock (FItemID, FRightUserID) SELECT FItemID, FRightUserID FROM t_Organization;
INSERT INTO t_Account (FAccountID, FRightUserID) SELECT FItemID, FRightUserID FROM t_Organization;
-- Sparse rights: user 31 sees one customer in 25 (4% of the bills), user
-- 34 one stock in 5 (a stock bill has two, and sees 6% of them). The users
-- of the stock right who see nine in ten stocks see 77% of the stock bills.
UPDATE t_Organization SET FRightUserID = FRightUserID || ',31' WHERE FItemID % 25 = 0;
UPDATE t_Stock SET FRightUserID = FRightUserID || ',34' WHERE FItemID % 5 = 0;
-- Preparers: users 16, 17 and 25 make one bill in 53 each, of every kind.
CREATE TEMP VIEW b AS SELECT i, CASE i % 53 WHEN 0 THEN 16 WHEN 1 THEN 17 WHEN 2 THEN 25 ELSE 1000 + i % 53 END AS u,
  1 + i % 100 AS c, 1 + (i / 3) % 100 AS s, date('@T', ((i * 7919) % 500 - 490) || ' days') AS d,
  (i % 1000) / 100.0 + 0.8 AS a, i % @P = 0 AS o FROM k;
-- The type follows i % 5, so the customer (and first stock) of a stock bill
-- follows i / 5: each type's bills run through every customer, and the
-- shares of visible bills above hold within each type.
INSERT INTO ICStockBill (FInterID, FTranType, FBillNo, FBillerID, FCustID, FSupplyID)
  SELECT i, CASE i % 5 WHEN 0 THEN 1 WHEN 1 THEN 2 WHEN 2 THEN 5 WHEN 3 THEN 10 ELSE 21 END, 'S' || i, u,
    1 + (i / 5) % 100, s FROM b;
INSERT INTO ICStockBillEntry (FInterID, FEntryID, FDCStockID, FSCStockID) SELECT i, 1, 1 + (i / 5) % 100, 0 FROM b;
INSERT INTO ICStockBillEntry (FInterID, FEntryID, FDCStockID, FSCStockID) SELECT i, 2, 0, 1 + (i / 7) % 100 FROM b;
INSERT INTO ICBom (FInterID, FBillNo, FCheckID) SELECT i, 'BOM' || i, u FROM b WHERE i <= @M;
INSERT INTO ICBomChild (FInterID, FEntryID, FStockID) SELECT i, 1, c FROM b WHERE i <= @M;
INSERT INTO t_RP_CheckInfo (FInterID, FBillNo, FPreparer, FCustomerID, FVendorID)
  SELECT i, 'CHK' || i, u, c, s FROM b WHERE i <= @M;
INSERT INTO POOrder (FInterID, FBillNo, FBillerID, FSupplyID, FStatus) SELECT i, 'PO' || i, u, s, 1 FROM b WHERE i <= @M;
INSERT INTO POOrderEntry (FInterID, FEntryID, FDate, FQty, FStockQty)
  SELECT i, 1, d, 10, CASE WHEN o THEN 5 ELSE 10 END FROM b WHERE i <= @M;
INSERT INTO ICPurchase (FInterID, FBillNo, FBillerID, FSupplyID, FPayDate, FStatus, FPurchaseAmountFor)
  SELECT i, 'PI' || i, u, s, d, 1, a FROM b WHERE i <= @M;
INSERT INTO ICSale (FInterID, FBillNo, FBillerID, FCustID, FPayDate, FStatus, FInvoiceAmountFor)
  SELECT i, 'SI' || i, u, c, d, 1, a FROM b WHERE i <= @M;
INSERT INTO SEOrder (FInterID, FBillNo, FBillerID, FCustID, FStatus) SELECT i, 'SO' || i, u, c, 1 FROM b WHERE i <= @M;
INSERT INTO SEOrderEntry (FInterID, FEntryID, FDate, FQty, FStockQty)
  SELECT i, 1, d, 10, CASE WHEN o THEN 5 ELSE 10 END FROM b WHERE i <= @M;
INSERT INTO PORFQ (FInterID, FBillNo, FBillerID, FCustID) SELECT i, 'RFQ' || i, u, c FROM b WHERE i <= @M;
INSERT INTO ICMO (FInterID, FBillNo, FBillerID) SELECT i, 'MO' || i, u FROM b WHERE i <= @M;
INSERT INTO ICApportionFee (FInterID, FBillNo, FBillerID, FAmount) SELECT i, 'AF' || i, u, a FROM b WHERE i <= @M;
INSERT INTO t_Voucher (FVoucherID, FNumber, FPreparerID, FCheckerID, FCashierID)
  SELECT i, 'V' || i, u, CASE WHEN i % @P = 0 THEN -1 ELSE 1 END, CASE WHEN i % @P = 1 THEN -1 ELSE 1 END
  FROM b WHERE i <= @M;
INSERT INTO t_VoucherEntry (FVoucherID, FEntryID, FAccountID, FAmount) SELECT i, 1, c, a FROM b WHERE i <= @M;
INSERT INTO t_RP_RBill (FBillID, FBillNo, FPreparer, FCustomerID, FAcctID, FAmountFor)
  SELECT i, 'RB' || i, u, c, s, a FROM b WHERE i <= @M;
INSERT INTO t_RP_PBill (FBillID, FBillNo, FPreparer, FSupplyID, FAcctID, FAmountFor)
  SELECT i, 'PB' || i, u, s, c, a FROM b WHERE i <= @M;
INSERT INTO t_RP_ROtherBill (FBillID, FBillNo, FPreparer, FCustomerID, FAcctID, FLimitDate, FStatus, FAmountFor)
  SELECT i, 'RO' || i, u, c, s, d, 1, a FROM b WHERE i <= @M;
INSERT INTO t_RP_POtherBill (FBillID, FBillNo, FPreparer, FSupplyID, FAcctID, FLimitDate, FStatus, FAmountFor)
  SELECT i, 'PO' || i, u, s, c, d, 1, a FROM b WHERE i <= @M;
INSERT INTO ICChange (FID, FBillNo, FBillerID) SELECT i, 'CH' || i, u FROM b WHERE i <= @M;
INSERT INTO ICChangeEntry (FID, FEntryID, FDCStockID) SELECT i, 1, c FROM b WHERE i <= @M;
-- Every invoice and other bill is settled in full but the open ones, which
-- are half settled.
INSERT INTO t_RP_Settlement (FInterID, FTranType, FAmountFor)
  SELECT i, t.t, CASE WHEN o THEN a / 2 ELSE a END FROM b, (SELECT 75 AS t UNION ALL SELECT 80
  UNION ALL SELECT 1000205 UNION ALL SELECT 1000206) t WHERE i <= @M;
-- Twenty recent bills per user, of ten kinds of the second family.
INSERT INTO ICClassRecentBills (FUserID, FBillID, FClassTypeID, FNo, FBigType)
  SELECT @R + u.i, CASE n.i % 10
      WHEN 0 THEN 5 * (1 + (u.i * 20 + n.i) % (@S / 5 - 1)) WHEN 1 THEN 5 * (1 + (u.i * 20 + n.i) % (@S / 5 - 1)) + 4
      WHEN 2 THEN 5 * (1 + (u.i * 20 + n.i) % (@S / 5 - 1)) + 1 ELSE 1 + (u.i * 20 + n.i) % @M END,
    CASE n.i % 10 WHEN 0 THEN 1 WHEN 1 THEN 21 WHEN 2 THEN 2 WHEN 3 THEN 50 WHEN 4 THEN 71 WHEN 5 THEN 75
      WHEN 6 THEN 80 WHEN 7 THEN 81 WHEN 8 THEN 84 ELSE 85 END, n.i, 2
  FROM k u, k n WHERE u.i <= @U AND n.i <= 20;
DROP VIEW b;
DROP TABLE k;
COMMIT;
)sql";

// The file for a size, named also after the schema and the data script it
// was built from: a file made by an older build is not taken for this one's.
std::string DatabasePath(int64_t bills) {
  const char* tmp = std::getenv("TMPDIR");
  const size_t made_from = std::hash<std::string>{}(std::string(zet::embedded::SchemaScript()) + kPopulate);
  char stamp[17];
  std::snprintf(stamp, sizeof(stamp), "%016zx", made_from);
  return std::string(tmp && *tmp ? tmp : "/tmp") + "/zet-host-bench-" + std::to_string(bills) + "-" + stamp + ".db";
}

void Populate(const std::string& path, int64_t bills) {
  const double start = CpuSeconds();
  const auto wall = std::chrono::steady_clock::now();
  zet::embedded::CreateDatabase(path, false, true);
  auto platform = EmbeddedPlatform::Open(path, "");
  std::string script = kPopulate;
  script = Replace(script, "@S", std::to_string(bills / 2));
  script = Replace(script, "@M", std::to_string(bills / 2 / 15));
  // One line in a hundred still open (and one voucher in a hundred waiting
  // for a check, one for a cashier) up to a million bills; past that the
  // same number, so that a larger file holds only more history.
  script = Replace(script, "@P", std::to_string(std::max<int64_t>(100, bills / 10'000)));
  script = Replace(script, "@U", std::to_string(kRecentUsers));
  script = Replace(script, "@R", std::to_string(kFirstRecentUser));
  script = Replace(script, "@T", kToday);
  platform->Db().Execute(script);
  std::printf("built %s: %lld bills in %.1f s CPU, %.1f s wall\n", path.c_str(), static_cast<long long>(bills),
              CpuSeconds() - start, std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count());
}

// The statements one call sends, as the trace records them.
struct Sent {
  std::string text;
  bool batch;
};

struct Figures {
  double whole = 0;
  double prepared = 0;  // the same statements prepared once, stepped each time
  double one_txn = 0;   // the same, the reads of the call in one read transaction
  double bare = 0;      // prepared, stepped and finalized each time
  int64_t steps = 0;
  double peak_mb = 0;  // SQLite's memory high-water mark over the calls, above what it held before
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

sqlite3_stmt* Prepare(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &statement, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "bare statement failed: %s\n%s\n", sqlite3_errmsg(db), sql.c_str());
    std::abort();
  }
  return statement;
}

// Steps each statement to its end; the statements of a batch in one
// transaction, as the host runs them.
void Step(sqlite3* db, const std::vector<std::vector<sqlite3_stmt*>>& texts) {
  for (const auto& statements : texts) {
    const bool several = statements.size() > 1;
    if (several) sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    for (sqlite3_stmt* statement : statements) {
      while (sqlite3_step(statement) == SQLITE_ROW) {
      }
      sqlite3_reset(statement);
    }
    if (several) sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  }
}

// The same, with the reads in one read transaction that a write ends first
// and a read after it begins again, as the host runs one method call.
void StepInOneTransaction(sqlite3* db, const std::vector<std::vector<sqlite3_stmt*>>& texts,
                          const std::vector<Sent>& sent, sqlite3_stmt* begin, sqlite3_stmt* commit) {
  bool open = false;
  const auto run = [](sqlite3_stmt* statement) {
    while (sqlite3_step(statement) == SQLITE_ROW) {
    }
    sqlite3_reset(statement);
  };
  for (size_t i = 0; i < texts.size(); ++i) {
    if (sent[i].batch) {
      if (open) run(commit);
      open = false;
      Step(db, {texts[i]});
      continue;
    }
    if (!open) run(begin);
    open = true;
    for (sqlite3_stmt* statement : texts[i]) run(statement);
  }
  if (open) run(commit);
}

// Prepares, steps to the end and finalizes each statement, as a host
// without a cache would.
void RunBare(sqlite3* db, const std::vector<std::vector<std::string>>& texts) {
  for (const auto& statements : texts) {
    const bool several = statements.size() > 1;
    if (several) sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    for (const std::string& sql : statements) {
      sqlite3_stmt* statement = Prepare(db, sql);
      while (sqlite3_step(statement) == SQLITE_ROW) {
      }
      sqlite3_finalize(statement);
    }
    if (several) sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  }
}

// Medians of `run` timed in CPU seconds: at least 3 runs, then as many as
// fit in the budget.
std::vector<double> Times(const std::function<void()>& run, int64_t* steps = nullptr,
                          zet::embedded::Database* db = nullptr) {
  std::vector<double> times;
  const double budget = 0.4;
  for (double spent = 0; times.size() < 3 || (spent < budget && times.size() < 2000);) {
    const int64_t before = db ? db->TotalSteps() : 0;
    const double t0 = CpuSeconds();
    run();
    const double t = CpuSeconds() - t0;
    if (steps) *steps = db->TotalSteps() - before;
    times.push_back(t);
    spent += t;
  }
  return times;
}

Figures Measure(EmbeddedPlatform& platform, const std::function<void()>& call) {
  // One traced call to learn the statements; the measured calls run
  // untraced, as the product's do.
  std::vector<Sent> sent;
  platform.SetTraceSink([&](const zet::embedded::TraceRecord& r) {
    if (r.member == "ExecuteSQL" || r.member == "GetData") sent.push_back({zet::CStr(r.args.at(1)), false});
    if (r.member == "Execute") sent.push_back({zet::CStr(r.args.at(0)), false});
    if (r.member == "UpdateBatch") {
      for (const Variant& item : r.args.at(1).AsArray().items) sent.push_back({zet::CStr(item), true});
    }
  });
  call();
  platform.SetTraceSink(nullptr);
  zet::embedded::TSqlOptions options;
  options.today = kToday;
  std::vector<std::vector<std::string>> texts;
  for (const Sent& s : sent) texts.push_back(zet::embedded::TranslateBatch(s.text, options));
  sqlite3* db = platform.Db().Handle();
  std::vector<std::vector<sqlite3_stmt*>> prepared;
  for (const auto& statements : texts) {
    prepared.emplace_back();
    for (const std::string& sql : statements) prepared.back().push_back(Prepare(db, sql));
  }

  Figures f;
  sqlite3_int64 held = 0, peak = 0;
  sqlite3_status64(SQLITE_STATUS_MEMORY_USED, &held, &peak, 1);
  f.whole = Median(Times(call, &f.steps, &platform.Db()));
  sqlite3_int64 used = 0;
  sqlite3_status64(SQLITE_STATUS_MEMORY_USED, &used, &peak, 0);
  f.peak_mb = static_cast<double>(peak - held) / (1 << 20);
  f.prepared = Median(Times([&] { Step(db, prepared); }));
  sqlite3_stmt* begin = Prepare(db, "BEGIN");
  sqlite3_stmt* commit = Prepare(db, "COMMIT");
  f.one_txn = Median(Times([&] { StepInOneTransaction(db, prepared, sent, begin, commit); }));
  sqlite3_finalize(begin);
  sqlite3_finalize(commit);
  f.bare = Median(Times([&] { RunBare(db, texts); }));
  for (const auto& statements : prepared) {
    for (sqlite3_stmt* statement : statements) sqlite3_finalize(statement);
  }
  return f;
}

std::string Time(double seconds) {
  char text[32];
  if (seconds < 1e-3) {
    std::snprintf(text, sizeof text, "%.1f us", seconds * 1e6);
  } else {
    std::snprintf(text, sizeof text, "%.2f ms", seconds * 1e3);
  }
  return text;
}

int32_t Scalar(zet::embedded::Database& db, const std::string& sql) {
  return zet::CLng(db.Query(sql).rows.at(0).at(0));
}

struct Case {
  std::string name;
  int32_t user;
  std::function<void(zet::clsMoveBill&, zet::embedded::Database&)> call;
};

std::vector<Case> Cases(zet::embedded::Database& db) {
  // A bill of the kind from the middle of its table, which every user but
  // the one who sees nothing has neighbours of nearby.
  const int32_t stock = Scalar(db,
                               "SELECT FInterID FROM ICStockBill WHERE FTranType = 21 ORDER BY FInterID LIMIT 1 "
                               "OFFSET (SELECT count(*) / 10 FROM ICStockBill)");
  const int32_t receipt = Scalar(db, "SELECT max(FBillID) / 2 FROM t_RP_RBill");
  const int32_t sale = Scalar(db, "SELECT max(FInterID) / 10 FROM ICSale");
  std::vector<Case> cases;
  const std::pair<std::string, int32_t> scopes[] = {{"administrator", 1},
                                                    {"own bills (group right 2)", 16},
                                                    {"group bills (group right 1)", 17},
                                                    {"data rights 1", 21},
                                                    {"data rights 2", 22},
                                                    {"data rights 4", 24},
                                                    {"data rights 7", 25},
                                                    {"sees no bill (rights 4)", 99},
                                                    {"rights 1, 4% visible", 31},
                                                    {"rights 1, none visible", 32},
                                                    {"rights 4, 6% visible", 34}};
  for (const auto& [scope, user] : scopes) {
    cases.push_back({"last stock bill, " + scope, user, [](auto& bill, auto&) { bill.GetMaxMinInterID(21, 2); }});
    cases.push_back({"next stock bill, " + scope, user,
                     [stock](auto& bill, auto&) { bill.GetMoveInterID(Variant::Long(stock), 2, 21); }});
    cases.push_back({"check stock bill, " + scope, user, [stock](auto& bill, auto&) {
                       std::string info;
                       bill.CheckSearchBill(21, stock, info);
                     }});
  }
  // Where the next visible bill lies depends on where the walk starts: the
  // next bill from each of 100 bills of the kind spread over its table, all
  // 100 calls in one figure.
  const auto spread = [&db](const std::string& bills) {
    std::vector<int32_t> starts;
    for (const auto& row : db.Query("SELECT FInterID FROM " + bills + " ORDER BY FInterID").rows)
      starts.push_back(zet::CLng(row.at(0)));
    const size_t count = std::min<size_t>(starts.size(), 100);
    for (size_t k = 0; k < count; ++k) starts[k] = starts[k * starts.size() / count];
    starts.resize(count);
    return starts;
  };
  for (const auto& [kind, starts] :
       {std::pair{21, spread("ICStockBill WHERE FTranType = 21")}, std::pair{80, spread("ICSale")}}) {
    for (const auto& [scope, user] :
         {std::pair<std::string, int32_t>{"data rights 1", 21}, {"rights 1, 4% visible", 31}})
      cases.push_back({std::string(kind == 21 ? "next stock bill" : "next sales invoice") + " from 100 bills, " + scope,
                       user, [starts, kind](auto& bill, auto&) {
                         for (const int32_t start : starts) bill.GetMoveInterID(Variant::Long(start), 2, kind);
                       }});
  }
  // A sales invoice is visible through its customer alone, with no
  // allowance for a bill without one.
  for (const auto& [scope, user] : {std::pair<std::string, int32_t>{"data rights 1", 21},
                                    {"rights 1, 4% visible", 31},
                                    {"rights 1, none visible", 32}}) {
    cases.push_back({"last sales invoice, " + scope, user, [](auto& bill, auto&) { bill.GetMaxMinInterID(80, 2); }});
    cases.push_back({"next sales invoice, " + scope, user,
                     [sale](auto& bill, auto&) { bill.GetMoveInterID(Variant::Long(sale), 2, 80); }});
  }
  cases.push_back({"last receipt, data rights 8", 28, [](auto& bill, auto&) { bill.GetMaxMinInterID(1000201, 2); }});
  cases.push_back({"next receipt, data rights 8", 28,
                   [receipt](auto& bill, auto&) { bill.GetMoveInterID(Variant::Long(receipt), 3, 1000201); }});
  cases.push_back({"check receipt, data rights 8", 28, [receipt](auto& bill, auto&) {
                     std::string info;
                     bill.CheckSearchBill(1000201, receipt, info);
                   }});
  cases.push_back({"GetToDoThingCount, administrator", 1, [](auto& bill, auto&) { bill.GetToDoThingCount(); }});
  cases.push_back({"GetToDoThingCount, data rights 7", 25, [](auto& bill, auto&) { bill.GetToDoThingCount(); }});
  cases.push_back({"GetToDoThingCount, vouchers of accounts (data rights 8)", 28,
                   [](auto& bill, auto&) { bill.GetToDoThingCount(); }});
  const int32_t menu_user = kFirstRecentUser + kRecentUsers / 2;
  cases.push_back({"LoadRecentBills with toolbar", menu_user, [](auto& bill, auto&) {
                     zet::ObjectRef bar = std::make_shared<zet::cli::ConsoleToolbar>();
                     bill.LoadRecentBills(1, bar);
                   }});
  cases.push_back({"SaveRecentBills with toolbar", menu_user + 1, [stock](auto& bill, auto&) {
                     zet::ObjectRef bar = std::make_shared<zet::cli::ConsoleToolbar>();
                     bill.SaveRecentBills(stock, 21, bar);
                   }});
  cases.push_back({"SaveRecentBills without toolbar", menu_user + 2, [stock](auto& bill, auto&) {
                     zet::ObjectRef bar;
                     bill.SaveRecentBills(stock, 21, bar);
                   }});
  return cases;
}

// Runs of the command line go through a small process forked at start: a
// child's resident-set peak counts the memory of the process it was forked
// from, and this one comes to hold the databases' pages. Requests are the
// arguments, each preceded by its length; the answer is CPU seconds (user
// and system), the peak in MB and the exit status.
class Spawner {
 public:
  Spawner() {
    int request[2], answer[2];
    if (pipe(request) != 0 || pipe(answer) != 0) std::abort();
    pid_ = fork();
    if (pid_ == 0) {
      close(request[1]);
      close(answer[0]);
      Serve(request[0], answer[1]);
      _exit(0);
    }
    close(request[0]);
    close(answer[1]);
    to_ = request[1];
    from_ = answer[0];
  }
  ~Spawner() {
    close(to_);
    close(from_);
    waitpid(pid_, nullptr, 0);
  }

  // One run of `args` with standard input from `input` ("" for none).
  double Run(const std::vector<std::string>& args, const std::string& input, double* rss_mb = nullptr) {
    std::vector<std::string> all = args;
    all.push_back(input.empty() ? "/dev/null" : input);
    uint32_t count = static_cast<uint32_t>(all.size());
    Write(to_, &count, sizeof count);
    for (const std::string& a : all) {
      const uint32_t size = static_cast<uint32_t>(a.size());
      Write(to_, &size, sizeof size);
      Write(to_, a.data(), size);
    }
    double figures[3];
    Read(from_, figures, sizeof figures);
    if (figures[2] != 0) {
      std::fprintf(stderr, "%s ended with status %g\n", args[0].c_str(), figures[2]);
      std::abort();
    }
    if (rss_mb) *rss_mb = std::max(*rss_mb, figures[1]);
    return figures[0];
  }

 private:
  static void Write(int fd, const void* data, size_t size) {
    if (write(fd, data, size) != static_cast<ssize_t>(size)) std::abort();
  }
  static bool Read(int fd, void* data, size_t size) {
    auto* at = static_cast<char*>(data);
    while (size > 0) {
      const ssize_t got = read(fd, at, size);
      if (got <= 0) return false;
      at += got;
      size -= static_cast<size_t>(got);
    }
    return true;
  }
  static void Serve(int in, int out) {
    for (uint32_t count = 0; Read(in, &count, sizeof count);) {
      std::vector<std::string> all(count);
      for (std::string& a : all) {
        uint32_t size = 0;
        Read(in, &size, sizeof size);
        a.resize(size);
        Read(in, a.data(), size);
      }
      const std::string input = all.back();
      all.pop_back();
      std::vector<char*> argv;
      for (std::string& a : all) argv.push_back(a.data());
      argv.push_back(nullptr);
      const pid_t child = fork();
      if (child == 0) {
        const int stdin_fd = open(input.c_str(), O_RDONLY);
        const int null_fd = open("/dev/null", O_WRONLY);
        dup2(stdin_fd, 0);
        dup2(null_fd, 1);
        execv(argv[0], argv.data());
        _exit(127);
      }
      int status = 0;
      rusage usage{};
      wait4(child, &status, 0, &usage);
      auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
      };
      const double figures[3] = {seconds(usage.ru_utime) + seconds(usage.ru_stime),
                                 static_cast<double>(usage.ru_maxrss) / 1024,
                                 WIFEXITED(status) ? WEXITSTATUS(status) : -1.0};
      Write(out, figures, sizeof figures);
    }
  }

  pid_t pid_ = -1;
  int to_ = -1;
  int from_ = -1;
};

bool Wanted(const std::string& name, const std::vector<std::string>& only) {
  if (only.empty()) return true;
  return std::any_of(only.begin(), only.end(), [&](const std::string& o) { return name.find(o) != std::string::npos; });
}

void PrintRow(const std::string& name, int64_t bills, double whole, double prepared, double one_txn, double bare,
              int64_t steps, double peak_mb) {
  std::printf("%-48s %9lld %11s %11s %7.2f %11s %7.2f %11s %7.2f %10lld %7.1f\n", name.c_str(),
              static_cast<long long>(bills), Time(whole).c_str(), Time(prepared).c_str(), whole / prepared,
              Time(one_txn).c_str(), whole / one_txn, Time(bare).c_str(), whole / bare, static_cast<long long>(steps),
              peak_mb);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  // Forked while this process is still small.
  Spawner spawner;
  std::vector<int64_t> sizes;
  std::vector<std::string> only;
  const char* const usage =
      "usage: host_bench [--only TEXT]... [BILLS...]\n"
      "  times each call on a database of BILLS bills (default 10000 100000 1000000),\n"
      "  only the rows whose name holds one of the TEXTs when --only is given\n";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--only" && i + 1 < argc) {
      only.emplace_back(argv[++i]);
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      std::fputs(usage, stdout);
      return 0;
    }
    char* end = nullptr;
    const long long bills = std::strtoll(arg.c_str(), &end, 10);
    if (end == arg.c_str() || *end != '\0' || bills < 100) {
      std::fprintf(stderr, "host_bench: '%s' is no number of bills (100 or more)\n%s", arg.c_str(), usage);
      return 2;
    }
    sizes.push_back(bills);
  }
  if (sizes.empty()) sizes = {10'000, 100'000, 1'000'000};
  // The command line built beside this program.
  const std::string tool =
      (std::filesystem::absolute(argv[0]).parent_path().parent_path() / "src" / "cli" / "zetmovebill").string();

  std::printf("%-48s %9s %11s %11s %7s %11s %7s %11s %7s %10s %7s\n", "call", "bills", "whole call", "prepared",
              "ratio", "in one txn", "ratio", "bare", "ratio", "vm steps", "peak MB");
  for (int64_t bills : sizes) {
    const std::string path = DatabasePath(bills);
    if (!std::filesystem::exists(path)) Populate(path, bills);
    std::printf("database of %lld bills: %.1f MB\n", static_cast<long long>(bills),
                static_cast<double>(std::filesystem::file_size(path)) / (1 << 20));
    auto platform = EmbeddedPlatform::Open(path, "");
    platform->SetToday(kToday);
    platform->SetMessageSink([](std::string_view text) {
      // A message means the figures would measure a failure path.
      std::fprintf(stderr, "unexpected message: %.*s\n", static_cast<int>(text.size()), text.data());
      std::abort();
    });
    for (const Case& c : Cases(platform->Db())) {
      if (!Wanted(c.name, only)) continue;
      platform->SetProps("UserID=" + std::to_string(c.user) + ";");
      zet::clsMoveBill bill(*platform);
      const Figures f = Measure(*platform, [&] { c.call(bill, platform->Db()); });
      PrintRow(c.name, bills, f.whole, f.prepared, f.one_txn, f.bare, f.steps, f.peak_mb);
    }
    const int32_t stock = Scalar(platform->Db(),
                                 "SELECT FInterID FROM ICStockBill WHERE FTranType = 21 ORDER BY "
                                 "FInterID LIMIT 1 OFFSET (SELECT count(*) / 10 FROM ICStockBill)");
    if (Wanted("one seek", only)) {
      // What the administrator's next bill comes down to: one B-tree seek.
      sqlite3* db = platform->Db().Handle();
      sqlite3_stmt* seek =
          Prepare(db, "SELECT min(FInterID) FROM ICStockBill WHERE FTranType=21 AND FInterID>" + std::to_string(stock));
      const double t = Median(Times([&] { Step(db, {{seek}}); }));
      sqlite3_finalize(seek);
      PrintRow("one seek (the baseline of admin next)", bills, t, t, t, t, 0, 0);
    }
    if (!std::filesystem::exists(tool)) continue;
    // Whole runs of the command line against the same call made in this
    // process: what a run costs besides the call, and its largest resident
    // set (the "peak MB" of these rows).
    struct Run {
      std::string name;
      std::vector<std::string> args;
      int32_t user;
      int runs;
      std::function<void(zet::clsMoveBill&)> call;
    };
    const std::vector<Run> runs = {
        {"command line, admin next (per run)",
         {"GetMoveInterID", std::to_string(stock), "2", "21"},
         1,
         30,
         [stock](zet::clsMoveBill& bill) { bill.GetMoveInterID(Variant::Long(stock), 2, 21); }},
        {"command line, admin to-do counts (per run)",
         {"GetToDoThingCount"},
         1,
         5,
         [](zet::clsMoveBill& bill) { bill.GetToDoThingCount(); }},
        {"command line, last bill seeing none (per run)",
         {"GetMaxMinInterID", "21", "2"},
         99,
         5,
         [](zet::clsMoveBill& bill) { bill.GetMaxMinInterID(21, 2); }}};
    for (const Run& run : runs) {
      if (!Wanted(run.name, only)) continue;
      std::vector<std::string> args = {tool, "--db", path, "--user", std::to_string(run.user), "--json", "call"};
      args.insert(args.end(), run.args.begin(), run.args.end());
      std::vector<double> cpu;
      double rss_mb = 0;
      for (int i = 0; i < run.runs; ++i) cpu.push_back(spawner.Run(args, "", &rss_mb));
      platform->SetProps("UserID=" + std::to_string(run.user) + ";");
      zet::clsMoveBill bill(*platform);
      const double in_process = Median(Times([&] { run.call(bill); }));
      PrintRow(run.name, bills, Median(cpu), in_process, in_process, in_process, 0, rss_mb);
    }
    if (Wanted("batch", only)) {
      const std::string input = path + ".batch";
      constexpr int kCalls = 30'000;
      {
        std::FILE* file = std::fopen(input.c_str(), "w");
        for (int i = 0; i < kCalls; ++i)
          std::fprintf(file, "{\"method\": \"GetMoveInterID\", \"args\": [\"%d\", \"2\", \"21\"]}\n",
                       stock + 5 * (i % 50));
        std::fclose(file);
      }
      const auto wall = std::chrono::steady_clock::now();
      const double cpu = spawner.Run({tool, "--db", path, "--user", "1", "batch"}, input);
      const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
      std::remove(input.c_str());
      std::printf("%-48s %9lld %11s per call CPU, %.0f calls/s CPU, %.0f calls/s wall\n", "batch, admin next",
                  static_cast<long long>(bills), Time(cpu / kCalls).c_str(), kCalls / cpu, kCalls / seconds);
      std::fflush(stdout);
    }
  }
  return 0;
}
