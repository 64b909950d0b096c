#include "host/variant.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "host/dispatch.hpp"
#include "host/error.hpp"
#include "support/case_name.hpp"

namespace zet {
namespace {

// The runtime error a conversion raised, or 0 when it returned.
int32_t ErrorOf(const std::function<void()>& conversion) {
  try {
    conversion();
  } catch (const AutomationError& e) {
    return e.Number();
  }
  return 0;
}

// One conversion's case: the result when `error` is 0, else the error raised.
template <class T>
struct ConversionCase {
  const char* name;
  Variant input;
  T expected;
  int32_t error;
};

template <class T, class Convert>
void ExpectConversions(Convert convert, const std::vector<ConversionCase<T>>& cases) {
  for (const ConversionCase<T>& c : cases) {
    SCOPED_TRACE(c.name);
    T got{};
    EXPECT_EQ(ErrorOf([&] { got = convert(c.input); }), c.error);
    if (c.error == 0) {
      EXPECT_EQ(got, c.expected);
    }
  }
}

class NoMembers : public Dispatch {
 public:
  Variant Invoke(std::string_view, CallKind, std::span<Argument>) override { RaiseRuntimeError(err::kMemberNotFound); }
};

Variant AnObject() {
  return Variant::Object(std::make_shared<NoMembers>());
}

TEST(Conversions, CLng) {
  ExpectConversions<int32_t>(
      [](const Variant& v) { return CLng(v); },
      {// Banker's rounding: halves go to the even neighbour.
       {"HalfDownToEven", Variant::Double(2.5), 2, 0},
       {"HalfUpToEven", Variant::Double(3.5), 4, 0},
       {"NegativeHalfToEven", Variant::Double(-2.5), -2, 0},
       {"TopEdge", Variant::Double(2147483647.49), 2147483647, 0},
       {"TopEdgeRoundsOver", Variant::Double(2147483647.5), 0, err::kOverflow},
       {"BottomEdgeHalfIsEven", Variant::Double(-2147483648.5), INT32_MIN, 0},
       {"BelowBottom", Variant::Double(-2147483648.51), 0, err::kOverflow},
       {"NotANumber", Variant::Double(std::numeric_limits<double>::quiet_NaN()), 0, err::kOverflow},
       {"Long", Variant::Long(INT32_MIN), INT32_MIN, 0},
       {"True", Variant::Boolean(true), -1, 0},
       {"Empty", Variant(), 0, 0},
       {"Null", Variant::Null(), 0, err::kInvalidUseOfNull},
       {"Object", AnObject(), 0, err::kTypeMismatch},
       // Text as the run time reads it.
       {"Blanks", Variant::String("  12 \t"), 12, 0},
       {"TrailingMinus", Variant::String("12-"), -12, 0},
       {"Parentheses", Variant::String("(12)"), -12, 0},
       {"Thousands", Variant::String("1,234,567"), 1234567, 0},
       {"TextHalfToEven", Variant::String("2.5"), 2, 0},
       {"Exponent", Variant::String("1e3"), 1000, 0},
       {"NegativeExponentForm", Variant::String(" -1.25e1 "), -12, 0},
       {"Hex", Variant::String("&H10"), 16, 0},
       {"HexWrapsToMinimum", Variant::String("&H80000000"), INT32_MIN, 0},
       {"HexTooWide", Variant::String("&H100000000"), 0, err::kOverflow},
       {"Octal", Variant::String("&O17"), 15, 0},
       {"OctalWraps", Variant::String("&O37777777777"), -1, 0},
       {"TextTooLarge", Variant::String("2147483648"), 0, err::kOverflow},
       {"TextSmallest", Variant::String("-2147483648"), INT32_MIN, 0},
       {"Letters", Variant::String("abc"), 0, err::kTypeMismatch},
       {"EmptyText", Variant::String(""), 0, err::kTypeMismatch},
       {"TrailingLetters", Variant::String("12abc"), 0, err::kTypeMismatch},
       {"BadHexDigit", Variant::String("&HZZ"), 0, err::kTypeMismatch},
       {"OctalDigitEight", Variant::String("&O8"), 0, err::kTypeMismatch},
       {"TwoSigns", Variant::String("+-5"), 0, err::kTypeMismatch}});
}

// CInt

TEST(Conversions, CInt) {
  ExpectConversions<int16_t>([](const Variant& v) { return CInt(v); },
                             {{"TopEdge", Variant::Double(32767.4), 32767, 0},
                              {"TopHalfOver", Variant::Double(32767.5), 0, err::kOverflow},
                              {"BottomHalfIsEven", Variant::Double(-32768.5), -32768, 0},
                              {"BelowBottom", Variant::Double(-32769), 0, err::kOverflow},
                              {"LongTooLarge", Variant::Long(32768), 0, err::kOverflow},
                              {"TextOneAndHalf", Variant::String(" 1.5 "), 2, 0},
                              {"HexWraps", Variant::String("&HFFFF"), -1, 0},
                              {"HexHighBit", Variant::String("&H8000"), -32768, 0},
                              {"HexTooWide", Variant::String("&H10000"), 0, err::kOverflow},
                              {"True", Variant::Boolean(true), -1, 0},
                              {"Null", Variant::Null(), 0, err::kInvalidUseOfNull},
                              {"Letters", Variant::String("x"), 0, err::kTypeMismatch}});
}

// CDbl and CBool

TEST(CDbl, ReadsTextAsTheRunTimeDoes) {
  EXPECT_DOUBLE_EQ(CDbl(Variant::String("1,234.5")), 1234.5);
  EXPECT_DOUBLE_EQ(CDbl(Variant::String(" 1e-3 ")), 0.001);
  EXPECT_DOUBLE_EQ(CDbl(Variant::String("(2.5)")), -2.5);
  EXPECT_DOUBLE_EQ(CDbl(Variant::Boolean(true)), -1);
  EXPECT_DOUBLE_EQ(CDbl(Variant()), 0);
  EXPECT_EQ(ErrorOf([] { CDbl(Variant::String("1e400")); }), err::kOverflow);
  EXPECT_EQ(ErrorOf([] { CDbl(Variant::String("one")); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorOf([] { CDbl(Variant::Null()); }), err::kInvalidUseOfNull);
}

TEST(Conversions, CBool) {
  ExpectConversions<bool>([](const Variant& v) { return CBool(v); },
                          {{"TrueWord", Variant::String("True"), true, 0},
                           {"FalseWordAnyCase", Variant::String(" fALSE "), false, 0},
                           {"ZeroText", Variant::String("0"), false, 0},
                           {"FractionText", Variant::String("0.5"), true, 0},
                           {"Double", Variant::Double(0.1), true, 0},
                           {"Empty", Variant(), false, 0},
                           {"Null", Variant::Null(), false, err::kInvalidUseOfNull},
                           {"Word", Variant::String("yes"), false, err::kTypeMismatch},
                           {"EmptyText", Variant::String(""), false, err::kTypeMismatch}});
}

// Val

struct ValCase {
  const char* text;
  double expected;
};

class ValTest : public ::testing::TestWithParam<ValCase> {};

TEST_P(ValTest, ReadsTheLeadingNumber) {
  EXPECT_DOUBLE_EQ(Val(std::string_view(GetParam().text)), GetParam().expected) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(Conversions, ValTest,
                         ::testing::Values(ValCase{"4711", 4711}, ValCase{"12abc", 12},
                                           ValCase{"  12  34 abc", 1234},  // blanks inside the number are skipped
                                           ValCase{"-1.5e2x", -150}, ValCase{".5", 0.5},
                                           ValCase{"1,234", 1},  // no thousands separators
                                           ValCase{"1e", 1}, ValCase{"2.5.1", 2.5}, ValCase{"", 0}, ValCase{"--5", 0},
                                           ValCase{"&HFFFF", -1}, ValCase{"&H10000", 65536}, ValCase{"&HFFFFFFFF", -1},
                                           ValCase{"&O17", 15}, ValCase{"&H1Fzz", 31}));

TEST(Val, OfAVariantReadsItsText) {
  EXPECT_DOUBLE_EQ(Val(Variant::Long(12)), 12);
  EXPECT_DOUBLE_EQ(Val(Variant::Double(1.5)), 1.5);
  EXPECT_DOUBLE_EQ(Val(Variant::Double(1e15)), 1e15);  // through "1E+15"
  EXPECT_DOUBLE_EQ(Val(Variant::String(" 7 days")), 7);
  EXPECT_DOUBLE_EQ(Val(Variant()), 0);
  EXPECT_DOUBLE_EQ(Val(Variant::Boolean(true)), 0);  // "True" starts with no number
  EXPECT_EQ(ErrorOf([] { Val(Variant::Null()); }), err::kInvalidUseOfNull);
}

TEST(Val, NumberBeyondDoubleOverflows) {
  EXPECT_EQ(ErrorOf([] { Val(std::string_view("1e400")); }), err::kOverflow);
}

// CStr

struct StrCase {
  const char* name;
  Variant input;
  const char* expected;
};

class CStrTest : public ::testing::TestWithParam<StrCase> {};

TEST_P(CStrTest, WritesTheRunTimesText) {
  EXPECT_EQ(CStr(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, CStrTest,
    ::testing::Values(StrCase{"Long", Variant::Long(2147483647), "2147483647"},
                      StrCase{"NegativeHalf", Variant::Double(-2.5), "-2.5"},
                      StrCase{"FifteenDigits", Variant::Double(123456789012345.0), "123456789012345"},
                      StrCase{"LargeSwitchesToExponent", Variant::Double(1e15), "1E+15"},
                      StrCase{"RoundedToFifteen", Variant::Double(1234567.1234567891), "1234567.12345679"},
                      StrCase{"Third", Variant::Double(1.0 / 3), "0.333333333333333"},
                      StrCase{"SmallSwitchesToExponent", Variant::Double(0.00001), "1E-05"},
                      StrCase{"NegativeZero", Variant::Double(-0.0), "0"},
                      StrCase{"True", Variant::Boolean(true), "True"}, StrCase{"Empty", Variant(), ""},
                      StrCase{"Text", Variant::String("as is "), "as is "}),
    testing::CaseName());

TEST(CStr, NullAndObjectRaise) {
  EXPECT_EQ(ErrorOf([] { CStr(Variant::Null()); }), err::kInvalidUseOfNull);
  EXPECT_EQ(ErrorOf([] { CStr(AnObject()); }), err::kTypeMismatch);
}

// Comparison with a number, and equality

struct CompareCase {
  const char* name;
  Variant input;
  double number;
  std::optional<int> expected;
  int32_t error;
};

class CompareWithNumberTest : public ::testing::TestWithParam<CompareCase> {};

TEST_P(CompareWithNumberTest, OrdersOrRaises) {
  const CompareCase& c = GetParam();
  std::optional<int> got;
  const int32_t error = ErrorOf([&] { got = CompareWithNumber(c.input, c.number); });
  EXPECT_EQ(error, c.error);
  if (c.error == 0) {
    EXPECT_EQ(got, c.expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, CompareWithNumberTest,
    ::testing::Values(CompareCase{"EmptyIsZero", Variant(), 0, 0, 0},
                      CompareCase{"TextNumberAbove", Variant::String("1050"), 0, 1, 0},
                      CompareCase{"TextNegativeWithBlanks", Variant::String(" -3 "), 0, -1, 0},
                      CompareCase{"TrueIsMinusOne", Variant::Boolean(true), 0, -1, 0},
                      CompareCase{"NullIsNoAnswer", Variant::Null(), 0, std::nullopt, 0},
                      CompareCase{"LettersRaise", Variant::String("abc"), 0, std::nullopt, err::kTypeMismatch},
                      CompareCase{"EmptyTextRaises", Variant::String(""), 0, std::nullopt, err::kTypeMismatch},
                      CompareCase{"ObjectRaises", AnObject(), 0, std::nullopt, err::kTypeMismatch}),
    testing::CaseName());

struct EqualsCase {
  const char* name;
  Variant a;
  Variant b;
  bool expected;
};

class VariantEqualsTest : public ::testing::TestWithParam<EqualsCase> {};

TEST_P(VariantEqualsTest, ComparesAsTheLanguageDoes) {
  const EqualsCase& c = GetParam();
  EXPECT_EQ(VariantEquals(c.a, c.b), c.expected);
  EXPECT_EQ(VariantEquals(c.b, c.a), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, VariantEqualsTest,
    ::testing::Values(EqualsCase{"LongAndInteger", Variant::Long(21), Variant::Integer(21), true},
                      EqualsCase{"DifferentNumbers", Variant::Integer(21), Variant::Long(22), false},
                      EqualsCase{"TextAndNumber", Variant::String("21"), Variant::Long(21), false},
                      EqualsCase{"NullNeverEqual", Variant::Null(), Variant::Null(), false},
                      EqualsCase{"EmptyAndZero", Variant(), Variant::Integer(0), true},
                      EqualsCase{"EmptyAndEmptyText", Variant(), Variant::String(""), true},
                      EqualsCase{"TextCaseMatters", Variant::String("a"), Variant::String("A"), false},
                      EqualsCase{"TrueAndMinusOne", Variant::Boolean(true), Variant::Integer(-1), true}),
    testing::CaseName());

// Subtypes and errors

TEST(Variant, RawAccessOfAnotherSubtypeIsATypeMismatch) {
  EXPECT_EQ(ErrorOf([] { (void)Variant::Integer(1).AsLong(); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorOf([] { (void)Variant::Long(1).AsInteger(); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorOf([] { (void)Variant::String("1").AsDouble(); }), err::kTypeMismatch);
  EXPECT_FALSE(Variant::Integer(1) == Variant::Long(1));  // identity, not Variant comparison
}

TEST(RuntimeErrors, CarryTheirUsualNumbersAndTexts) {
  struct Expected {
    int32_t number;
    const char* text;
  };
  for (const Expected& e : std::vector<Expected>{{err::kOverflow, "Overflow"},
                                                 {err::kTypeMismatch, "Type mismatch"},
                                                 {err::kInvalidUseOfNull, "Invalid use of Null"},
                                                 {err::kCannotCreateObject, "ActiveX component can't create object"}}) {
    try {
      RaiseRuntimeError(e.number);
      ADD_FAILURE() << "no error raised for " << e.number;
    } catch (const AutomationError& error) {
      EXPECT_EQ(error.Number(), e.number);
      EXPECT_EQ(error.Description(), e.text);
    }
  }
}

}  // namespace
}  // namespace zet
