#include "host/variant.hpp"

#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <type_traits>

#include "host/dispatch.hpp"
#include "host/error.hpp"
#include "host/text.hpp"

namespace zet {

const char* VarTypeName(VarType type) {
  switch (type) {
    case VarType::Empty:
      return "Empty";
    case VarType::Null:
      return "Null";
    case VarType::Integer:
      return "Integer";
    case VarType::Long:
      return "Long";
    case VarType::Double:
      return "Double";
    case VarType::String:
      return "String";
    case VarType::Object:
      return "Object";
    case VarType::Boolean:
      return "Boolean";
    case VarType::Variant:
      return "Variant";
    case VarType::Array:
      return "Array";
  }
  return "Unknown";
}

VarType Variant::Type() const {
  switch (value_.index()) {
    case 0:
      return VarType::Empty;
    case 1:
      return VarType::Null;
    case 2:
      return VarType::Integer;
    case 3:
      return VarType::Long;
    case 4:
      return VarType::Double;
    case 5:
      return VarType::Boolean;
    case 6:
      return VarType::String;
    case 7:
      return VarType::Object;
    default:
      return VarType::Array;
  }
}

bool Variant::IsNumeric() const {
  const VarType t = Type();
  return t == VarType::Integer || t == VarType::Long || t == VarType::Double || t == VarType::Boolean;
}

namespace {
template <class T>
const T& Get(const std::variant<std::monostate, Variant::NullTag, int16_t, int32_t, double, bool, std::string,
                                ObjectRef, std::shared_ptr<const VariantArray>>& value) {
  if (const T* p = std::get_if<T>(&value)) return *p;
  RaiseRuntimeError(err::kTypeMismatch);
}
}  // namespace

int16_t Variant::AsInteger() const {
  return Get<int16_t>(value_);
}
int32_t Variant::AsLong() const {
  return Get<int32_t>(value_);
}
double Variant::AsDouble() const {
  return Get<double>(value_);
}
bool Variant::AsBoolean() const {
  return Get<bool>(value_);
}
const std::string& Variant::AsString() const {
  return Get<std::string>(value_);
}
const ObjectRef& Variant::AsObject() const {
  return Get<ObjectRef>(value_);
}
const VariantArray& Variant::AsArray() const {
  const auto& p = Get<std::shared_ptr<const VariantArray>>(value_);
  return *p;
}

bool Variant::operator==(const Variant& other) const {
  if (value_.index() != other.value_.index()) return false;
  if (IsArray()) {
    const auto& a = AsArray();
    const auto& b = other.AsArray();
    return a.lower_bound == b.lower_bound && a.element == b.element && a.items == b.items;
  }
  return value_ == other.value_;
}

// ---------------------------------------------------------------------------
// Number parsing

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "&H1F" / "&O17" after trimming; the digits must fill the rest of the text.
std::optional<uint64_t> ParseRadix(std::string_view s) {
  if (s.size() < 3 || s[0] != '&') return std::nullopt;
  const char kind = s[1];
  int radix = 0;
  if (kind == 'h' || kind == 'H') radix = 16;
  if (kind == 'o' || kind == 'O') radix = 8;
  if (radix == 0) return std::nullopt;
  uint64_t value = 0;
  for (char c : s.substr(2)) {
    const int d = HexDigit(c);
    if (d < 0 || d >= radix) return std::nullopt;
    if (value > (std::numeric_limits<uint64_t>::max() >> 4)) return std::nullopt;
    value = value * static_cast<uint64_t>(radix) + static_cast<uint64_t>(d);
  }
  return value;
}

}  // namespace

std::optional<ParsedNumber> ParseAutomationNumber(std::string_view text) {
  std::string_view s = Trim(text);
  if (s.empty()) return std::nullopt;
  if (auto radix = ParseRadix(s)) {
    ParsedNumber n;
    n.radix_value = *radix;
    n.value = static_cast<double>(*radix);
    return n;
  }
  bool negative = false;
  bool parenthesised = false;
  if (s.front() == '(' && s.back() == ')') {
    parenthesised = true;
    s = Trim(s.substr(1, s.size() - 2));
  }
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s = Trim(s.substr(1));
  } else if (!s.empty() && (s.back() == '+' || s.back() == '-')) {
    negative = s.back() == '-';
    s = Trim(s.substr(0, s.size() - 1));
  }
  if (parenthesised) negative = !negative;

  // Rebuild a plain decimal text: digits with thousands separators in the
  // integer part, an optional fraction and an optional exponent.
  std::string plain;
  size_t i = 0;
  bool digits = false;
  while (i < s.size() && (IsDigit(s[i]) || (s[i] == ',' && digits))) {
    if (s[i] != ',') {
      plain += s[i];
      digits = true;
    }
    ++i;
  }
  if (i < s.size() && s[i] == '.') {
    plain += '.';
    ++i;
    while (i < s.size() && IsDigit(s[i])) {
      plain += s[i++];
      digits = true;
    }
  }
  if (!digits) return std::nullopt;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
    std::string exponent = "e";
    size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) exponent += s[j++];
    const size_t first_digit = j;
    while (j < s.size() && IsDigit(s[j])) exponent += s[j++];
    if (j == first_digit) return std::nullopt;
    plain += exponent;
    i = j;
  }
  if (i != s.size()) return std::nullopt;
  ParsedNumber n;
  n.value = std::strtod(plain.c_str(), nullptr);
  if (negative) n.value = -n.value;
  return n;
}

double Val(std::string_view text) {
  // Val skips blanks, tabs and line feeds wherever they stand in the number.
  std::string s;
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r') s += c;
  }
  if (s.size() >= 2 && s[0] == '&') {
    const int radix = (s[1] == 'h' || s[1] == 'H') ? 16 : (s[1] == 'o' || s[1] == 'O') ? 8 : 0;
    if (radix != 0) {
      uint64_t value = 0;
      size_t i = 2;
      for (; i < s.size(); ++i) {
        const int d = HexDigit(s[i]);
        if (d < 0 || d >= radix || value > 0xFFFFFFFFull) break;
        value = value * static_cast<uint64_t>(radix) + static_cast<uint64_t>(d);
      }
      // Hexadecimal and octal literals are 16-bit when they fit, 32-bit
      // otherwise, and read as signed numbers of that size.
      if (value <= 0xFFFF) return static_cast<int16_t>(static_cast<uint16_t>(value));
      if (value <= 0xFFFFFFFFull) return static_cast<int32_t>(static_cast<uint32_t>(value));
      return 0;
    }
  }
  size_t i = 0;
  std::string plain;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) plain += s[i++];
  bool digits = false;
  while (i < s.size() && IsDigit(s[i])) {
    plain += s[i++];
    digits = true;
  }
  if (i < s.size() && s[i] == '.') {
    plain += s[i++];
    while (i < s.size() && IsDigit(s[i])) {
      plain += s[i++];
      digits = true;
    }
  }
  if (!digits) return 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
    size_t j = i + 1;
    std::string exponent = "e";
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) exponent += s[j++];
    const size_t first = j;
    while (j < s.size() && IsDigit(s[j])) exponent += s[j++];
    if (j > first) plain += exponent;
  }
  const double value = std::strtod(plain.c_str(), nullptr);
  if (std::isinf(value)) RaiseRuntimeError(err::kOverflow);
  return value;
}

double Val(const Variant& v) {
  if (v.IsNull()) RaiseRuntimeError(err::kInvalidUseOfNull);
  return Val(CStr(v));
}

// ---------------------------------------------------------------------------
// Conversions

namespace {

double RoundHalfEven(double value) {
  // nearbyint honours the current rounding mode, which is to-nearest-even
  // unless someone changed it; make sure of it for this one operation.
  const int old_mode = std::fegetround();
  if (old_mode != FE_TONEAREST) std::fesetround(FE_TONEAREST);
  const double r = std::nearbyint(value);
  if (old_mode != FE_TONEAREST) std::fesetround(old_mode);
  return r;
}

double NumberFromString(const std::string& s) {
  auto parsed = ParseAutomationNumber(s);
  if (!parsed) RaiseRuntimeError(err::kTypeMismatch);
  // A number beyond the range of a Double is an overflow, not infinity.
  if (std::isinf(parsed->value)) RaiseRuntimeError(err::kOverflow);
  return parsed->value;
}

}  // namespace

int32_t RoundToLong(double value) {
  if (std::isnan(value)) RaiseRuntimeError(err::kOverflow);
  const double r = RoundHalfEven(value);
  if (r < -2147483648.0 || r > 2147483647.0) RaiseRuntimeError(err::kOverflow);
  return static_cast<int32_t>(r);
}

int16_t RoundToInteger(double value) {
  if (std::isnan(value)) RaiseRuntimeError(err::kOverflow);
  const double r = RoundHalfEven(value);
  if (r < -32768.0 || r > 32767.0) RaiseRuntimeError(err::kOverflow);
  return static_cast<int16_t>(r);
}

namespace {

// CLng and CInt: the same conversion into a 32-bit or a 16-bit whole number.
template <class T>
T ToWholeNumber(const Variant& v, T (*round)(double)) {
  using Unsigned = std::make_unsigned_t<T>;
  switch (v.Type()) {
    case VarType::Empty:
      return 0;
    case VarType::Null:
      RaiseRuntimeError(err::kInvalidUseOfNull);
    case VarType::Integer:
      return round(v.AsInteger());
    case VarType::Long:
      return round(v.AsLong());
    case VarType::Double:
      return round(v.AsDouble());
    case VarType::Boolean:
      return v.AsBoolean() ? T{-1} : T{0};
    case VarType::String: {
      auto parsed = ParseAutomationNumber(v.AsString());
      if (!parsed) RaiseRuntimeError(err::kTypeMismatch);
      // &H and &O texts wrap into the negative half of the type, as the
      // literals do: "&HFFFF" is -1 as an Integer.
      if (parsed->radix_value) {
        if (*parsed->radix_value > std::numeric_limits<Unsigned>::max()) RaiseRuntimeError(err::kOverflow);
        return static_cast<T>(static_cast<Unsigned>(*parsed->radix_value));
      }
      return round(parsed->value);
    }
    default:
      RaiseRuntimeError(err::kTypeMismatch);
  }
}

}  // namespace

int32_t CLng(const Variant& v) {
  return ToWholeNumber<int32_t>(v, RoundToLong);
}

int16_t CInt(const Variant& v) {
  return ToWholeNumber<int16_t>(v, RoundToInteger);
}

double CDbl(const Variant& v) {
  switch (v.Type()) {
    case VarType::Empty:
      return 0;
    case VarType::Null:
      RaiseRuntimeError(err::kInvalidUseOfNull);
    case VarType::Integer:
      return v.AsInteger();
    case VarType::Long:
      return v.AsLong();
    case VarType::Double:
      return v.AsDouble();
    case VarType::Boolean:
      return v.AsBoolean() ? -1 : 0;
    case VarType::String:
      return NumberFromString(v.AsString());
    default:
      RaiseRuntimeError(err::kTypeMismatch);
  }
}

bool CBool(const Variant& v) {
  switch (v.Type()) {
    case VarType::Empty:
      return false;
    case VarType::Null:
      RaiseRuntimeError(err::kInvalidUseOfNull);
    case VarType::Boolean:
      return v.AsBoolean();
    case VarType::String: {
      const std::string_view s = Trim(v.AsString());
      if (EqualsIgnoreCase(s, "true") || EqualsIgnoreCase(s, "#true#")) return true;
      if (EqualsIgnoreCase(s, "false") || EqualsIgnoreCase(s, "#false#")) return false;
      return NumberFromString(v.AsString()) != 0;
    }
    case VarType::Integer:
    case VarType::Long:
    case VarType::Double:
      return CDbl(v) != 0;
    default:
      RaiseRuntimeError(err::kTypeMismatch);
  }
}

std::string FormatDouble(double value) {
  if (std::isnan(value) || std::isinf(value)) RaiseRuntimeError(err::kOverflow);
  if (value == 0) return "0";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15G", value);
  std::string s = buffer;
  // C writes at least two exponent digits, as the run time does ("1E+15",
  // "1E-05").
  return s;
}

std::string CStr(const Variant& v) {
  switch (v.Type()) {
    case VarType::Empty:
      return "";
    case VarType::Null:
      RaiseRuntimeError(err::kInvalidUseOfNull);
    case VarType::Integer:
      return std::to_string(v.AsInteger());
    case VarType::Long:
      return std::to_string(v.AsLong());
    case VarType::Double:
      return FormatDouble(v.AsDouble());
    case VarType::Boolean:
      return v.AsBoolean() ? "True" : "False";
    case VarType::String:
      return v.AsString();
    default:
      RaiseRuntimeError(err::kTypeMismatch);
  }
}

std::optional<int> CompareWithNumber(const Variant& v, double number) {
  double lhs = 0;
  switch (v.Type()) {
    case VarType::Null:
      return std::nullopt;
    case VarType::Empty:
      lhs = 0;
      break;
    case VarType::Integer:
    case VarType::Long:
    case VarType::Double:
    case VarType::Boolean:
      lhs = CDbl(v);
      break;
    case VarType::String:
      lhs = NumberFromString(v.AsString());
      break;
    default:
      RaiseRuntimeError(err::kTypeMismatch);
  }
  if (lhs < number) return -1;
  if (lhs > number) return 1;
  return 0;
}

bool VariantEquals(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return false;
  if (a.IsEmpty() && b.IsEmpty()) return true;
  const bool a_num = a.IsNumeric() || a.IsEmpty();
  const bool b_num = b.IsNumeric() || b.IsEmpty();
  if (a_num && b_num) return CDbl(a) == CDbl(b);
  if (a.IsString() && b.IsString()) return a.AsString() == b.AsString();
  if (a.IsString() && b.IsEmpty()) return a.AsString().empty();
  if (b.IsString() && a.IsEmpty()) return b.AsString().empty();
  if ((a.IsString() && b.IsNumeric()) || (b.IsString() && a.IsNumeric())) return false;
  RaiseRuntimeError(err::kTypeMismatch);
}

}  // namespace zet
