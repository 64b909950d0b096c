// The automation model the algorithms stand on: conversions as the run time
// does them, the login context, and the per-thread creation service.
#include <algorithm>
#include <thread>

#include "host/error.hpp"
#include "host/login_context.hpp"
#include "host/service_factory.hpp"
#include "support/method_case.hpp"

namespace zet::testing {
namespace {

struct Conversion {
  const char* op;
  Variant input;
  std::string want;  // the result as text, or "E<number>" for an error
};

std::string Convert(const std::string& op, const Variant& v) {
  try {
    if (op == "CLng") return std::to_string(CLng(v));
    if (op == "CInt") return std::to_string(CInt(v));
    if (op == "CDbl") return CStr(Variant::Double(CDbl(v)));
    if (op == "CBool") return CBool(v) ? "T" : "F";
    if (op == "CStr") return CStr(v);
    if (op == "Val") return CStr(Variant::Double(Val(v)));
    if (op == "Cmp0") {
      const auto order = CompareWithNumber(v, 0);
      return order ? std::to_string(*order) : "none";
    }
    if (op == "Eq21") return VariantEquals(v, Variant::Long(21)) && VariantEquals(Variant::Long(21), v) ? "T" : "F";
  } catch (const AutomationError& e) {
    return "E" + std::to_string(e.Number());
  }
  return "?";
}

class Conversions : public ::testing::TestWithParam<Conversion> {};
TEST_P(Conversions, FollowTheRunTime) {
  EXPECT_EQ(Convert(GetParam().op, GetParam().input), GetParam().want);
}

using V = Variant;
// clang-format off
const Conversion kConversions[] = {
  {"CLng", V::Double(2.5), "2"}, {"CLng", V::Double(2147483647.49), "2147483647"},
  {"CLng", V::Double(2147483647.5), "E6"}, {"CLng", V::Double(-2147483648.5), "-2147483648"},
  {"CLng", V::Double(-2147483648.51), "E6"}, {"CLng", V::Boolean(true), "-1"}, {"CLng", V(), "0"},
  {"CLng", V::Null(), "E94"}, {"CLng", V::String("  12 \t"), "12"}, {"CLng", V::String("12-"), "-12"},
  {"CLng", V::String("1,234,567"), "1234567"}, {"CLng", V::String(" -1.25e1 "), "-12"},
  {"CLng", V::String("&H10"), "16"}, {"CLng", V::String("&H80000000"), "-2147483648"},
  {"CLng", V::String("&H100000000"), "E6"}, {"CLng", V::String("&O17"), "15"},
  {"CLng", V::String("2147483648"), "E6"}, {"CLng", V::String(""), "E13"}, {"CLng", V::String("12abc"), "E13"},
  {"CLng", V::String("+-5"), "E13"}, {"CLng", V::String("1e"), "E13"}, {"CLng", V::String("&H"), "E13"},
  {"CLng", V::String("&hff"), "255"}, {"CLng", V::String(",5"), "E13"},
  {"CInt", V::Double(32767.4), "32767"}, {"CInt", V::Double(32767.5), "E6"}, {"CInt", V::Double(-32768.5), "-32768"},
  {"CInt", V::Long(32768), "E6"}, {"CInt", V::String(" 1.5 "), "2"}, {"CInt", V::String("&HFFFF"), "-1"},
  {"CInt", V::String("&H10000"), "E6"},
  {"CDbl", V::String("1,234.5"), "1234.5"}, {"CDbl", V::String("(2.5)"), "-2.5"}, {"CDbl", V::String("1e400"), "E6"},
  {"CDbl", V::String("one"), "E13"}, {"CDbl", V::String(".5"), "0.5"}, {"CDbl", V::String(" +1.5 "), "1.5"},
  {"CDbl", V::String("1d2"), "100"},
  {"CBool", V::String("True"), "T"}, {"CBool", V::String(" fALSE "), "F"}, {"CBool", V::String("0.5"), "T"},
  {"CBool", V::Null(), "E94"}, {"CBool", V::String("yes"), "E13"}, {"CBool", V::String("1e400"), "E6"},
  {"CBool", V::String("#TRUE#"), "T"},
  {"CStr", V::Double(123456789012345.0), "123456789012345"}, {"CStr", V::Double(1e15), "1E+15"},
  {"CStr", V::Double(1234567.1234567891), "1234567.12345679"}, {"CStr", V::Double(0.00001), "1E-05"},
  {"CStr", V::Double(-0.0), "0"}, {"CStr", V::Boolean(true), "True"}, {"CStr", V::Null(), "E94"},
  {"Val", V::String("  12  34 abc"), "1234"}, {"Val", V::String("-1.5e2x"), "-150"},
  {"Val", V::String("1,234"), "1"}, {"Val", V::String("&HFFFF"), "-1"}, {"Val", V::String("&H10000"), "65536"},
  {"Val", V::String("&H1Fzz"), "31"}, {"Val", V::Double(1e15), "1E+15"}, {"Val", V::Boolean(true), "0"},
  {"Val", V::String("1e400"), "E6"},
  {"Cmp0", V::String("1050"), "1"}, {"Cmp0", V::String(" -3 "), "-1"}, {"Cmp0", V::Null(), "none"},
  {"Cmp0", V::String(""), "E13"},
  {"Eq21", V::Integer(21), "T"}, {"Eq21", V::String("21"), "F"}, {"Eq21", V::Double(21), "T"},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Variant, Conversions, ::testing::ValuesIn(kConversions));

// The key is found case-insensitively anywhere in the text, the value read
// to the next ";" and upper-cased.
TEST(GetPropValue, ReadsTheFirstTextualMatch) {
  // clang-format off
  for (const auto& [props, key, want] : std::vector<std::tuple<std::string, std::string, std::string>>{
           {"UserID=25", "UserID", "25"}, {"UserID=25;", "userid", "25"}, {"DB=a;UserID=25;Lang=zh", "UserID", "25"},
           {"XUserID=7;UserID=25;", "UserID", "7"}, {"UserID=25;ID=3;", "ID", "25"}, {"UserID=abc;", "UserID", "ABC"},
           {"UserID= 2 5 ;", "UserID", " 2 5 "}, {"UserID=;Lang=zh;", "UserID", ""}, {"Lang=zh;", "UserID", ""},
           {"", "UserID", ""}, {"UserID=25;;", "UserID", "25"}}) {
    // clang-format on
    FakePlatform host;
    host.props = props;
    EXPECT_EQ(GetPropValue(host, key), want) << props;
  }
}

// Positions are held in 16 bits and count characters, not bytes.
TEST(GetPropValue, PositionsBeyond32767GiveNothing) {
  EXPECT_EQ(FindPropValue(std::string(32766, 'x') + "UserID=25;", "UserID"), "25");
  EXPECT_EQ(FindPropValue(std::string(32767, 'x') + "UserID=25;", "UserID"), "");
  EXPECT_EQ(FindPropValue("UserID=" + std::string(32760, 'a') + ";", "UserID"), "");
  std::string prefix = "K=";
  for (int i = 0; i < 32763; ++i) prefix += "中";
  EXPECT_EQ(FindPropValue(prefix + ";UserID=25;", "UserID"), "25");
  EXPECT_EQ(FindPropValue(prefix + ";中UserID=25;", "UserID"), "");
  // A character beyond 16 bits counts twice.
  EXPECT_EQ(FindPropValue(std::string(32765, 'x') + "😀UserID=25;", "UserID"), "");
}

// The shared-properties service is made anew for every request and asked
// twice: first to learn whether the property is an object.
TEST(GetPropValue, AsksTheServiceTwiceEveryTime) {
  FakePlatform host;
  GetPropValue(host, "UserID");
  host.props = "UserID=30;";
  EXPECT_EQ(GetPropValue(host, "UserID"), "30");
  std::string asked;
  for (const RecordedCall& c : host.calls) asked += c.object + "." + c.member + " ";
  EXPECT_EQ(asked,
            "ZetPropsMgr.ShareProps.new ZetPropsMgr.ShareProps.GetProperty ZetPropsMgr.ShareProps.GetProperty "
            "ZetPropsMgr.ShareProps.new ZetPropsMgr.ShareProps.GetProperty ZetPropsMgr.ShareProps.GetProperty ");
}

// One creation service per thread, made on the first call and reused.
TEST(ServiceFactory, OnePerThread) {
  FakePlatform host;
  clsMoveBill bill(host);
  const auto made = [&] {
    bill.GetMaxMinInterID(1, 1);
    return std::count_if(host.calls.begin(), host.calls.end(),
                         [](const RecordedCall& c) { return c.member == "new" && c.object == ServiceFactoryProgId(); });
  };
  made();
  EXPECT_EQ(made(), 1);
  std::thread([&] { made(); }).join();
  EXPECT_EQ(made(), 2);
}

}  // namespace
}  // namespace zet::testing
