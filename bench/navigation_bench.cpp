// How the cost of navigation grows with the number of bills, on the embedded
// host: 10 thousand, 100 thousand and a million stock bills of five
// transaction types, each with two entry lines.
//
// Every figure is one whole method call as the host makes it: the rights
// lookup, the catalogue, the statement through the T-SQL adapter, SQLite, and
// the recordset. "vm_steps" is the number of SQLite virtual-machine steps of
// the last statement the call ran: flat for an index seek, growing with the
// table for a scan.
//
// The databases are built once under $TMPDIR (or /tmp) and reused; delete
// /tmp/zet-bench-*.db to rebuild them.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "component/cls_move_bill.hpp"
#include "embedded/database.hpp"
#include "embedded/embedded_host.hpp"

namespace {

using zet::embedded::EmbeddedPlatform;

constexpr int32_t kAdmin = 1;
constexpr int32_t kOwnScopeUser = 16;    // sees only the bills he made
constexpr int32_t kDataRightsUser = 25;  // customers, suppliers and stocks restricted
constexpr int32_t kTransTypes = 5;       // bills cycle over types 1, 2, 5, 10, 21

std::string DatabasePath(int64_t bills) {
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp && *tmp ? tmp : "/tmp") + "/zet-bench-" + std::to_string(bills) + ".db";
}

void Populate(const std::string& path, int64_t bills) {
  zet::embedded::CreateDatabase(path, false, true);
  auto platform = EmbeddedPlatform::Open(path, "");
  auto& db = platform->Db();
  const std::string n = std::to_string(bills);
  db.Execute(
      "BEGIN;"
      "INSERT INTO t_Group (FUserID, FGroupID) VALUES (1, 1);"
      "INSERT INTO t_User (FUserID, FName, FUserGroupRight, FDataRight) VALUES"
      " (1, 'admin', 0, 0), (16, 'own bills', 2, 0), (25, 'data rights', 0, 7);"
      // 100 customers, suppliers and stocks; user 25 may see nine in ten.
      "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < 100)"
      " INSERT INTO t_Organization (FItemID, FRightUserID) SELECT i, CASE WHEN i % 10 = 0 THEN '1' ELSE '1,25' END "
      "FROM k;"
      "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < 100)"
      " INSERT INTO t_supplier (FItemID, FRightUserID) SELECT i, CASE WHEN i % 10 = 0 THEN '1' ELSE '1,25' END FROM k;"
      "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < 100)"
      " INSERT INTO t_Stock (FItemID, FRightUserID) SELECT i, CASE WHEN i % 10 = 0 THEN '1' ELSE '1,25' END FROM k;"
      "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < " +
      n +
      ")"
      " INSERT INTO ICStockBill (FInterID, FTranType, FBillNo, FBillerID, FCustID, FSupplyID)"
      " SELECT i, CASE i % 5 WHEN 0 THEN 1 WHEN 1 THEN 2 WHEN 2 THEN 5 WHEN 3 THEN 10 ELSE 21 END,"
      " 'B' || i, CASE WHEN i % 7 = 0 THEN 16 ELSE 1 END, 1 + i % 100, 1 + (i / 3) % 100 FROM k;"
      "INSERT INTO ICStockBillEntry (FInterID, FEntryID, FDCStockID, FSCStockID)"
      " SELECT FInterID, 1, 1 + FInterID % 100, 0 FROM ICStockBill;"
      "INSERT INTO ICStockBillEntry (FInterID, FEntryID, FDCStockID, FSCStockID)"
      " SELECT FInterID, 2, 0, 1 + (FInterID / 7) % 100 FROM ICStockBill;"
      "COMMIT;"
      "ANALYZE;");
}

// One platform per size and user, over a database built on first use.
EmbeddedPlatform& PlatformFor(int64_t bills, int32_t user) {
  static std::map<std::pair<int64_t, int32_t>, std::unique_ptr<EmbeddedPlatform>> platforms;
  auto& slot = platforms[{bills, user}];
  if (!slot) {
    const std::string path = DatabasePath(bills);
    if (!std::filesystem::exists(path)) Populate(path, bills);
    slot = EmbeddedPlatform::Open(path, "UserID=" + std::to_string(user) + ";");
    slot->SetMessageSink([](std::string_view text) {
      // A message in a benchmark means the figures measure a failure path.
      std::fprintf(stderr, "unexpected message: %.*s\n", static_cast<int>(text.size()), text.data());
      std::abort();
    });
  }
  return *slot;
}

void Report(benchmark::State& state, EmbeddedPlatform& platform) {
  state.counters["bills"] = static_cast<double>(state.range(0));
  state.counters["vm_steps"] = static_cast<double>(platform.Db().LastStatementSteps());
}

void BM_LastBill(benchmark::State& state, int32_t user) {
  auto& platform = PlatformFor(state.range(0), user);
  zet::clsMoveBill bill(platform);
  for (auto _ : state) benchmark::DoNotOptimize(bill.GetMaxMinInterID(21, 2));
  Report(state, platform);
}

void BM_NextBill(benchmark::State& state, int32_t user) {
  auto& platform = PlatformFor(state.range(0), user);
  zet::clsMoveBill bill(platform);
  // From the middle of the table: the neighbour is near for every user.
  const zet::Variant current = zet::Variant::Long(static_cast<int32_t>(state.range(0) / 2 / kTransTypes * kTransTypes));
  for (auto _ : state) benchmark::DoNotOptimize(bill.GetMoveInterID(current, 2, 1));
  Report(state, platform);
}

void BM_NewBillPrevious(benchmark::State& state, int32_t user) {
  auto& platform = PlatformFor(state.range(0), user);
  zet::clsMoveBill bill(platform);
  for (auto _ : state) benchmark::DoNotOptimize(bill.GetMoveInterID(zet::Variant(), 1, 1));
  Report(state, platform);
}

void BM_CheckBill(benchmark::State& state, int32_t user) {
  auto& platform = PlatformFor(state.range(0), user);
  zet::clsMoveBill bill(platform);
  const int32_t middle = static_cast<int32_t>(state.range(0) / 2 / kTransTypes * kTransTypes);
  for (auto _ : state) {
    std::string info;
    benchmark::DoNotOptimize(bill.CheckSearchBill(1, middle, info));
  }
  Report(state, platform);
}

void Sizes(benchmark::internal::Benchmark* b) {
  b->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMicrosecond);
}

BENCHMARK_CAPTURE(BM_LastBill, admin, kAdmin)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_LastBill, own_bills, kOwnScopeUser)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_LastBill, data_rights, kDataRightsUser)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_NextBill, admin, kAdmin)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_NextBill, own_bills, kOwnScopeUser)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_NextBill, data_rights, kDataRightsUser)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_NewBillPrevious, admin, kAdmin)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_CheckBill, admin, kAdmin)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_CheckBill, own_bills, kOwnScopeUser)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_CheckBill, data_rights, kDataRightsUser)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();
