#include "cli/argument_syntax.hpp"

#include <gtest/gtest.h>

#include "cli/usage_error.hpp"

namespace zet::cli {
namespace {

struct GoodCase {
  const char* text;
  Variant expected;
};

TEST(ArgumentSyntax, EachFormGivesItsSubtypeAndValue) {
  const GoodCase cases[] = {
      {"123", Variant::Long(123)},
      {"-5", Variant::Long(-5)},
      {"0", Variant::Long(0)},
      {"2147483647", Variant::Long(2147483647)},
      {"-2147483648", Variant::Long(-2147483647 - 1)},
      {"i:7", Variant::Integer(7)},
      {"i:-32768", Variant::Integer(-32768)},
      {"d:1.5", Variant::Double(1.5)},
      {"d:-2e3", Variant::Double(-2000)},
      {"d:7", Variant::Double(7)},
      {"s:TEXT", Variant::String("TEXT")},
      {"s:", Variant::String("")},
      {"s:12", Variant::String("12")},
      {"s:a b;c:d", Variant::String("a b;c:d")},
      {"s:-5", Variant::String("-5")},
      {"true", Variant::Boolean(true)},
      {"false", Variant::Boolean(false)},
      {"empty", Variant()},
      {"null", Variant::Null()},
  };
  for (const GoodCase& c : cases) {
    SCOPED_TRACE(c.text);
    const Variant v = ParseArgument(c.text);
    EXPECT_EQ(v.Type(), c.expected.Type());
    EXPECT_TRUE(v == c.expected);
  }
}

TEST(ArgumentSyntax, BadFormsAreUsageErrorsThatNameTheArgument) {
  struct BadCase {
    const char* text;
    const char* reason;
  };
  const BadCase cases[] = {
      {"", "expected 123"},
      {"abc", "expected 123"},
      {"12abc", "expected 123"},
      {"1.5", "expected 123"},
      {"+5", "expected 123"},
      {" 5", "expected 123"},
      {"-", "whole number"},
      {"True", "expected 123"},
      {"NULL", "expected 123"},
      {"x:1", "expected 123"},
      {"2147483648", "out of range for Long"},
      {"-2147483649", "out of range for Long"},
      {"i:", "whole number"},
      {"i:1.5", "expected 123"},
      {"i:32768", "out of range for Integer"},
      {"i:abc", "expected 123"},
      {"d:", "expected a number"},
      {"d:abc", "expected a number"},
      {"d:1.5x", "expected a number"},
      {"d:inf", "finite"},
      {"d:nan", "finite"},
      {"d:1e999", "out of range for Double"},
  };
  for (const BadCase& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      ParseArgument(c.text);
      ADD_FAILURE() << "accepted";
    } catch (const UsageError& e) {
      const std::string what = e.what();
      EXPECT_NE(what.find(std::string("'") + c.text + "'"), std::string::npos) << what;
      EXPECT_NE(what.find(c.reason), std::string::npos) << what;
      EXPECT_EQ(what.find('\n'), std::string::npos) << "one line";
    }
  }
}

}  // namespace
}  // namespace zet::cli
