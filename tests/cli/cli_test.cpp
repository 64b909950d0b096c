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
           {"123", R"({"type":"Long","value":123} 123)"}, {"-5", R"({"type":"Long","value":-5} -5)"},
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

// Bad input: one line on standard error, exit status 2, nothing written.
TEST_F(OnDemo, BadInputIsOneLineAndExitTwo) {
  for (const auto& [args, says] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{}, "no command given"}, {{"frobnicate"}, "unknown command 'frobnicate'"},
           {{"--bogus", "todo"}, "unexpected argument '--bogus'"}, {{"call", "GetMaxMin", "1", "1"}, "unknown method"},
           {{"call", "GetMaxMinInterID", "1"}, "takes 2 arguments (lTransType lType), 1 given"},
           {{"call", "GetMaxMinInterID", "1", "s:abc"}, "lType 's:abc' cannot be converted to Long: Type mismatch"},
           {{"call", "GetMaxMinInterID", "1", "2", "--toolbar"}, "--toolbar applies to"},
           {{"next", "1"}, "BILL is required"}, {{"todo", "extra"}, "unexpected argument 'extra'"},
           {{"--db", "missing.db", "todo"}, "missing.db"}}) {
    std::vector<std::string> with_trace = {"--trace", "t.jsonl"};
    with_trace.insert(with_trace.end(), args.begin(), args.end());
    const RunResult run = Zet(with_trace);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_THAT(run.err, HasSubstr(says));
    EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
    EXPECT_FALSE(std::filesystem::exists(box.Path("t.jsonl")));
  }
  EXPECT_FALSE(std::filesystem::exists(box.Path("missing.db")));
}

// One run of each command; messages go to standard error with exit status 1.
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
           {{"--props", "UserID=abc;", "call", "GetMaxMinInterID", "1", "1"}, 1, "0\n"}}) {
    const RunResult run = Zet(args);
    EXPECT_EQ(run.status, status) << args.back() << run.err;
    EXPECT_EQ(run.out, out);
    EXPECT_EQ(run.err.empty(), status == 0) << run.err;
  }
  const auto todo = Lines(Zet({"--user", "16394", "todo"}).out);
  ASSERT_EQ(todo.size(), 10u);
  EXPECT_EQ(todo[1], "  1  reserved (always 0)                      0");
  EXPECT_THAT(todo[9], HasSubstr("vouchers awaiting cashier sign-off"));
  EXPECT_THAT(Zet({"recent", "--help"}).out, HasSubstr("Usage: zetmovebill recent"));
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
  run = box.Zet({"--db", "tour.db", "demo"});
  EXPECT_EQ(run.status, 0) << run.err;
  for (const char* seen : {"made just now", "lily    no: 单据上存在您没有权限的基础资料", "bill 1003: refused",
                           "   1  Stock bill 1-STK-1002  [1|1002]"})
    EXPECT_THAT(run.out, HasSubstr(seen));
}

}  // namespace
}  // namespace zet::cli::testing
