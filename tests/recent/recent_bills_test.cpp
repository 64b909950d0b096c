#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "component/cls_move_bill.hpp"
#include "host/recordset.hpp"
#include "recent/recent.hpp"
#include "support/case_name.hpp"
#include "support/fake_platform.hpp"

namespace zet::testing {
namespace {

constexpr const char* kRecent = " select b.*,t.FBillNo,t.FName from ICClassRecentBills b";
const char* const kFamily2OfUser25 =
    " select b.*,t.FBillNo,t.FName from ICClassRecentBills b inner join (select vw_BillList.FInterID as FID, "
    "vw_BillList.FBillNo,vw_BillList.FTranType  as FClassTypeID,vw_BillList.FName as FName  from vw_BillList) t on "
    "b.FBillID=t.FID and t.FClassTypeID=b.FClassTypeID  where b.FUserID=25 and b.FBigType=2 order by FNO ";
const char* const kBatchOfUser25 =
    "update ICClassRecentBills set FNo=FNo+1 where FUserID=25 and FBigType=2\r\n"
    "insert into ICClassRecentBills(FUserID,FBillID,FClassTypeID,FNo,FBigType) values (25,88,1,1,2)\r\n"
    " delete from ICClassRecentBills where (FNo>20 or (FNo>1 and FBillID=88 and FClassTypeID=1)) and FUserID=25 and "
    "FBigType=2\r\n";

struct Entry {
  Variant no;
  int32_t bill;
  int32_t class_type;
  const char* bill_no;
  const char* name;
};

Table RecentTable(const std::vector<Entry>& entries) {
  Table table{{"FUserID", "FBillID", "FClassTypeID", "FNo", "FBigType", "FBillNo", "FName"}, {}};
  for (const Entry& e : entries) {
    table.rows.push_back({Variant::Long(25), Variant::Long(e.bill), Variant::Long(e.class_type), e.no, Variant::Long(2),
                          Variant::String(e.bill_no), Variant::String(e.name)});
  }
  return table;
}

// Families

struct FamilyCase {
  int32_t class_type;
  int32_t family;
};

class GetBigTypeTest : public ::testing::TestWithParam<FamilyCase> {};

TEST_P(GetBigTypeTest, MapsTheClassTypeToItsFamily) {
  EXPECT_EQ(GetBigType(GetParam().class_type), GetParam().family) << GetParam().class_type;
}

// Each family's edges, and codes next to them that belong to no family.
INSTANTIATE_TEST_SUITE_P(Recent, GetBigTypeTest,
                         ::testing::Values(FamilyCase{1000201, 1}, FamilyCase{1007000, 1}, FamilyCase{1, 2},
                                           FamilyCase{71, 2}, FamilyCase{100, 2}, FamilyCase{51, 3}, FamilyCase{5, 0},
                                           FamilyCase{101, 0}, FamilyCase{1125, 0}, FamilyCase{1000203, 0},
                                           FamilyCase{0, 0}, FamilyCase{-1, 0}, FamilyCase{1007001, 0}));

// LoadRecentBills

TEST(LoadRecentBills, ReadsTheListOfTheFamily) {
  for (int32_t class_type : {1, 81}) {
    FakePlatform host;
    host.props = "UserID=25;";
    clsMoveBill bill(host);
    ObjectRef bar;
    EXPECT_NE(bill.LoadRecentBills(class_type, bar), nullptr);
    EXPECT_EQ(host.Statements(), (std::vector<std::string>{kFamily2OfUser25})) << class_type;
    EXPECT_TRUE(host.messages.empty());
  }
}

TEST(LoadRecentBills, FamilyZeroHasItsOwnList) {
  FakePlatform host;
  host.props = "UserID=25;";
  clsMoveBill bill(host);
  ObjectRef bar;
  bill.LoadRecentBills(1125, bar);
  const std::string sql = host.Statements().at(0);
  const std::string tail = "  where b.FUserID=25 and b.FBigType=0 order by FNO ";
  ASSERT_GT(sql.size(), tail.size());
  EXPECT_EQ(sql.substr(sql.size() - tail.size()), tail);
}

TEST(LoadRecentBills, FillsTheMenuByPlaceLeavingGapsHidden) {
  FakePlatform host;
  host.props = "UserID=25;";
  host.Answer(kRecent, RecentTable({{Variant::Long(1), 88, 1, "B001", "Receipt"},
                                    {Variant::Long(2), 90, 81, "SO-7", "Sale order"},
                                    {Variant::Long(4), 12, 80, "INV 3", "Invoice"},
                                    {Variant::Long(20), 5, 1, "L", "Last"}}));
  clsMoveBill bill(host);
  auto toolbar = std::make_shared<FakeToolbar>();
  ObjectRef bar = toolbar;

  const ObjectRef result = bill.LoadRecentBills(1, bar);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(toolbar->VisibleTools(), (std::vector<std::string>{"0:Receipt-B001:1|88", "1:Sale order-SO-7:81|90",
                                                               "3:Invoice-INV 3:80|12", "19:Last-L:1|5"}));
  EXPECT_TRUE(host.messages.empty());
}

TEST(LoadRecentBills, ThePlaceExampleOfBill88) {
  FakePlatform host;
  host.props = "UserID=25;";
  host.Answer(kRecent, RecentTable({{Variant::Long(3), 88, 1, "WIN000088", "Purchase receipt"}}));
  clsMoveBill bill(host);
  auto toolbar = std::make_shared<FakeToolbar>();
  ObjectRef bar = toolbar;
  bill.LoadRecentBills(1, bar);
  EXPECT_EQ(toolbar->VisibleTools(), (std::vector<std::string>{"2:Purchase receipt-WIN000088:1|88"}));
}

TEST(LoadRecentBills, HidesAllTwentyToolsFirstThenSetsCaptionTextVisible) {
  FakePlatform host;
  host.Answer(kRecent, RecentTable({{Variant::Long(2), 7, 1, "N", "K"}}));
  clsMoveBill bill(host);
  auto toolbar = std::make_shared<FakeToolbar>();
  ObjectRef bar = toolbar;
  bill.LoadRecentBills(1, bar);

  std::vector<std::string> puts;
  for (const RecordedCall& call : toolbar->calls) {
    if (call.kind == CallKind::PropertyPut) puts.push_back(call.object + "." + call.member + "=" + CStr(call.args[0]));
    if (call.member == "Bands") {
      EXPECT_EQ(call.args, (std::vector<Variant>{Variant::String("mnuRecBill")}));
    }
    if (call.member == "Tools") {
      EXPECT_EQ(call.args[0].Type(), VarType::Long);
      EXPECT_EQ(call.by_ref, (std::vector<bool>{true}));
    }
  }
  std::vector<std::string> expected;
  for (int i = 0; i < 20; ++i) expected.push_back("Tool " + std::to_string(i) + ".Visible=False");
  expected.push_back("Tool 1.Caption=K-N");
  expected.push_back("Tool 1.Text=1|7");
  expected.push_back("Tool 1.Visible=True");
  EXPECT_EQ(puts, expected);
}

TEST(LoadRecentBills, AnEmptyListHidesEveryToolAndReturnsAnOpenRecordset) {
  FakePlatform host;
  clsMoveBill bill(host);
  auto toolbar = std::make_shared<FakeToolbar>();
  ObjectRef bar = toolbar;
  const ObjectRef result = bill.LoadRecentBills(1, bar);
  ASSERT_NE(result, nullptr);
  EXPECT_TRUE(toolbar->VisibleTools().empty());
  EXPECT_TRUE(Recordset(result).Eof());  // readable: open
  EXPECT_TRUE(host.messages.empty());
}

TEST(LoadRecentBills, ReturnsAnOpenCloneAtItsFirstRowAndClosesTheQueriedOne) {
  FakePlatform host;
  host.Answer(kRecent, RecentTable({{Variant::Long(1), 88, 1, "B1", "R"}, {Variant::Long(2), 89, 1, "B2", "R"}}));
  clsMoveBill bill(host);
  auto toolbar = std::make_shared<FakeToolbar>();
  ObjectRef bar = toolbar;
  const ObjectRef result = bill.LoadRecentBills(1, bar);
  ASSERT_NE(result, nullptr);

  ASSERT_EQ(host.recordsets.size(), 1u);
  EXPECT_TRUE(*host.recordsets[0].closed);
  EXPECT_NE(host.recordsets[0].object.lock(), result);
  const Recordset clone(result);
  ASSERT_FALSE(clone.Eof());  // at the first row although the menu read them all
  EXPECT_EQ(clone.Field("FBillID"), Variant::Long(88));
  EXPECT_EQ(clone.Field("FName"), Variant::String("R"));
  EXPECT_EQ(clone.RecordCount(), 2);
}

TEST(LoadRecentBills, WithoutABarTouchesNoToolbar) {
  FakePlatform host;
  host.Answer(kRecent, RecentTable({{Variant::Long(1), 88, 1, "B1", "R"}}));
  clsMoveBill bill(host);
  ObjectRef bar;
  const ObjectRef result = bill.LoadRecentBills(1, bar);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(Recordset(result).Field("FBillID"), Variant::Long(88));
  EXPECT_EQ(bar, nullptr);
}

TEST(LoadRecentBills, NullNameOrNumberJoinsAsNothing) {
  FakePlatform host;
  Table table = RecentTable({{Variant::Long(1), 88, 1, "B1", "R"}});
  table.rows[0][5] = Variant::Null();
  table.rows[0][6] = Variant::Null();
  host.Answer(kRecent, table);
  clsMoveBill bill(host);
  auto toolbar = std::make_shared<FakeToolbar>();
  ObjectRef bar = toolbar;
  EXPECT_NE(bill.LoadRecentBills(1, bar), nullptr);
  EXPECT_EQ(toolbar->VisibleTools(), (std::vector<std::string>{"0:-:1|88"}));
}

struct PlaceFailureCase {
  const char* name;
  Variant no;
  std::string message;
};

class LoadRecentBillsPlaceTest : public ::testing::TestWithParam<PlaceFailureCase> {};

// A place the band cannot show ends the method: one message, Nothing, and
// the menu as it had been set up to then.
TEST_P(LoadRecentBillsPlaceTest, EndsWithOneMessageAndNothing) {
  FakePlatform host;
  host.Answer(kRecent, RecentTable({{Variant::Long(1), 88, 1, "B1", "First"},
                                    {GetParam().no, 89, 1, "B2", "Bad"},
                                    {Variant::Long(3), 90, 1, "B3", "Third"}}));
  clsMoveBill bill(host);
  auto toolbar = std::make_shared<FakeToolbar>();
  ObjectRef bar = toolbar;
  EXPECT_EQ(bill.LoadRecentBills(1, bar), nullptr);
  EXPECT_EQ(host.messages, (std::vector<std::string>{GetParam().message}));
  EXPECT_EQ(toolbar->VisibleTools(), (std::vector<std::string>{"0:First-B1:1|88"}));
}

INSTANTIATE_TEST_SUITE_P(Recent, LoadRecentBillsPlaceTest,
                         ::testing::Values(PlaceFailureCase{"PlaceZero", Variant::Long(0), "Invalid tool index -1"},
                                           PlaceFailureCase{"Place21", Variant::Long(21), "Invalid tool index 20"},
                                           PlaceFailureCase{"NullPlace", Variant::Null(), "Invalid use of Null"},
                                           PlaceFailureCase{"PlaceBeyond16Bits", Variant::Long(40000), "Overflow"}),
                         CaseName());

TEST(LoadRecentBills, AFailedQueryLeavesTheMenuAlone) {
  FakePlatform host;
  host.Reject(kRecent, "Invalid object name 'vw_BillList'.");
  clsMoveBill bill(host);
  auto toolbar = std::make_shared<FakeToolbar>();
  ObjectRef bar = toolbar;
  EXPECT_EQ(bill.LoadRecentBills(1, bar), nullptr);
  EXPECT_EQ(host.messages, (std::vector<std::string>{"Invalid object name 'vw_BillList'."}));
  EXPECT_TRUE(toolbar->calls.empty());
}

TEST(LoadRecentBills, AFailingCloseAfterTheCloneStillReturnsTheClone) {
  FakePlatform host;
  host.Answer(kRecent, RecentTable({{Variant::Long(1), 88, 1, "B1", "R"}}), RecordsetQuirks::Failing("Close"));
  clsMoveBill bill(host);
  ObjectRef bar;
  const ObjectRef result = bill.LoadRecentBills(1, bar);
  EXPECT_NE(result, nullptr);
  EXPECT_EQ(host.messages, (std::vector<std::string>{"Recordset.Close failed"}));
}

// SaveRecentBills

TEST(SaveRecentBills, SendsTheThreeStatementsAsOneBatch) {
  FakePlatform host;
  host.props = "UserID=25;";
  clsMoveBill bill(host);
  ObjectRef bar;
  bill.SaveRecentBills(88, 1, bar);

  const auto calls = host.CallsOn("ZetMClass.ClassUpdate");
  ASSERT_EQ(calls.size(), 1u);
  const VariantArray& array = calls[0].args.at(1).AsArray();
  ASSERT_EQ(array.items.size(), 1u);
  EXPECT_EQ(array.items[0], Variant::String(kBatchOfUser25));
  EXPECT_EQ(host.Statements(), (std::vector<std::string>{kBatchOfUser25}));  // no refresh without a bar
  EXPECT_TRUE(host.messages.empty());
}

TEST(SaveRecentBills, OtherFamiliesAndNegativeIds) {
  FakePlatform host;
  host.props = "UserID=7;";
  clsMoveBill bill(host);
  ObjectRef bar;
  bill.SaveRecentBills(-5, 1000205, bar);
  EXPECT_EQ(host.Statements().at(0),
            "update ICClassRecentBills set FNo=FNo+1 where FUserID=7 and FBigType=1\r\n"
            "insert into ICClassRecentBills(FUserID,FBillID,FClassTypeID,FNo,FBigType) values (7,-5,1000205,1,1)\r\n"
            " delete from ICClassRecentBills where (FNo>20 or (FNo>1 and FBillID=-5 and FClassTypeID=1000205)) and "
            "FUserID=7 and FBigType=1\r\n");
}

TEST(SaveRecentBills, BillZeroSendsNothingAndLeavesTheMenu) {
  FakePlatform host;
  clsMoveBill bill(host);
  auto toolbar = std::make_shared<FakeToolbar>();
  ObjectRef bar = toolbar;
  bill.SaveRecentBills(0, 1, bar);
  EXPECT_TRUE(host.Statements().empty());
  EXPECT_EQ(host.CreatedCount("ZetMClass.ClassUpdate"), 0);
  EXPECT_TRUE(toolbar->calls.empty());
  EXPECT_TRUE(host.messages.empty());
}

TEST(SaveRecentBills, RefreshesTheMenuAfterTheBatch) {
  FakePlatform host;
  host.props = "UserID=25;";
  host.Answer(kRecent, RecentTable({{Variant::Long(1), 88, 1, "B1", "Receipt"}}));
  clsMoveBill bill(host);
  auto toolbar = std::make_shared<FakeToolbar>();
  ObjectRef bar = toolbar;
  bill.SaveRecentBills(88, 1, bar);
  EXPECT_EQ(host.Statements(), (std::vector<std::string>{kBatchOfUser25, kFamily2OfUser25}));
  EXPECT_EQ(toolbar->VisibleTools(), (std::vector<std::string>{"0:Receipt-B1:1|88"}));
  EXPECT_TRUE(host.messages.empty());
}

TEST(SaveRecentBills, ARejectedBatchShowsOneMessageAndRefreshesNothing) {
  FakePlatform host;
  host.Reject("update ICClassRecentBills", "Violation of PRIMARY KEY constraint.");
  clsMoveBill bill(host);
  auto toolbar = std::make_shared<FakeToolbar>();
  ObjectRef bar = toolbar;
  bill.SaveRecentBills(88, 1, bar);
  EXPECT_EQ(host.messages, (std::vector<std::string>{"Violation of PRIMARY KEY constraint."}));
  EXPECT_EQ(host.Statements().size(), 1u);
  EXPECT_TRUE(toolbar->calls.empty());
}

TEST(SaveRecentBills, AFailedRefreshShowsOneMessage) {
  FakePlatform host;
  host.Answer(kRecent, RecentTable({{Variant::Null(), 88, 1, "B1", "Receipt"}}));
  clsMoveBill bill(host);
  auto toolbar = std::make_shared<FakeToolbar>();
  ObjectRef bar = toolbar;
  bill.SaveRecentBills(88, 1, bar);
  EXPECT_EQ(host.messages, (std::vector<std::string>{"Invalid use of Null"}));
}

}  // namespace
}  // namespace zet::testing
