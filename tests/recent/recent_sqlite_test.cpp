// What the recent-bills statements keep in ICClassRecentBills: the order of
// places, families shared by several kinds, the names joined from the bill
// list. (The limit of twenty is the statement's text, checked at the core; a
// batch that fails once it has begun to run, at the host's UpdateBatch.)
#include "host/recordset.hpp"
#include "support/embedded_host.hpp"
#include "support/method_case.hpp"

namespace zet::embedded::testing {
namespace {

using zet::testing::FakeToolbar;

class RecentBills : public ::testing::Test {
 protected:
  RecentBills() : host_(false, "UserID=25;") {
    host_.Exec(
        "INSERT INTO ICStockBill (FInterID, FTranType, FBillNo) VALUES (10, 1, 'A10'), (20, 1, 'B20'), (30, 5, 'C30');"
        "INSERT INTO POOrder (FInterID, FBillNo) VALUES (10, 'P10');");
  }
  void Save(int32_t bill, int32_t class_type, ObjectRef bar = nullptr) {
    clsMoveBill(host_.platform()).SaveRecentBills(bill, class_type, bar);
  }
  // The user's list of a family as "place:bill", in place order.
  std::string List(int32_t family) {
    std::string out;
    for (const auto& row : host_.db().Query("SELECT FNo || ':' || FBillID FROM ICClassRecentBills WHERE FUserID=25 "
                                            "AND FBigType=? ORDER BY FNo", {Variant::Long(family)}).rows)
      out += CStr(row[0]) + " ";
    return out;
  }
  Host host_;
};

// A, B, A leaves A first and B second. Kinds of one family share their list,
// and a bill deleted from its table drops out of the menu.
TEST_F(RecentBills, KeepPlacesInOrderPerFamily) {
  auto bar = std::make_shared<FakeToolbar>();
  ObjectRef menu = bar;
  Save(10, 1, menu);
  Save(20, 1, menu);
  Save(10, 1, menu);
  EXPECT_EQ(List(2), "1:10 2:20 ");
  EXPECT_EQ(bar->VisibleTools(), (std::vector<std::string>{"0:Stock bill 1-A10:1|10", "1:Stock bill 1-B20:1|20"}));
  Save(10, 71);
  Save(30, 5);
  host_.Exec("DELETE FROM ICStockBill WHERE FInterID=20");
  std::string rows;
  for (Recordset rs(clsMoveBill(host_.platform()).LoadRecentBills(81, menu)); !rs.Eof(); rs.MoveNext())
    rows += CStr(rs.Field("FNo")) + " " + CStr(rs.Field("FClassTypeID")) + " " + CStr(rs.Field("FBillNo")) + " " +
            CStr(rs.Field("FName")) + "; ";
  EXPECT_EQ(rows, "1 71 P10 Purchase order; 2 1 A10 Stock bill 1; ");
  EXPECT_EQ(bar->VisibleTools(), (std::vector<std::string>{"0:Purchase order-P10:71|10", "1:Stock bill 1-A10:1|10"}));
  EXPECT_EQ(List(0), "1:30 ");
  EXPECT_EQ(host_.messages, std::vector<std::string>{});
}

}  // namespace
}  // namespace zet::embedded::testing
