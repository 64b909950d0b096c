// The rights lookups, as every navigation and to-do method sends them, and
// which kinds get a transaction-type condition.
#include "rights/rights.hpp"

#include "host/error.hpp"
#include "support/method_case.hpp"

namespace zet::testing {
namespace {

const char* const kAdminSql = "SELECT TOP 1 1 FROM t_Group WHERE FUserID=16 AND FGroupID=1";
const char* const kRightsSql = "SELECT FUserGroupRight,FDataRight FROM t_User WHERE FUserID= 16";
const char* const kGroupSql =
    "select distinct tt1.FUserID from t_group tt1 where tt1.FGroupID in (select tt2.FGroupID from  t_group tt2 where "
    "tt2.FUserID=16 and tt2.FGroupID>0)";
const std::string kFirst = " SELECT ISNULL(Min(v1.FInterID),0) as FInterID From PORFQ v1 where 1=1 ";
const auto First = MaxMin(84, 1);

class Rights : public ::testing::TestWithParam<MethodCase> {};
TEST_P(Rights, AreLookedUpBeforeTheStatement) {
  RunCase(GetParam(), true);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Scopes, Rights, ::testing::Values(
  // An administrator is unrestricted whatever the t_User row says.
  MethodCase{"Administrator", [](FakePlatform& h) { h.Administrator(), h.User(2, 15); }, First, "0", {kAdminSql, kFirst}},
  MethodCase{"Unrestricted", User(0, 0), First, "0", {kAdminSql, kRightsSql, kFirst}},
  MethodCase{"RightsAsText", [](FakePlatform& h) {
    h.Answer("FROM t_User", Table{{"A", "B"}, {{Variant::String("2"), Variant::Double(0.4)}}}); }, First, "0",
    {kAdminSql, kRightsSql, kFirst + " and v1.FBillerID=16"}},
  MethodCase{"Group", [](FakePlatform& h) { h.User(1, 0, {3, 16, 5}); }, First, "0",
    {kAdminSql, kRightsSql, kGroupSql, kFirst + " and v1.FBillerID in (3,16,5)"}},
  // A user in no group is a group of one.
  MethodCase{"NoGroup", [](FakePlatform& h) { h.User(1, 0, {}); }, First, "0",
    {kAdminSql, kRightsSql, kGroupSql, kFirst + " and v1.FBillerID in (16)"}},
  // No t_User row: reading at its end fails, the scope stays unrestricted.
  MethodCase{"MissingUserRow", nullptr, First, "0", {kAdminSql, kRightsSql, kFirst},
    {RuntimeErrorText(err::kNoCurrentRecord)}}), CaseName());
// clang-format on

TEST(SharedTableTranTypes, AloneGetTheTransactionTypeCondition) {
  for (const bool shared : {true, false})
    for (int32_t code :
         shared ? std::vector<int32_t>{1, 2, 5, 10, 21, 24, 28, 29, 40, 41, 43, 75, 76, 80, 86, 100, 101, 102}
                : std::vector<int32_t>{0, 3, 50, 51, 71, 81, 84, 85, 87, 1125, 1000201}) {
      FakePlatform host;
      host.Administrator();
      clsMoveBill(host).GetMaxMinInterID(code, 1);
      EXPECT_EQ(host.Statements().back().ends_with(" and FTranType=" + std::to_string(code)), shared) << code;
    }
}

}  // namespace
}  // namespace zet::testing
