// The rights lookups, as every navigation and to-do method sends them, and
// which kinds get a transaction-type condition.
#include "rights/rights.hpp"

#include "host/error.hpp"

#include "support/method_case.hpp"

namespace zet::testing {
namespace {

const char* const kAdminSql = "SELECT TOP 1 1 FROM t_Group WHERE FUserID=25 AND FGroupID=1";
const char* const kRightsSql = "SELECT FUserGroupRight,FDataRight FROM t_User WHERE FUserID= 25";
const char* const kGroupSql =
    "select distinct tt1.FUserID from t_group tt1 where tt1.FGroupID in (select tt2.FGroupID from  t_group tt2 where "
    "tt2.FUserID=25 and tt2.FGroupID>0)";

struct ScopeCase {
  std::string name;
  friend void PrintTo(const ScopeCase& c, std::ostream* os) { *os << c.name; }
  std::function<void(FakePlatform&)> script;
  std::vector<std::string> statements;
};

class Rights : public ::testing::TestWithParam<ScopeCase> {};

TEST_P(Rights, AreLookedUpBeforeTheStatement) {
  FakePlatform host;
  host.props = "UserID=25;";
  GetParam().script(host);
  clsMoveBill(host).GetMaxMinInterID(84, 1);
  EXPECT_EQ(host.Statements(), GetParam().statements);
  EXPECT_TRUE(host.messages.empty());
}

const std::string kFirst = " SELECT ISNULL(Min(v1.FInterID),0) as FInterID From PORFQ v1 where 1=1 ";

INSTANTIATE_TEST_SUITE_P(Scopes, Rights, ::testing::Values(
  // An administrator is unrestricted whatever the t_User row says.
  ScopeCase{"Administrator", [](FakePlatform& h) { h.Administrator(), h.User(2, 15); }, {kAdminSql, kFirst}},
  ScopeCase{"Unrestricted", [](FakePlatform& h) { h.User(0, 0); }, {kAdminSql, kRightsSql, kFirst}},
  ScopeCase{"RightsAsText", [](FakePlatform& h) {
    h.Answer("FROM t_User", Table{{"A", "B"}, {{Variant::String("2"), Variant::Double(0.4)}}}); },
    {kAdminSql, kRightsSql, kFirst + " and v1.FBillerID=25"}},
  ScopeCase{"Group", [](FakePlatform& h) { h.User(1, 0, {3, 25, 5}); },
    {kAdminSql, kRightsSql, kGroupSql, kFirst + " and v1.FBillerID in (3,25,5)"}},
  // A user in no group is a group of one.
  ScopeCase{"NoGroup", [](FakePlatform& h) { h.User(1, 0, {}); },
    {kAdminSql, kRightsSql, kGroupSql, kFirst + " and v1.FBillerID in (25)"}}), CaseName());

// No t_User row: reading at its end fails, the scope stays unrestricted.
TEST(Rights, AMissingUserRowShowsOneMessage) {
  FakePlatform host;
  clsMoveBill(host).GetMaxMinInterID(84, 1);
  EXPECT_EQ(host.Statements().back(), kFirst);
  EXPECT_EQ(host.messages, std::vector<std::string>{RuntimeErrorText(err::kNoCurrentRecord)});
}

TEST(SharedTableTranTypes, AloneGetTheTransactionTypeCondition) {
  for (const bool shared : {true, false})
    for (int32_t code : shared ? std::vector<int32_t>{1, 2, 5, 10, 21, 24, 28, 29, 40, 41, 43, 75, 76, 80, 86, 100, 101, 102}
                               : std::vector<int32_t>{0, 3, 50, 51, 71, 81, 84, 85, 87, 1125, 1000201}) {
      FakePlatform host;
      host.Administrator();
      clsMoveBill(host).GetMaxMinInterID(code, 1);
      EXPECT_EQ(host.Statements().back().ends_with(" and FTranType=" + std::to_string(code)), shared) << code;
    }
}

}  // namespace
}  // namespace zet::testing
