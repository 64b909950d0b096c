#include <gtest/gtest.h>

#include <string>

#include "component/cls_move_bill.hpp"
#include "embedded_fixture.hpp"

namespace zet::embedded::testing {
namespace {

// An invoice or other bill of 0.80, due today, settled by the amounts given.
// 0.70 + 0.10 is 0.7999999999999999 in binary floating point: exact money
// leaves nothing due, one cent short leaves it due.
struct Settled {
  int32_t position;  // in GetToDoThingCount's list
  const char* bill;  // the bill, in SQLite's dialect
  int32_t tran_type;
  const char* settlements;
  double due;
};

constexpr const char* kInvoice =
    "INSERT INTO ICSale (FInterID, FPayDate, FStatus, FInvoiceAmountFor) VALUES (1, '2026-12-05', 1, 0.80)";
constexpr const char* kPurchase =
    "INSERT INTO ICPurchase (FInterID, FPayDate, FStatus, FPurchaseAmountFor) VALUES (1, '2026-12-05', 1, 0.80)";
constexpr const char* kOther =
    "INSERT INTO t_RP_ROtherBill (FBillID, FLimitDate, FStatus, FBillTypeID, FAmountFor) "
    "VALUES (1, '2026-12-05', 1, 1006, 0.80)";

constexpr Settled kCases[] = {
    {5, kInvoice, 80, "(0.70), (0.10)", 0},
    {5, kInvoice, 80, "(0.70), (0.09)", 1},
    {5, kInvoice, 80, "(0.10), (0.30), (0.40)", 0},
    {3, kPurchase, 75, "(0.70), (0.10)", 0},
    {3, kPurchase, 75, "(0.70)", 1},
    {6, kOther, 1000205, "(0.70), (0.10)", 0},
    {6, kOther, 1000205, "(0.70), (0.10), (0.05), (-0.05)", 0},
    {6, kOther, 1000205, "(0.35), (0.35)", 1},
};

TEST(Money, AmountsThatAddUpToTheBillLeaveNothingDue) {
  for (const Settled& c : kCases) {
    Host host;
    host.Exec("INSERT INTO t_Group (FUserID, FGroupID) VALUES (1, 1);"
              "INSERT INTO t_SystemProfile (FCategory, FKey, FValue) VALUES ('IC', 'APAlarmDateCount', '5'),"
              " ('IC', 'ARAlarmDateCount', '5')");
    host.Exec(c.bill);
    host.Exec("WITH a(v) AS (VALUES " + std::string(c.settlements) +
              ") INSERT INTO t_RP_Settlement (FInterID, FTranType, FAmountFor) SELECT 1, " +
              std::to_string(c.tran_type) + ", v FROM a");
    host.As(1);
    clsMoveBill bill(host.platform());
    const ObjectRef counts = bill.GetToDoThingCount();
    ASSERT_TRUE(counts);
    Argument args[] = {Argument::ByVal(Variant::Long(c.position))};
    EXPECT_EQ(CDbl(counts->Call("Item", args)), c.due) << c.settlements << " on position " << c.position;
    EXPECT_TRUE(host.messages.empty());
  }
}

}  // namespace
}  // namespace zet::embedded::testing
