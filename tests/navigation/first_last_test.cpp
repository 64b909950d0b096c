#include <gtest/gtest.h>

#include "component/cls_move_bill.hpp"
#include "support/case_name.hpp"
#include "support/fake_platform.hpp"
#include "support/rights_script.hpp"

namespace zet::testing {
namespace {

constexpr const char* kConnection = "ZetConnection.AppConnection";

TEST(GetMaxMinInterID, LastStockBillOfOwnScopeWithCustomerRights) {
  FakePlatform host;
  host.props = "UserID=12;";
  ScriptUser(host, 2, 1);
  host.Answer("SELECT ISNULL(Max(", Scalar(Variant::Long(4711)));
  clsMoveBill bill(host);

  EXPECT_EQ(bill.GetMaxMinInterID(21, 2), 4711);

  const auto statements = host.Statements();
  ASSERT_FALSE(statements.empty());
  EXPECT_EQ(statements.back(),
            " SELECT ISNULL(Max(v1.FInterID),0) as FInterID From ICStockBill v1 left join ICStockBillEntry u1 on "
            "v1.FInterID=u1.FInterID \r\n"
            " left join t_Organization t1 on v1.FCustID=t1.FItemID \r\n"
            " left join t_supplier t2 on v1.FSupplyID=t2.FItemID \r\n"
            " where 1=1  and FTranType=21 and v1.FBillerID=12\r\n"
            " and (IsNull(t1.FItemID,0)=0 OR CharIndex('12',t1.FRightUserID)>0) \r\n");
  EXPECT_TRUE(host.messages.empty());
}

TEST(GetMaxMinInterID, FirstVoucherForAnAdministrator) {
  FakePlatform host;
  ScriptAdministrator(host);
  host.Answer("SELECT ISNULL(Min(", Scalar(Variant::String("9")));
  clsMoveBill bill(host);

  EXPECT_EQ(bill.GetMaxMinInterID(1125, 1), 9);
  EXPECT_EQ(host.Statements().back(), " SELECT ISNULL(Min(v1.FVoucherID),0) as FInterID From t_Voucher v1 where 1=1 ");
}

TEST(GetMaxMinInterID, RunsOnAFreshConnectionWithTheStatementByReference) {
  FakePlatform host;
  ScriptAdministrator(host);
  clsMoveBill bill(host);
  bill.GetMaxMinInterID(1, 1);
  bill.GetMaxMinInterID(1, 2);

  EXPECT_EQ(host.CreatedCount(kConnection), 2);
  EXPECT_EQ(host.Alive(kConnection), 0);
  const auto calls = host.CallsOn(kConnection);
  ASSERT_EQ(calls.size(), 2u);
  for (const RecordedCall& call : calls) {
    EXPECT_EQ(call.member, "Execute");
    EXPECT_EQ(call.by_ref, (std::vector<bool>{true}));  // no property string
  }
}

struct EndCase {
  const char* name;
  int32_t trans_type;
  int32_t type;
  const char* statement;
};

class GetMaxMinInterIDAdminTest : public ::testing::TestWithParam<EndCase> {};

// For an administrator: only " where 1=1 " and, for the shared tables, the
// transaction-type condition, over the bare form.
TEST_P(GetMaxMinInterIDAdminTest, SendsTheAggregateOfItsEnd) {
  FakePlatform host;
  ScriptAdministrator(host);
  clsMoveBill bill(host);
  bill.GetMaxMinInterID(GetParam().trans_type, GetParam().type);
  EXPECT_EQ(host.Statements().back(), GetParam().statement);
}

INSTANTIATE_TEST_SUITE_P(
    Navigation, GetMaxMinInterIDAdminTest,
    ::testing::Values(
        EndCase{"TypeOneIsMin", 1, 1,
                " SELECT ISNULL(Min(v1.FInterID),0) as FInterID From ICStockBill v1 where 1=1  and FTranType=1"},
        EndCase{"TypeZeroIsMax", 1, 0,
                " SELECT ISNULL(Max(v1.FInterID),0) as FInterID From ICStockBill v1 where 1=1  and FTranType=1"},
        EndCase{"TypeMinusOneIsMax", 86, -1,
                " SELECT ISNULL(Max(v1.FInterID),0) as FInterID From ICSale v1 where 1=1  and FTranType=86"},
        EndCase{"PurchaseOrderSpansItsTable", 71, 1,
                " SELECT ISNULL(Min(v1.FInterID),0) as FInterID From POOrder v1 left join POOrderEntry u1 on "
                "v1.FInterID=u1.FInterID \r\n where 1=1 "},
        EndCase{"ReceivableBill", 1000201, 2,
                " SELECT ISNULL(Max(v1.FBillID),0) as FInterID From t_RP_RBill v1 where 1=1 "},
        EndCase{"Change", 1007000, 1, " SELECT ISNULL(Min(v1.FID),0) as FInterID From ICChange v1 where 1=1 "},
        EndCase{"UnknownCodeIsAPurchaseOrder", 3, 2,
                " SELECT ISNULL(Max(v1.FInterID),0) as FInterID From POOrder v1 where 1=1 "}),
    CaseName());

struct ScopeCase {
  const char* name;
  const char* props;
  int32_t group_right;
  int32_t data_right;
  const char* statement;
};

class GetMaxMinInterIDScopeTest : public ::testing::TestWithParam<ScopeCase> {};

TEST_P(GetMaxMinInterIDScopeTest, AddsThePreparerAndDataRightConditions) {
  const ScopeCase& c = GetParam();
  FakePlatform host;
  host.props = c.props;
  ScriptUser(host, c.group_right, c.data_right);
  ScriptGroupUsers(host, {12, 13});
  clsMoveBill bill(host);
  bill.GetMaxMinInterID(80, 2);
  EXPECT_EQ(host.Statements().back(), c.statement);
  EXPECT_TRUE(host.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Navigation, GetMaxMinInterIDScopeTest,
    ::testing::Values(
        ScopeCase{"OwnBills", "UserID=12;", 2, 0,
                  " SELECT ISNULL(Max(v1.FInterID),0) as FInterID From ICSale v1 where 1=1  and FTranType=80 and "
                  "v1.FBillerID=12"},
        // The preparer is compared with the id as the context spells it,
        // the rights with the id as a number.
        ScopeCase{"OwnBillsIdAsSpelt", "UserID=0012;", 2, 1,
                  " SELECT ISNULL(Max(v1.FInterID),0) as FInterID From ICSale v1 left join t_Organization t2 on "
                  "v1.FCustID=t2.FItemID \r\n where 1=1  and FTranType=80 and v1.FBillerID=0012\r\n and "
                  "CharIndex('12',t2.FRightUserID)>0 \r\n"},
        ScopeCase{"GroupBills", "UserID=12;", 1, 0,
                  " SELECT ISNULL(Max(v1.FInterID),0) as FInterID From ICSale v1 where 1=1  and FTranType=80 and "
                  "v1.FBillerID in (12,13)"},
        ScopeCase{"NoPreparerRestriction", "UserID=12;", 0, 0,
                  " SELECT ISNULL(Max(v1.FInterID),0) as FInterID From ICSale v1 where 1=1  and FTranType=80"},
        // Stocks mean nothing to invoices: the join is there, no condition.
        ScopeCase{"StockRightsOnSaleInvoice", "UserID=12;", 0, 4,
                  " SELECT ISNULL(Max(v1.FInterID),0) as FInterID From ICSale v1 left join t_Organization t2 on "
                  "v1.FCustID=t2.FItemID \r\n where 1=1  and FTranType=80\r\n"},
        ScopeCase{"NegativeDataRight", "UserID=12;", 0, -1,
                  " SELECT ISNULL(Max(v1.FInterID),0) as FInterID From ICSale v1 where 1=1  and FTranType=80"}),
    CaseName());

struct ValueCase {
  const char* name;
  Variant field;
  int32_t expected;
};

class GetMaxMinInterIDValueTest : public ::testing::TestWithParam<ValueCase> {};

// The field is taken as text and read as the number it begins with.
TEST_P(GetMaxMinInterIDValueTest, ReadsTheLeadingNumberOfField0) {
  FakePlatform host;
  ScriptAdministrator(host);
  host.Answer("ISNULL(Max(", Scalar(GetParam().field));
  clsMoveBill bill(host);
  EXPECT_EQ(bill.GetMaxMinInterID(1, 2), GetParam().expected);
  EXPECT_TRUE(host.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Navigation, GetMaxMinInterIDValueTest,
                         ::testing::Values(ValueCase{"TextWithTail", Variant::String("12ab"), 12},
                                           ValueCase{"DoubleHalfToEven", Variant::Double(12.5), 12}),
                         CaseName());

TEST(GetMaxMinInterID, AnAnswerWithoutRowsIsZero) {
  FakePlatform host;
  ScriptAdministrator(host);
  host.Answer("ISNULL(Max(", NoRows());
  clsMoveBill bill(host);
  EXPECT_EQ(bill.GetMaxMinInterID(1, 2), 0);
  EXPECT_TRUE(host.messages.empty());
}

TEST(GetMaxMinInterID, AFailedRightsLookupLeavesTheStatementUnrestricted) {
  FakePlatform host;
  host.props = "UserID=12;";
  host.Reject("FROM t_User", "Invalid object name 't_User'.");
  host.Answer("ISNULL(Max(", Scalar(Variant::Long(30)));
  clsMoveBill bill(host);
  EXPECT_EQ(bill.GetMaxMinInterID(21, 2), 30);
  EXPECT_EQ(host.messages, (std::vector<std::string>{"Invalid object name 't_User'."}));
  EXPECT_EQ(host.Statements().back(),
            " SELECT ISNULL(Max(v1.FInterID),0) as FInterID From ICStockBill v1 where 1=1  and FTranType=21");
}

}  // namespace
}  // namespace zet::testing
