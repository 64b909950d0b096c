#include "cli/method_table.hpp"

#include <gtest/gtest.h>

#include "cli/usage_error.hpp"
#include "support/fake_platform.hpp"

namespace zet::cli {
namespace {

std::string UsageMessageOf(std::string_view method, std::vector<std::string> args, bool toolbar = false) {
  try {
    PrepareCall(method, args, toolbar);
  } catch (const UsageError& e) {
    return e.what();
  }
  return "";
}

TEST(PrepareCall, LongParametersTakeTheAutomationConversionOfTheGivenValue) {
  struct Case {
    const char* text;
    int32_t expected;
  };
  const Case cases[] = {
      {"21", 21},   {"s:12", 12},  {"s: 12 ", 12}, {"s:&H10", 16}, {"i:7", 7},   {"d:2.5", 2},
      {"d:3.5", 4}, {"d:-0.5", 0}, {"true", -1},   {"false", 0},   {"empty", 0}, {"s:1e3", 1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const PreparedCall call = PrepareCall("GetMaxMinInterID", {c.text, "1"}, false);
    ASSERT_EQ(call.values.size(), 2u);
    EXPECT_EQ(call.values[0].Type(), VarType::Long);
    EXPECT_EQ(call.values[0].AsLong(), c.expected);
  }
}

TEST(PrepareCall, ConversionFailuresAreUsageErrorsNamingTheParameter) {
  struct Case {
    const char* text;
    const char* reason;
  };
  const Case cases[] = {{"s:abc", "Type mismatch"},
                        {"null", "Invalid use of Null"},
                        {"d:3000000000", "Overflow"},
                        {"s:", "Type mismatch"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string message = UsageMessageOf("GetMaxMinInterID", {"1", c.text});
    EXPECT_NE(message.find("lType"), std::string::npos) << message;
    EXPECT_NE(message.find(c.reason), std::string::npos) << message;
  }
}

TEST(PrepareCall, TheVariantParameterKeepsTheValueAsGiven) {
  const std::pair<const char*, Variant> cases[] = {
      {"s:1050", Variant::String("1050")}, {"empty", Variant()},         {"null", Variant::Null()},
      {"d:1.5", Variant::Double(1.5)},     {"i:3", Variant::Integer(3)}, {"true", Variant::Boolean(true)},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    const Variant given = PrepareCall("GetMoveInterID", {text, "1", "1"}, false).values.at(0);
    EXPECT_EQ(given.Type(), expected.Type());
    EXPECT_EQ(given, expected);
  }
}

TEST(PrepareCall, sInfoIsAStringByReferenceThatStartsEmptyWhenLeftOut) {
  EXPECT_EQ(PrepareCall("CheckSearchBill", {"1", "1050"}, false).values.at(2), Variant::String(""));
  EXPECT_EQ(PrepareCall("CheckSearchBill", {"1", "1050", "s:kept"}, false).values.at(2), Variant::String("kept"));
  EXPECT_EQ(PrepareCall("CheckSearchBill", {"1", "1050", "7"}, false).values.at(2), Variant::String("7"));
  EXPECT_NE(UsageMessageOf("CheckSearchBill", {"1", "1050", "null"}).find("sInfo"), std::string::npos);
}

TEST(PrepareCall, WrongCountsUnknownNamesAndAMisplacedToolbarAreRefused) {
  struct Case {
    const char* method;
    std::vector<std::string> args;
    bool toolbar;
    const char* expected;
  };
  const Case cases[] = {
      {"GetMaxMinInterID", {"1"}, false, "GetMaxMinInterID takes 2 arguments (lTransType lType), 1 given"},
      {"GetMaxMinInterID", {"1", "2", "3"}, false, "GetMaxMinInterID takes 2 arguments (lTransType lType), 3 given"},
      {"CheckSearchBill",
       {"1"},
       false,
       "CheckSearchBill takes 2 or 3 arguments (lTransType lInterID [sInfo]), 1 given"},
      {"GetToDoThingCount", {"1"}, false, "GetToDoThingCount takes 0 arguments, 1 given"},
      {"LoadRecentBills", {"1", "2"}, false, "LoadRecentBills takes 1 argument (m_ClassTypeID), 2 given"},
      {"SaveRecentBills", {"88"}, true, "SaveRecentBills takes 2 arguments (lBillID m_ClassTypeID), 1 given"},
      {"GetMaxMinInterID", {"1", "2"}, true, "--toolbar applies to LoadRecentBills and SaveRecentBills"},
      {"GetMaxMin", {}, false, "unknown method 'GetMaxMin'"},
      {"", {}, false, "unknown method ''"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.method);
    EXPECT_NE(UsageMessageOf(c.method, c.args, c.toolbar).find(c.expected), std::string::npos)
        << UsageMessageOf(c.method, c.args, c.toolbar);
  }
}

TEST(PrepareCall, MethodNamesAreMatchedWithoutRegardToCase) {
  EXPECT_STREQ(PrepareCall("getmaxmininterid", {"1", "2"}, false).method->name, "GetMaxMinInterID");
  EXPECT_STREQ(PrepareCall("LOADRECENTBILLS", {"1"}, true).method->name, "LoadRecentBills");
}

// The call goes to the component with the converted values; a text bill id
// reaches the statement unchanged, as the host's Variant would.
TEST(MethodTable, InvokesTheComponentWithTheConvertedValues) {
  testing::FakePlatform platform;
  platform.props = "UserID=16;";
  platform.Answer("SELECT FUserGroupRight,FDataRight",
                  testing::Table{{"A", "B"}, {{Variant::Long(0), Variant::Long(0)}}});
  clsMoveBill component(platform);
  ObjectRef no_toolbar;

  const PreparedCall move = PrepareCall("GetMoveInterID", {"s:1050", "s:1", "1"}, false);
  const CallOutcome moved = move.method->invoke(component, move.values, no_toolbar);
  EXPECT_EQ(moved.result, Variant::Long(1050));  // nothing before it: stays
  ASSERT_FALSE(platform.Statements().empty());
  EXPECT_EQ(platform.Statements().back(),
            " select ISNULL(max(v1.FInterID),0) from ICStockBill v1 where v1.FTranType=1 and v1.FInterID<1050");

  const PreparedCall check = PrepareCall("CheckSearchBill", {"1125", "9", "s:before"}, false);
  const CallOutcome checked = check.method->invoke(component, check.values, no_toolbar);
  EXPECT_EQ(checked.result, Variant::Boolean(false));
  ASSERT_EQ(checked.byref.size(), 1u);
  EXPECT_EQ(checked.byref[0].first, "sInfo");
  EXPECT_EQ(checked.byref[0].second, Variant::String("凭证显示错误，所选凭证可能已经被删除！"));

  const PreparedCall save = PrepareCall("SaveRecentBills", {"0", "1"}, false);
  const CallOutcome saved = save.method->invoke(component, save.values, no_toolbar);
  EXPECT_TRUE(saved.result.IsEmpty());
  EXPECT_TRUE(saved.byref.empty());
}

}  // namespace
}  // namespace zet::cli
