#include <gtest/gtest.h>

#include "component/cls_move_bill.hpp"
#include "support/embedded_host.hpp"

namespace zet::embedded::testing {
namespace {

// A bill due today, settled by the amounts given: 0.70 + 0.10 is
// 0.7999999999999999 in binary floating point; exact money leaves nothing due.
// An amount written with more decimals than money keeps is kept to four.
struct Settled {
  int32_t position;  // in GetToDoThingCount's list
  const char* bill;
  const char* settlements;  // (tran type, amount), ...
  double due;
  const char* amount = "0.80";
};

constexpr Settled kCases[] = {
    {5, "ICSale (FInterID, FPayDate, FStatus, FInvoiceAmountFor)", "(80, 0.70), (80, 0.10)", 0},
    {5, "ICSale (FInterID, FPayDate, FStatus, FInvoiceAmountFor)", "(80, 0.70), (80, 0.09)", 1},
    {3, "ICPurchase (FInterID, FPayDate, FStatus, FPurchaseAmountFor)", "(75, 0.10), (75, 0.30), (75, 0.40)", 0},
    {6, "t_RP_ROtherBill (FBillID, FLimitDate, FStatus, FAmountFor)", "(1000205, 0.70), (1000205, 0.10)", 0},
    {6, "t_RP_ROtherBill (FBillID, FLimitDate, FStatus, FAmountFor)", "(1000205, 0.35), (1000205, 0.35)", 1},
    {5, "ICSale (FInterID, FPayDate, FStatus, FInvoiceAmountFor)", "(80, 0.80)", 0, "0.80004"},
};

TEST(Money, AmountsThatAddUpToTheBillLeaveNothingDue) {
  for (const Settled& c : kCases) {
    Host host;
    host.Exec("INSERT INTO t_Group VALUES (1, 1); INSERT INTO t_SystemProfile VALUES ('IC', 'APAlarmDateCount', '5'),"
              " ('IC', 'ARAlarmDateCount', '5'); INSERT INTO " + std::string(c.bill) + " VALUES (1, '" + kToday +
              "', 1, " + c.amount + "); WITH a(t, v) AS (VALUES " + c.settlements +
              ") INSERT INTO t_RP_Settlement (FInterID, FTranType, FAmountFor) SELECT 1, t, v FROM a");
    host.As(1);
    const ObjectRef counts = clsMoveBill(host.platform()).GetToDoThingCount();
    ASSERT_TRUE(counts) << host.messages.front();
    Argument args[] = {Argument::ByVal(Variant::Long(c.position))};
    EXPECT_EQ(CDbl(counts->Call("Item", args)), c.due) << c.bill << c.settlements;
  }
}

}  // namespace
}  // namespace zet::embedded::testing
