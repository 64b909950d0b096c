// The binary as people and scripts run it: exit statuses, what is written
// where, and what bad input leaves behind (nothing).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cli/run_binary.hpp"
#include "embedded/demo_data.hpp"

namespace zet::cli::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

const std::string kAdmin = std::to_string(embedded::kDemoAdministrator);

std::vector<std::string> With(std::vector<std::string> head, const std::vector<std::string>& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

class OnDemo : public ::testing::Test {
 protected:
  void SetUp() override { box.MakeDemo(); }
  RunResult Zet(const std::vector<std::string>& args) const { return box.Zet(With({"--db", "demo.db"}, args)); }
  Sandbox box;
};

TEST_F(OnDemo, BadInputIsOneLineOnStandardErrorAndExitTwoWithNothingWritten) {
  struct Case {
    std::vector<std::string> args;
    const char* says;
  };
  const Case cases[] = {
      {{}, "no command given"},
      {{"frobnicate"}, "unknown command 'frobnicate'"},
      {{"--bogus", "todo"}, "unexpected argument '--bogus'"},
      {{"call"}, "METHOD is required"},
      {{"call", "GetMaxMin", "1", "1"}, "unknown method 'GetMaxMin'"},
      {{"call", "GetMaxMinInterID", "1"}, "takes 2 arguments (lTransType lType), 1 given"},
      {{"call", "GetMaxMinInterID", "1", "2", "3"}, "3 given"},
      {{"call", "GetMaxMinInterID", "1", "abc"}, "bad argument 'abc'"},
      {{"call", "GetMaxMinInterID", "1", "i:99999"}, "out of range for Integer"},
      {{"call", "GetMaxMinInterID", "1", "s:abc"}, "lType 's:abc' cannot be converted to Long: Type mismatch"},
      {{"call", "GetMaxMinInterID", "1", "null"}, "Invalid use of Null"},
      {{"call", "GetMaxMinInterID", "1", "2", "--toolbar"}, "--toolbar applies to"},
      {{"first"}, "TYPE is required"},
      {{"first", "x"}, "TYPE"},
      {{"next", "1"}, "BILL is required"},
      {{"check", "1", "2", "3"}, "unexpected argument '3'"},
      {{"todo", "extra"}, "unexpected argument 'extra'"},
      // The last of a repeated option counts.
      {{"--trace", "/nonexistent-dir/t.jsonl", "todo"}, "cannot open the trace file"},
  };
  for (const Case& c : cases) {
    const RunResult run = box.Zet(With({"--db", "demo.db", "--trace", "t.jsonl"}, c.args));
    SCOPED_TRACE(run.err);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_THAT(run.err, StartsWith("zetmovebill: "));
    EXPECT_THAT(run.err, HasSubstr(c.says));
    EXPECT_EQ(Lines(run.err).size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(box.Path("t.jsonl"))) << "a trace was written";
  }
}

TEST(Database, AMissingFileIsAnErrorAndIsNotCreated) {
  Sandbox box;
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--db", "missing.db", "first", "1"},
                                               {"--db", "missing.db", "call", "GetToDoThingCount"},
                                               {"--db", "missing.db", "--trace", "t.jsonl", "todo"},
                                               {"todo"}}) {
    const RunResult run = box.Zet(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(box.Path("missing.db")));
  EXPECT_FALSE(std::filesystem::exists(box.Path("zetmovebill.db")));
  EXPECT_FALSE(std::filesystem::exists(box.Path("t.jsonl")));
}

TEST(Database, AFileThatIsNoDatabaseOfThisSchemaIsAnErrorAndIsLeftAlone) {
  Sandbox box;
  {
    std::ofstream text(box.Path("notes.db"));
    text << "not a database\n";
  }
  embedded::Database::Create(box.Path("other.db").string())->Execute("CREATE TABLE t (x INTEGER)");
  for (const char* name : {"notes.db", "other.db"}) {
    const std::string before = ReadFile(box.Path(name));
    const RunResult run = box.Zet({"--db", name, "first", "1"});
    EXPECT_EQ(run.status, 2) << name;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
    EXPECT_EQ(ReadFile(box.Path(name)), before);
  }
}

TEST(Init, CreatesTheSchemaAndRefusesToOverwriteWithoutForce) {
  Sandbox box;
  RunResult run = box.Zet({"--db", "new.db", "init"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "created new.db (schema only)\n");
  // An empty schema: the methods run and find nothing.
  run = box.Zet({"--db", "new.db", "--user", "1", "check", "1", "1001"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "bill 1001 of kind 1: no: 单据显示错误，所选单据可能已经被删除！\n");

  const std::string before = ReadFile(box.Path("new.db"));
  run = box.Zet({"--db", "new.db", "init", "--demo"});
  EXPECT_EQ(run.status, 2);
  EXPECT_THAT(run.err, HasSubstr("already exists; use --force"));
  EXPECT_EQ(ReadFile(box.Path("new.db")), before);

  run = box.Zet({"--db", "new.db", "init", "--demo", "--force"});
  EXPECT_EQ(run.status, 0) << run.err;
  run = box.Zet({"--db", "new.db", "--user", kAdmin, "first", "1"});
  EXPECT_EQ(run.out, "first bill of kind 1: 1001\n");
}

TEST_F(OnDemo, CallPrintsTheResultThenTheByReferenceArguments) {
  struct Case {
    std::vector<std::string> args;
    const char* out;
  };
  const Case cases[] = {
      {{"--user", kAdmin, "call", "GetMaxMinInterID", "1", "1"}, "1001\n"},
      {{"--user", kAdmin, "call", "GetMaxMinInterID", "1", "s:2"}, "1005\n"},
      {{"--user", kAdmin, "call", "GetMoveInterID", "s:1002", "d:1.4", "1"}, "1001\n"},
      {{"--user", kAdmin, "call", "GetMoveInterID", "1005", "2", "1"}, "1005\n"},
      {{"--user", kAdmin, "call", "GetMoveInterID", "empty", "2", "1"}, "0\n"},
      {{"--user", kAdmin, "call", "CheckSearchBill", "1", "1002", "s:as given"}, "True\nsInfo=as given\n"},
      {{"--user", "16", "call", "CheckSearchBill", "1", "1002"},
       "False\nsInfo=单据上存在您没有权限的基础资料，请联系系统管理员！\n"},
      {{"--user", "16", "call", "CheckSearchBill", "1", "999"},
       "False\nsInfo=单据显示错误，所选单据可能已经被删除！\n"},
      {{"--user", "25", "call", "SaveRecentBills", "0", "1"}, "\n"},
  };
  for (const Case& c : cases) {
    const RunResult run = Zet(c.args);
    SCOPED_TRACE(c.args.back());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, c.out);
  }
}

TEST_F(OnDemo, JsonShowsResultByRefAndMessages) {
  RunResult run = Zet({"--json", "--user", "16", "call", "CheckSearchBill", "1", "1002"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, R"({"result":{"type":"Boolean","value":false},"byref":{"sInfo":{"type":"String","value":")"
                     "单据上存在您没有权限的基础资料，请联系系统管理员！"
                     R"("}},"messages":[]})"
                     "\n");

  run = Zet({"--user", "25", "call", "SaveRecentBills", "8001", "80", "--json"});
  EXPECT_EQ(run.out, R"({"result":{"type":"Empty","value":null},"byref":{},"messages":[]})"
                     "\n");

  run = Zet({"--user", "25", "--json", "call", "LoadRecentBills", "81", "--toolbar"});
  const nlohmann::json json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["result"]["type"], "Object");
  const nlohmann::json& value = json["result"]["value"];
  EXPECT_EQ(value["fields"],
            nlohmann::json({"FUserID", "FBillID", "FClassTypeID", "FNo", "FBigType", "FBillNo", "FName"}));
  ASSERT_EQ(value["rows"].size(), 1u);
  EXPECT_EQ(value["rows"][0][1], nlohmann::json({{"type", "Long"}, {"value", 8001}}));
  EXPECT_EQ(json["toolbar"],
            nlohmann::json::parse(R"([{"place":1,"caption":"Sales invoice-SI-8001","text":"80|8001"}])"));

  run = Zet({"--user", kAdmin, "--json", "call", "GetToDoThingCount"});
  const nlohmann::json counts = nlohmann::json::parse(run.out)["result"];
  ASSERT_EQ(counts["value"].size(), 9u);
  EXPECT_EQ(counts["value"][0], nlohmann::json({{"type", "Integer"}, {"value", 0}}));
  for (size_t i = 1; i < 7; ++i) EXPECT_EQ(counts["value"][i]["type"], "Double") << i;
  for (size_t i = 7; i < 9; ++i) EXPECT_EQ(counts["value"][i]["type"], "Long") << i;
}

// A user id that is no number: the component's own failure shows as
// messages, each on standard error and in the JSON, and the exit status is 1.
TEST_F(OnDemo, MessagesGoToStandardErrorAndIntoTheJsonWithExitOne) {
  const RunResult run = Zet({"--props", "UserID=abc;", "--json", "call", "GetMaxMinInterID", "1", "1"});
  EXPECT_EQ(run.status, 1);
  const nlohmann::json json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["result"], nlohmann::json({{"type", "Long"}, {"value", 0}}));
  std::vector<std::string> shown;
  for (const auto& message : json["messages"]) shown.push_back("message: " + message.get<std::string>());
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(Lines(run.err), shown);
  EXPECT_EQ(shown.back(), "message: Type mismatch");
}

TEST(Messages, APlaceBeyondTheToolbarIsOneMessageAndNothing) {
  Sandbox box;
  box.MakeDb(
      "own.db",
      "INSERT INTO ICStockBill (FInterID, FTranType, FBillNo) VALUES (1050, 1, 'B-1050');"
      "INSERT INTO ICClassRecentBills (FUserID, FBillID, FClassTypeID, FNo, FBigType) VALUES (25, 1050, 1, 21, 2);");
  const RunResult run = box.Zet({"--db", "own.db", "--user", "25", "call", "LoadRecentBills", "1", "--toolbar"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "message: Index out of bounds\n");
  EXPECT_EQ(run.out, "Nothing\n   (no recent bills)\n");
}

// The context property string the host publishes: --props as given, winning
// over --user; without either, nothing at all.
TEST_F(OnDemo, PropsWinOverUserAndNeitherMeansAnEmptyPropertyString) {
  EXPECT_EQ(Zet({"--user", "16", "last", "1"}).out, "last bill of kind 1: 1001\n");
  EXPECT_EQ(Zet({"--user", "16", "--props", "UserID=" + kAdmin + ";", "last", "1"}).out, "last bill of kind 1: 1005\n");
  EXPECT_EQ(Zet({"--props", "X=1;UserID=16", "last", "1"}).out, "last bill of kind 1: 1001\n");

  const RunResult run = Zet({"--trace", "-", "call", "GetMaxMinInterID", "1", "1"});
  std::vector<std::string> published;
  for (const std::string& line : Lines(run.err)) {
    if (line.rfind("message: ", 0) == 0) continue;
    const nlohmann::json call = nlohmann::json::parse(line);
    if (call["member"] == "GetData") published.push_back(call["args"][0]);
  }
  ASSERT_FALSE(published.empty());
  for (const std::string& props : published) EXPECT_EQ(props, "");
}

TEST_F(OnDemo, FriendlyNavigationPicksTheDirectionCodeOfTheKind) {
  struct Case {
    std::vector<std::string> args;
    const char* out;
  };
  const Case cases[] = {
      {{"first", "1"}, "first bill of kind 1: 1001\n"},
      {{"last", "1"}, "last bill of kind 1: 1005\n"},
      {{"next", "1", "1001"}, "next bill of kind 1 after 1001: 1002\n"},
      {{"prev", "1", "1002"}, "previous bill of kind 1 before 1002: 1001\n"},
      {{"prev", "1", "1001"}, "previous bill of kind 1 before 1001: none, stays on 1001\n"},
      {{"next", "1000201", "20101"}, "next bill of kind 1000201 after 20101: 20102\n"},
      {{"prev", "1000201", "20102"}, "previous bill of kind 1000201 before 20102: 20101\n"},
      {{"next", "1000206", "20601"}, "next bill of kind 1000206 after 20601: 20602\n"},
      {{"prev", "1007000", "70002"}, "previous bill of kind 1007000 before 70002: 70001\n"},
      {{"next", "71", "7101"}, "next bill of kind 71 after 7101: 7102\n"},
      {{"check", "1", "1002"}, "bill 1002 of kind 1: yes, it may be opened\n"},
  };
  for (const Case& c : cases) {
    const RunResult run = Zet(With({"--user", kAdmin}, c.args));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, c.out);
  }
  const RunResult refused = Zet({"--user", "16", "check", "1", "1002"});
  EXPECT_EQ(refused.status, 0);
  EXPECT_EQ(refused.out, "bill 1002 of kind 1: no: 单据上存在您没有权限的基础资料，请联系系统管理员！\n");
}

TEST_F(OnDemo, TodoLabelsEveryPosition) {
  const RunResult run = Zet({"--user", kAdmin, "todo"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[1], "  1  reserved (always 0)                      0");
  const char* labels[] = {"purchase orders due for receipt", "purchase invoices due for payment",
                          "sales orders due for delivery",   "sales invoices due for collection",
                          "other receivables due",           "other payables due",
                          "vouchers awaiting check",         "vouchers awaiting cashier sign-off"};
  for (size_t i = 0; i < 8; ++i) {
    EXPECT_THAT(lines[i + 2], HasSubstr(labels[i]));
    // The demo gives the administrator something to do at every position.
    EXPECT_EQ(lines[i + 2].find(" 0", lines[i + 2].size() - 2), std::string::npos) << lines[i + 2];
  }
}

TEST_F(OnDemo, OpenChecksFirstThenRecordsAndRecentShowsTheMenu) {
  RunResult run = Zet({"--user", "27", "open", "1", "1001"});
  EXPECT_EQ(run.status, 0) << run.err;
  run = Zet({"--user", "27", "open", "1", "1002"});
  run = Zet({"--user", "27", "open", "1", "1001"});
  EXPECT_EQ(run.out,
            "opened bill 1001 of kind 1\n"
            "recent bills of family 2 (kind 1):\n"
            "   1  Stock bill 1-STK-1001  [1|1001]\n"
            "   2  Stock bill 1-STK-1002  [1|1002]\n");

  // Stocks of bill 1003 are outside susan's rights: refused, nothing recorded.
  run = Zet({"--user", "27", "open", "1", "1003"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "message: 单据上存在您没有权限的基础资料，请联系系统管理员！\n");

  run = Zet({"--user", "27", "recent", "81"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "recent bills of family 2 (kind 81):\n"
            "   1  Stock bill 1-STK-1001  [1|1001]\n"
            "   2  Stock bill 1-STK-1002  [1|1002]\n");
  run = Zet({"--user", "27", "recent", "1000201"});
  EXPECT_EQ(run.out, "recent bills of family 1 (kind 1000201):\n   (no recent bills)\n");
}

TEST_F(OnDemo, EveryCommandHasHelp) {
  for (const char* command :
       {"init", "call", "first", "last", "prev", "next", "check", "todo", "open", "recent", "demo"}) {
    const RunResult run = Zet({command, "--help"});
    EXPECT_EQ(run.status, 0) << command;
    EXPECT_THAT(run.out, HasSubstr(std::string("Usage: zetmovebill ") + command)) << command;
  }
  const RunResult run = box.Zet({"--help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_THAT(run.out, HasSubstr("--trace FILE"));
}

TEST(Demo, MakesTheDatabaseWhenThereIsNoneAndTours) {
  Sandbox box;
  RunResult run = box.Zet({"--db", "tour.db", "demo"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(std::filesystem::exists(box.Path("tour.db")));
  EXPECT_THAT(run.out, HasSubstr("made just now"));
  for (const char* seen : {"admin (user 16394)", "lily (user 16)", "susan (user 27)", "first 1001, next 1002",
                           "lily    no: 单据上存在您没有权限的基础资料", "vouchers awaiting cashier sign-off",
                           "bill 1003: refused", "   1  Stock bill 1-STK-1002  [1|1002]"})
    EXPECT_THAT(run.out, HasSubstr(seen));

  // A second tour uses the database that is there.
  run = box.Zet({"--db", "tour.db", "demo"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.out, ::testing::Not(HasSubstr("made just now")));
}

}  // namespace
}  // namespace zet::cli::testing
