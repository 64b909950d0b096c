// The rows the schema derives (the bill register, settled sums, the bill of
// each settlement, amounts kept to four decimals) under any sequence of
// writes by a plain SQLite client: REPLACE conflicts, rowid updates, deletes.
// After every write they equal their recomputation (verify finds no drift),
// and at the end the six methods answer as on a twin given the same rows.
#include <gmock/gmock.h>
#include <sqlite3.h>

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

// Few ids, so that writes collide; bill numbers that differ only in case;
// amounts with more decimals than money keeps, one above 1e11.
constexpr const char* kNumbers[] = {"'A'", "'a'", "'B'"};
constexpr const char* kAmounts[] = {"0.1", "0.7", "100", "0.30000000000000004", "1.23456", "455094848186.119"};
constexpr const char* kIdColumns[] = {"", "rowid", "oid", "_rowid_"};  // "" for the table's own name of it

// The transaction types of a table that holds several.
std::vector<std::string> TypesOf(const BillTable& t) {
  if (t.table == "ICStockBill") return {"1", "2"};
  if (t.table == "ICPurchase") return {"75", "76"};
  if (t.table == "ICSale") return {"80", "86"};
  return {};
}

// One random write of a plain client: a row of a bill table (with the due
// date of today where a due list reads one), its id, number or kind changed,
// it deleted; an amount; a settlement.
std::string RandomWrite(std::mt19937& random) {
  const auto pick = [&](auto& list) { return list[random() % std::size(list)]; };
  const std::string id = std::to_string(random() % 4 + 1), other = std::to_string(random() % 4 + 1);
  const std::span<const BillTable> bills = BillTables();
  const std::span<const MoneyColumn> money = MoneyColumns();
  const size_t choice = random() % (bills.size() * 5 + money.size() * 2 + 5);
  if (choice < bills.size() * 5) {
    const BillTable& t = bills[choice / 5];
    const std::string table(t.table), key(t.id), no(t.number);
    const std::vector<std::string> types = TypesOf(t);
    const std::string kind = types.empty() ? "" : ", FTranType = " + types[random() % 2];
    const std::string today = std::string("'") + kToday + "', FStatus = 1";
    const std::string due = t.table == "ICSale" || t.table == "ICPurchase" ? ", FPayDate = " + today
                            : t.table.ends_with("OtherBill")               ? ", FLimitDate = " + today
                                                                           : "";
    const std::string named = pick(kIdColumns), id_column = named.empty() ? key : named;
    switch (choice % 5) {
      case 0:  // written whole, with and without REPLACE
        return std::string(random() % 2 ? "INSERT OR REPLACE" : "INSERT") + " INTO " + table + " (" + key + ", " + no +
               ") VALUES (" + id + ", " + pick(kNumbers) + "); UPDATE " + table + " SET " + key + " = " + key + kind +
               due + " WHERE " + key + " = " + id;
      case 1:
        return std::string(random() % 2 ? "UPDATE OR REPLACE " : "UPDATE ") + table + " SET " + id_column + " = " + id +
               " WHERE " + key + " = " + other;
      case 2:
        return "UPDATE " + table + " SET " + no + " = " + pick(kNumbers) + kind + " WHERE " + key + " = " + id;
      case 3:
        return "DELETE FROM " + table + " WHERE " + key + " = " + id;
      default:
        return "REPLACE INTO " + table + " (" + key + ") VALUES (" + id + ")";
    }
  }
  if (const size_t m = choice - bills.size() * 5; m < money.size() * 2) {
    const MoneyColumn& c = money[m / 2];
    const std::string table(c.table), column(c.column);
    if (m % 2) return "INSERT INTO " + table + " (" + column + ") VALUES (" + pick(kAmounts) + ")";
    return "UPDATE " + table + " SET " + column + " = " + pick(kAmounts) + " WHERE rowid = " + id;
  }
  const std::string bill = std::to_string(random() % 3 + 1), type = random() % 2 ? "80" : "1000205";
  const std::string named = pick(kIdColumns), id_column = named.empty() ? "FID" : named;
  switch (choice % 5) {
    case 0:
      return std::string(random() % 2 ? "INSERT OR REPLACE" : "INSERT") +
             " INTO t_RP_Settlement (FID, FInterID, FTranType, FAmountFor) VALUES (" + id + ", " + bill + ", " + type +
             ", " + pick(kAmounts) + ")";
    case 1:
      return std::string(random() % 2 ? "UPDATE OR REPLACE" : "UPDATE") + " t_RP_Settlement SET " + id_column + " = " +
             id + " WHERE FID = " + other;
    case 2:
      return "UPDATE t_RP_Settlement SET FInterID = " + bill + ", FTranType = " + type + " WHERE FID = " + id;
    case 3:
      return "DELETE FROM t_RP_Settlement WHERE FID = " + id;
    default:
      return "REPLACE INTO t_RP_Settlement (FID, FInterID, FTranType) VALUES (" + id + ", " + bill + ", " + type + ")";
  }
}

// Writes `steps` random writes and returns the first drift verify finds
// after one of them, with that write ("" when there is none).
std::string FirstDrift(Host& host, uint32_t seed, int steps) {
  std::mt19937 random(seed);
  PlainClient client(host.path());
  for (int step = 1; step <= steps; ++step) {
    const std::string write = RandomWrite(random);
    client.Write(write);
    const std::vector<Drift> drift = FindDrift(host.db());
    if (!drift.empty()) return drift.front().Line() + " after write " + std::to_string(step) + ": " + write;
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
// derived row drifts.
TEST(DerivedRows, EveryTriggerIsNeeded) {
  for (const SchemaObject& trigger : SchemaObjects()) {
    if (trigger.type != "trigger") continue;
    Host host;
    host.Exec("DROP TRIGGER " + trigger.name);
    EXPECT_NE(FirstDrift(host, 1, 600), "") << trigger.name;
  }
}

}  // namespace
}  // namespace zet::embedded::testing
