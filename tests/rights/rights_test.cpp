#include "rights/rights.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/error.hpp"
#include "support/case_name.hpp"
#include "support/fake_platform.hpp"

namespace zet::testing {
namespace {

const char* const kAdminSql = "SELECT TOP 1 1 FROM t_Group WHERE FUserID=25 AND FGroupID=1";
const char* const kRightsSql = "SELECT FUserGroupRight,FDataRight FROM t_User WHERE FUserID= 25";
const char* const kGroupSql =
    "select distinct tt1.FUserID from t_group tt1 where tt1.FGroupID in (select tt2.FGroupID from  t_group tt2 where "
    "tt2.FUserID=25 and tt2.FGroupID>0)";

Table UserRow(Variant group_right, Variant data_right) {
  return Table{{"FUserGroupRight", "FDataRight"}, {{std::move(group_right), std::move(data_right)}}};
}

// IsAdminUser

TEST(IsAdminUser, AsksForAGroupOneRowOfTheUser) {
  FakePlatform host;
  host.props = "UserID=25;";
  host.Answer("FGroupID=1", Scalar(Variant::Long(1)));
  EXPECT_TRUE(IsAdminUser(host));
  EXPECT_EQ(host.Statements(), (std::vector<std::string>{kAdminSql}));
  EXPECT_TRUE(host.messages.empty());
}

TEST(IsAdminUser, NoRowIsNoAdministrator) {
  FakePlatform host;
  host.props = "UserID=25;";
  EXPECT_FALSE(IsAdminUser(host));
}

TEST(IsAdminUser, AFailureShowsItsMessageAndAnswersFalse) {
  FakePlatform host;
  host.props = "UserID=25;";
  host.Reject("t_Group", "Invalid object name 't_Group'.");
  EXPECT_FALSE(IsAdminUser(host));
  EXPECT_EQ(host.messages, (std::vector<std::string>{"Invalid object name 't_Group'."}));
}

// GetUserRights

TEST(GetUserRights, ReadsBothSettingsOfANonAdministrator) {
  FakePlatform host;
  host.props = "UserID=25;";
  host.Answer("FROM t_User", UserRow(Variant::Long(2), Variant::Long(12)));
  int32_t group_right = 0, data_right = 0;
  GetUserRights(host, group_right, data_right);
  EXPECT_EQ(group_right, 2);
  EXPECT_EQ(data_right, 12);
  EXPECT_EQ(host.Statements(), (std::vector<std::string>{kAdminSql, kRightsSql}));
  EXPECT_TRUE(host.messages.empty());
}

TEST(GetUserRights, ConvertsTheFieldsAsLongs) {
  FakePlatform host;
  host.props = "UserID=25;";
  host.Answer("FROM t_User", UserRow(Variant::String("1"), Variant::Double(2.5)));
  int32_t group_right = 0, data_right = 0;
  GetUserRights(host, group_right, data_right);
  EXPECT_EQ(group_right, 1);
  EXPECT_EQ(data_right, 2);  // half to even
}

TEST(GetUserRights, AnAdministratorIsUnrestrictedWhateverTheUserRowSays) {
  FakePlatform host;
  host.props = "UserID=25;";
  host.Answer("FGroupID=1", Scalar(Variant::Long(1)));
  host.Answer("FROM t_User", UserRow(Variant::Long(2), Variant::Long(15)));
  int32_t group_right = 9, data_right = 9;
  GetUserRights(host, group_right, data_right);
  EXPECT_EQ(group_right, 0);
  EXPECT_EQ(data_right, 0);
  EXPECT_EQ(host.Statements(), (std::vector<std::string>{kAdminSql}));
}

struct RightsFailureCase {
  const char* name;
  void (*script)(FakePlatform&);
  int32_t group_right;  // after the call, both passed in as 7
  int32_t data_right;
  std::string message;
};

class GetUserRightsFailureTest : public ::testing::TestWithParam<RightsFailureCase> {};

TEST_P(GetUserRightsFailureTest, ShowsOneMessageAndKeepsWhatWasNotRead) {
  const RightsFailureCase& c = GetParam();
  FakePlatform host;
  host.props = "UserID=25;";
  c.script(host);
  int32_t group_right = 7, data_right = 7;
  GetUserRights(host, group_right, data_right);
  EXPECT_EQ(group_right, c.group_right);
  EXPECT_EQ(data_right, c.data_right);
  EXPECT_EQ(host.messages, (std::vector<std::string>{c.message}));
}

INSTANTIATE_TEST_SUITE_P(
    Rights, GetUserRightsFailureTest,
    ::testing::Values(
        RightsFailureCase{"NoUserRow", [](FakePlatform&) {}, 7, 7, RuntimeErrorText(err::kNoCurrentRecord)},
        RightsFailureCase{
            "NullGroupRight",
            [](FakePlatform& host) { host.Answer("FROM t_User", UserRow(Variant::Null(), Variant::Long(3))); }, 7, 7,
            "Invalid use of Null"},
        RightsFailureCase{
            "NullDataRight",
            [](FakePlatform& host) { host.Answer("FROM t_User", UserRow(Variant::Long(2), Variant::Null())); }, 2, 7,
            "Invalid use of Null"},
        RightsFailureCase{"RejectedQuery",
                          [](FakePlatform& host) { host.Reject("FROM t_User", "Invalid column name 'FDataRight'."); },
                          7, 7, "Invalid column name 'FDataRight'."},
        RightsFailureCase{
            "TextInAField",
            [](FakePlatform& host) { host.Answer("FROM t_User", UserRow(Variant::String("two"), Variant::Long(3))); },
            7, 7, "Type mismatch"}),
    CaseName());

TEST(GetUserRights, AFailedAdministratorCheckCountsAsNoAdministrator) {
  FakePlatform host;
  host.props = "UserID=25;";
  host.Reject("FGroupID=1", "deadlock victim");
  host.Answer("FROM t_User", UserRow(Variant::Long(2), Variant::Long(12)));
  int32_t group_right = 0, data_right = 0;
  GetUserRights(host, group_right, data_right);
  EXPECT_EQ(group_right, 2);
  EXPECT_EQ(data_right, 12);
  EXPECT_EQ(host.messages, (std::vector<std::string>{"deadlock victim"}));
}

// GetGroupUserList

TEST(GetGroupUserList, ListsTheIdsInTheOrderReturned) {
  FakePlatform host;
  host.props = "UserID=25;";
  host.Answer("from t_group tt1",
              Table{{"FUserID"}, {{Variant::Long(25)}, {Variant::Integer(5)}, {Variant::Double(3)}}});
  EXPECT_EQ(GetGroupUserList(host), "(25,5,3)");
  EXPECT_EQ(host.Statements(), (std::vector<std::string>{kGroupSql}));
  EXPECT_TRUE(host.messages.empty());
}

TEST(GetGroupUserList, AUserInNoGroupIsAGroupOfOne) {
  FakePlatform host;
  host.props = "UserID=25;";
  EXPECT_EQ(GetGroupUserList(host), "(25)");
  EXPECT_TRUE(host.messages.empty());
}

TEST(GetGroupUserList, AFailureShowsItsMessageAndGivesNothing) {
  FakePlatform host;
  host.props = "UserID=25;";
  host.Reject("from t_group tt1", "Timeout expired");
  EXPECT_EQ(GetGroupUserList(host), "");
  EXPECT_EQ(host.messages, (std::vector<std::string>{"Timeout expired"}));
}

// IsInArray and the shared-table list

TEST(SharedTableTranTypes, HoldsTheEighteenCodesInOrder) {
  const Variant list = SharedTableTranTypes();
  std::vector<int32_t> codes;
  for (const Variant& v : list.AsArray().items) codes.push_back(CLng(v));
  EXPECT_EQ(codes, (std::vector<int32_t>{1, 2, 5, 10, 21, 24, 28, 29, 40, 41, 43, 75, 76, 80, 86, 100, 101, 102}));
  EXPECT_EQ(list.AsArray().lower_bound, 0);
  for (int32_t code : codes) {
    EXPECT_TRUE(IsInArray(Variant::Long(code), list)) << code;
    EXPECT_TRUE(IsSharedTableTranType(code)) << code;
  }
  for (int32_t code : {0, 3, 50, 87, 1000201, -1}) {
    EXPECT_FALSE(IsInArray(Variant::Long(code), list)) << code;
    EXPECT_FALSE(IsSharedTableTranType(code)) << code;
  }
}

TEST(IsInArray, ComparesAsVariants) {
  VariantArray mixed;
  mixed.items = {Variant::String("80"), Variant::Null(), Variant::Double(21)};
  const Variant list = Variant::Array(mixed);
  EXPECT_TRUE(IsInArray(Variant::Integer(21), list));
  EXPECT_FALSE(IsInArray(Variant::Long(80), list));  // a text never equals a number
  EXPECT_FALSE(IsInArray(Variant::Null(), list));
  EXPECT_FALSE(IsInArray(Variant::Long(1), Variant::Array({})));
  EXPECT_THROW(IsInArray(Variant::Long(1), Variant::Long(1)), AutomationError);
}

}  // namespace
}  // namespace zet::testing
