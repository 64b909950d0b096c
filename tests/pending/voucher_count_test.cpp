#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/error.hpp"
#include "pending/pending.hpp"
#include "support/case_name.hpp"
#include "support/fake_platform.hpp"
#include "support/rights_script.hpp"

namespace zet::testing {
namespace {

constexpr const char* kOwnMask = " SELECT FAccessMask FROM t_AccessControl WHERE FObjectType=4";
constexpr const char* kCashBeforePost = "FKey='CashBeforePost'";
constexpr const char* kVouchers = " select * from t_Voucher v1 ";
constexpr const char* kSecurity = "ZetEBSBase.SecurityInfo";

Table Vouchers(int count) {
  Table table{{"FVoucherID"}, {}};
  for (int i = 1; i <= count; ++i) table.rows.push_back({Variant::Long(i)});
  return table;
}

// A non-administrator with the voucher object's mask, rights and the
// cashier setting as given; three vouchers wait.
void ScriptNonAdmin(FakePlatform& host, Variant mask, int32_t data_right = 0) {
  host.Answer(kOwnMask, Scalar(std::move(mask)));
  ScriptUser(host, 0, data_right);
  host.Answer(kCashBeforePost, Scalar(Variant::String("1")));
  host.Answer(kVouchers, Vouchers(3));
}

TEST(GetVoucherToDoCount, CheckerVouchersOfAGroupScopedUserWithAccountRights) {
  FakePlatform host;
  host.props = "UserID=16394;";
  ScriptNonAdmin(host, Variant::Long(1), 8);
  host.access_errors[8] = err::kAccessDenied;

  EXPECT_EQ(GetVoucherToDoCount(host, 1), 3);
  EXPECT_EQ(host.Statements(),
            (std::vector<std::string>{
                "SELECT TOP 1 1 FROM t_Group WHERE FUserID=16394 AND FGroupID=1",
                " SELECT FAccessMask FROM t_AccessControl WHERE FObjectType=4 AND FObjectID=0 AND FUserID=16394",
                "SELECT TOP 1 1 FROM t_Group WHERE FUserID=16394 AND FGroupID=1",
                "SELECT FUserGroupRight,FDataRight FROM t_User WHERE FUserID= 16394",
                " select * from t_Voucher v1 where v1.FCheckerID=-1 and v1.FPosted=0  and v1.FVoucherID not in "
                "(Select t1.FVoucherID from t_VoucherEntry t1 left join t_Account t2 \r\n"
                " on t1.FAccountID=t2.FAccountID where CHARINDEX('16394',t2.FRightUserID)=0)  AND v1.FPreparerID IN "
                "(Select DISTINCT FUserID From t_Group Where FGroupID IN(Select FGroupID From t_Group Where FGroupID "
                "<> 0 And FUserID=16394 ) ) "}));
  EXPECT_TRUE(host.messages.empty());
}

TEST(GetVoucherToDoCount, AsksTheSecurityServiceForRight8Then16) {
  FakePlatform host;
  ScriptNonAdmin(host, Variant::Long(1));
  host.access_errors[8] = err::kAccessDenied;
  host.access_errors[16] = err::kAccessDenied;
  GetVoucherToDoCount(host, 1);

  const auto calls = host.CallsOn(kSecurity);
  ASSERT_EQ(calls.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    ASSERT_EQ(calls[i].args.size(), 6u);
    EXPECT_EQ(calls[i].args[1], Variant::Long(4));
    EXPECT_EQ(calls[i].args[2], Variant::Long(0));
    EXPECT_EQ(calls[i].args[3], Variant::Long(i == 0 ? 8 : 16));
    EXPECT_EQ(calls[i].args[5], Variant::String("ZetEBSGL.VoucherInfo.GetJournal"));
  }
}

struct PreparerCase {
  const char* name;
  std::optional<int32_t> error8;
  std::optional<int32_t> error16;
  const char* preparer;  // what follows the voucher statement's fixed part
  size_t security_calls;
};

class VoucherPreparerTest : public ::testing::TestWithParam<PreparerCase> {};

TEST_P(VoucherPreparerTest, TheTwoSecurityAnswersChooseWhoseVouchersCount) {
  const PreparerCase& c = GetParam();
  for (bool admin : {false, true}) {
    FakePlatform host;
    host.props = "UserID=25;";
    if (admin) ScriptAdministrator(host);
    ScriptNonAdmin(host, Variant::Long(33));
    if (c.error8) host.access_errors[8] = *c.error8;
    if (c.error16) host.access_errors[16] = *c.error16;

    EXPECT_EQ(GetVoucherToDoCount(host, 2), 3);
    EXPECT_EQ(host.Statements().back(),
              std::string(" select * from t_Voucher v1 where v1.FCashierID=-1 and v1.FPosted=0 ") + c.preparer);
    EXPECT_EQ(host.CallsOn(kSecurity).size(), c.security_calls);
    EXPECT_TRUE(host.messages.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Pending, VoucherPreparerTest,
    ::testing::Values(
        PreparerCase{"AllGranted", std::nullopt, std::nullopt, "", 1},
        PreparerCase{"OtherErrorOnTheFirstRight", -2147467259, err::kAccessDenied, "", 1},
        PreparerCase{"RefusedThenGranted", err::kAccessDenied, std::nullopt,
                     " AND v1.FPreparerID IN (Select DISTINCT FUserID From t_Group Where FGroupID IN(Select FGroupID "
                     "From t_Group Where FGroupID <> 0 And FUserID=25 ) ) ",
                     2},
        PreparerCase{"RefusedThenOtherError", err::kAccessDenied, -2147467259,
                     " AND v1.FPreparerID IN (Select DISTINCT FUserID From t_Group Where FGroupID IN(Select FGroupID "
                     "From t_Group Where FGroupID <> 0 And FUserID=25 ) ) ",
                     2},
        PreparerCase{"BothRefused", err::kAccessDenied, err::kAccessDenied, " AND v1.FPreparerID=25", 2}),
    CaseName());

TEST(GetVoucherToDoCount, AMissingSecurityServiceLeavesTheCountUnrestricted) {
  FakePlatform host;
  ScriptNonAdmin(host, Variant::Long(1));
  host.Unregister(kSecurity);
  EXPECT_EQ(GetVoucherToDoCount(host, 1), 3);
  EXPECT_EQ(host.Statements().back(), " select * from t_Voucher v1 where v1.FCheckerID=-1 and v1.FPosted=0 ");
}

struct MaskCase {
  const char* name;
  Variant mask;
  int32_t checker;  // count of kind 1
  int32_t cashier;  // count of kind 2
};

class VoucherMaskTest : public ::testing::TestWithParam<MaskCase> {};

TEST_P(VoucherMaskTest, NeedsBit1ForTheCheckerAndBit32ForTheCashier) {
  const MaskCase& c = GetParam();
  FakePlatform host;
  ScriptNonAdmin(host, c.mask);
  EXPECT_EQ(GetVoucherToDoCount(host, 1), c.checker);
  EXPECT_EQ(GetVoucherToDoCount(host, 2), c.cashier);
  EXPECT_TRUE(host.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Pending, VoucherMaskTest,
                         ::testing::Values(MaskCase{"Both", Variant::Long(33), 3, 3},
                                           MaskCase{"CheckerOnly", Variant::Long(1), 3, 0},
                                           MaskCase{"CashierOnly", Variant::Long(32), 0, 3},
                                           MaskCase{"Neither", Variant::Long(30), 0, 0},
                                           // The mask is rounded half to even before the bits are tested.
                                           MaskCase{"HalfRoundsDown", Variant::String("32.5"), 0, 3},
                                           MaskCase{"TextWithTail", Variant::String("1 (checker)"), 3, 0}),
                         CaseName());

TEST(GetVoucherToDoCount, NoOwnRowGivesZeroWithoutAVoucherStatement) {
  FakePlatform host;
  ScriptUser(host, 0, 0);
  host.Answer(kVouchers, Vouchers(3));
  EXPECT_EQ(GetVoucherToDoCount(host, 1), 0);
  EXPECT_EQ(GetVoucherToDoCount(host, 2), 0);
  for (const std::string& sql : host.Statements()) EXPECT_EQ(sql.find("t_Voucher"), std::string::npos) << sql;
}

TEST(GetVoucherToDoCount, AccountConditionOnlyWithDataRightBit8) {
  for (int32_t data_right : {0, 7, -1 ^ 8}) {
    FakePlatform host;
    ScriptNonAdmin(host, Variant::Long(1), data_right);
    GetVoucherToDoCount(host, 1);
    EXPECT_EQ(host.Statements().back(), " select * from t_Voucher v1 where v1.FCheckerID=-1 and v1.FPosted=0 ")
        << data_right;
  }
  // The bit is tested as it stands, also in a negative mask.
  for (int32_t data_right : {8, -8}) {
    FakePlatform host;
    ScriptNonAdmin(host, Variant::Long(1), data_right);
    GetVoucherToDoCount(host, 1);
    EXPECT_NE(host.Statements().back().find("t_VoucherEntry"), std::string::npos) << data_right;
  }
}

TEST(GetVoucherToDoCount, AnAdministratorSkipsMaskAndAccountCondition) {
  FakePlatform host;
  ScriptAdministrator(host);
  ScriptUser(host, 2, 15);
  host.Answer(kVouchers, Vouchers(4));
  EXPECT_EQ(GetVoucherToDoCount(host, 1), 4);
  EXPECT_EQ(host.Statements(),
            (std::vector<std::string>{"SELECT TOP 1 1 FROM t_Group WHERE FUserID=16 AND FGroupID=1",
                                      " select * from t_Voucher v1 where v1.FCheckerID=-1 and v1.FPosted=0 "}));
}

struct CashCase {
  const char* name;
  std::optional<Variant> setting;  // nullopt: no row
  int32_t count;
};

class CashBeforePostTest : public ::testing::TestWithParam<CashCase> {};

TEST_P(CashBeforePostTest, CashierVouchersCountOnlyWhenTheLedgerNeedsTheCashier) {
  const CashCase& c = GetParam();
  FakePlatform host;
  ScriptAdministrator(host);
  if (c.setting) host.Answer(kCashBeforePost, Scalar(*c.setting));
  host.Answer(kVouchers, Vouchers(2));
  EXPECT_EQ(GetVoucherToDoCount(host, 2), c.count);
  const auto statements = host.Statements();
  EXPECT_EQ(statements.at(1), " select FValue from t_SystemProfile where FCategory='GL' and FKey='CashBeforePost' ");
  EXPECT_EQ(statements.size(), c.count > 0 ? 3u : 2u);  // no voucher statement when off
}

INSTANTIATE_TEST_SUITE_P(Pending, CashBeforePostTest,
                         ::testing::Values(CashCase{"On", Variant::String("1"), 2},

                                           CashCase{"Off", Variant::String("0"), 0},
                                           CashCase{"NotANumber", Variant::String("yes"), 0},
                                           CashCase{"Missing", std::nullopt, 0}),
                         CaseName());

TEST(GetVoucherToDoCount, AnEmptyAnswerCountsZero) {
  FakePlatform host;
  ScriptAdministrator(host);
  EXPECT_EQ(GetVoucherToDoCount(host, 1), 0);
}

TEST(GetVoucherToDoCount, CountsTheRowsThroughTheRecordCount) {
  FakePlatform host;
  ScriptAdministrator(host);
  host.Answer(kVouchers, Vouchers(2), RecordsetQuirks::Counting(41));
  EXPECT_EQ(GetVoucherToDoCount(host, 1), 41);
}

struct SilentCase {
  const char* name;
  void (*script)(FakePlatform&);
};

class VoucherSilentFailureTest : public ::testing::TestWithParam<SilentCase> {};

// Up to the voucher statement a failure is the answer 0, without a message.
TEST_P(VoucherSilentFailureTest, GivesZeroAndShowsNothing) {
  FakePlatform host;
  GetParam().script(host);  // before the rules it overrides
  ScriptNonAdmin(host, Variant::Long(33));
  EXPECT_EQ(GetVoucherToDoCount(host, 2), 0);
  EXPECT_TRUE(host.messages.empty());
  for (const std::string& sql : host.Statements()) EXPECT_EQ(sql.find(kVouchers), std::string::npos) << sql;
}

INSTANTIATE_TEST_SUITE_P(
    Pending, VoucherSilentFailureTest,
    ::testing::Values(SilentCase{"UserIdNoNumber", [](FakePlatform& host) { host.props = "UserID=x;"; }},
                      SilentCase{"MaskStatementRejected", [](FakePlatform& host) { host.Reject(kOwnMask, "gone"); }},
                      SilentCase{"NullMask",
                                 [](FakePlatform& host) { host.Answer(kOwnMask, Scalar(Variant::Null())); }},
                      SilentCase{"SettingRejected", [](FakePlatform& host) { host.Reject(kCashBeforePost, "gone"); }}),
    CaseName());

TEST(GetVoucherToDoCount, AFailingVoucherStatementReachesTheCaller) {
  FakePlatform host;
  ScriptAdministrator(host);
  host.Reject(kVouchers, "Invalid column name 'FCheckerID'.");
  try {
    GetVoucherToDoCount(host, 1);
    ADD_FAILURE() << "the failure was swallowed";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.Description(), "Invalid column name 'FCheckerID'.");
  }
  EXPECT_TRUE(host.messages.empty());
}

}  // namespace
}  // namespace zet::testing
