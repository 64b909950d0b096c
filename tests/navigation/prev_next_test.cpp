#include <gtest/gtest.h>

#include <climits>

#include "component/cls_move_bill.hpp"
#include "support/case_name.hpp"
#include "support/fake_platform.hpp"
#include "support/rights_script.hpp"

namespace zet::testing {
namespace {

constexpr const char* kBillData = "ZetBillDataAccess.GetData";

TEST(GetMoveInterID, PreviousStockBillOfOwnScopeStaysWhenThereIsNone) {
  FakePlatform host;
  host.props = "UserID=16;";
  ScriptUser(host, 2, 0);
  host.Answer("ISNULL(max(", Scalar(Variant::Long(0)));
  clsMoveBill bill(host);

  EXPECT_EQ(bill.GetMoveInterID(Variant::Long(1050), 1, 1), 1050);
  EXPECT_EQ(host.Statements().back(),
            " select ISNULL(max(v1.FInterID),0) from ICStockBill v1 where v1.FTranType=1 and v1.FInterID<1050 and "
            "v1.FBillerID=16");
  EXPECT_TRUE(host.messages.empty());
}

TEST(GetMoveInterID, NextReceivableBillWithTheShiftedDirectionCode) {
  FakePlatform host;
  ScriptAdministrator(host);
  host.Answer("ISNULL(min(", Scalar(Variant::Long(78)));
  clsMoveBill bill(host);

  EXPECT_EQ(bill.GetMoveInterID(Variant::Long(77), 3, 1000201), 78);
  EXPECT_EQ(host.Statements().back(), " select ISNULL(min(v1.FBillID),0) from t_RP_RBill v1 where v1.FBillID>77");
}

TEST(GetMoveInterID, PreviousFromANewSaleInvoiceOfGroupScopeWithCustomerRights) {
  FakePlatform host;
  host.props = "UserID=16;";
  ScriptUser(host, 1, 1);
  ScriptGroupUsers(host, {16, 17});
  host.Answer("ISNULL(max(", Scalar(Variant::Long(300)));
  clsMoveBill bill(host);

  EXPECT_EQ(bill.GetMoveInterID(Variant(), 1, 80), 300);
  EXPECT_EQ(host.Statements().back(),
            "select ISNULL(max(v1.FInterID),0) as FInterID from ICSale v1 left join t_Organization t2 on "
            "v1.FCustID=t2.FItemID \r\n"
            " WHERE 1=1  AND v1.FTranType=80 and v1.FBillerID in (16,17)\r\n"
            " and CharIndex('16',t2.FRightUserID)>0 \r\n");
  EXPECT_TRUE(host.messages.empty());
}

TEST(GetMoveInterID, NextStockBillOfAnEditorStaysAtTheEnd) {
  FakePlatform host;
  ScriptAdministrator(host);
  host.Answer("ISNULL(min(", Scalar(Variant::Long(0)));
  clsMoveBill bill(host);

  EXPECT_EQ(bill.GetMoveInterID(Variant::Long(1050), 2, 1), 1050);
  EXPECT_EQ(host.Statements().back(),
            " select ISNULL(min(v1.FInterID),0) from ICStockBill v1 where v1.FTranType=1 and v1.FInterID>1050");
}

struct DirectionCase {
  const char* name;
  int32_t trans_type;
  int32_t move_type;
  const char* statement;  // "" when nothing may be sent
};

class GetMoveInterIDDirectionTest : public ::testing::TestWithParam<DirectionCase> {};

TEST_P(GetMoveInterIDDirectionTest, SendsTheNeighbourQueryOrNothing) {
  const DirectionCase& c = GetParam();
  FakePlatform host;
  ScriptAdministrator(host);
  host.Answer("ISNULL(", Scalar(Variant::Long(60)));
  clsMoveBill bill(host);

  const int32_t got = bill.GetMoveInterID(Variant::Long(50), c.move_type, c.trans_type);
  if (std::string(c.statement).empty()) {
    // A direction that means nothing: 0, not the current bill, and no query.
    EXPECT_EQ(got, 0);
    EXPECT_EQ(host.CreatedCount(kBillData), 0);
  } else {
    EXPECT_EQ(got, 60);
    EXPECT_EQ(host.Statements().back(), c.statement);
  }
  EXPECT_TRUE(host.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Navigation, GetMoveInterIDDirectionTest,
    ::testing::Values(
        DirectionCase{"StockPrevious", 1, 1,
                      " select ISNULL(max(v1.FInterID),0) from ICStockBill v1 where v1.FTranType=1 and v1.FInterID<50"},
        DirectionCase{"StockNext", 1, 2,
                      " select ISNULL(min(v1.FInterID),0) from ICStockBill v1 where v1.FTranType=1 and v1.FInterID>50"},
        DirectionCase{"StockThreeMeansNothing", 1, 3, ""},
        DirectionCase{"OrderPrevious", 71, 1,
                      " select ISNULL(max(v1.FInterID),0) from POOrder v1 left join POOrderEntry u1 on "
                      "v1.FInterID=u1.FInterID \r\n where v1.FInterID<50"},
        DirectionCase{"VoucherNext", 1125, 2,
                      " select ISNULL(min(v1.FVoucherID),0) from t_Voucher v1 where v1.FVoucherID>50"},
        DirectionCase{"UnknownKindNext", 3, 2,
                      " select ISNULL(min(v1.FInterID),0) from POOrder v1 where v1.FInterID>50"},
        DirectionCase{"ReceivableOneMeansNothing", 1000201, 1, ""},
        DirectionCase{"ReceivableTwoIsPrevious", 1000201, 2,
                      " select ISNULL(max(v1.FBillID),0) from t_RP_RBill v1 where v1.FBillID<50"},
        DirectionCase{"ReceivableThreeIsNext", 1000201, 3,
                      " select ISNULL(min(v1.FBillID),0) from t_RP_RBill v1 where v1.FBillID>50"},
        DirectionCase{"ReceivableFourMeansNothing", 1000201, 4, ""},
        DirectionCase{"ChangeThreeIsNext", 1007000, 3,
                      " select ISNULL(min(v1.FID),0) from ICChange v1 where v1.FID>50"},
        DirectionCase{"ChangeOneMeansNothing", 1007000, 1, ""}),
    CaseName());

TEST(GetMoveInterID, TheSmallestDirectionCodeOfAShiftedKindOverflows) {
  FakePlatform host;
  ScriptAdministrator(host);
  clsMoveBill bill(host);
  EXPECT_EQ(bill.GetMoveInterID(Variant::Long(50), INT32_MIN, 1000201), 0);
  EXPECT_EQ(host.messages, (std::vector<std::string>{"Overflow"}));
  EXPECT_EQ(host.CreatedCount(kBillData), 0);
}

struct CurrentBillCase {
  const char* name;
  Variant bill;
  int32_t move_type;
  Variant found;
  int32_t expected;
  const char* statement;  // "" when nothing may be sent
};

class GetMoveInterIDCurrentBillTest : public ::testing::TestWithParam<CurrentBillCase> {};

TEST_P(GetMoveInterIDCurrentBillTest, ReadsTheBillIdAsTheLanguageDoes) {
  const CurrentBillCase& c = GetParam();
  FakePlatform host;
  ScriptAdministrator(host);
  host.Answer("ISNULL(", Scalar(c.found));
  clsMoveBill bill(host);

  EXPECT_EQ(bill.GetMoveInterID(c.bill, c.move_type, 84), c.expected);
  if (std::string(c.statement).empty()) {
    EXPECT_EQ(host.CreatedCount(kBillData), 0);
  } else {
    EXPECT_EQ(host.Statements().back(), c.statement);
  }
  EXPECT_TRUE(host.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Navigation, GetMoveInterIDCurrentBillTest,
    ::testing::Values(CurrentBillCase{"EmptyPrevious", Variant(), 1, Variant::Long(40), 40,
                                      "select ISNULL(max(v1.FInterID),0) as FInterID from PORFQ v1 WHERE 1=1 "},
                      CurrentBillCase{"EmptyNextSendsNothing", Variant(), 2, Variant::Long(40), 0, ""},
                      CurrentBillCase{"AtTheFirstStays", Variant::Long(1050), 1, Variant::Long(0), 1050,
                                      " select ISNULL(max(v1.FInterID),0) from PORFQ v1 where v1.FInterID<1050"},
                      CurrentBillCase{"AtTheLastStays", Variant::Long(1050), 2, Variant::Long(0), 1050,
                                      " select ISNULL(min(v1.FInterID),0) from PORFQ v1 where v1.FInterID>1050"},
                      CurrentBillCase{"NegativeDoesNotStay", Variant::Long(-4), 1, Variant::Long(0), 0,
                                      " select ISNULL(max(v1.FInterID),0) from PORFQ v1 where v1.FInterID<-4"},
                      CurrentBillCase{"TextIsInsertedUnchanged", Variant::String("1050"), 2, Variant::Long(1051), 1051,
                                      " select ISNULL(min(v1.FInterID),0) from PORFQ v1 where v1.FInterID>1050"},
                      CurrentBillCase{"FoundAsText", Variant::Long(7), 2, Variant::String("9"), 9,
                                      " select ISNULL(min(v1.FInterID),0) from PORFQ v1 where v1.FInterID>7"}),
    CaseName());

TEST(GetMoveInterID, ABillIdThatIsNoNumberShowsOneMessage) {
  FakePlatform host;
  ScriptAdministrator(host);
  clsMoveBill bill(host);
  EXPECT_EQ(bill.GetMoveInterID(Variant::String("abc"), 1, 1), 0);
  EXPECT_EQ(host.messages, (std::vector<std::string>{"Type mismatch"}));
  EXPECT_EQ(host.CreatedCount(kBillData), 0);
}

// Only a positive record count is an answer; otherwise the stay rule applies.
TEST(GetMoveInterID, NoRecordCountIsNothingFound) {
  for (int32_t record_count : {0, -1}) {
    FakePlatform host;
    ScriptAdministrator(host);
    host.Answer("ISNULL(", Scalar(Variant::Long(99)), RecordsetQuirks::Counting(record_count));
    clsMoveBill bill(host);
    EXPECT_EQ(bill.GetMoveInterID(Variant::Long(50), 2, 1), 50) << record_count;
    EXPECT_TRUE(host.messages.empty());
  }
}

struct MoveScopeCase {
  const char* name;
  int32_t group_right;
  int32_t data_right;
  const char* statement;
};

class GetMoveInterIDScopeTest : public ::testing::TestWithParam<MoveScopeCase> {};

TEST_P(GetMoveInterIDScopeTest, AppendsPreparerAndDataRightsAfterTheKeyComparison) {
  const MoveScopeCase& c = GetParam();
  FakePlatform host;
  host.props = "UserID=16";
  ScriptUser(host, c.group_right, c.data_right);
  ScriptGroupUsers(host, {16, 17});
  clsMoveBill bill(host);
  bill.GetMoveInterID(Variant::Long(10), 2, 1000202);
  EXPECT_EQ(host.Statements().back(), c.statement);
}

INSTANTIATE_TEST_SUITE_P(
    Navigation, GetMoveInterIDScopeTest,
    ::testing::Values(
        MoveScopeCase{"OwnBills", 2, 0,
                      " select ISNULL(max(v1.FBillID),0) from t_RP_PBill v1 where v1.FBillID<10 and v1.FPreparer=16"},
        MoveScopeCase{"GroupBills", 1, 0,
                      " select ISNULL(max(v1.FBillID),0) from t_RP_PBill v1 where v1.FBillID<10 and v1.FPreparer in "
                      "(16,17)"},
        MoveScopeCase{"NoRestriction", 5, 0,
                      " select ISNULL(max(v1.FBillID),0) from t_RP_PBill v1 where v1.FBillID<10"},
        MoveScopeCase{"AccountRights", 0, 8,
                      " select ISNULL(max(v1.FBillID),0) from t_RP_PBill v1 left join t_supplier t2 on "
                      "v1.FSupplyID=t2.FItemID \r\n left join t_Account t7 on v1.FAcctID=t7.FAccountID \r\n where "
                      "v1.FBillID<10\r\n and CharIndex('16',t7.FRightUserID)>0 \r\n"}),
    CaseName());

TEST(GetMoveInterID, SendsThePropertyStringFetchedJustBeforeTheCall) {
  FakePlatform host;
  host.props = "UserID=16;";
  ScriptAdministrator(host);
  clsMoveBill bill(host);
  bill.GetMoveInterID(Variant::Long(5), 2, 84);

  const auto calls = host.CallsOn(kBillData);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].member, "ExecuteSQL");
  ASSERT_EQ(calls[0].args.size(), 2u);
  EXPECT_EQ(calls[0].args[0], Variant::String("UserID=16;"));
  EXPECT_EQ(calls[0].by_ref, (std::vector<bool>{false, true}));
}

TEST(GetMoveInterID, ClosesAndReleasesTheRecordsetAndTheService) {
  FakePlatform host;
  ScriptAdministrator(host);
  host.Answer("ISNULL(", Scalar(Variant::Long(6)));
  clsMoveBill bill(host);
  EXPECT_EQ(bill.GetMoveInterID(Variant::Long(5), 2, 84), 6);
  ASSERT_FALSE(host.recordsets.empty());
  EXPECT_TRUE(*host.recordsets.back().closed);
  EXPECT_TRUE(host.recordsets.back().object.expired());
  EXPECT_EQ(host.Alive(kBillData), 0);
}

TEST(GetMoveInterID, AFailingCloseKeepsTheResultFound) {
  FakePlatform host;
  ScriptAdministrator(host);
  host.Answer("ISNULL(", Scalar(Variant::Long(6)), RecordsetQuirks::Failing("Close"));
  clsMoveBill bill(host);
  EXPECT_EQ(bill.GetMoveInterID(Variant::Long(5), 2, 84), 6);
  EXPECT_EQ(host.messages, (std::vector<std::string>{"Recordset.Close failed"}));
}

}  // namespace
}  // namespace zet::testing
