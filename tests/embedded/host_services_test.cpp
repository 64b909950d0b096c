// The suite's services over SQLite: recordsets, the database's own errors,
// text compared as the server does, CharIndex, batches run whole, reads that
// cannot write, access rights, the trace, one snapshot per method call, and
// indexes brought up to date.
#include <gmock/gmock.h>
#include <sqlite3.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "embedded/database.hpp"
#include "embedded/schema.hpp"
#include "host/error.hpp"
#include "host/gateway.hpp"
#include "host/recordset.hpp"
#include "host/service_factory.hpp"
#include "support/embedded_host.hpp"
#include "support/method_case.hpp"

namespace zet::embedded::testing {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using zet::testing::Error;

Variant Call(const ObjectRef& object, std::string_view member, std::vector<Variant> values = {}) {
  std::vector<Argument> args;
  for (Variant& v : values) args.push_back(Argument::ByRef(v));
  return object->Call(member, args);
}
const std::string kDbError = std::to_string(err::kDatabaseError) + " ";

TEST(Recordset, ReadsSubtypesMovesClonesAndCloses) {
  Host host;
  host.Exec("INSERT INTO t_User (FUserID, FName) VALUES (1, 'a'), (2, 'b'), (3, 'c')");
  const Recordset values = QueryData(host.platform(), "select 7, 3000000000, 1.5, 'abc' as FText, NULL");
  EXPECT_EQ(values.Field(0), Variant::Long(7));
  EXPECT_EQ(values.Field(1), Variant::Double(3000000000.0));
  EXPECT_EQ(values.Field(2), Variant::Double(1.5));
  EXPECT_EQ(values.Field("FTEXT"), Variant::String("abc"));
  EXPECT_TRUE(values.Field(4).IsNull());
  const Recordset rs = QueryData(host.platform(), "select FUserID, FName from t_User where FName>='A' order by 1");
  EXPECT_EQ(rs.RecordCount(), 3);                                // text compares without regard to case
  EXPECT_EQ(rs.Object()->Get("recordCOUNT"), Variant::Long(3));  // and so do member names
  rs.MoveNext();
  const Recordset clone(rs.Clone());  // shares the rows, from the first
  EXPECT_EQ(clone.Field(0), Variant::Long(1));
  rs.MoveNext(), rs.MoveNext();
  EXPECT_EQ(Error([&] { rs.Field(0); }), "3021 " + RuntimeErrorText(err::kNoCurrentRecord));
  rs.Close();
  EXPECT_EQ(Error([&] { rs.Eof(); }).substr(0, 5), "3704 ");
  EXPECT_EQ(rs.Object()->Get("State"), Variant::Long(0));  // the one member that answers once closed
  EXPECT_EQ(clone.RecordCount(), 3);
  EXPECT_EQ(Error([&] { clone.Field("FNope"); }).substr(0, 5), "3265 ");
  EXPECT_EQ(Error([&] { QueryData(host.platform(), "select FNope from t_User"); }), kDbError + "no such column: FNope");
}

TEST(CharIndex, AnswersAsTheServerDoes) {
  Host host;
  // clang-format off
  for (const auto& [expression, want] : std::vector<std::pair<std::string, std::string>>{
           {"charindex('16','16394')", "1"}, {"CharIndex('x','abc')", "0"}, {"charindex('', 'abc')", "0"},
           {"charindex('中','文中文中')", "2"}, {"charindex('中','文中文中', 3)", "4"},
           {"ifnull(charindex(NULL,'abc'),'Null')", "Null"}, {"charindex('25',2025)", "3"}})
    // clang-format on
    EXPECT_EQ(CStr(host.db().Query("select " + expression).rows.at(0).at(0)), want) << expression;
}

// A batch runs whole or not at all: a last statement that fails as it runs
// (after the others have), one that fails to prepare, or a line the adapter
// refuses, leaves the tables as they were.
TEST(UpdateBatch, RunsWholeOrNotAtAll) {
  Host host;
  host.Exec("INSERT INTO t_User (FUserID) VALUES (7)");
  const auto batch = [&](const char* sql) { return Error([&] { UpdateData(host.platform(), sql); }); };
  EXPECT_EQ(batch("update t_User set FUserID=8\r\ninsert into t_User(FUserID) values (9)\r\n delete from t_Userz\r\n"),
            kDbError + "no such table: t_Userz");
  EXPECT_EQ(batch("update t_User set FUserID=8\r\ninsert into t_User(FUserID) values (8)"),
            kDbError + "UNIQUE constraint failed: t_User.FUserID");
  EXPECT_THAT(batch("delete from t_User\r\ninsert into t_User(FUserID) values (@@IDENTITY)"), StartsWith(kDbError));
  EXPECT_EQ(host.db().Query("select FUserID from t_User").rows, std::vector<std::vector<Variant>>{{Variant::Long(7)}});
  EXPECT_EQ(Error([&] {
              Call(host.platform().CreateObject(kClassUpdateProgId), "UpdateBatch",
                   {Variant::String(""), Variant::String("delete from t_User")});
            }).substr(0, 3),
            "13 ");
}

// Every read service runs one statement that changes nothing, and refuses
// the rest: a write, a second statement after the first, or text read from an
// integer column (a user id pasted into a list of ids).
TEST(ReadServices, RefuseAWriteOrASecondStatement) {
  Host host(true);
  // SQLite keeps text that another client stores in an integer column.
  host.Exec("INSERT INTO t_Group (FUserID, FGroupID) VALUES ('0) OR (1=1', 7)");
  const int before = sqlite3_total_changes(host.db().Handle());
  // clang-format off
  for (const auto& [service, member] : std::vector<std::pair<std::string_view, std::string_view>>{
           {kAppConnectionProgId, "Execute"}, {kClassInfoProgId, "GetData"}, {kBillDataProgId, "ExecuteSQL"}}) {
    // clang-format on
    const auto read = [&](const std::string& sql) {
      std::vector<Variant> args = {Variant::String(sql)};
      if (member != "Execute") args.insert(args.begin(), Variant::String("UserID=1;"));
      return Call(host.platform().CreateObject(service), member, args);
    };
    EXPECT_TRUE(read("select FUserID from t_User").IsObject()) << service;
    // clang-format off
    for (const auto& [sql, says] : std::vector<std::pair<std::string, std::string>>{
             {"delete from t_User", "cannot change the database; refused: delete from t_User"},
             {"update t_User set FName='x'", "cannot change the database"},
             {"select 1 from t_User delete from t_User", "refused a text of 2 statements"},
             {"select 1; select 2", "refused a text of 2 statements"},
             {"select distinct tt1.FUserID from t_group tt1 where tt1.FGroupID=7", "FUserID holds text '0) OR (1=1'"}})
      // clang-format on
      EXPECT_THAT(Error([&] { read(sql); }), AllOf(StartsWith(kDbError), HasSubstr(says))) << service;
  }
  EXPECT_EQ(sqlite3_total_changes(host.db().Handle()), before);
}

// A text sent again, or another of the same shape, is answered with its own
// values and for the day pinned when it is sent.
TEST(ReadServices, ARepeatedTextKeepsItsValuesAndTheDay) {
  Host host;
  host.Exec("INSERT INTO t_User (FUserID, FName) VALUES (7, 'seven'), (8, 'eight')");
  // clang-format off
  const std::pair<const char*, const char*> sends[] = {
      {"2026-01-01", "select FName from t_User where FUserID=7"},
      {"2026-01-01", "select FName from t_User where FUserID=8"},
      {"2026-01-01", "select FName from t_User where FUserID=7"},
      {"2026-01-01", "select FName from t_User where FUserID=8"},
      {"2026-01-01", "select datediff(day,'2026-01-01',getdate())"},
      {"2026-01-03", "select datediff(day,'2026-01-01',getdate())"}};
  // clang-format on
  std::vector<std::string> answers;
  for (const auto& [day, sql] : sends) {
    host.platform().SetToday(day);
    answers.push_back(CStr(QueryData(host.platform(), sql).Field(0)));
  }
  EXPECT_EQ(answers, (std::vector<std::string>{"seven", "eight", "seven", "eight", "0", "2"}));
}

// One row (the user's or a group's) must carry every bit asked for.
TEST(AccessCheck, GrantsWhenOneRowCarriesEveryBit) {
  Host host;
  host.Exec(
      "INSERT INTO t_Group (FUserID, FGroupID) VALUES (1, 1), (16, 2), (17, 3);"
      "INSERT INTO t_AccessControl (FUserID, FObjectType, FObjectID, FAccessMask) VALUES "
      "  (16, 4, 0, 9), (2, 4, 0, 16), (17, 4, 0, 1), (3, 4, 0, 2), (16, 5, 0, NULL), (0, 4, 0, 255)");
  // clang-format off
  for (const auto& [user, type, right, granted] : std::vector<std::tuple<int32_t, int32_t, int32_t, bool>>{
           {16, 4, 9, true}, {16, 4, 16, true}, {16, 4, 24, false}, {16, 6, 1, false}, {16, 5, 0, false},
           {17, 4, 16, false}, {1, 99, 1 << 30, true}, {0, 4, 1, false}}) {
    // clang-format on
    host.platform().SetProps(user ? "UserID=" + std::to_string(user) + ";" : "");
    const std::string error = Error([&] { EXPECT_TRUE(CheckAccess(host.platform(), type, 0, right, "J")); });
    EXPECT_EQ(error.substr(0, error.find(' ')), granted ? "0" : std::to_string(err::kAccessDenied))
        << user << " " << right;
  }
}

// The trace shows every call on a host object as made, none on recordsets.
TEST(Trace, RecordsEveryCallOnHostObjects) {
  Host host(false, "UserID=25;");
  std::vector<std::string> trace;
  host.platform().SetTraceSink([&](const TraceRecord& r) {
    std::string line = r.object + "." + r.member;
    for (const Variant& arg : r.args) line += " " + CStr(arg);
    trace.push_back(line);
  });
  QueryData(host.platform(), "select 1").MoveNext();
  const std::string props =
      "ZetPropsMgr.ShareProps.GetProperty " + std::to_string(host.platform().CurrentProcessId()) + " PropsString";
  EXPECT_EQ(trace, (std::vector<std::string>{std::string(ServiceFactoryProgId()) + ".CreateService ZetMClass.ClassInfo",
                                             props, props, "ZetMClass.ClassInfo.GetData UserID=25; select 1"}));
}

// The reads of one method call share one snapshot, taken at the first of
// them; a write in the call takes the file for itself, and the reads after it
// see it; however the call ends, it leaves no transaction open, and the next
// call reads what another connection committed meanwhile.
TEST(MethodCall, ReadsOneSnapshotAndLetsItGoWhenItEnds) {
  Host host(false, "UserID=1;");
  // User 17 sees the bills of a group whose member list holds a text: the
  // list's read fails halfway, after the call's first read.
  host.Exec(
      "INSERT INTO t_Group (FUserID, FGroupID) VALUES (1, 1), (17, 3), ('x', 3);"
      "INSERT INTO t_User (FUserID, FUserGroupRight) VALUES (17, 1);"
      "INSERT INTO ICStockBill (FInterID, FTranType, FBillNo) VALUES (10, 1, 'A')");
  const auto other = Database::Open(host.path());
  int32_t bill = 10;
  const auto add_bill = [&](Database& db) {
    db.Query("INSERT INTO ICStockBill (FInterID, FTranType, FBillNo) VALUES (?, 1, 'B')", {Variant::Long(++bill)});
  };
  const auto last = [&] { return std::to_string(clsMoveBill(host.platform()).GetMaxMinInterID(1, 2)); };
  // clang-format off
  const std::vector<std::pair<std::string, std::function<std::string()>>> calls = {
      {"10 10", [&] { const std::string before = last(); add_bill(*other); return before + " " + last(); }},
      {"12 14", [&] { const std::string before = last();
                      const std::string insert = "insert into ICStockBill (FInterID, FTranType, FBillNo) values (";
                      bill += 2;
                      UpdateData(host.platform(), insert + std::to_string(bill - 1) + ", 1, 'W')\r\n" +
                                                  insert + std::to_string(bill) + ", 1, 'W')");
                      return before + " " + last(); }},
      {"0", [&] { host.As(17); const std::string answer = last(); host.As(1); return answer; }}};
  // clang-format on
  for (const auto& [want, call] : calls) {
    std::string answer;
    {
      const MethodScope scope(host.platform());
      answer = call();
    }
    EXPECT_EQ(answer, want);
    EXPECT_TRUE(sqlite3_get_autocommit(host.db().Handle())) << want;
    add_bill(*other);
    EXPECT_EQ(last(), std::to_string(bill)) << want;
  }
  EXPECT_EQ(host.messages.size(), 2u);  // the failing list, then the statement it left unfinished

  // Another thread's call on the same host waits until the call ends, and
  // then reads past its snapshot.
  std::string seen;
  std::thread waiting;
  {
    const MethodScope scope(host.platform());
    last();
    add_bill(*other);
    waiting = std::thread([&] { seen = last(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  waiting.join();
  EXPECT_EQ(seen, std::to_string(bill));
}

// A file of an older build keeps its data; its indexes and triggers are
// brought to the schema's form when it is next opened for writing (a trigger
// of the schema's naming that this build does not make is dropped, another
// client's own is kept), and a current file's schema is not touched at all.
TEST(Schema, OpeningForWritingRemakesAnIndexOfAnOlderForm) {
  TempDir dir;
  CreateDatabase(dir.Path(), false, false, kToday);
  char mark[4] = {};  // user_version, in the file's header
  std::ifstream(dir.Path(), std::ios::binary).seekg(60).read(mark, sizeof mark);
  EXPECT_NE(std::string(mark, sizeof mark), std::string(4, '\0')) << "init leaves the file marked as found right";
  const auto schema_version = [&] {
    return CLng(Database::Open(dir.Path())->Query("PRAGMA schema_version").rows[0][0]);
  };
  const int32_t current = schema_version();
  EXPECT_EQ(schema_version(), current);
  EXPECT_EQ(BuiltScriptMark(), ScriptMark(SchemaScript()));
  Database::Open(dir.Path())
      ->Execute(
          "DROP INDEX ix_ICSale_PayDay; CREATE INDEX ix_ICSale_PayDay ON ICSale (julianday(date(FPayDate)));"
          "DROP TRIGGER tr_Settlement_Drop;"
          "CREATE TRIGGER tr_ICSale_FInvoiceAmountFor_Money AFTER INSERT ON ICSale BEGIN SELECT 1; END;"
          "CREATE TRIGGER audit_ICSale AFTER INSERT ON ICSale BEGIN SELECT 1; END;");
  const auto rows = Database::Open(dir.Path())
                        ->Query(
                            "SELECT name, sql FROM sqlite_master WHERE name IN ('ix_ICSale_PayDay', "
                            "'tr_Settlement_Drop', 'tr_ICSale_FInvoiceAmountFor_Money', 'audit_ICSale') ORDER BY name")
                        .rows;
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(CStr(rows.at(0).at(0)), "audit_ICSale");
  EXPECT_THAT(CStr(rows.at(1).at(1)), HasSubstr("FInvoiceAmountFor"));
  EXPECT_THAT(CStr(rows.at(2).at(1)), HasSubstr("AFTER DELETE ON t_RP_Settlement"));
}

}  // namespace
}  // namespace zet::embedded::testing
