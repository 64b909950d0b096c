// Recent bills on the embedded host: the list kept in ICClassRecentBills, the
// menu filled through a toolbar, and the batch that records a bill.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <memory>

#include "component/cls_move_bill.hpp"
#include "embedded_fixture.hpp"
#include "host/error.hpp"
#include "host/recordset.hpp"

namespace zet::embedded::testing {
namespace {

// A toolbar with the band "mnuRecBill" of 20 tools; an index it does not hold
// raises, as the host's toolbar does.
class MenuBar : public Dispatch, public std::enable_shared_from_this<MenuBar> {
 public:
  struct Tool {
    bool visible = true;
    std::string caption;
    std::string text;
  };
  std::array<Tool, 20> tools;

  Variant Invoke(std::string_view member, CallKind kind, std::span<Argument> args) override {
    if (args.size() != 1) RaiseRuntimeError(err::kMemberNotFound);
    if (member == "Bands" && CStr(args[0].Value()) == "mnuRecBill") return Variant::Object(shared_from_this());
    if (member != "Tools" || kind == CallKind::PropertyPut) RaiseRuntimeError(err::kInvalidProcedureCall);
    const int32_t index = CLng(args[0].Value());
    if (index < 0 || index >= 20) throw AutomationError(err::kSubscriptOutOfRange, "Invalid key");
    return Variant::Object(std::make_shared<ToolObject>(tools[static_cast<size_t>(index)]));
  }

 private:
  class ToolObject : public Dispatch {
   public:
    explicit ToolObject(Tool& tool) : tool_(tool) {}
    Variant Invoke(std::string_view member, CallKind kind, std::span<Argument> args) override {
      if (kind != CallKind::PropertyPut || args.size() != 1) RaiseRuntimeError(err::kMemberNotFound);
      if (member == "Visible") tool_.visible = CBool(args[0].Value());
      if (member == "Caption") tool_.caption = CStr(args[0].Value());
      if (member == "Text") tool_.text = CStr(args[0].Value());
      return {};
    }

   private:
    Tool& tool_;
  };
};

constexpr const char* kBills = R"sql(
INSERT INTO ICStockBill (FInterID, FTranType, FBillNo) VALUES (10, 1, 'A10'), (20, 1, 'B20'), (30, 5, 'C30');
INSERT INTO POOrder (FInterID, FBillNo) VALUES (10, 'P10');
WITH RECURSIVE n(i) AS (SELECT 101 UNION ALL SELECT i + 1 FROM n WHERE i < 160)
  INSERT INTO ICStockBill (FInterID, FTranType, FBillNo) SELECT i, 1, 'S' || i FROM n;
)sql";

// The list as places and bill ids, in place order.
std::vector<std::pair<int32_t, int32_t>> List(Host& host, int32_t user, int32_t family) {
  std::vector<std::pair<int32_t, int32_t>> out;
  const ResultSet rows =
      host.db().Query("SELECT FNo, FBillID FROM ICClassRecentBills WHERE FUserID=? AND FBigType=? ORDER BY FNo",
                      {Variant::Long(user), Variant::Long(family)});
  for (const auto& row : rows.rows) out.emplace_back(CLng(row[0]), CLng(row[1]));
  return out;
}

class RecentBills : public ::testing::Test {
 protected:
  RecentBills() : host_(false, "UserID=25;") { host_.Exec(kBills); }

  void Save(int32_t bill_id, int32_t class_type, ObjectRef bar = nullptr) {
    clsMoveBill(host_.platform()).SaveRecentBills(bill_id, class_type, bar);
  }

  Host host_;
};

TEST_F(RecentBills, ABALeavesAFirstBSecondAndAGapThird) {
  auto bar = std::make_shared<MenuBar>();
  Save(10, 1, bar);
  Save(20, 1, bar);
  Save(10, 1, bar);

  using P = std::pair<int32_t, int32_t>;
  EXPECT_THAT(List(host_, 25, 2), ::testing::ElementsAre(P{1, 10}, P{2, 20}));
  EXPECT_TRUE(bar->tools[0].visible);
  EXPECT_EQ(bar->tools[0].caption, "Stock bill 1-A10");
  EXPECT_EQ(bar->tools[0].text, "1|10");
  EXPECT_TRUE(bar->tools[1].visible);
  EXPECT_EQ(bar->tools[1].text, "1|20");
  for (size_t i = 2; i < 20; ++i) EXPECT_FALSE(bar->tools[i].visible) << i;
  EXPECT_TRUE(host_.messages.empty());
}

TEST_F(RecentBills, TwentyOneRecordingsKeepTheLastTwenty) {
  for (int32_t bill = 101; bill <= 121; ++bill) Save(bill, 1);
  const auto list = List(host_, 25, 2);
  ASSERT_EQ(list.size(), 20u);
  for (size_t i = 0; i < list.size(); ++i) {
    EXPECT_EQ(list[i].first, static_cast<int32_t>(i) + 1);
    EXPECT_EQ(list[i].second, 121 - static_cast<int32_t>(i));
  }
}

TEST_F(RecentBills, KindsOfOneFamilyShareTheirList) {
  Save(10, 1);
  Save(10, 71);
  Save(30, 5);
  ObjectRef no_bar;
  // Family 0 keeps a list of its own.
  EXPECT_EQ(Recordset(clsMoveBill(host_.platform()).LoadRecentBills(28, no_bar)).RecordCount(), 1);
  const Recordset rs(clsMoveBill(host_.platform()).LoadRecentBills(81, no_bar));
  ASSERT_EQ(rs.RecordCount(), 2);
  EXPECT_EQ(rs.Field("FClassTypeID"), Variant::Long(71));
  EXPECT_EQ(rs.Field("FBillNo"), Variant::String("P10"));
  EXPECT_EQ(rs.Field("FName"), Variant::String("Purchase order"));
  rs.MoveNext();
  EXPECT_EQ(rs.Field("FClassTypeID"), Variant::Long(1));
  EXPECT_EQ(rs.Field("FBillNo"), Variant::String("A10"));
}

TEST_F(RecentBills, ABillDeletedFromItsTableDropsOutOfTheMenu) {
  Save(10, 1);
  Save(20, 1);
  host_.Exec("DELETE FROM ICStockBill WHERE FInterID=20");
  auto bar = std::make_shared<MenuBar>();
  ObjectRef bar_ref = bar;
  const Recordset rs(clsMoveBill(host_.platform()).LoadRecentBills(1, bar_ref));
  EXPECT_EQ(rs.RecordCount(), 1);
  EXPECT_FALSE(bar->tools[0].visible);
  EXPECT_TRUE(bar->tools[1].visible);
  EXPECT_EQ(bar->tools[1].text, "1|10");
}

TEST_F(RecentBills, BillZeroIsNotRecordedAndLeavesTheMenuAlone) {
  auto bar = std::make_shared<MenuBar>();
  Save(0, 1, bar);
  EXPECT_TRUE(List(host_, 25, 2).empty());
  for (const MenuBar::Tool& tool : bar->tools) EXPECT_TRUE(tool.visible && tool.text.empty());
}

TEST_F(RecentBills, ARejectedBatchLeavesTheListAsItWas) {
  Save(10, 1);
  Save(20, 1);
  // The trim of the third statement is refused: the shift and the insert
  // before it must not stay.
  host_.Exec(
      "CREATE TRIGGER refuse_trim BEFORE DELETE ON ICClassRecentBills BEGIN SELECT RAISE(ABORT, 'trim refused'); "
      "END");
  Save(10, 1);
  using P = std::pair<int32_t, int32_t>;
  EXPECT_THAT(List(host_, 25, 2), ::testing::ElementsAre(P{1, 20}, P{2, 10}));
  EXPECT_THAT(host_.messages, ::testing::ElementsAre("trim refused"));
}

TEST_F(RecentBills, APlaceOutsideTheBandOrANullPlaceFailsWithOneMessage) {
  auto bar = std::make_shared<MenuBar>();
  ObjectRef bar_ref = bar;
  host_.Exec(
      "INSERT INTO ICClassRecentBills (FUserID, FBillID, FClassTypeID, FNo, FBigType) VALUES (25, 10, 1, 21, 2)");
  EXPECT_EQ(clsMoveBill(host_.platform()).LoadRecentBills(1, bar_ref), nullptr);
  EXPECT_THAT(host_.messages, ::testing::ElementsAre("Invalid key"));

  host_.messages.clear();
  host_.Exec("UPDATE ICClassRecentBills SET FNo=NULL");
  EXPECT_EQ(clsMoveBill(host_.platform()).LoadRecentBills(1, bar_ref), nullptr);
  EXPECT_THAT(host_.messages, ::testing::ElementsAre("Invalid use of Null"));
}

}  // namespace
}  // namespace zet::embedded::testing
