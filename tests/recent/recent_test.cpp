// The recent-bills list: its statements, the menu it fills, and the batch
// that records a bill.
#include "recent/recent.hpp"

#include "support/method_case.hpp"

namespace zet::testing {
namespace {

const std::string kLoad =
    " select b.*,t.FBillNo,t.FName from ICClassRecentBills b inner join (select vw_BillList.FInterID as FID, "
    "vw_BillList.FBillNo,vw_BillList.FTranType  as FClassTypeID,vw_BillList.FName as FName  from vw_BillList) t on "
    "b.FBillID=t.FID and t.FClassTypeID=b.FClassTypeID  where b.FUserID=25 and b.FBigType=";
std::string Load(int32_t family) {
  return kLoad + std::to_string(family) + " order by FNO ";
}

// Rows of ICClassRecentBills joined with the bill list: place, bill, class
// type, number, name.
std::pair<std::string, Table> Recent(std::vector<std::tuple<Variant, int32_t, int32_t, Variant, const char*>> rows) {
  Table table{{"FUserID", "FBillID", "FClassTypeID", "FNo", "FBigType", "FBillNo", "FName"}, {}};
  for (const auto& [no, bill, type, number, name] : rows)
    table.rows.push_back({Variant::Long(25), Variant::Long(bill), Variant::Long(type), no, Variant::Long(2), number,
                          Variant::String(name)});
  return {" select b.*", table};
}

// The visible tools of the menu, and how many were never touched.
std::string Menu(const FakeToolbar& bar) {
  std::string out;
  int untouched = 0;
  for (const std::string& tool : bar.VisibleTools())
    tool.ends_with(":stale:stale") ? void(++untouched) : void(out += " | " + tool);
  return untouched ? out + " | " + std::to_string(untouched) + " untouched" : out;
}

// The result's bills and the menu.
std::function<std::string(clsMoveBill&)> LoadCall(int32_t class_type, bool toolbar = true) {
  return [=](clsMoveBill& b) {
    auto bar = std::make_shared<FakeToolbar>();
    ObjectRef bar_ref = toolbar ? bar : nullptr;
    const std::string bills = Bills(b.LoadRecentBills(class_type, bar_ref));
    return bills + Menu(*bar);
  };
}
std::function<std::string(clsMoveBill&)> SaveCall(int32_t bill, int32_t class_type) {
  return [=](clsMoveBill& b) {
    auto bar = std::make_shared<FakeToolbar>();
    ObjectRef bar_ref = bar;
    b.SaveRecentBills(bill, class_type, bar_ref);
    return "done" + Menu(*bar);
  };
}
auto As25(Answers answers = {}) {
  return Script([](FakePlatform& host) { host.props = "UserID=25;"; }, answers);
}
const Variant kB1 = Variant::String("B1");

class RecentBills : public ::testing::TestWithParam<MethodCase> {};
TEST_P(RecentBills, SendsItsStatementsAndFillsTheMenu) {
  RunCase(GetParam());
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(LoadRecentBills, RecentBills, ::testing::Values(
  // A gap in the places shows as a hidden tool.
  MethodCase{"FillsTheMenuByPlace", As25({Recent({{Variant::Long(1), 88, 1, Variant::String("B001"), "Receipt"},
      {Variant::Long(2), 90, 81, Variant::String("SO-7"), "Sale order"}, {Variant::Long(4), 12, 80, kB1, "Invoice"},
      {Variant::Long(20), 5, 1, Variant::String("L"), "Last"}})}), LoadCall(1),
    "bills 88 90 12 5 | 0:Receipt-B001:1|88 | 1:Sale order-SO-7:81|90 | 3:Invoice-B1:80|12 | 19:Last-L:1|5", {Load(2)}},
  MethodCase{"WithoutAToolbar", As25({Recent({{Variant::Long(1), 88, 1, kB1, "R"}})}), LoadCall(50, false),
    "bills 88 | 20 untouched", {Load(2)}},
  MethodCase{"NullTextJoinsAsNothing", As25({Recent({{Variant::Long(1), 88, 1, Variant::Null(), ""}})}),
    LoadCall(1000205), "bills 88 | 0:-:1|88", {Load(1)}},
  MethodCase{"EmptyList", As25(), LoadCall(51), "bills", {Load(3)}},
  MethodCase{"PlaceBeyondTheMenu", As25({Recent({{Variant::Long(1), 88, 1, kB1, "A"}, {Variant::Long(21), 8, 1, kB1, "B"}})}),
    LoadCall(1), "Nothing | 0:A-B1:1|88", {Load(2)}, {"Index out of bounds"}}), CaseName());
// clang-format on

// clang-format off
INSTANTIATE_TEST_SUITE_P(SaveRecentBills, RecentBills, ::testing::Values(
  MethodCase{"PutsTheBillFirstThenRefreshesTheMenu", As25({Recent({{Variant::Long(1), 88, 1, kB1, "Receipt"}})}),
    SaveCall(88, 1), "done | 0:Receipt-B1:1|88",
    {"update ICClassRecentBills set FNo=FNo+1 where FUserID=25 and FBigType=2\r\n"
     "insert into ICClassRecentBills(FUserID,FBillID,FClassTypeID,FNo,FBigType) values (25,88,1,1,2)\r\n"
     " delete from ICClassRecentBills where (FNo>20 or (FNo>1 and FBillID=88 and FClassTypeID=1)) and FUserID=25 and "
     "FBigType=2\r\n", Load(2)}},
  MethodCase{"AnyNonZeroId", As25(), SaveCall(-5, 1007000), "done",
    {"update ICClassRecentBills set FNo=FNo+1 where FUserID=25 and FBigType=1\r\n"
     "insert into ICClassRecentBills(FUserID,FBillID,FClassTypeID,FNo,FBigType) values (25,-5,1007000,1,1)\r\n"
     " delete from ICClassRecentBills where (FNo>20 or (FNo>1 and FBillID=-5 and FClassTypeID=1007000)) and "
     "FUserID=25 and FBigType=1\r\n", Load(1)}},
  // No bill: nothing written, and the menu is left alone.
  MethodCase{"NoBill", As25(), SaveCall(0, 1), "done | 20 untouched", {}}), CaseName());
// clang-format on

// Kinds of one family share one list.
TEST(GetBigType, GroupsTheKindsIntoFamilies) {
  for (const auto& [family, codes] : std::vector<std::pair<int32_t, std::vector<int32_t>>>{
           {1, {1000201, 1000202, 1000205, 1000206, 1007000}},
           {3, {51}},
           {0, {0, 5, 28, 87, 101, 102, 1125, 1000203}},
           {2, {1, 2, 10, 21, 24, 29, 40, 41, 43, 50, 71, 75, 76, 80, 81, 84, 85, 86, 100}}})
    for (int32_t code : codes) EXPECT_EQ(GetBigType(code), family) << code;
}

}  // namespace
}  // namespace zet::testing
