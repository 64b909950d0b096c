#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "component/cls_move_bill.hpp"
#include "host/service_factory.hpp"
#include "pending/pending.hpp"
#include "support/fake_platform.hpp"
#include "support/rights_script.hpp"

namespace zet::testing {
namespace {

constexpr const char* kCount = " SELECT Count(distinct ";
constexpr const char* kFirstObject = "select 1 from t_AccessControl";
constexpr const char* kSecondObject = "select FAccessMask from t_AccessControl";

// The values of a list object, read by position from 1 as the desktop does.
std::vector<Variant> Items(const ObjectRef& list) {
  std::vector<Variant> out;
  const int32_t count = CLng(list->Get("Count"));
  for (int32_t position = 1; position <= count; ++position) {
    Argument args[] = {Argument::ByVal(Variant::Long(position))};
    out.push_back(list->Call("Item", args));
  }
  return out;
}

// A non-administrator granted every position.
void ScriptGrantedEverywhere(FakePlatform& host) {
  host.Answer(kFirstObject, Scalar(Variant::Long(1)));
  host.Answer(kSecondObject, Scalar(Variant::Long(131072)));
}

// The count statements sent, in order.
std::vector<std::string> CountStatements(const FakePlatform& host) {
  std::vector<std::string> out;
  for (const std::string& sql : host.Statements()) {
    if (sql.rfind(kCount, 0) == 0) out.push_back(sql);
  }
  return out;
}

// ---------------------------------------------------------------------------
// Worked statements

TEST(GetToDoThingCount, PurchaseOrdersOfOwnScope) {
  FakePlatform host;
  host.props = "UserID=16394;";
  ScriptUser(host, 2, 0);
  ScriptGrantedEverywhere(host);
  host.sys_values["IC/PurchaseAlarmDateCount"] = Variant::String("7");
  clsMoveBill bill(host);

  ASSERT_NE(bill.GetToDoThingCount(), nullptr);
  const auto counts = CountStatements(host);
  ASSERT_EQ(counts.size(), 6u);
  EXPECT_EQ(counts[0],
            " SELECT Count(distinct v1.FInterID) From POOrder v1 left join POOrderEntry u1 on v1.FInterID=u1.FInterID "
            "\r\n"
            " where 1=1  and v1.FBillerID=16394\r\n"
            " and datediff(day,getdate(),u1.FDate)<=7 and u1.FQty>u1.FStockQty and (v1.FStatus=1 or v1.FStatus=2) and "
            "v1.FCancellation=0 ");
  EXPECT_TRUE(host.messages.empty());
}

TEST(GetToDoThingCount, PurchaseOrdersOfGroupScopeFormOneTerm) {
  FakePlatform host;
  host.props = "UserID=16394;";
  ScriptUser(host, 1, 0);
  ScriptGroupUsers(host, {16394, 16395});
  ScriptGrantedEverywhere(host);
  host.sys_values["IC/PurchaseAlarmDateCount"] = Variant::String("7");
  clsMoveBill bill(host);

  ASSERT_NE(bill.GetToDoThingCount(), nullptr);
  EXPECT_EQ(CountStatements(host).at(0),
            " SELECT Count(distinct v1.FInterID) From POOrder v1 left join POOrderEntry u1 on v1.FInterID=u1.FInterID "
            "\r\n"
            " where 1=1  and (v1.FBillerID=16394 OR v1.FBillerID in (16394,16395))\r\n"
            " and datediff(day,getdate(),u1.FDate)<=7 and u1.FQty>u1.FStockQty and (v1.FStatus=1 or v1.FStatus=2) and "
            "v1.FCancellation=0 ");
}

TEST(GetToDoThingCount, PurchaseInvoicesWithoutPreparerOrDataRights) {
  FakePlatform host;
  ScriptAdministrator(host);
  host.sys_values["IC/APAlarmDateCount"] = Variant::String("5");
  clsMoveBill bill(host);

  ASSERT_NE(bill.GetToDoThingCount(), nullptr);
  EXPECT_EQ(CountStatements(host).at(1),
            " SELECT Count(distinct v1.FInterID) From ICPurchase v1 left join vw_BillRPMoney vrp on "
            "v1.FInterID=vrp.FInterID AND vrp.FTranType=75 \r\n"
            " where 1=1 \r\n"
            " and datediff(day,getdate(),v1.FPayDate)<=5 and v1.FStatus=1 and v1.FPOStyle<>251 and "
            "v1.FROB*(vrp.FRPAmountFor-v1.FPurchaseAmountFor)<0 \r\n"
            " and v1.FHookInterID not in ( select FGroupNo From ICHookRelations Where FEquityHook=1 ) ");
}

TEST(GetToDoThingCount, DataRightsAddTheJoinedFormAndTheFilterLast) {
  FakePlatform host;
  host.props = "UserID=16;";
  ScriptUser(host, 0, 9);
  ScriptGrantedEverywhere(host);
  clsMoveBill bill(host);

  ASSERT_NE(bill.GetToDoThingCount(), nullptr);
  EXPECT_EQ(CountStatements(host).at(4),
            " SELECT Count(distinct v1.FBillID) From t_RP_ROtherBill v1 left join t_RP_ROtherBillEntry u1 on "
            "v1.FBillID=u1.FBillID \r\n"
            " left join t_Organization t2 on v1.FCustomerID=t2.FItemID \r\n"
            " left join t_Account t7 on v1.FAcctID=t7.FAccountID \r\n"
            " left join vw_BillRPMoney vrp on v1.FBillID=vrp.FInterID AND vrp.FTranType=1000205 \r\n"
            " where 1=1 \r\n"
            " and datediff(day,getdate(),v1.FLimitDate)<=0 and v1.FStatus=1 and v1.FBillTypeID=1006 and "
            "ISNULL(vrp.FRPAmountFor,0)-v1.FAmountFor<0 \r\n"
            " and CharIndex('16',t2.FRightUserID)>0 \r\n"
            " and CharIndex('16',t7.FRightUserID)>0 \r\n");
}

// ---------------------------------------------------------------------------
// The nine positions

TEST(GetToDoThingCount, AnAdministratorGetsNineValuesOfTheirSubtypes) {
  FakePlatform host;
  ScriptAdministrator(host);
  host.Answer("From POOrder", Scalar(Variant::Long(2)));
  host.Answer("From ICPurchase", Scalar(Variant::String("3")));
  host.Answer("From SEOrder", Scalar(Variant::Long(4)));
  host.Answer("From ICSale", Scalar(Variant::Double(5)));
  host.Answer("From t_RP_ROtherBill", Scalar(Variant::Long(6)));
  host.Answer("From t_RP_POtherBill", Scalar(Variant::Long(7)));
  host.Answer("FKey='CashBeforePost'", Scalar(Variant::Long(1)));
  host.Answer("v1.FCheckerID=-1", Table{{"FVoucherID"}, {{Variant::Long(1)}, {Variant::Long(2)}}});
  host.Answer("v1.FCashierID=-1", Table{{"FVoucherID"}, {{Variant::Long(1)}}});
  clsMoveBill bill(host);

  const ObjectRef result = bill.GetToDoThingCount();
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(Items(result), (std::vector<Variant>{Variant::Integer(0), Variant::Double(2), Variant::Double(3),
                                                 Variant::Double(4), Variant::Double(5), Variant::Double(6),
                                                 Variant::Double(7), Variant::Long(2), Variant::Long(1)}));
  // Administrators are never asked about access.
  for (const std::string& sql : host.Statements()) EXPECT_EQ(sql.find("t_AccessControl"), std::string::npos) << sql;
  EXPECT_TRUE(host.messages.empty());
}

TEST(GetToDoThingCount, ReadsTheDayCountsInPositionOrder) {
  FakePlatform host;
  ScriptAdministrator(host);
  clsMoveBill bill(host);
  ASSERT_NE(bill.GetToDoThingCount(), nullptr);

  const auto keys = host.CallsOn("ZetBillDataAccess.SysInfo");
  std::vector<std::string> asked;
  for (const RecordedCall& call : keys) asked.push_back(call.args[2].AsString());
  EXPECT_EQ(asked, (std::vector<std::string>{"PurchaseAlarmDateCount", "APAlarmDateCount", "SaleAlarmDateCount",
                                             "ARAlarmDateCount", "ARAlarmDateCount", "APAlarmDateCount"}));
}

TEST(GetToDoThingCount, ACountWithoutARowIsIntegerZero) {
  FakePlatform host;
  ScriptAdministrator(host);
  host.Answer(kCount, NoRows());
  clsMoveBill bill(host);
  const auto items = Items(bill.GetToDoThingCount());
  ASSERT_EQ(items.size(), 9u);
  for (size_t i = 1; i <= 5; ++i) EXPECT_EQ(items[i], Variant::Integer(0)) << i;
}

TEST(GetToDoThingCount, ARefusedPositionIsIntegerZeroAndReadsNothingMore) {
  FakePlatform host;
  host.props = "UserID=16;";
  ScriptUser(host, 0, 0);
  // Position 3 (purchase invoices) is refused: no row on its first object.
  host.Answer("FObjectType=1088 and FObjectID=4 ", NoRows());
  ScriptGrantedEverywhere(host);
  host.Answer(kCount, Scalar(Variant::Long(5)));
  clsMoveBill bill(host);

  const auto items = Items(bill.GetToDoThingCount());
  ASSERT_EQ(items.size(), 9u);
  EXPECT_EQ(items[2], Variant::Integer(0));
  EXPECT_EQ(items[1], Variant::Double(5));
  EXPECT_EQ(items[3], Variant::Double(5));
  for (const std::string& sql : CountStatements(host)) EXPECT_EQ(sql.find("ICPurchase"), std::string::npos);
  // The payables day count is still read once, for position 7.
  int ap_reads = 0;
  for (const RecordedCall& call : host.CallsOn("ZetBillDataAccess.SysInfo")) {
    if (call.args[2] == Variant::String("APAlarmDateCount")) ++ap_reads;
  }
  EXPECT_EQ(ap_reads, 1);
  EXPECT_TRUE(host.messages.empty());
}

TEST(GetToDoThingCount, VoucherPositionsOfANonAdministratorNeedTheirAccessRows) {
  FakePlatform host;
  ScriptUser(host, 0, 0);
  host.Answer("FObjectType=0 and FObjectID=0 ", NoRows());  // second object of positions 8 and 9
  ScriptGrantedEverywhere(host);
  host.Answer(" SELECT FAccessMask FROM t_AccessControl", Scalar(Variant::Long(33)));
  host.Answer("FKey='CashBeforePost'", Scalar(Variant::Long(1)));
  host.Answer(" select * from t_Voucher", Scalar(Variant::Long(1)));
  clsMoveBill bill(host);

  const auto items = Items(bill.GetToDoThingCount());
  ASSERT_EQ(items.size(), 9u);
  EXPECT_EQ(items[7], Variant::Integer(0));
  EXPECT_EQ(items[8], Variant::Integer(0));
  for (const std::string& sql : host.Statements()) EXPECT_EQ(sql.find("t_Voucher"), std::string::npos) << sql;
}

TEST(GetToDoThingCount, AFailedAccessCheckRefusesOnlyItsPosition) {
  FakePlatform host;
  ScriptUser(host, 0, 0);
  host.Reject("FObjectType=1088 and FObjectID=21 ", "Timeout expired");
  ScriptGrantedEverywhere(host);
  host.Answer(kCount, Scalar(Variant::Long(1)));
  clsMoveBill bill(host);

  const ObjectRef result = bill.GetToDoThingCount();
  ASSERT_NE(result, nullptr);
  const auto items = Items(result);
  EXPECT_EQ(items[3], Variant::Integer(0));
  EXPECT_EQ(items[4], Variant::Double(1));
  EXPECT_EQ(host.messages, (std::vector<std::string>{"Timeout expired"}));
}

TEST(GetToDoThingCount, AFailedVoucherLookupIsZeroAndTheLoopGoesOn) {
  FakePlatform host;
  ScriptAdministrator(host);
  host.Reject("FKey='CashBeforePost'", "Invalid object name 't_SystemProfile'.");
  host.Answer(" select * from t_Voucher", Scalar(Variant::Long(1)));
  clsMoveBill bill(host);

  const auto items = Items(bill.GetToDoThingCount());
  ASSERT_EQ(items.size(), 9u);
  EXPECT_EQ(items[7], Variant::Long(1));
  EXPECT_EQ(items[8], Variant::Long(0));
  EXPECT_TRUE(host.messages.empty());
}

TEST(GetToDoThingCount, AFailedAdministratorCheckMeansEveryPositionIsChecked) {
  FakePlatform host;
  host.Reject(" AND FGroupID=1", "deadlock victim");
  ScriptUser(host, 0, 0);
  clsMoveBill bill(host);

  const ObjectRef result = bill.GetToDoThingCount();
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(Items(result), std::vector<Variant>(9, Variant::Integer(0)));
  // Once inside the rights lookup, once for the method's own question.
  EXPECT_EQ(host.messages, (std::vector<std::string>{"deadlock victim", "deadlock victim"}));
  int access_checks = 0;
  for (const std::string& sql : host.Statements()) {
    if (sql.rfind(kFirstObject, 0) == 0) ++access_checks;
  }
  EXPECT_EQ(access_checks, 8);
}

}  // namespace
}  // namespace zet::testing
