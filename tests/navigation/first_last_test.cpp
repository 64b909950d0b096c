#include <gtest/gtest.h>

#include "component/cls_move_bill.hpp"
#include "support/fake_platform.hpp"

namespace zet::testing {
namespace {

// A non-administrator whose t_User row carries the given rights.
void ScriptUser(FakePlatform& host, int32_t group_right, int32_t data_right) {
  host.Answer("FROM t_User",
              Table{{"FUserGroupRight", "FDataRight"}, {{Variant::Long(group_right), Variant::Long(data_right)}}});
}

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
  host.Answer("FGroupID=1", Scalar(Variant::Long(1)));
  host.Answer("SELECT ISNULL(Min(", Scalar(Variant::String("9")));
  clsMoveBill bill(host);

  EXPECT_EQ(bill.GetMaxMinInterID(1125, 1), 9);
  EXPECT_EQ(host.Statements().back(), " SELECT ISNULL(Min(v1.FVoucherID),0) as FInterID From t_Voucher v1 where 1=1 ");
}

}  // namespace
}  // namespace zet::testing
