#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "component/cls_move_bill.hpp"
#include "navigation/navigation.hpp"
#include "support/case_name.hpp"
#include "support/fake_platform.hpp"
#include "support/rights_script.hpp"

namespace zet::testing {
namespace {

constexpr const char* kConnection = "ZetConnection.AppConnection";
const char* const kStockBillExists = " SELECT TOP 1 1 FROM ICStockBill v1 WHERE v1.FInterID = 1050";

// The bill passes the existence test.
void ScriptExisting(FakePlatform& host) {
  host.Answer(" SELECT TOP 1 1 FROM ", Scalar(Variant::Long(1)));
}
// ... and the rights test.
void ScriptVisible(FakePlatform& host) {
  host.Answer(" SELECT top 1 1 From ", Scalar(Variant::Long(1)));
}

// ---------------------------------------------------------------------------
// Worked examples

TEST(CheckSearchBill, ExistenceTestOfAStockBill) {
  FakePlatform host;
  ScriptAdministrator(host);
  ScriptExisting(host);
  clsMoveBill bill(host);
  std::string info = "as given";
  EXPECT_TRUE(bill.CheckSearchBill(1, 1050, info));
  EXPECT_EQ(host.Statements().front(), kStockBillExists);
  EXPECT_EQ(info, "as given");
}

TEST(CheckSearchBill, ExistenceTestOfAVoucher) {
  FakePlatform host;
  ScriptExisting(host);
  clsMoveBill bill(host);
  std::string info;
  // Vouchers get no rights test, whoever asks.
  EXPECT_TRUE(bill.CheckSearchBill(1125, 9, info));
  EXPECT_EQ(host.Statements(),
            (std::vector<std::string>{" SELECT TOP 1 1 FROM t_Voucher v1 WHERE v1.FVoucherID = 9",
                                      "SELECT TOP 1 1 FROM t_Group WHERE FUserID=16 AND FGroupID=1"}));
}

TEST(CheckSearchBill, RightsTestOfAStockBillOfOwnScope) {
  FakePlatform host;
  host.props = "UserID=16;";
  ScriptUser(host, 2, 0);
  ScriptExisting(host);
  ScriptVisible(host);
  clsMoveBill bill(host);
  std::string info;
  EXPECT_TRUE(bill.CheckSearchBill(1, 1050, info));
  EXPECT_EQ(host.Statements().back(),
            " SELECT top 1 1 From ICStockBill v1 where 1=1  and FTranType=1 and v1.FBillerID=16 and v1.FInterID = "
            "1050");
}

TEST(CheckSearchBill, RightsTestOfASaleInvoiceWithCustomerRights) {
  FakePlatform host;
  host.props = "UserID=16;";
  ScriptUser(host, 0, 1);
  ScriptExisting(host);
  clsMoveBill bill(host);
  std::string info;
  EXPECT_FALSE(bill.CheckSearchBill(80, 300, info));
  EXPECT_EQ(info, "单据上存在您没有权限的基础资料，请联系系统管理员！");
  EXPECT_EQ(host.Statements().back(),
            " SELECT top 1 1 From ICSale v1 left join t_Organization t2 on v1.FCustID=t2.FItemID \r\n"
            " where 1=1  and FTranType=80\r\n"
            " and CharIndex('16',t2.FRightUserID)>0 \r\n"
            " and v1.FInterID = 300");
  EXPECT_TRUE(host.messages.empty());  // a refusal is an answer, not a failure
}

// ---------------------------------------------------------------------------
// Answers

TEST(CheckSearchBill, ADeletedBillIsReportedToAdministratorsToo) {
  FakePlatform host;
  ScriptAdministrator(host);
  clsMoveBill bill(host);
  std::string info = "before";
  EXPECT_FALSE(bill.CheckSearchBill(1, 1050, info));
  EXPECT_EQ(info, "单据显示错误，所选单据可能已经被删除！");
  EXPECT_EQ(host.Statements(), (std::vector<std::string>{kStockBillExists}));
  EXPECT_TRUE(host.messages.empty());
}

TEST(CheckSearchBill, ADeletedVoucherHasItsOwnMessage) {
  FakePlatform host;
  clsMoveBill bill(host);
  std::string info;
  EXPECT_FALSE(bill.CheckSearchBill(1125, 9, info));
  EXPECT_EQ(info, "凭证显示错误，所选凭证可能已经被删除！");
}

TEST(CheckSearchBill, AnAdministratorSkipsTheRightsTest) {
  FakePlatform host;
  host.props = "UserID=1;";
  ScriptAdministrator(host);
  ScriptExisting(host);
  clsMoveBill bill(host);
  std::string info = "kept";
  EXPECT_TRUE(bill.CheckSearchBill(80, 300, info));
  EXPECT_EQ(info, "kept");
  EXPECT_EQ(host.Statements(),
            (std::vector<std::string>{" SELECT TOP 1 1 FROM ICSale v1 WHERE v1.FInterID = 300",
                                      "SELECT TOP 1 1 FROM t_Group WHERE FUserID=1 AND FGroupID=1"}));
}

TEST(CheckSearchBill, OneConnectionServesBothStatements) {
  FakePlatform host;
  ScriptUser(host, 0, 0);
  ScriptExisting(host);
  ScriptVisible(host);
  clsMoveBill bill(host);
  std::string info;
  EXPECT_TRUE(bill.CheckSearchBill(84, 5, info));
  EXPECT_EQ(host.CreatedCount(kConnection), 1);
  EXPECT_EQ(host.Alive(kConnection), 0);
  const auto calls = host.CallsOn(kConnection);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].args,
            (std::vector<Variant>{Variant::String(" SELECT TOP 1 1 FROM PORFQ v1 WHERE v1.FInterID = 5")}));
  EXPECT_EQ(calls[1].args,
            (std::vector<Variant>{Variant::String(" SELECT top 1 1 From PORFQ v1 where 1=1  and v1.FInterID = 5")}));
  for (const RecordedCall& call : calls) EXPECT_EQ(call.by_ref, (std::vector<bool>{true}));
}

struct RightsCase {
  const char* name;
  int32_t trans_type;
  int32_t group_right;
  int32_t data_right;
  const char* statement;
};

class CheckSearchBillRightsTest : public ::testing::TestWithParam<RightsCase> {};

TEST_P(CheckSearchBillRightsTest, BuildsTheRightsStatement) {
  const RightsCase& c = GetParam();
  FakePlatform host;
  host.props = "UserID=16;";
  ScriptUser(host, c.group_right, c.data_right);
  ScriptGroupUsers(host, {16, 17});
  ScriptExisting(host);
  clsMoveBill bill(host);
  std::string info;
  EXPECT_FALSE(bill.CheckSearchBill(c.trans_type, 42, info));
  EXPECT_EQ(info, kNoRightMessage);
  EXPECT_EQ(host.Statements().back(), c.statement);
}

INSTANTIATE_TEST_SUITE_P(
    Navigation, CheckSearchBillRightsTest,
    ::testing::Values(
        RightsCase{"GroupScopeOnAnOrder", 71, 1, 0,
                   " SELECT top 1 1 From POOrder v1 left join POOrderEntry u1 on v1.FInterID=u1.FInterID \r\n where "
                   "1=1  and v1.FBillerID in (16,17) and v1.FInterID = 42"},
        RightsCase{"OwnScopeOnABom", 50, 2, 0,
                   " SELECT top 1 1 From ICBom v1 where 1=1  and FCheckID=16 and v1.FInterID = 42"},
        RightsCase{"StockRightsOnAProductionOrder", 85, 0, 4,
                   " SELECT top 1 1 From ICMO v1 left join ICMOEntry u1 on v1.FInterID=u1.FInterID \r\n where 1=1 "
                   "\r\n and v1.FInterID not in \r\n (select t3.FInterID from ICMOEntry t3 left join t_Stock t4 on "
                   "t3.FStockID=t4.FItemID \r\n where charIndex('16',t4.FRightUserID)=0 \r\n) and v1.FInterID = 42"},
        RightsCase{"UnknownKindIsAPurchaseOrder", 3, 0, 2,
                   " SELECT top 1 1 From POOrder v1 left join t_supplier t2 on v1.FSupplyID=t2.FItemID \r\n where "
                   "1=1 \r\n and CharIndex('16',t2.FRightUserID)>0 \r\n and v1.FInterID = 42"},
        RightsCase{"SharedTableKind", 29, 0, 0,
                   " SELECT top 1 1 From ICStockBill v1 where 1=1  and FTranType=29 and v1.FInterID = 42"}),
    CaseName());

TEST(CheckSearchBill, AFailedAdministratorCheckMeansTheRightsTestRuns) {
  FakePlatform host;
  ScriptExisting(host);
  ScriptVisible(host);
  host.Reject(" AND FGroupID=1", "deadlock victim");
  ScriptUser(host, 0, 0);
  clsMoveBill bill(host);
  std::string info;
  EXPECT_TRUE(bill.CheckSearchBill(1, 1050, info));
  // Once for the exemption, once more inside the rights lookup.
  EXPECT_EQ(host.messages, (std::vector<std::string>{"deadlock victim", "deadlock victim"}));
  EXPECT_EQ(host.Statements().back(),
            " SELECT top 1 1 From ICStockBill v1 where 1=1  and FTranType=1 and v1.FInterID = 1050");
}

}  // namespace
}  // namespace zet::testing
