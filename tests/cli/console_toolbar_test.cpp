#include "cli/console_toolbar.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "component/cls_move_bill.hpp"
#include "host/error.hpp"
#include "support/fake_platform.hpp"

namespace zet::cli {
namespace {

Variant Read(Dispatch& object, const char* member, Variant arg) {
  Argument args[] = {Argument::ByVal(std::move(arg))};
  return object.Get(member, args);
}

ObjectRef Band(ConsoleToolbar& bar) {
  return RequireObject(Read(bar, "Bands", Variant::String("mnuRecBill")));
}

int32_t ErrorNumberOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const AutomationError& e) {
    return e.Number();
  }
  return 0;
}

TEST(ConsoleToolbar, HoldsTwentyToolsAndRaisesForAnyOtherIndex) {
  ConsoleToolbar bar;
  const ObjectRef band = Band(bar);
  for (int32_t index = 0; index < 20; ++index) {
    Variant by_ref = Variant::Long(index);
    Argument args[] = {Argument::ByRef(by_ref)};
    EXPECT_NE(RequireObject(band->Get("Tools", args)), nullptr);
  }
  for (const Variant& index : {Variant::Long(-1), Variant::Long(20), Variant::Integer(32767), Variant::Long(100)}) {
    EXPECT_EQ(ErrorNumberOf([&] { Read(*band, "Tools", index); }), 35600);
  }
  try {
    Read(*band, "Tools", Variant::Long(20));
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.Description(), "Index out of bounds");
  }
  EXPECT_EQ(ErrorNumberOf([&] { Read(*band, "Tools", Variant::String("x")); }), err::kTypeMismatch);
}

TEST(ConsoleToolbar, AnUnknownBandOrMemberRaises) {
  ConsoleToolbar bar;
  EXPECT_EQ(ErrorNumberOf([&] { Read(bar, "Bands", Variant::String("mnuOther")); }), 35601);
  EXPECT_EQ(ErrorNumberOf([&] { bar.Get("Caption"); }), err::kMemberNotFound);
  const ObjectRef tool = RequireObject(Read(*Band(bar), "Tools", Variant::Long(0)));
  EXPECT_EQ(ErrorNumberOf([&] { tool->Put("Enabled", Variant::Boolean(true)); }), err::kMemberNotFound);
}

TEST(ConsoleToolbar, ToolPropertiesAreSetAndReadBackAndPrintedWhenVisible) {
  ConsoleToolbar bar;
  const ObjectRef band = Band(bar);
  const ObjectRef first = RequireObject(Read(*band, "Tools", Variant::Long(0)));
  const ObjectRef third = RequireObject(Read(*band, "Tools", Variant::Long(2)));
  first->Put("Caption", Variant::String("外购入库-WIN001"));
  first->Put("Text", Variant::String("1|88"));
  first->Put("Visible", Variant::Boolean(true));
  third->Put("Caption", Variant::String("hidden"));
  third->Put("Visible", Variant::Long(0));
  EXPECT_EQ(first->Get("Caption").AsString(), "外购入库-WIN001");
  EXPECT_EQ(first->Get("Text").AsString(), "1|88");
  EXPECT_TRUE(first->Get("Visible").AsBoolean());
  EXPECT_FALSE(third->Get("Visible").AsBoolean());

  std::ostringstream out;
  bar.Print(out);
  EXPECT_EQ(out.str(), "   1  外购入库-WIN001  [1|88]\n");
  EXPECT_EQ(Dump(bar.VisibleToolsJson()), R"([{"place":1,"caption":"外购入库-WIN001","text":"1|88"}])");
}

TEST(ConsoleToolbar, PrintsANoteWhenNothingIsVisible) {
  std::ostringstream out;
  ConsoleToolbar().Print(out);
  EXPECT_EQ(out.str(), "   (no recent bills)\n");
}

testing::Table RecentRows(std::vector<int32_t> places) {
  testing::Table table{{"FUserID", "FBillID", "FClassTypeID", "FNo", "FBigType", "FBillNo", "FName"}, {}};
  for (const int32_t place : places) {
    table.rows.push_back({Variant::Long(25), Variant::Long(80 + place), Variant::Long(1), Variant::Long(place),
                          Variant::Long(2), Variant::String("WIN00" + std::to_string(place)),
                          Variant::String("外购入库")});
  }
  return table;
}

// The component fills the menu through the toolbar exactly as it would the
// host's: a gap in the places stays a hidden tool.
TEST(ConsoleToolbar, TheComponentFillsItWithAGapLeftHidden) {
  testing::FakePlatform platform;
  platform.props = "UserID=25;";
  platform.Answer("from ICClassRecentBills b", RecentRows({1, 2, 4}));
  const auto console = std::make_shared<ConsoleToolbar>();
  ObjectRef bar = console;
  // Left over from an earlier menu: must be hidden by the refresh.
  RequireObject(Read(*Band(*console), "Tools", Variant::Long(2)))->Put("Visible", Variant::Boolean(true));

  clsMoveBill component(platform);
  EXPECT_NE(component.LoadRecentBills(1, bar), nullptr);
  EXPECT_TRUE(platform.messages.empty());
  std::ostringstream out;
  console->Print(out);
  EXPECT_EQ(out.str(),
            "   1  外购入库-WIN001  [1|81]\n"
            "   2  外购入库-WIN002  [1|82]\n"
            "   4  外购入库-WIN004  [1|84]\n");
}

TEST(ConsoleToolbar, APlaceBeyondTheBandIsTheComponentsMessage) {
  testing::FakePlatform platform;
  platform.props = "UserID=25;";
  platform.Answer("from ICClassRecentBills b", RecentRows({1, 21}));
  const auto console = std::make_shared<ConsoleToolbar>();
  ObjectRef bar = console;
  clsMoveBill component(platform);
  EXPECT_EQ(component.LoadRecentBills(1, bar), nullptr);
  EXPECT_EQ(platform.messages, std::vector<std::string>{"Index out of bounds"});
  // What was set before the failure stays.
  ASSERT_EQ(console->VisibleToolsJson().size(), 1u);
}

}  // namespace
}  // namespace zet::cli
