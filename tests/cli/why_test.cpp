#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cli/run_binary.hpp"

namespace zet::cli::testing {
namespace {

using ::testing::HasSubstr;

// The explainer's contract at the command line: its exit statuses, which
// `check` shares, the plain lines, --sql and --json.
TEST(Why, ExitStatusesAndTheDecidingLine) {
  Sandbox box;
  box.MakeDemo();
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* seen;
  };
  const Case cases[] = {
      {{"--user", "16", "why", "1", "1002"}, 1, "✗ fail  preparer    v1.FBillerID is 17, the user is 16\n"},
      {{"--user", "16", "check", "1", "1002"}, 1, "bill 1002 of kind 1: no"},
      {{"--user", "16394", "why", "1", "1002"}, 0, "verdict: may be opened\n"},
      {{"--user", "16", "why", "1", "1002", "--sql"}, 1,
       "  |  SELECT top 1 1 From ICStockBill v1 where 1=1  and FTranType=1 and v1.FBillerID=16 and v1.FInterID = 1002\n"},
      {{"--user", "25", "why-todo", "2"}, 1, "✗ fail  access      object (1088, 2): no row\n"},
      {{"--user", "25", "why-todo", "5"}, 0, "count: 2\n"},
      {{"--user", "16", "why", "1", "x"}, 2, ""},
      {{"--user", "16", "why-todo", "10"}, 2, ""},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--db", "demo.db"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const RunResult run = box.Zet(args);
    EXPECT_EQ(run.status, c.status) << c.args[2] << " " << run.err;
    EXPECT_THAT(run.out, HasSubstr(c.seen)) << c.args[2];
    if (c.status == 2) {
      EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
    }
  }
  const RunResult json = box.Zet({"--db", "demo.db", "--user", "27", "--json", "why", "1", "1003"});
  const nlohmann::json why = nlohmann::json::parse(json.out);
  EXPECT_EQ(why["may_open"], false);
  EXPECT_EQ(why["agrees"], true);
  EXPECT_EQ(why["steps"].back()["piece"], "stock line");
  EXPECT_EQ(why["check_search_bill"]["sInfo"], "单据上存在您没有权限的基础资料，请联系系统管理员！");
}

}  // namespace
}  // namespace zet::cli::testing
