// The rows the schema derives (the bill register, settled sums, the bill of
// each settlement, amounts kept to four decimals) under any sequence of
// writes by a plain SQLite client: REPLACE conflicts, rowid updates, deletes.
// After every write they equal their recomputation (verify finds no drift),
// and at the end the six methods answer as on a twin given the same rows.
#include <gmock/gmock.h>
#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <random>

#include "embedded/schema.hpp"
#include "embedded/verify.hpp"
#include "host/recordset.hpp"
#include "support/embedded_host.hpp"
#include "support/method_case.hpp"

namespace zet::embedded::testing {
namespace {

// A connection as any SQLite client opens one: no function of the host's,
// recursive triggers off.
struct PlainClient {
  sqlite3* db = nullptr;
  explicit PlainClient(const std::string& path) { sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr); }
  ~PlainClient() { sqlite3_close(db); }
  // A conflict a write does not resolve is the writer's own failure; any other
  // (a function the schema would need from the host) is the test's.
  void Write(const std::string& sql) {
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    ASSERT_TRUE(rc == SQLITE_OK || rc == SQLITE_CONSTRAINT) << sql << ": " << sqlite3_errmsg(db);
  }
};

// The writes of a plain client, by template: @T a table, @I its id column and
// @K that or another name of the rowid, @N its number, @F its kind, @D its due
// date where a due list reads one, @C an amount column; @1 and @2 ids, few so
// that writes collide; @B a bill number, some differing only in case; @M an
// amount with more decimals than money keeps, one above 1e11.
constexpr const char* kBillWrites[] = {
    "INSERT OR REPLACE INTO @T (@I, @N) VALUES (@1, @B); UPDATE @T SET @I = @I@F@D WHERE @I = @1",
    "INSERT INTO @T (@I, @N) VALUES (@1, @B); UPDATE @T SET @I = @I@F@D WHERE @I = @1",
    "UPDATE OR REPLACE @T SET @K = @1 WHERE @I = @2",
    "UPDATE @T SET @K = @1 WHERE @I = @2",
    "UPDATE @T SET @N = @B@F WHERE @I = @1",
    "DELETE FROM @T WHERE @I = @1",
    "REPLACE INTO @T (@I) VALUES (@1)"};
constexpr const char* kMoneyWrites[] = {"INSERT INTO @T (@C) VALUES (@M)", "UPDATE @T SET @C = @M WHERE rowid = @1"};
constexpr const char* kSettlementWrites[] = {
    "INSERT OR REPLACE INTO t_RP_Settlement (FID, FInterID, FTranType, FAmountFor) VALUES (@1, @2, @S, @M)",
    "INSERT INTO t_RP_Settlement (FID, FInterID, FTranType, FAmountFor) VALUES (@1, @2, @S, @M)",
    "UPDATE OR REPLACE t_RP_Settlement SET @K = @1 WHERE FID = @2",
    "UPDATE t_RP_Settlement SET @K = @1 WHERE FID = @2",
    "UPDATE t_RP_Settlement SET FInterID = @2, FTranType = @S WHERE FID = @1",
    "DELETE FROM t_RP_Settlement WHERE FID = @1",
    "REPLACE INTO t_RP_Settlement (FID, FInterID) VALUES (@1, @2)"};

std::string RandomWrite(std::mt19937& random) {
  const auto pick = [&](const auto& list) { return std::string(list[random() % std::size(list)]); };
  const std::span<const BillTable> bills = BillTables();
  const std::span<const MoneyColumn> money = MoneyColumns();
  const size_t bill_writes = bills.size() * std::size(kBillWrites), money_writes = money.size() * 2;
  const size_t choice = random() % (bill_writes + money_writes + std::size(kSettlementWrites));
  std::string sql, id = "FID", table, number, kind, due, column;
  if (choice < bill_writes) {
    const BillTable& t = bills[choice / std::size(kBillWrites)];
    sql = kBillWrites[choice % std::size(kBillWrites)];
    id = t.id, table = t.table, number = t.number;
    // Each table's own types: one id of one type in two tables would list
    // the bill twice, in no set order.
    const auto types = t.table == "ICSale"       ? std::array{"80", "86"}
                       : t.table == "ICPurchase" ? std::array{"75", "76"}
                                                 : std::array{"1", "2"};
    if (t.kind == "FTranType") kind = ", FTranType = " + pick(types);
    if (t.table == "ICSale" || t.table == "ICPurchase")
      due = ", FPayDate = '" + std::string(kToday) + "', FStatus = 1, FROB = " + pick(std::array{"1", "-1"});
    if (t.table.ends_with("OtherBill")) due = ", FLimitDate = '" + std::string(kToday) + "', FStatus = 1";
  } else if (choice < bill_writes + money_writes) {
    const MoneyColumn& c = money[(choice - bill_writes) / 2];
    sql = kMoneyWrites[choice % 2], table = c.table, column = c.column;
  } else {
    sql = kSettlementWrites[choice - bill_writes - money_writes];
  }
  const std::string key = pick(std::array{id, std::string("rowid"), std::string("oid"), std::string("_rowid_")});
  for (const auto& [mark, value] : std::initializer_list<std::pair<const char*, std::string>>{
           {"@T", table},
           {"@I", id},
           {"@K", key},
           {"@N", number},
           {"@F", kind},
           {"@D", due},
           {"@C", column},
           {"@1", std::to_string(random() % 4 + 1)},
           {"@2", std::to_string(random() % 4 + 1)},
           {"@B", pick(std::array{"'A'", "'a'", "'B'"})},
           {"@S", pick(std::array{"75", "80", "1000205", "1000206"})},
           {"@M", pick(std::array{"0.1", "0.7", "100", "-5", "0.30000000000000004", "1.23456", "455094848186.119"})}})
    for (size_t at = sql.find(mark); at != std::string::npos; at = sql.find(mark, at + value.size()))
      sql.replace(at, 2, value);
  return sql;
}

// Writes `steps` random writes, of those that name one of `tables` when
// given, and returns the first drift verify finds after one of them, with
// that write ("" when there is none); the trigger `dropped` is not counted
// missing.
std::string FirstDrift(Host& host, uint32_t seed, int steps, const std::string& dropped = "",
                       const std::vector<std::string>& tables = {}) {
  std::mt19937 random(seed);
  PlainClient client(host.path());
  for (int step = 1; step <= steps; ++step) {
    std::string write = RandomWrite(random);
    while (!tables.empty() && std::none_of(tables.begin(), tables.end(), [&](const std::string& table) {
      return write.find(" " + table + " ") != std::string::npos;
    }))
      write = RandomWrite(random);
    client.Write(write);
    for (const Drift& drift : FindDrift(host.db()))
      if (drift.key != dropped) return drift.Line() + " after write " + std::to_string(step) + ": " + write;
  }
  return "";
}

// What the six methods answer to an administrator, as text.
std::string Answers(Host& host) {
  host.As(1);
  clsMoveBill bills(host.platform());
  std::string out;
  ObjectRef none;
  for (const int32_t type : {1, 2, 75, 80, 86, 50, 1125, 1000205}) {
    out += std::to_string(bills.GetMaxMinInterID(type, 1)) + " " + std::to_string(bills.GetMaxMinInterID(type, 2));
    for (int32_t id = 1; id <= 5; ++id) {
      std::string info;
      out += " " + std::to_string(bills.GetMoveInterID(Variant::Long(id), 2, type)) +
             (bills.CheckSearchBill(type, id, info) ? "+" : "-");
      bills.SaveRecentBills(id, type, none);
    }
    for (Recordset rs(bills.LoadRecentBills(type, none)); !rs.Eof(); rs.MoveNext())
      out += " " + CStr(rs.Field("FBillID")) + ":" + CStr(rs.Field("FBillNo")) + ":" + CStr(rs.Field("FName"));
    out += "\n";
  }
  const ObjectRef todo = bills.GetToDoThingCount();
  for (int32_t position = 1; position <= 9; ++position) {
    Argument at[] = {Argument::ByVal(Variant::Long(position))};
    out += CStr(todo->Call("Item", at)) + " ";
  }
  return out;
}

constexpr const char* kAdministrator =
    "INSERT INTO t_Group VALUES (1, 1); INSERT INTO t_SystemProfile VALUES ('IC', 'APAlarmDateCount', '5'), "
    "('IC', 'ARAlarmDateCount', '5')";

TEST(DerivedRows, StayRightUnderAnyPlainWrite) {
  for (const uint32_t seed : {1u, 2u, 3u}) {
    Host host, twin;
    host.Exec(kAdministrator);
    twin.Exec(kAdministrator);
    ASSERT_EQ(FirstDrift(host, seed, 300), "") << "seed " << seed;
    // The twin is given the final base rows by one plain copy.
    PlainClient client(twin.path());
    client.Write("ATTACH '" + host.path() + "' AS kept");
    for (const BillTable& t : BillTables())
      client.Write("INSERT INTO " + std::string(t.table) + " SELECT * FROM kept." + std::string(t.table));
    for (const char* table : {"t_VoucherEntry", "t_RP_ROtherBillEntry", "t_RP_POtherBillEntry", "t_RP_Settlement"})
      client.Write("INSERT INTO " + std::string(table) + " SELECT * FROM kept." + table);
    EXPECT_EQ(Answers(host), Answers(twin)) << "seed " << seed;
    EXPECT_EQ(host.messages, std::vector<std::string>{});
  }
}

// The random writes reach every trigger: without any one of them, some
// derived row drifts. The writes go to the trigger's own table, and where
// bills may be open also to the settlements, or to every kind of bill that
// may be open for a trigger on the settlements.
TEST(DerivedRows, EveryTriggerIsNeeded) {
  std::vector<std::string> settled = {"t_RP_Settlement"};
  for (const OpenBillKind& kind : OpenBillKinds()) settled.emplace_back(kind.table);
  for (const SchemaObject& trigger : SchemaObjects()) {
    if (trigger.type != "trigger") continue;
    Host host;
    host.Exec("DROP TRIGGER " + trigger.name);
    std::vector<std::string> tables = {trigger.table};
    if (trigger.table == "t_RP_Settlement" || trigger.table == "t_ZetBillRPMoney") tables = settled;
    if (std::find(settled.begin(), settled.end(), trigger.table) != settled.end()) tables.push_back(settled[0]);
    std::string found;
    for (uint32_t seed = 1; seed <= 6 && found.empty(); ++seed)
      found = FirstDrift(host, seed, 300, trigger.name, tables);
    EXPECT_NE(found, "") << trigger.name;
  }
}

}  // namespace
}  // namespace zet::embedded::testing
