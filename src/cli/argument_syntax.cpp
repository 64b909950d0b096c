#include "cli/argument_syntax.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

#include "cli/usage_error.hpp"

namespace zet::cli {

namespace {

[[noreturn]] void Reject(std::string_view text, std::string_view why, std::string_view name = "argument") {
  throw UsageError("bad " + std::string(name) + " '" + std::string(text) + "': " + std::string(why));
}

// A whole decimal integer: an optional minus sign and digits, nothing else.
// from_chars alone would accept a prefix ("12abc" as 12).
template <class Int>
Int ParseWhole(std::string_view text, std::string_view digits, const char* subtype, std::string_view expected,
               std::string_view name = "argument") {
  Int value{};
  const char* first = digits.data();
  const char* last = digits.data() + digits.size();
  if (digits.empty() || (digits[0] == '-' && digits.size() == 1)) Reject(text, "expected a whole number", name);
  const auto [end, ec] = std::from_chars(first, last, value);
  if (ec == std::errc::result_out_of_range) Reject(text, std::string("out of range for ") + subtype, name);
  if (ec != std::errc() || end != last) Reject(text, std::string("expected ") + std::string(expected), name);
  return value;
}

constexpr const char* kLongRange = "Long (-2147483648 to 2147483647)";

double ParseDouble(std::string_view text, std::string_view digits) {
  double value = 0;
  const char* last = digits.data() + digits.size();
  const auto [end, ec] = std::from_chars(digits.data(), last, value);
  if (ec == std::errc::result_out_of_range) Reject(text, "out of range for Double");
  if (digits.empty() || ec != std::errc() || end != last) Reject(text, "expected a number after d:");
  // from_chars reads "inf" and "nan", which no automation Double written as
  // text can be.
  if (!std::isfinite(value)) Reject(text, "expected a finite number after d:");
  return value;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

Variant ParseArgument(std::string_view text) {
  if (text == "true") return Variant::Boolean(true);
  if (text == "false") return Variant::Boolean(false);
  if (text == "empty") return Variant();
  if (text == "null") return Variant::Null();
  if (StartsWith(text, "s:")) return Variant::String(std::string(text.substr(2)));
  if (StartsWith(text, "i:"))
    return Variant::Integer(ParseWhole<int16_t>(text, text.substr(2), "Integer (-32768 to 32767)", kArgumentSyntax));
  if (StartsWith(text, "d:")) return Variant::Double(ParseDouble(text, text.substr(2)));
  if (text.empty()) Reject(text, std::string("expected ") + kArgumentSyntax);
  const char c = text[0];
  if (c != '-' && (c < '0' || c > '9')) Reject(text, std::string("expected ") + kArgumentSyntax);
  return Variant::Long(ParseWhole<int32_t>(text, text, kLongRange, kArgumentSyntax));
}

int32_t ParseLong(std::string_view text, std::string_view name) {
  return ParseWhole<int32_t>(text, text, kLongRange, "a whole number", name);
}

}  // namespace zet::cli
