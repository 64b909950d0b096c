// The demo database shows what the component does: bills of every kind the
// catalogue knows, and users who see different parts of them.
#include <gtest/gtest.h>

#include "component/cls_move_bill.hpp"
#include "embedded/demo_data.hpp"
#include "embedded_fixture.hpp"
#include "navigation/navigation.hpp"

namespace zet::embedded::testing {
namespace {

struct Sight {
  int32_t user;
  int32_t trans_type;
  int32_t bill;
  bool visible;
  const char* why;
};

TEST(Demo, RestrictedUsersSeeLessThanTheAdministrator) {
  Host host(true);
  const Sight sights[] = {
      {16394, 1, 1003, true, "the administrator sees every bill"},
      {16, 1, 1002, false, "lily sees her own bills only"},
      {17, 1, 1003, true, "mary, who prepared 1003, is in tom's group"},
      {17, 1, 1005, false, "peter, who prepared 1005, is not"},
      {25, 80, 8003, false, "mary may not see customer 3"},
      {26, 75, 7502, false, "peter may not see supplier 3"},
      {27, 1, 1003, false, "susan may not see stock 3"},
      {28, 1000202, 20201, false, "ken may not see account 2202"},
      {28, 1000201, 20103, true, "account 1002 is his"},
      {30, 1125, 202, true, "vouchers are only checked for existence"},
  };
  for (const Sight& s : sights) {
    host.As(s.user);
    std::string info;
    EXPECT_EQ(clsMoveBill(host.platform()).CheckSearchBill(s.trans_type, s.bill, info), s.visible) << s.why;
    EXPECT_EQ(info, s.visible ? "" : kNoRightMessage) << s.why;
  }
  EXPECT_TRUE(host.messages.empty());
}

TEST(Demo, RefusesToOverwriteAndRecordsItsDay) {
  Host host(true);
  EXPECT_THROW(CreateDatabase(host.path(), true, false), std::runtime_error);
  EXPECT_EQ(host.db().Query("SELECT FCreated FROM t_ZetSchemaInfo").rows[0][0], Variant::String(kToday));
}

}  // namespace
}  // namespace zet::embedded::testing
