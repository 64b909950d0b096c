// The command line's contract: the argument syntax, the typed JSON of every
// subtype, exit statuses, what bad input leaves behind (nothing), and one run
// of each command on the demo database.
#include <gmock/gmock.h>

#include <nlohmann/json.hpp>

#include "cli/argument_syntax.hpp"
#include "cli/run_binary.hpp"
#include "cli/usage_error.hpp"
#include "cli/value_json.hpp"
#include "host/service_factory.hpp"
#include "support/fake_platform.hpp"

namespace zet::cli::testing {
namespace {

using ::testing::HasSubstr;

// An argument as typed machine output, or the usage error it is.
std::string Typed(const std::string& text) {
  try {
    return Dump(TypedValue(ParseArgument(text))) + " " + PlainText(ParseArgument(text));
  } catch (const UsageError& e) {
    return e.what();
  }
}

TEST(ArgumentSyntax, EachFormGivesItsSubtype) {
  for (const auto& [text, want] : std::vector<std::pair<std::string, std::string>>{
           {"907", R"({"type":"Long","value":907} 907)"}, {"-5", R"({"type":"Long","value":-5} -5)"},
           {"i:7", R"({"type":"Integer","value":7} 7)"}, {"d:1.5", R"({"type":"Double","value":1.5} 1.5)"},
           {"s:a b", R"({"type":"String","value":"a b"} a b)"}, {"s:", R"({"type":"String","value":""} )"},
           {"true", R"({"type":"Boolean","value":true} True)"}, {"false", R"({"type":"Boolean","value":false} False)"},
           {"empty", R"({"type":"Empty","value":null} )"}, {"null", R"({"type":"Null","value":null} Null)"},
           {"-2147483648", R"({"type":"Long","value":-2147483648} -2147483648)"},
           {"2147483648", "bad argument '2147483648': out of range for Long (-2147483648 to 2147483647)"},
           {"i:32768", "bad argument 'i:32768': out of range for Integer (-32768 to 32767)"},
           {"12abc", "bad argument '12abc': expected " + std::string(kArgumentSyntax)},
           {"True", "bad argument 'True': expected " + std::string(kArgumentSyntax)},
           {"d:inf", "bad argument 'd:inf': expected a finite number after d:"}, {"d:", "bad argument 'd:': expected a number after d:"},
           {"-", "bad argument '-': expected a whole number"}})
    EXPECT_EQ(Typed(text), want) << text;
}

TEST(TypedValue, ObjectsShowNothingAndLists) {
  EXPECT_EQ(Dump(TypedValue(Variant::Object(nullptr))), R"({"type":"Object","value":null})");
  EXPECT_EQ(PlainText(Variant::Object(nullptr)), "Nothing");
  zet::testing::FakePlatform host;
  const ObjectRef list = host.CreateObject(ValueListProgId());
  for (Variant v : {Variant::Integer(0), Variant::Double(2.5), Variant::Long(3)}) {
    Argument args[] = {Argument::ByVal(v)};
    list->Call("Add", args);
  }
  EXPECT_EQ(Dump(TypedValue(Variant::Object(list), ObjectShape::List)),
            R"({"type":"Object","value":[{"type":"Integer","value":0},{"type":"Double","value":2.5},)"
            R"({"type":"Long","value":3}]})");
  EXPECT_EQ(Dump(Json(std::string("a\xff"))), "\"a\xef\xbf\xbd\"");
}

class OnDemo : public ::testing::Test {
 protected:
  void SetUp() override { box.MakeDemo(); }
  RunResult Zet(std::vector<std::string> args) const {
    args.insert(args.begin(), {"--db", "demo.db"});
    return box.Zet(args);
  }
  Sandbox box;
};

// One run of each command, and the explainer's lines: a refusal or a message
// gives exit status 1 (the explainer's and `check`'s alike), bad input 2.
TEST_F(OnDemo, EachCommandRunsOnce) {
  for (const auto& [args, status, out] : std::vector<std::tuple<std::vector<std::string>, int, std::string>>{
           {{"--user", "16394", "call", "getmaxmininterid", "1", "s:2"}, 0, "1005\n"},
           {{"--user", "16394", "call", "GetMoveInterID", "s:1002", "d:1.4", "1"}, 0, "1001\n"},
           {{"--user", "16", "call", "CheckSearchBill", "1", "1002", "s:given"}, 0,
            "False\nsInfo=单据上存在您没有权限的基础资料，请联系系统管理员！\n"},
           {{"--user", "25", "call", "SaveRecentBills", "0", "1"}, 0, "\n"},
           {{"--user", "16394", "first", "1"}, 0, "first bill of kind 1: 1001\n"},
           {{"--user", "16", "--props", "UserID=16394;", "last", "1"}, 0, "last bill of kind 1: 1005\n"},
           {{"--user", "16394", "prev", "1000201", "20102"}, 0, "previous bill of kind 1000201 before 20102: 20101\n"},
           {{"--user", "16394", "next", "1", "1005"}, 0, "next bill of kind 1 after 1005: none, stays on 1005\n"},
           {{"--user", "16394", "check", "1", "1002"}, 0, "bill 1002 of kind 1: yes, it may be opened\n"},
           {{"--user", "27", "open", "1", "1001"}, 0,
            "opened bill 1001 of kind 1\nrecent bills of family 2 (kind 1):\n   1  Stock bill 1-STK-1001  [1|1001]\n"},
           {{"--user", "27", "open", "1", "1003"}, 1, ""},
           {{"--user", "27", "recent", "1000201"}, 0, "recent bills of family 1 (kind 1000201):\n   (no recent bills)\n"},
           {{"--props", "UserID=abc;", "call", "GetMaxMinInterID", "1", "1"}, 1, "0\n"},
           {{"--user", "16", "why", "1", "1002"}, 1, "✗ fail  preparer    v1.FBillerID is 17, the user is 16\n"},
           {{"--user", "16", "check", "1", "1002"}, 1, "bill 1002 of kind 1: no"},
           {{"--user", "16394", "why", "1", "1002"}, 0, "verdict: may be opened\n"},
           {{"--user", "29", "why", "1", "1005"}, 0, "✓ pass  customer    t1 (v1.FCustID = 0): no such row"},
           {{"--user", "16", "why", "1", "1002", "--sql"}, 1,
            "  |  SELECT top 1 1 From ICStockBill v1 where 1=1  and FTranType=1 and v1.FBillerID=16 and v1.FInterID = "
            "1002\n"},
           {{"--user", "25", "why-todo", "2"}, 1, "✗ fail  access      object (1088, 2): no row\n"},
           {{"--user", "25", "why-todo", "5"}, 0, "count: 2\n"},
           {{"--user", "16", "why", "1", "x"}, 2, ""},
           {{"--user", "16", "why-todo", "10"}, 2, ""}}) {
    const RunResult run = Zet(args);
    EXPECT_EQ(run.status, status) << args[2] << " " << run.err;
    EXPECT_THAT(run.out, HasSubstr(out)) << args[2];
    EXPECT_TRUE(status != 0 || run.err.empty()) << run.err;
  }
  const auto todo = Lines(Zet({"--user", "16394", "todo"}).out);
  ASSERT_EQ(todo.size(), 10u);
  EXPECT_EQ(todo[1], "  1  reserved (always 0)                      0");
  EXPECT_THAT(todo[9], HasSubstr("vouchers awaiting cashier sign-off"));
  EXPECT_THAT(Zet({"recent", "--help"}).out, HasSubstr("Usage: zetmovebill recent"));
  const nlohmann::json why = nlohmann::json::parse(Zet({"--user", "27", "--json", "why", "1", "1003"}).out);
  EXPECT_EQ(why["may_open"], false);
  EXPECT_EQ(why["agrees"], true);
  EXPECT_EQ(why["steps"].back()["piece"], "stock line");
  EXPECT_EQ(why["check_search_bill"]["sInfo"], "单据上存在您没有权限的基础资料，请联系系统管理员！");
}

TEST_F(OnDemo, JsonAndTraceForScripts) {
  RunResult run = Zet({"--json", "--props", "UserID=abc;", "--trace", "t.jsonl", "call", "CheckSearchBill", "1", "1002", "s:x"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, R"({"result":{"type":"Boolean","value":false},"byref":{"sInfo":{"type":"String","value":"x"}},)"
                     R"("messages":["Type mismatch"]})" "\n");
  EXPECT_EQ(run.err, "message: Type mismatch\n");
  const auto trace = Lines(ReadFile(box.Path("t.jsonl")));
  ASSERT_FALSE(trace.empty());
  EXPECT_EQ(nlohmann::json::parse(trace[0])["member"], "GetProperty");
  Zet({"--user", "25", "call", "SaveRecentBills", "8001", "80"});
  run = Zet({"--user", "25", "--json", "call", "LoadRecentBills", "81", "--toolbar"});
  const nlohmann::json json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["result"]["value"]["rows"][0][1], nlohmann::json({{"type", "Long"}, {"value", 8001}}));
  EXPECT_EQ(json["toolbar"], nlohmann::json::parse(R"([{"place":1,"caption":"Sales invoice-SI-8001","text":"80|8001"}])"));
}

TEST(Demo, InitAndTheTour) {
  Sandbox box;
  RunResult run = box.Zet({"--db", "new.db", "init"});
  EXPECT_EQ(run.out, "created new.db (schema only)\n");
  run = box.Zet({"--db", "new.db", "init", "--demo"});
  EXPECT_EQ(run.status, 2);
  EXPECT_THAT(run.err, HasSubstr("already exists; use --force"));
  EXPECT_EQ(box.Zet({"--db", "new.db", "init", "--demo", "--force"}).out, "created new.db with the demo data\n");
  EXPECT_EQ(box.Zet({"--db", "new.db", "--user", "16394", "first", "1"}).out, "first bill of kind 1: 1001\n");
  run = box.Zet({"--db", "tour.db", "demo"});
  EXPECT_EQ(run.status, 0) << run.err;
  for (const char* seen : {"made just now", "lily    no: 单据上存在您没有权限的基础资料", "bill 1003: refused",
                           "   1  Stock bill 1-STK-1002  [1|1002]"})
    EXPECT_THAT(run.out, HasSubstr(seen));
}

}  // namespace
}  // namespace zet::cli::testing
