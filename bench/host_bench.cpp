// Whole method calls on the embedded host against the same statements run
// bare, over 10 thousand, 100 thousand and a million bills.
//
// The bills: half of them stock bills (five transaction types, two entry
// lines each), the other half spread evenly over the fifteen other bill
// tables, with entry lines, settlements and due dates (1% of the
// orders, invoices and other bills fall due within the alarm days); 10
// thousand users with 20 recent bills each.
//
// For each call it prints the median thread CPU time of the whole call
// (rights lookups, catalogue, adapter, SQLite, recordsets), the median CPU
// time of the same statements prepared and stepped bare on the same
// connection (the text the adapter makes of them, with its values written
// in, prepared, stepped to the end and finalized each time; the statements
// of a batch in one transaction, as the host runs them), their ratio, and
// the SQLite virtual-machine steps of the whole call. CPU time and steps do
// not depend on how loaded the machine is; wall time does, and is not shown.
//
// Usage: host_bench [--only TEXT] [SIZE ...]   (default 10000 100000 1000000)
//   --only: the calls whose name contains TEXT
// The databases are built once under $TMPDIR (or /tmp) as
// zet-host-bench-SIZE-STAMP.db and reused while the schema and the data
// script stay as they are (STAMP is taken from both); delete them to rebuild.

#include <sqlite3.h>
#include <time.h>

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
  (28, 'accounts', 0, 8), (99, 'no stock at all', 0, 4);
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
-- Preparers: users 16, 17 and 25 make one bill in 53 each, of every kind.
CREATE TEMP VIEW b AS SELECT i, CASE i % 53 WHEN 0 THEN 16 WHEN 1 THEN 17 WHEN 2 THEN 25 ELSE 1000 + i % 53 END AS u,
  1 + i % 100 AS c, 1 + (i / 3) % 100 AS s, date('@T', '+' || ((i * 7919) % 1000 - 3) || ' days') AS d,
  (i % 1000) / 100.0 + 0.8 AS a FROM k;
INSERT INTO ICStockBill (FInterID, FTranType, FBillNo, FBillerID, FCustID, FSupplyID)
  SELECT i, CASE i % 5 WHEN 0 THEN 1 WHEN 1 THEN 2 WHEN 2 THEN 5 WHEN 3 THEN 10 ELSE 21 END, 'S' || i, u, c, s FROM b;
INSERT INTO ICStockBillEntry (FInterID, FEntryID, FDCStockID, FSCStockID) SELECT i, 1, c, 0 FROM b;
INSERT INTO ICStockBillEntry (FInterID, FEntryID, FDCStockID, FSCStockID) SELECT i, 2, 0, 1 + (i / 7) % 100 FROM b;
INSERT INTO ICBom (FInterID, FBillNo, FCheckID) SELECT i, 'BOM' || i, u FROM b WHERE i <= @M;
INSERT INTO ICBomChild (FInterID, FEntryID, FStockID) SELECT i, 1, c FROM b WHERE i <= @M;
INSERT INTO t_RP_CheckInfo (FInterID, FBillNo, FPreparer, FCustomerID, FVendorID)
  SELECT i, 'CHK' || i, u, c, s FROM b WHERE i <= @M;
INSERT INTO POOrder (FInterID, FBillNo, FBillerID, FSupplyID, FStatus) SELECT i, 'PO' || i, u, s, 1 FROM b WHERE i <= @M;
INSERT INTO POOrderEntry (FInterID, FEntryID, FDate, FQty, FStockQty) SELECT i, 1, d, 10, 5 FROM b WHERE i <= @M;
INSERT INTO ICPurchase (FInterID, FBillNo, FBillerID, FSupplyID, FPayDate, FStatus, FPurchaseAmountFor)
  SELECT i, 'PI' || i, u, s, d, 1, a FROM b WHERE i <= @M;
INSERT INTO ICSale (FInterID, FBillNo, FBillerID, FCustID, FPayDate, FStatus, FInvoiceAmountFor)
  SELECT i, 'SI' || i, u, c, d, 1, a FROM b WHERE i <= @M;
INSERT INTO SEOrder (FInterID, FBillNo, FBillerID, FCustID, FStatus) SELECT i, 'SO' || i, u, c, 1 FROM b WHERE i <= @M;
INSERT INTO SEOrderEntry (FInterID, FEntryID, FDate, FQty, FStockQty) SELECT i, 1, d, 10, 5 FROM b WHERE i <= @M;
INSERT INTO PORFQ (FInterID, FBillNo, FBillerID, FCustID) SELECT i, 'RFQ' || i, u, c FROM b WHERE i <= @M;
INSERT INTO ICMO (FInterID, FBillNo, FBillerID) SELECT i, 'MO' || i, u FROM b WHERE i <= @M;
INSERT INTO ICApportionFee (FInterID, FBillNo, FBillerID, FAmount) SELECT i, 'AF' || i, u, a FROM b WHERE i <= @M;
INSERT INTO t_Voucher (FVoucherID, FNumber, FPreparerID, FCheckerID, FCashierID)
  SELECT i, 'V' || i, u, CASE WHEN i % 100 = 0 THEN -1 ELSE 1 END, CASE WHEN i % 100 = 1 THEN -1 ELSE 1 END
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
-- Every invoice and other bill is half settled; one in three fully.
INSERT INTO t_RP_Settlement (FInterID, FTranType, FAmountFor)
  SELECT i, t.t, CASE WHEN i % 3 = 0 THEN a ELSE a / 2 END FROM b, (SELECT 75 AS t UNION ALL SELECT 80
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
  script = Replace(script, "@U", std::to_string(kRecentUsers));
  script = Replace(script, "@R", std::to_string(kFirstRecentUser));
  script = Replace(script, "@T", kToday);
  platform->Db().Execute(script);
  std::printf("built %s: %lld bills in %.1f s CPU, %.1f s wall\n", path.c_str(), static_cast<long long>(bills),
              CpuSeconds() - start,
              std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count());
}

// The statements one call sends, as the trace records them.
struct Sent {
  std::string text;
  bool batch;
};

struct Figures {
  double whole = 0;
  double bare = 0;
  int64_t steps = 0;
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Prepares, steps to the end and finalizes each statement, as a host
// without a cache would.
void RunBare(sqlite3* db, const std::vector<std::vector<std::string>>& texts) {
  for (const auto& statements : texts) {
    const bool several = statements.size() > 1;
    if (several) sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    for (const std::string& sql : statements) {
      sqlite3_stmt* statement = nullptr;
      if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &statement, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "bare statement failed: %s\n%s\n", sqlite3_errmsg(db), sql.c_str());
        std::abort();
      }
      while (sqlite3_step(statement) == SQLITE_ROW) {
      }
      sqlite3_finalize(statement);
    }
    if (several) sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  }
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

  Figures f;
  std::vector<double> whole, bare;
  const double budget = 0.4;  // CPU seconds per side, at least 3 calls
  for (double spent = 0; whole.size() < 3 || (spent < budget && whole.size() < 2000);) {
    const int64_t steps = platform.Db().TotalSteps();
    const double t0 = CpuSeconds();
    call();
    const double t = CpuSeconds() - t0;
    f.steps = platform.Db().TotalSteps() - steps;
    whole.push_back(t);
    spent += t;
  }
  for (double spent = 0; bare.size() < 3 || (spent < budget && bare.size() < 2000);) {
    const double t0 = CpuSeconds();
    RunBare(platform.Db().Handle(), texts);
    const double t = CpuSeconds() - t0;
    bare.push_back(t);
    spent += t;
  }
  f.whole = Median(whole);
  f.bare = Median(bare);
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
  const int32_t stock = Scalar(db, "SELECT FInterID FROM ICStockBill WHERE FTranType = 21 ORDER BY FInterID LIMIT 1 "
                                   "OFFSET (SELECT count(*) / 10 FROM ICStockBill)");
  const int32_t receipt = Scalar(db, "SELECT max(FBillID) / 2 FROM t_RP_RBill");
  std::vector<Case> cases;
  const std::pair<std::string, int32_t> scopes[] = {
      {"administrator", 1},        {"own bills (group right 2)", 16}, {"group bills (group right 1)", 17},
      {"data rights 1", 21},       {"data rights 2", 22},             {"data rights 4", 24},
      {"data rights 7", 25},       {"sees no bill (rights 4)", 99}};
  for (const auto& [scope, user] : scopes) {
    cases.push_back({"last stock bill, " + scope, user, [](auto& bill, auto&) { bill.GetMaxMinInterID(21, 2); }});
    cases.push_back({"next stock bill, " + scope, user,
                     [stock](auto& bill, auto&) { bill.GetMoveInterID(Variant::Long(stock), 2, 21); }});
    cases.push_back({"check stock bill, " + scope, user, [stock](auto& bill, auto&) {
                       std::string info;
                       bill.CheckSearchBill(21, stock, info);
                     }});
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

}  // namespace

int main(int argc, char** argv) {
  std::vector<int64_t> sizes;
  std::string only;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--only" && i + 1 < argc) {
      only = argv[++i];
    } else {
      sizes.push_back(std::atoll(argv[i]));
    }
  }
  if (sizes.empty()) sizes = {10'000, 100'000, 1'000'000};

  std::printf("%-45s %9s %11s %11s %7s %10s\n", "call", "bills", "whole call", "bare", "ratio", "vm steps");
  for (int64_t bills : sizes) {
    const std::string path = DatabasePath(bills);
    if (!std::filesystem::exists(path)) Populate(path, bills);
    auto platform = EmbeddedPlatform::Open(path, "");
    platform->SetToday(kToday);
    platform->SetMessageSink([](std::string_view text) {
      // A message means the figures would measure a failure path.
      std::fprintf(stderr, "unexpected message: %.*s\n", static_cast<int>(text.size()), text.data());
      std::abort();
    });
    for (const Case& c : Cases(platform->Db())) {
      if (c.name.find(only) == std::string::npos) continue;
      platform->SetProps("UserID=" + std::to_string(c.user) + ";");
      zet::clsMoveBill bill(*platform);
      const Figures f = Measure(*platform, [&] { c.call(bill, platform->Db()); });
      std::printf("%-45s %9lld %11s %11s %7.2f %10lld\n", c.name.c_str(), static_cast<long long>(bills),
                  Time(f.whole).c_str(), Time(f.bare).c_str(), f.whole / f.bare, static_cast<long long>(f.steps));
      std::fflush(stdout);
    }
  }
  return 0;
}
