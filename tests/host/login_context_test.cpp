#include "host/login_context.hpp"

#include <gtest/gtest.h>

#include <string>

#include "host/error.hpp"
#include "support/case_name.hpp"
#include "support/fake_platform.hpp"

namespace zet::testing {
namespace {

constexpr const char* kShareProps = "ZetPropsMgr.ShareProps";

struct PropCase {
  const char* name;
  const char* props;
  const char* key;
  const char* expected;
};

class FindPropValueTest : public ::testing::TestWithParam<PropCase> {};

TEST_P(FindPropValueTest, ReadsTheFirstTextualMatch) {
  const PropCase& c = GetParam();
  EXPECT_EQ(FindPropValue(c.props, c.key), c.expected);
}

INSTANTIATE_TEST_SUITE_P(LoginContext, FindPropValueTest,
                         ::testing::Values(
                             // The worked example: no final ";", one is appended.
                             PropCase{"WithoutFinalSemicolon", "UserID=25", "UserID", "25"},
                             PropCase{"WithFinalSemicolon", "UserID=25;", "UserID", "25"},
                             PropCase{"KeyAskedInLowerCase", "UserID=25", "userid", "25"},
                             PropCase{"AmongOtherPairs", "DBName=acct;UserID=25;Lang=zh", "UserID", "25"},
                             PropCase{"InsideALongerKeyFirst", "XUserID=7;UserID=25;", "UserID", "7"},
                             PropCase{"ShortKeyInsideLongerKey", "UserID=25;ID=3;", "ID", "25"},
                             PropCase{"ValueUpperCased", "UserID=abc;", "UserID", "ABC"},
                             PropCase{"ValueKeepsBlanks", "UserID= 2 5 ;", "UserID", " 2 5 "},
                             PropCase{"EmptyValue", "UserID=;Lang=zh;", "UserID", ""},
                             PropCase{"MissingKey", "Lang=zh;", "UserID", ""},
                             PropCase{"EmptyPropertyString", "", "UserID", ""},
                             PropCase{"DoubledSemicolon", "UserID=25;;", "UserID", "25"}),
                         CaseName());

// Positions are held in signed 16-bit integers and count characters, not
// bytes: a match or a ";" beyond character 32,767 cannot be held.
TEST(FindPropValue, PositionsBeyond32767GiveNothing) {
  const std::string tail = "UserID=25;";
  EXPECT_EQ(FindPropValue(std::string(32766, 'x') + tail, "UserID"), "25");
  EXPECT_EQ(FindPropValue(std::string(32767, 'x') + tail, "UserID"), "");
  // The ";" after v characters of value stands at v + 8 of the text cut at the match.
  EXPECT_EQ(FindPropValue("UserID=" + std::string(32759, 'a') + ";", "UserID"), std::string(32759, 'A'));
  EXPECT_EQ(FindPropValue("UserID=" + std::string(32760, 'a') + ";", "UserID"), "");
  std::string prefix = "K=";
  for (int i = 0; i < 32763; ++i) prefix += "中";
  prefix += ";";
  EXPECT_EQ(FindPropValue(prefix + "UserID=25;", "UserID"), "25");
  EXPECT_EQ(FindPropValue(prefix + "中UserID=25;", "UserID"), "");
}

TEST(GetPropValue, AsksTheSharedPropertiesServiceTwiceWithProcessIdThenName) {
  FakePlatform host;
  host.props = "UserID=25";
  host.process_id = 777;

  EXPECT_EQ(GetPropValue(host, "UserID"), "25");

  EXPECT_EQ(host.CreatedCount(kShareProps), 1);
  const auto calls = host.CallsOn(kShareProps);
  ASSERT_EQ(calls.size(), 2u);
  for (const RecordedCall& call : calls) {
    ASSERT_EQ(call.args.size(), 2u);
    EXPECT_EQ(call.args[0], Variant::Long(777));
    EXPECT_EQ(call.args[1], Variant::String("PropsString"));
    EXPECT_EQ(call.by_ref, (std::vector<bool>{true, true}));
  }
  EXPECT_EQ(host.Alive(kShareProps), 0);
  EXPECT_TRUE(host.messages.empty());
}

TEST(GetPropValue, ReadsTheContextAnewOnEveryCall) {
  FakePlatform host;
  host.props = "UserID=25;";
  EXPECT_EQ(GetPropValue(host, "UserID"), "25");
  host.props = "UserID=26;";
  EXPECT_EQ(GetPropValue(host, "UserID"), "26");
  EXPECT_EQ(host.CreatedCount(kShareProps), 2);  // a fresh service object per request
}

struct BrokenContextCase {
  const char* name;
  void (*script)(FakePlatform&);
};

class GetPropValueBrokenContextTest : public ::testing::TestWithParam<BrokenContextCase> {};

TEST_P(GetPropValueBrokenContextTest, GivesNothingAndShowsNothing) {
  FakePlatform host;
  host.props = "UserID=25;";
  GetParam().script(host);
  EXPECT_EQ(GetPropValue(host, "UserID"), "");
  EXPECT_TRUE(host.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    LoginContext, GetPropValueBrokenContextTest,
    ::testing::Values(
        BrokenContextCase{"ServiceMissing", [](FakePlatform& host) { host.Unregister(kShareProps); }},
        BrokenContextCase{"ServiceFails",
                          [](FakePlatform& host) { host.FailCall(kShareProps, "GetProperty", -2147467259, "failed"); }},
        BrokenContextCase{"PropertyMissing", [](FakePlatform& host) { host.share_props["PropsString"] = Variant(); }},
        BrokenContextCase{"PropertyNull",
                          [](FakePlatform& host) { host.share_props["PropsString"] = Variant::Null(); }},
        BrokenContextCase{
            "PropertyIsAnObject",
            [](FakePlatform& host) { host.share_props["PropsString"] = Variant::Object(MakeRecordset(NoRows())); }}),
    CaseName());

TEST(GetPropsString, PassesTheServicesFailureOn) {
  FakePlatform host;
  host.Unregister(kShareProps);
  try {
    GetPropsString(host);
    ADD_FAILURE() << "no error";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.Number(), err::kCannotCreateObject);
  }
  EXPECT_TRUE(host.messages.empty());
}

TEST(GetShareProps, KeepsAnObjectReference) {
  FakePlatform host;
  const ObjectRef toolbar = std::make_shared<FakeToolbar>();
  host.share_props["Toolbar"] = Variant::Object(toolbar);
  const Variant got = GetShareProps(host, "Toolbar");
  ASSERT_TRUE(got.IsObject());
  EXPECT_EQ(got.AsObject(), toolbar);
  EXPECT_EQ(host.CallsOn(kShareProps).size(), 2u);
}

}  // namespace
}  // namespace zet::testing
