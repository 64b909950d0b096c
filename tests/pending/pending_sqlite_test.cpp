// What the to-do statements count on the demo database, getdate() pinned to the day it was made; the counts
// are worked out by hand from the demo data: due dates around the day, settled and hooked invoices, orders
// cancelled and received, vouchers checked, signed and posted, each user's access rows. Then what money
// settles, on bills inserted here.
#include <gmock/gmock.h>

#include "support/embedded_host.hpp"
#include "support/method_case.hpp"

namespace zet::embedded::testing {
namespace {

// A position the user is not granted reads I0; a granted one its count.
TEST(ToDo, EveryDemoUserSeesHisOwnCounts) {
  Host host(true);
  // clang-format off
  for (const auto& [user, counts] : std::vector<std::pair<int32_t, std::string>>{
           {16394, "I0 D3 D2 D3 D3 D2 D2 L4 L4"},  // everything due
           {16395, "I0 D3 D2 D3 D3 D2 D2 L4 L4"},  // administrator despite his t_User row
           {16, "I0 I0 I0 D1 D1 D0 I0 I0 I0"},     // sales positions, own bills
           {17, "I0 I0 I0 D3 D3 D1 I0 I0 I0"},     // sales positions, the sales group's bills
           {25, "I0 I0 I0 D2 D2 D2 I0 I0 I0"},     // sales positions, customers 1 and 2
           {26, "I0 D2 D1 I0 I0 I0 D2 I0 I0"},     // purchasing positions, suppliers 1 and 2
           {27, "I0 I0 I0 I0 I0 I0 I0 I0 I0"},     // no position granted
           {28, "I0 D3 D2 I0 I0 I0 D1 L1 L1"},     // accounts; own vouchers only
           {29, "I0 D2 D2 I0 I0 I0 D1 I0 I0"},     // purchasing group's bills, customers and suppliers 1, 3
           {30, "I0 D0 D0 I0 I0 I0 D0 L3 L3"},     // own bills (none due); all vouchers but on account 1002
           {31, "I0 I0 I0 I0 I0 I0 I0 L1 L0"}}) {  // the warehouse group's vouchers; may not sign as cashier
    // clang-format on
    host.As(user);
    EXPECT_EQ(zet::testing::Items(clsMoveBill(host.platform()).GetToDoThingCount()), counts) << "user " << user;
  }
  EXPECT_EQ(host.messages, std::vector<std::string>{});
}

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

// clang-format off
constexpr Settled kCases[] = {
    {5, "ICSale (FInterID, FPayDate, FStatus, FInvoiceAmountFor)", "(80, 0.70), (80, 0.10)", 0},
    {5, "ICSale (FInterID, FPayDate, FStatus, FInvoiceAmountFor)", "(80, 0.70), (80, 0.09)", 1},
    {3, "ICPurchase (FInterID, FPayDate, FStatus, FPurchaseAmountFor)", "(75, 0.10), (75, 0.30), (75, 0.40)", 0},
    {6, "t_RP_ROtherBill (FBillID, FLimitDate, FStatus, FAmountFor)", "(1000205, 0.70), (1000205, 0.10)", 0},
    {6, "t_RP_ROtherBill (FBillID, FLimitDate, FStatus, FAmountFor)", "(1000205, 0.35), (1000205, 0.35)", 1},
    {5, "ICSale (FInterID, FPayDate, FStatus, FInvoiceAmountFor)", "(80, 0.80)", 0, "0.80004"},
    // Above 1e11 the fourth decimal still counts: .7970 of .7971 is settled.
    {5, "ICSale (FInterID, FPayDate, FStatus, FInvoiceAmountFor)",
     "(80, 455094848186.119), (80, 0.64), (80, -3.5823), (80, 307.6203)", 1, "455094848490.7971"},
    {5, "ICSale (FInterID, FPayDate, FStatus, FInvoiceAmountFor)", "(80, 170000000000)", 1, "170000000000.0001"},
};
// clang-format on

TEST(Money, AmountsThatAddUpToTheBillLeaveNothingDue) {
  for (const Settled& c : kCases) {
    Host host;
    host.Exec(
        "INSERT INTO t_Group VALUES (1, 1); INSERT INTO t_SystemProfile VALUES ('IC', 'APAlarmDateCount', '5'),"
        " ('IC', 'ARAlarmDateCount', '5'); INSERT INTO " +
        std::string(c.bill) + " VALUES (1, '" + kToday + "', 1, " + c.amount + "); WITH a(t, v) AS (VALUES " +
        c.settlements + ") INSERT INTO t_RP_Settlement (FInterID, FTranType, FAmountFor) SELECT 1, t, v FROM a");
    host.As(1);
    const ObjectRef list = clsMoveBill(host.platform()).GetToDoThingCount();
    ASSERT_TRUE(list) << host.messages.front();
    Argument position[] = {Argument::ByVal(Variant::Long(c.position))};
    EXPECT_EQ(CDbl(list->Call("Item", position)), c.due) << c.bill << c.settlements;
  }
}

// An amount a double cannot keep to four decimals is refused, whoever writes
// it; one just below the limit is kept.
TEST(Money, AnAmountBeyondTheLimitIsRefused) {
  Host host;
  host.Exec("INSERT INTO t_RP_Settlement (FID, FAmountFor) VALUES (1, 549755813887.9999)");
  for (const char* sql : {"INSERT INTO t_RP_Settlement (FAmountFor) VALUES (-549755813888)",
                          "UPDATE t_RP_Settlement SET FAmountFor = FAmountFor + 0.0001"})
    EXPECT_THAT(zet::testing::Error([&] { host.Exec(sql); }),
                ::testing::HasSubstr("t_RP_Settlement.FAmountFor: an amount must lie between -549755813888 and "
                                     "549755813888 to be kept to four decimals"))
        << sql;
  EXPECT_EQ(CStr(host.db().Query("SELECT printf('%.4f', FRPAmountFor) FROM t_ZetBillRPMoney").rows.at(0).at(0)),
            "549755813887.9999");
}

}  // namespace
}  // namespace zet::embedded::testing
