// The desktop's nine to-do counters on the demo database, with getdate()
// pinned to the day the database was made. The expected counts are worked
// out by hand from the demo data (see demo_data.cpp): due dates around the
// day, settled and hooked invoices, cancelled and received orders, vouchers
// checked, signed and posted, and the access rows of each user.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "component/cls_move_bill.hpp"
#include "embedded/demo_data.hpp"
#include "embedded_fixture.hpp"
#include "pending/pending.hpp"

namespace zet::embedded::testing {
namespace {

std::vector<double> Counts(Host& host) {
  clsMoveBill bill(host.platform());
  const ObjectRef list = bill.GetToDoThingCount();
  if (!list) return {};
  std::vector<double> counts;
  for (int32_t position = 1; position <= 9; ++position) {
    Argument args[] = {Argument::ByVal(Variant::Long(position))};
    counts.push_back(CDbl(list->Call("Item", args)));
  }
  return counts;
}

struct UserCounts {
  int32_t user;
  std::vector<double> counts;
};

TEST(ToDo, EveryDemoUserSeesHisOwnCounts) {
  Host host(true);
  const std::vector<UserCounts> expected = {
      {16394, {0, 3, 2, 3, 3, 2, 2, 4, 4}},  // everything due
      {16395, {0, 3, 2, 3, 3, 2, 2, 4, 4}},  // administrator despite his t_User row
      {16, {0, 0, 0, 1, 1, 0, 0, 0, 0}},     // sales positions, own bills
      {17, {0, 0, 0, 3, 3, 1, 0, 0, 0}},     // sales positions, the sales group's bills
      {25, {0, 0, 0, 2, 2, 2, 0, 0, 0}},     // sales positions, customers 1 and 2
      {26, {0, 2, 1, 0, 0, 0, 2, 0, 0}},     // purchasing positions, suppliers 1 and 2
      {27, {0, 0, 0, 0, 0, 0, 0, 0, 0}},     // no position granted
      {28, {0, 3, 2, 0, 0, 0, 1, 1, 1}},     // accounts; own vouchers only
      {29, {0, 2, 2, 0, 0, 0, 1, 0, 0}},     // purchasing group's bills, customers and suppliers 1, 3
      {30, {0, 0, 0, 0, 0, 0, 0, 3, 3}},     // own bills (none due); all vouchers but those on account 1002
      {31, {0, 0, 0, 0, 0, 0, 0, 1, 0}},     // the warehouse group's vouchers; may not sign as cashier
  };
  for (const UserCounts& u : expected) {
    host.As(u.user);
    EXPECT_EQ(Counts(host), u.counts) << "user " << u.user;
  }
  EXPECT_TRUE(host.messages.empty()) << host.messages.front();
}

TEST(ToDo, FewerAlarmDaysLeaveOutWhatFallsDueLater) {
  Host host(true);
  host.As(kDemoAdministrator);
  // Orders due in 2 and 3 days and invoices due in 1 and 2 days drop out;
  // what fell due already stays.
  host.Exec("UPDATE t_SystemProfile SET FValue='0' WHERE FCategory='IC'");
  EXPECT_EQ(Counts(host), (std::vector<double>{0, 1, 1, 1, 1, 1, 1, 4, 4}));
  host.Exec("UPDATE t_SystemProfile SET FValue='-3' WHERE FCategory='IC'");
  EXPECT_EQ(Counts(host), (std::vector<double>{0, 0, 1, 0, 1, 0, 0, 4, 4}));
}

TEST(ToDo, WithoutCashBeforePostNobodyWaitsForTheCashier) {
  Host host(true);
  host.Exec("UPDATE t_SystemProfile SET FValue='0' WHERE FCategory='GL' AND FKey='CashBeforePost'");
  host.As(kDemoAdministrator);
  EXPECT_EQ(Counts(host).at(8), 0);
  EXPECT_TRUE(host.messages.empty());
}

TEST(ToDo, ARefusedPositionIsZeroWhateverIsDue) {
  Host host(true);
  host.As(16);
  host.Exec("DELETE FROM t_AccessControl WHERE FUserID=2 AND FObjectType=1090");
  // Position 4 loses its second object; 5 and 6 keep theirs.
  EXPECT_EQ(Counts(host), (std::vector<double>{0, 0, 0, 0, 1, 0, 0, 0, 0}));
}

TEST(ToDo, AFailingCountStatementGivesOneMessageAndNothing) {
  Host host(true);
  host.Exec("DROP VIEW vw_BillRPMoney");
  host.As(kDemoAdministrator);
  clsMoveBill bill(host.platform());
  EXPECT_EQ(bill.GetToDoThingCount(), nullptr);
  EXPECT_THAT(host.messages, ::testing::ElementsAre(kToDoErrorMessage));
}

TEST(ToDo, AMissingParameterTableCountsWithZeroDays) {
  Host host(true);
  host.Exec("DROP TABLE t_SystemProfile");
  host.As(kDemoAdministrator);
  // The alarm days fall back to 0; the cashier's counter finds no setting
  // and gives 0 without a message.
  EXPECT_EQ(Counts(host), (std::vector<double>{0, 1, 1, 1, 1, 1, 1, 4, 0}));
  EXPECT_TRUE(host.messages.empty());
}

}  // namespace
}  // namespace zet::embedded::testing
