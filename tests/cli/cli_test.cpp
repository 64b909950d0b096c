// The command line's contract: the argument syntax, typed JSON, exit statuses,
// one run of each command on the demo database, and the binary against bad
// input, a busy, read-only or size-limited database, another user sharing
// the file, and output that cannot be written.
#include <gmock/gmock.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/argument_syntax.hpp"
#include "cli/usage_error.hpp"
#include "cli/value_json.hpp"
#include "support/embedded_host.hpp"

namespace zet::cli::testing {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;

// What one run of the zetmovebill binary left behind.
struct RunResult {
  int status = -1;
  std::string out, err;
};

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Quote(const std::string& arg) {
  std::string quoted = "'";
  for (const char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// A directory of its own for each test; the binary runs inside it, so that
// its default database is looked for there.
class Sandbox : public embedded::testing::TempDir {
 public:
  // One run, through a shell `prefix` when given (a ulimit, another user),
  // with standard output to `out` when given (/dev/full).
  RunResult Zet(const std::vector<std::string>& args, const std::string& prefix = "", std::string out = "") const {
    if (out.empty()) out = Path(".out");
    std::string command = "cd " + Quote(Path("")) + " && " + prefix + " " + Quote(ZETMOVEBILL_EXE);
    for (const std::string& arg : args) command += " " + Quote(arg);
    command += " >" + Quote(out) + " 2>" + Quote(Path(".err")) + " </dev/null";
    const int raw = std::system(command.c_str());
    RunResult run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(Path(".out")), ReadFile(Path(".err"))};
    std::filesystem::remove(Path(".out"));
    return run;
  }
};

// An argument as typed machine output, or the usage error it is.
std::string Typed(const std::string& text) {
  try {
    return Dump(TypedValue(ParseArgument(text))) + " " + PlainText(ParseArgument(text));
  } catch (const UsageError& e) {
    return e.what();
  }
}

TEST(ArgumentSyntax, EachFormGivesItsSubtype) {
  // clang-format off
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
    // clang-format on
    EXPECT_EQ(Typed(text), want) << text;
}

TEST(TypedValue, NothingAndTextThatIsNotUtf8) {
  EXPECT_EQ(Dump(TypedValue(Variant::Object(nullptr))), R"({"type":"Object","value":null})");
  EXPECT_EQ(PlainText(Variant::Object(nullptr)), "Nothing");
  EXPECT_EQ(Dump(Json(std::string("a\xff"))), "\"a\xef\xbf\xbd\"");
}

// Every command that --help lists names the first word it does not take, an
// unknown option ahead of a missing operand included, in one line (exit 2).
TEST(Usage, EveryCommandNamesTheWordItDoesNotTake) {
  Sandbox box;
  // What each command needs before a word is one too many.
  // clang-format off
  const std::map<std::string, std::vector<std::string>> operands = {
      {"init", {}}, {"call", {"GetToDoThingCount"}}, {"first", {"1"}}, {"last", {"1"}}, {"prev", {"1", "2"}},
      {"next", {"1", "2"}}, {"check", {"1", "2"}}, {"todo", {}}, {"open", {"1", "2"}}, {"recent", {"1"}},
      {"why", {"1", "2"}}, {"why-todo", {"1"}}, {"who", {"1", "2"}}, {"batch", {}}, {"demo", {}}, {"verify", {}}};
  // clang-format on
  const std::string help = box.Zet({"--help"}).out;
  std::istringstream listing(help.substr(help.find("\nSubcommands:\n") + 14));
  size_t listed = 0;
  for (std::string line; std::getline(listing, line) && line.rfind("  ", 0) == 0; ++listed) {
    const std::string name = line.substr(2, line.find(' ', 2) - 2);
    ASSERT_EQ(operands.count(name), 1u) << name;
    std::vector<std::string> full = {name};
    full.insert(full.end(), operands.at(name).begin(), operands.at(name).end());
    full.push_back("stray");
    for (const auto& [args, word] : {std::pair{std::vector<std::string>{name, "--nope"}, "--nope"}, {full, "stray"}}) {
      const RunResult run = box.Zet(args);
      EXPECT_EQ(run.status, kExitUsage) << name;
      EXPECT_THAT(run.err, HasSubstr("unexpected argument '" + std::string(word) + "'")) << name;
      EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
  }
  EXPECT_EQ(listed, operands.size());
}

class OnDemo : public ::testing::Test {
 protected:
  // The demo database, made as a user makes it.
  void SetUp() override { ASSERT_EQ(box.Zet({"--db", "demo.db", "init", "--demo"}).status, 0); }
  RunResult Zet(std::vector<std::string> args, const std::string& prefix = "", const std::string& out = "") const {
    args.insert(args.begin(), {"--db", "demo.db"});
    return box.Zet(args, prefix, out);
  }
  Sandbox box;
};

// One run of each command and parts of what it prints (the explainer's pieces
// and the values' subtypes are checked where they are made); a refusal or a
// message gives exit status 1.
TEST_F(OnDemo, EachCommandRunsOnce) {
  // clang-format off
  const std::vector<std::tuple<std::vector<std::string>, int, std::vector<std::string>>> runs = {
      {{"--user", "16394", "call", "getmaxmininterid", "1", "s:2"}, 0, {"1005\n"}},
      {{"--user", "16394", "call", "GetMoveInterID", "s:1002", "d:1.4", "1"}, 0, {"1001\n"}},
      {{"call", "CheckSearchBill", "1", "1002", "s:given"}, 1, {"False\nsInfo=given\n"}},
      {{"--json", "call", "CheckSearchBill", "1", "1002", "s:x"}, 1,
       {R"({"result":{"type":"Boolean","value":false},"byref":{"sInfo":{"type":"String","value":"x"}},)"
        R"("messages":["Type mismatch"]})" "\n"}},
      {{"--user", "25", "call", "SaveRecentBills", "8001", "80"}, 0, {"\n"}},
      {{"--user", "25", "--json", "call", "LoadRecentBills", "81", "--toolbar"}, 0,
       {R"({"type":"Long","value":8001})",
        R"("toolbar":[{"place":1,"caption":"Sales invoice-SI-8001","text":"80|8001"}])"}},
      {{"--user", "16394", "first", "1"}, 0, {"first bill of kind 1: 1001\n"}},
      {{"--user", "16", "--props", "UserID=16394;", "last", "1"}, 0, {"last bill of kind 1: 1005\n"}},
      {{"--user", "16394", "prev", "1000201", "20102"}, 0, {"previous bill of kind 1000201 before 20102: 20101\n"}},
      {{"--user", "16394", "next", "1", "1005"}, 0, {"next bill of kind 1 after 1005: none, stays on 1005\n"}},
      {{"--user", "16394", "check", "1", "1002"}, 0, {"bill 1002 of kind 1: yes, it may be opened\n"}},
      {{"--user", "27", "open", "1", "1001"}, 0,
       {"opened bill 1001 of kind 1\nrecent bills of family 2 (kind 1):\n   1  Stock bill 1-STK-1001  [1|1001]\n"}},
      {{"--user", "27", "open", "1", "1003"}, 1, {}},
      {{"--user", "27", "recent", "1000201"}, 0, {"recent bills of family 1 (kind 1000201):\n   (no recent bills)\n"}},
      {{"next", "--help"}, 0, {"Usage: zetmovebill next", "1000205, 1000206 and 1007000 get 2 and 3"}},
      {{"--user", "16394", "todo"}, 0,
       {"\n  1  reserved (always 0)                      0\n", "\n  9  vouchers awaiting cashier sign-off       4\n"}},
      {{"--user", "16394", "--json", "call", "GetToDoThingCount"}, 0,
       {R"({"result":{"type":"Object","value":[{"type":"Integer","value":0},{"type":"Double","value":3.0},)",
        R"({"type":"Long","value":4}]},"byref":{},"messages":[]})" "\n"}},
      {{"--user", "16", "check", "1", "1002"}, 1, {"bill 1002 of kind 1: no"}},
      {{"--user", "16", "why", "1", "1002", "--sql"}, 1,
       {"\n  ✗ fail  preparer    v1.FBillerID is 17, the user is 16\n",
        "\n  |  SELECT top 1 1 From ICStockBill v1 where 1=1  and FTranType=1 and v1.FBillerID=16 and",
        "\nCheckSearchBill sends (besides 3 shown above):\n"}},
      {{"--user", "16394", "why", "1", "1002"}, 0, {"verdict: may be opened\n"}},
      {{"--user", "29", "why", "1", "1005"}, 0, {"✓ pass  customer    t1 (v1.FCustID = 0): no such row"}},
      {{"--user", "27", "--json", "why", "1", "1003"}, 1,
       {R"("piece":"stock line",)", R"("may_open":false,"check_search_bill":{"result":false,"sInfo":"单据上)",
        R"("agrees":true,)"}},
      {{"--user", "25", "why-todo", "2"}, 1, {"✗ fail  access      object (1088, 2): no row\n"}},
      {{"--user", "25", "why-todo", "5"}, 0, {"count: 2\n", "verdict: counted, 2\n"}},
      {{"--user", "31", "why-todo", "9"}, 1,
       {"✗ fail  voucher bit", "verdict: not counted, 0: voucher bit: object (4, 0), the user's own row"}},
      {{"--user", "31", "--json", "why-todo", "9"}, 1, {R"({"position":9,"table":"t_Voucher","steps":[)", R"("passes":false,"count":"0",)"}},
      {{"--user", "99", "why", "1", "1002"}, 0,
       {"has no row in t_User", "verdict: may be opened (CheckSearchBill showed a message on the way and went on)\n"}},
      {{"--json", "who", "1", "1002"}, 0,
       {R"({"trans_type":1,"bill":1002,"users":[{"user":16,"name":"lily","may_open":false,"piece":"preparer","why":"v1.)",
        R"({"user":16394,"name":"admin","may_open":true,"piece":null,"why":null,"agrees":true})"}},
      {{"who", "1", "1003"}, 0, {"who may open bill 1003 of kind 1: 5 of 11 users\n", "\n     27  susan     no   stock line: "}},
      {{"--user", "16394", "call", "CheckSearchBill", "999", "1002"}, 0, {"False\n"}},
      {{"why", "--help"}, 0, {"TYPE NUMBER REQUIRED", "--user ID"}},
  };
  // clang-format on
  for (const auto& [args, status, parts] : runs) {
    const RunResult run = Zet(args);
    SCOPED_TRACE(::testing::PrintToString(args));
    EXPECT_EQ(run.status, status) << run.err;
    for (const std::string& part : parts) EXPECT_THAT(run.out, HasSubstr(part));
    // Success is silent, unless the output says a message was shown on the way.
    EXPECT_TRUE(status != 0 || run.err.empty() || run.out.find("showed a message") != std::string::npos) << run.err;
  }
}

// A run that wrote folds its log into the file as it ends; one that only
// read leaves the file as it found it, for the next run to open as usual.
TEST_F(OnDemo, ARunEndsWithAnEmptyLog) {
  const std::vector<std::string> runs[] = {{"--user", "25", "open", "1", "1001"}, {"--user", "25", "recent", "1"}};
  for (const auto& args : runs) {
    const RunResult run = Zet(args);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(std::filesystem::file_size(box.Path("demo.db-wal")), 0u) << args.back();
  }
  EXPECT_THAT(Zet({"--user", "25", "recent", "1"}).out, HasSubstr("[1|1001]"));
}

// Each line of a batch is answered as `call --json` answers the same call,
// with that call's own messages; a bad line is answered with its error and
// the lines after it still run.
TEST_F(OnDemo, BatchAnswersEachLineAsCallDoes) {
  // clang-format off
  const std::vector<std::pair<std::string, std::vector<std::string>>> lines = {
      {R"({"method":"CheckSearchBill","args":["1","1002","s:x"],"props":"UserID=abc;"})",
       {"--props", "UserID=abc;", "call", "CheckSearchBill", "1", "1002", "s:x"}},
      {R"({"method":"getmoveinterid","args":["s:1002","1","1"]})", {"call", "getmoveinterid", "s:1002", "1", "1"}},
      {R"({"method":"LoadRecentBills","args":["81"],"toolbar":true,"user":"25"})",
       {"--user", "25", "call", "LoadRecentBills", "81", "--toolbar"}},
      {R"({"method":"GetMaxMinInterID","args":["1","2"],"user":16})",
       {"--user", "16", "call", "GetMaxMinInterID", "1", "2"}},
      {R"({"method":"GetMaxMinInterID","args":["1"]})", {"call", "GetMaxMinInterID", "1"}},
      {R"({"method":"Get\u0000MaxMinInterID"})", {"call", "Get\\x00MaxMinInterID"}},
  };
  // clang-format on
  std::string input, expected;
  for (const auto& [line, args] : lines) {
    input += line + "\n";
    std::vector<std::string> call = {"--user", "16394", "--json"};
    call.insert(call.end(), args.begin(), args.end());
    // Bad input: the line the call prints on standard error, as the answer.
    const RunResult alone = Zet(call);
    const std::string prefix = "zetmovebill: ";
    expected +=
        alone.status == kExitUsage
            ? Dump(Json{{"error", alone.err.substr(prefix.size(), alone.err.size() - prefix.size() - 1)}}) + "\n"
            : alone.out;
  }
  std::ofstream(box.Path("batch.jsonl")) << input;
  const char* const from_file = R"(sh -c '"$0" "$@" <batch.jsonl')";
  const RunResult run = Zet({"--user", "16394", "batch"}, from_file);
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_EQ(run.out, expected);
  EXPECT_EQ(Zet({"--user", "16394", "batch"}, from_file, "/dev/full").err,
            "zetmovebill: cannot write standard output\n");
  // What the command line cannot spell: a NUL byte (no JSON), a user id that is no whole number.
  std::ofstream(box.Path("batch.jsonl")) << lines[1].first << '\0' << lines[1].first << "\n{\"user\":1.5}\n";
  EXPECT_EQ(Zet({"batch"}, from_file).out, R"({"error":"a line must be one JSON object"})"
                                           "\n"
                                           R"({"error":"bad \"user\" '1.5': expected a whole number"})"
                                           "\n");
}

TEST(Demo, InitTheTourAndAFileSizeLimit) {
  Sandbox box;
  EXPECT_EQ(box.Zet({"--db", "new.db", "init"}).out, "created new.db (schema only)\n");
  EXPECT_EQ(box.Zet({"--db", "new.db", "init", "--demo", "--force"}).out, "created new.db with the demo data\n");
  EXPECT_EQ(box.Zet({"--db", "new.db", "--user", "16394", "first", "1"}).out, "first bill of kind 1: 1001\n");
  const std::string held_open = "zetmovebill: cannot replace new.db: process " + std::to_string(::getpid()) +
                                " has it open and would go on with the old file; close it first\n";
  if (std::ifstream reader(box.Path("new.db")); reader) {  // this test is the other process
    const RunResult refused = box.Zet({"--db", "new.db", "init", "--force"});
    EXPECT_EQ(refused.status, 4);
    EXPECT_EQ(refused.err, held_open);
  }
  EXPECT_EQ(box.Zet({"--db", "new.db", "--user", "16394", "first", "1"}).out, "first bill of kind 1: 1001\n");
  std::filesystem::create_symlink("new.db", box.Path("link.db"));
  EXPECT_EQ(box.Zet({"--db", "link.db", "init", "--force"}).status, 0);
  EXPECT_TRUE(std::filesystem::is_symlink(box.Path("link.db")));
  EXPECT_EQ(box.Zet({"--db", "new.db", "--user", "16394", "first", "1"}).out, "first bill of kind 1: none\n");
  const RunResult run = box.Zet({"--db", "tour.db", "demo"});
  EXPECT_EQ(run.status, 0) << run.err;
  for (const char* seen :
       {"made just now", "lily    no: 单据上存在您没有权限的基础资料", "bill 1003: refused",
        "   1  Stock bill 1-STK-1002  [1|1002]", "And who may open bill 1003? (zetmovebill who 1 1003)\n",
        "\n     27  susan   no   stock line\n"})
    EXPECT_THAT(run.out, HasSubstr(seen));
  const RunResult limited = box.Zet({"--db", "demo.db", "init", "--demo"}, "ulimit -f 4 &&");
  EXPECT_EQ(limited.status, 4);
  EXPECT_THAT(limited.err, HasSubstr("demo.db would grow past the file-size limit of this process"));
  EXPECT_FALSE(std::filesystem::exists(box.Path("demo.db")));
}

std::string As(int uid) {
  return "setpriv --reuid=" + std::to_string(uid) + " --regid=" + std::to_string(uid) + " --clear-groups";
}

// Each run on the demo database with a trace asked for. Bad input is one line
// on standard error and exit status 2, and writes nothing: no output, no trace.
TEST_F(OnDemo, BadInputAndUnwritableOutputEachHaveOneLineAndTheirStatus) {
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* says;
    const char* out = "";
    bool traced = false;  // the database was opened before the input was found wanting
    const char* prefix = "";
  };
  // Standard output a pipe whose reader is gone before the first write.
  const char* const closed_pipe = "perl -e \"pipe(R, W); close R; open(STDOUT, q(>&W)) or die; exec @ARGV\"";
  // clang-format off
  const Case cases[] = {
      {{}, 2, "no command given"},
      {{"frobnicate"}, 2, "unknown command 'frobnicate'"},
      {{"frobnicate", "--help"}, 2, "unknown command 'frobnicate'"},
      {{"--db", ".", "--user", "1", "todo"}, 2, ". is a directory, not a database file"},
      {{"--user", "16394", "first", "999"}, 0, "kind 999 is not in the catalogue; read as the default row"},
      {{"--bogus", "todo"}, 2, "unexpected argument '--bogus'"},
      {{"call", "GetMaxMin", "1", "1"}, 2, "unknown method"},
      {{"call", "GetMaxMinInterID", "1"}, 2, "takes 2 arguments (lTransType lType), 1 given"},
      {{"call", "GetMaxMinInterID", "1", "s:abc"}, 2, "lType 's:abc' cannot be converted to Long: Type mismatch"},
      {{"call", "GetMaxMinInterID", "1", "2", "--toolbar"}, 2, "--toolbar applies to"},
      {{"next", "1"}, 2, "BILL is required"},
      {{"--user", "16394", "next", "1", "1\n2"}, 2, "bad BILL '1\\n2': expected a whole number"},
      {{"--user", "16394", "first", "0x10"}, 2, "bad TYPE '0x10': expected a whole number"},
      {{"--user", "16", "why-todo", "10"}, 2, "no to-do position 10 (1 to 9)"},
      {{"--user", "25 OR 1=1", "first", "1"}, 2, "bad --user '25 OR 1=1': expected a whole number"},
      // The user id as the component reads it, from the first "UserID=" on.
      {{"--props", "XUserID=25 or 1=1;UserID=25;", "call", "SaveRecentBills", "1", "1"}, 2, "bad UserID '25 OR 1=1'"},
      {{"--props", "UserID=2147483648;", "why-todo", "1"}, 2, "bad UserID '2147483648': out of range for Long"},
      {{"--trace", "fifo", "--user", "16394", "first", "1"}, 2, "trace file 'fifo' for writing: no process reads it"},
      {{"--trace", ".", "--user", "16394", "first", "1"}, 2, "trace file '.' for writing: Is a directory"},
      {{"--db", std::string(5000, 'x'), "init"}, 2, "cannot create xxx"},
      {{"--db", "fifo", "init", "--force"}, 2, "zetmovebill: fifo is not a regular file"},
      {{"--db", "fifo", "--user", "1", "todo"}, 2, "zetmovebill: fifo is not a regular file, so not a database file"},
      {{"--db", "gone.db", "verify"}, 2, "zetmovebill: gone.db is a link to nothing"},
      {{"--db", "later.db", "verify", "--repair"}, 2, "later.db has schema version 5, this build reads version 4\n"},
      {{"--db", "demo.db", "--trace", "./demo.db-wal", "--user", "1", "todo"}, 2, "'./demo.db-wal' is the database file demo.db-wal"},
      {{"todo"}, 2, "no user is logged in: give one with --user ID", "", true},
      {{"--props", "Lang=1;", "recent", "1"}, 2, "no user is logged in"},
      {{"init", "--demo"}, 2, "'demo.db' already exists; use --force to replace it"},
      {{"--db", "", "init"}, 2, "--db names no file"},
      {{"--db", "no/x.db", "init"}, 4, "cannot create no/x.db: there is no folder no"},
      {{"--db", "x\ny.db", "--user", "1", "todo"}, 2, "no database file at x\\ny.db"},
      {{"--db", "noise.db", "--user", "1", "todo"}, 2, "noise.db is not an SQLite database"},
      {{"--db", "cut.db", "--user", "1", "todo"}, 4, "cut.db is damaged: database disk image is malformed"},
      // The damage alone, not what the command made of its failed reads.
      {{"--db", "users.db", "who", "1", "1003"}, 4, "users.db is damaged: database disk image is malformed"},
      {{"--db", "users.db", "--user", "25", "why-todo", "5"}, 4, "users.db is damaged: database disk image is malformed"},
      {{"call", "GetMaxMinInterID", "1", "1"}, 1, "message: "},  // the empty context goes through
      {{"--trace", "/dev/full", "--user", "16394", "first", "1"}, 5, "cannot write the trace to '/dev/full': No space"},
      {{"--user", "16394", "first", "1"}, 5, "cannot write standard output: No space left", "/dev/full"},
      {{"--help"}, 5, "cannot write standard output", "/dev/full"},
      {{"--user", "16394", "first", "1"}, 5, "cannot write standard output: Broken pipe", "", false, closed_pipe},
      {{"--user", "16394", "batch"}, 2, "cannot read standard input: Is a directory", "", true, R"(sh -c '"$0" "$@" <.')"},
      {{"--user", "16394", "batch"}, 2, "cannot read standard input: it is closed", "", false, R"(sh -c '"$0" "$@" <&-')"},
  };
  // clang-format on
  std::ofstream(box.Path("noise.db")) << std::string(4096, 'x');
  ASSERT_EQ(::mkfifo(box.Path("fifo").c_str(), 0600), 0);
  std::filesystem::create_symlink("nowhere.db", box.Path("gone.db"));
  std::filesystem::copy_file(box.Path("demo.db"), box.Path("later.db"));  // of a later build
  embedded::Database::Open(box.Path("later.db"))->Execute("UPDATE t_ZetSchemaInfo SET FVersion=5");
  std::filesystem::copy_file(box.Path("demo.db"), box.Path("cut.db"));
  std::filesystem::resize_file(box.Path("cut.db"), 20000);  // pages the file's header still counts are gone
  std::filesystem::copy_file(box.Path("demo.db"), box.Path("users.db"));
  for (const auto& row : embedded::Database::Open(box.Path("demo.db"))
                             ->Query("SELECT rootpage FROM sqlite_master WHERE name IN ('t_User', 't_AccessControl')")
                             .rows)
    std::fstream(box.Path("users.db"), std::ios::in | std::ios::out | std::ios::binary).seekp((CLng(row[0]) - 1) * 4096)
        << std::string(4096, '\x7f');
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--trace", "t.jsonl"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const RunResult run = Zet(args, c.prefix, c.out);
    SCOPED_TRACE(run.err);
    EXPECT_EQ(run.status, c.status);
    EXPECT_THAT(run.err, HasSubstr(c.says));
    if (c.status != 1) {  // one line, also for a warning beside the answer
      EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
    }
    if (c.status == 2) {
      EXPECT_EQ(run.out, "");
      EXPECT_EQ(std::filesystem::exists(box.Path("t.jsonl")), c.traced);
    } else if (c.status == 1) {  // the trace: one JSON object a line, from the first call on
      const std::string trace = ReadFile(box.Path("t.jsonl"));
      EXPECT_EQ(nlohmann::json::parse(trace.substr(0, trace.find('\n')))["member"], "GetProperty");
    }
    std::filesystem::remove(box.Path("t.jsonl"));
  }
  EXPECT_FALSE(std::filesystem::exists(box.Path("x\ny.db")));
}

// Another process that holds the database: reading it waits, then names the
// holder; `open` cannot record and says so instead of claiming the bill opened.
TEST_F(OnDemo, ALockedDatabaseIsNamedWithItsHolderAndOpenIsNotClaimed) {
  const std::string pid = std::to_string(::getpid());
  sqlite3* holder = nullptr;
  ASSERT_EQ(Zet({"--user", "16394", "open", "1", "1001"}).status, 0);  // the bill heads the list already
  ASSERT_EQ(sqlite3_open(box.Path("demo.db").c_str(), &holder), SQLITE_OK);
  // A client that cleared the mark of a schema found right: opening asks again, without waiting for a writer.
  ASSERT_EQ(sqlite3_exec(holder, "PRAGMA user_version=0; BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  EXPECT_EQ(Zet({"--user", "16394", "first", "1"}, "timeout 3").out, "first bill of kind 1: 1001\n");
  RunResult run = Zet({"--user", "16394", "--json", "open", "1", "1001"});
  EXPECT_EQ(run.status, 4) << run.err;
  EXPECT_THAT(run.out,
              AllOf(HasSubstr(R"("opened":false)"), HasSubstr("process " + pid + " holds the log's write lock")));
  run = Zet({"--user", "16394", "open", "1", "1001"});
  EXPECT_THAT(run.err, ::testing::StartsWith("zetmovebill: bill 1001 of kind 1 not opened: could not record it: "));
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
  sqlite3_exec(holder, "COMMIT; PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
  const auto start = std::chrono::steady_clock::now();
  run = Zet({"--user", "16394", "first", "1"});
  // The refusal names the wait it made (opening reads the file twice).
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(7));
  EXPECT_EQ(run.status, 4);
  EXPECT_EQ(run.err,
            "zetmovebill: demo.db is locked: process " + pid +
                " holds an exclusive lock: it is writing the file, or keeps it to itself (gave up after 5 s)\n");
  sqlite3_close(holder);
  // In rollback-journal mode a reader holds off a repair's commit: the holder
  // named is that reader, not the repair's own pending lock.
  ASSERT_EQ(sqlite3_open(box.Path("demo.db").c_str(), &holder), SQLITE_OK);
  sqlite3_exec(holder,
               "PRAGMA journal_mode=DELETE; UPDATE t_ZetBillRPMoney SET FRPAmountFor=0; BEGIN; SELECT 1 FROM t_User",
               nullptr, nullptr, nullptr);
  EXPECT_EQ(Zet({"verify", "--repair"}).err, "zetmovebill: demo.db is locked: process " + pid +
                                                 " holds a shared lock: it is reading (gave up after 5 s)\n");
  sqlite3_close(holder);
}

// A journal mode chosen for the file stays: reading does not switch it.
TEST_F(OnDemo, ReadingKeepsTheFilesJournalMode) {
  embedded::Database::Open(box.Path("demo.db"))->Execute("PRAGMA journal_mode=DELETE");
  EXPECT_EQ(Zet({"--user", "16394", "first", "1"}).status, 0);
  EXPECT_EQ(ReadFile(box.Path("demo.db")).substr(18, 2), std::string("\1\1"));  // 2, 2 in write-ahead-log mode
}

// Users who share a folder: one who may only read the file leaves nothing
// that stops its owner from writing, and is told why he cannot record.
// Whether he may write is decided by the file a link names, its folder and
// its mount; a log whose index was left out is never skipped (the bill
// recorded there would be missing from the answer).
TEST_F(OnDemo, AReaderInASharedFolderLeavesNothingThatBlocksTheOwnerAndSeesTheFileItself) {
  if (::geteuid() != 0 || std::system("command -v setpriv >/dev/null && unshare -m true") != 0)
    GTEST_SKIP() << "needs root, setpriv and a mount namespace";
  std::filesystem::permissions(box.Path(""), std::filesystem::perms::all);
  sqlite3* holder = nullptr;  // keeps the log from being folded in at the writer's close
  ASSERT_EQ(sqlite3_open(box.Path("demo.db").c_str(), &holder), SQLITE_OK);
  sqlite3_exec(holder, "SELECT 1 FROM t_User", nullptr, nullptr, nullptr);
  ASSERT_EQ(Zet({"--user", "25", "open", "1", "1001"}).status, 0);
  // A user who may not look into this test's descriptors still sees its lock.
  EXPECT_THAT(Zet({"init", "--force"}, As(65534)).err,
              HasSubstr("process " + std::to_string(::getpid()) + " has it open"));
  for (const char* suffix : {"", "-wal"})
    std::filesystem::copy_file(box.Path("demo.db") + suffix, box.Path("copy.db") + suffix);
  sqlite3_close(holder);
  for (const char* folder : {"mnt", "sealed"}) std::filesystem::create_directories(box.Path(folder));
  std::filesystem::copy_file(box.Path("demo.db"), box.Path("mnt/demo.db"));
  std::filesystem::copy_file(box.Path("demo.db"), box.Path("sealed/mine.db"));  // his file, not his folder
  std::filesystem::create_symlink("sealed/mine.db", box.Path("link.db"));
  ASSERT_EQ(::chown(box.Path("sealed/mine.db").c_str(), 65534, 65534), 0);
  ASSERT_EQ(::chown(box.Path("copy.db").c_str(), 65533, 65533), 0);
  // clang-format off
  const std::tuple<std::string, std::string, std::vector<std::string>, int, std::string> runs[] = {
      {As(65534), "link.db", {"--user", "16394", "first", "1"}, 0, "first bill of kind 1: 1001\n"},
      {As(65534), "copy.db", {"--user", "25", "recent", "1"}, 4, "copy.db-wal holds changes not yet in the file and"},
      {"unshare -m sh -c 'mount --bind mnt mnt && mount -o remount,bind,ro mnt && exec \"$0\" \"$@\"'", "mnt/demo.db",
       {"--user", "16394", "open", "1", "1001"}, 4, "is on a read-only file system"},
  };
  // clang-format on
  for (const auto& [prefix, db, args, status, says] : runs) {
    std::vector<std::string> line = {"--db", db};
    line.insert(line.end(), args.begin(), args.end());
    const RunResult run = box.Zet(line, prefix);
    SCOPED_TRACE(db + ": " + run.err);
    EXPECT_EQ(run.status, status);
    EXPECT_THAT(run.out + run.err, HasSubstr(says));
    EXPECT_EQ(run.err.find("zetmovebill: ") == std::string::npos, status == 0);
  }
  ASSERT_EQ(::chown(box.Path("demo.db").c_str(), 65533, 65533), 0);
  RunResult run = Zet({"--user", "16394", "first", "1"}, As(65534));
  EXPECT_EQ(run.out, "first bill of kind 1: 1001\n") << run.err;
  EXPECT_FALSE(std::filesystem::exists(box.Path("demo.db-shm")));
  run = Zet({"--user", "16394", "open", "1", "1001"}, As(65534));
  EXPECT_EQ(run.status, 4);
  EXPECT_EQ(run.out, "");
  EXPECT_THAT(run.err, HasSubstr("not opened: could not record it: demo.db is read-only for this user (uid 65534)"));
  run = Zet({"--user", "16394", "open", "1", "1001"}, As(65533));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("opened bill 1001 of kind 1"));
  // Through the log and shared-memory files the owner's runs leave behind.
  EXPECT_EQ(Zet({"--user", "16394", "first", "1"}, As(65534)).out, "first bill of kind 1: 1001\n");
  run = box.Zet({"--db", "ro/new.db", "init"}, "mkdir ro && chmod 755 ro && " + As(65534));
  EXPECT_EQ(run.status, 4);
  EXPECT_THAT(run.err, HasSubstr("cannot create ro/new.db: its folder ro is not writable by this user (uid 65534)"));
  // Replacing takes only the folder, yet it is a write to the file.
  EXPECT_THAT(Zet({"init", "--force"}, As(65534)).err,
              HasSubstr("cannot replace demo.db: demo.db is read-only for this user (uid 65534)"));
}

// verify in steps on one file: clean; drift planted by another client, each
// found as one line and repaired in one run; an older file refused by the
// other commands with the way forward, and upgraded; a damaged page.
TEST_F(OnDemo, VerifyFindsDriftAndRepairsIt) {
  const auto plain = [&](const char* sql) {
    sqlite3* db = nullptr;
    sqlite3_open(box.Path("demo.db").c_str(), &db);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
  };
  const std::vector<std::string> verify = {"verify"}, repair = {"verify", "--repair"};
  struct Step {
    const char* write;
    std::vector<std::string> args;
    int status;
    std::vector<std::string> lines;  // what the run prints, in parts
  };
  // clang-format off
  const Step steps[] = {
      {"", verify, 0, {"no drift"}},
      {"DROP TRIGGER tr_ICSale_Reregister; UPDATE ICSale SET FBillNo='X' WHERE FInterID=8001;"
       "UPDATE t_ZetBillRPMoney SET FRPAmountFor=0 WHERE FInterID=8002;"
       "CREATE INDEX ix_Mine ON t_User (FName);"
       "UPDATE ICSale SET FInvoiceAmountFor=0.30000000000000004 "
       "WHERE FInterID=8001",
       verify,
       1,
       {"trigger tr_ICSale_Reregister: kept none, computed as init makes it\n",
        "index ix_Mine: kept made by another, computed none\n",
        "register ICSale 8001: kept no 'SI-8001' type 80, "
        "computed no 'X' type 80\n",
        "\nsettled sum bill 8002 of type 80: kept 0.0000, computed 100.0000\n",
        "\namount ICSale.FInvoiceAmountFor of row 8001: kept "
        "0.30000000000000004, computed 0.3000\n"}},
      {"", repair, 0, {"repaired 5 of 5\n"}},
      {"", verify, 0, {"no drift"}},
      {"DROP TABLE t_ZetBillRegister; DROP TABLE t_ZetSettlementBill; UPDATE t_ZetSchemaInfo SET FVersion=1",
       {"--user", "16394", "todo"},
       2,
       {"has schema version 1, this build reads version 4; 'zetmovebill verify "
        "--repair' upgrades it in place"}},
      {"PRAGMA writable_schema=ON; UPDATE sqlite_master SET sql='CREATE INDEX ix_ICStockBill_Type ON ICStockBill "
       "(FBillerID, FInterID)' WHERE name='ix_ICStockBill_Type'", {"verify", "--full", "--repair"}, 4,
       {"demo.db is damaged: reading every page found 21 problems, the first: row 1 missing from index ix_ICStockBill_Type\n"}},
      {"", repair, 0, {"table t_ZetBillRegister: kept none", "schema version of the file: kept 1, computed 4\n"}},
      {"", {"--user", "16394", "recent", "1"}, 0, {"Sales invoice-X  [80|8001]"}},
  };
  // clang-format on
  for (const Step& step : steps) {
    if (*step.write) plain(step.write);
    const RunResult run = Zet(step.args);
    EXPECT_EQ(run.status, step.status) << step.write << run.err;
    for (const std::string& line : step.lines) EXPECT_THAT(run.out + run.err, HasSubstr(line)) << step.write;
  }
  const auto scribble = [&](const char* names) {
    for (const auto& row : embedded::Database::Open(box.Path("demo.db"))
                               ->Query(std::string("SELECT rootpage FROM sqlite_master WHERE name IN (") + names + ")")
                               .rows)
      std::fstream(box.Path("demo.db"), std::ios::in | std::ios::out | std::ios::binary)
              .seekp((CLng(row[0]) - 1) * 4096)
          << std::string(4096, '\x7f');
  };
  // An index that no derived row is read through: only reading every page
  // finds it damaged.
  scribble("'ix_ICStockBill_Type'");
  EXPECT_EQ(Zet(verify).out, "no drift\n");
  RunResult full = Zet({"verify", "--full", "--repair"});
  EXPECT_EQ(full.status, 4);
  EXPECT_EQ(full.err, "zetmovebill: demo.db is damaged: database disk image is malformed\n");
  // Damaged pages that only a call meets (of the sales invoices and their
  // due-date index) end that call with the same one line; no count is shown.
  scribble("'ICSale', 'ix_ICSale_PayDay'");
  for (const auto& args : {std::vector<std::string>{"--user", "16394", "todo"}, verify}) {
    const RunResult run = Zet(args);
    EXPECT_EQ(run.status, 4);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "zetmovebill: demo.db is damaged: database disk image is malformed\n");
  }
}

}  // namespace
}  // namespace zet::cli::testing
