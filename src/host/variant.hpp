#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zet {

class Dispatch;
class Variant;

// Automation subtypes, numbered as VARTYPE numbers them.
enum class VarType : uint16_t {
  Empty = 0,
  Null = 1,
  Integer = 2,
  Long = 3,
  Double = 5,
  String = 8,
  Object = 9,
  Boolean = 11,
  Variant = 12,
  Array = 0x2000,
};

const char* VarTypeName(VarType type);

// A one-dimensional automation array. `element` is the declared element type
// (String for a string array, Variant for an array of Variants), which a COM
// binding needs to build the right SAFEARRAY.
struct VariantArray {
  std::vector<Variant> items;
  int32_t lower_bound = 0;
  VarType element = VarType::Variant;
};

using ObjectRef = std::shared_ptr<Dispatch>;

// The automation value. Strings are held as UTF-8; a binding that speaks
// UTF-16 converts at its edge.
class Variant {
 public:
  struct NullTag {
    bool operator==(const NullTag&) const = default;
  };

  Variant() = default;
  static Variant Null() { return Variant(NullTag{}); }
  static Variant Integer(int16_t v) { return Variant(v); }
  static Variant Long(int32_t v) { return Variant(v); }
  static Variant Double(double v) { return Variant(v); }
  static Variant Boolean(bool v) { return Variant(v); }
  static Variant String(std::string v) { return Variant(std::move(v)); }
  static Variant Object(ObjectRef v) { return Variant(std::move(v)); }
  static Variant Nothing() { return Variant(ObjectRef{}); }
  static Variant Array(VariantArray v) { return Variant(std::make_shared<const VariantArray>(std::move(v))); }

  VarType Type() const;
  bool IsEmpty() const { return Type() == VarType::Empty; }
  bool IsNull() const { return Type() == VarType::Null; }
  bool IsObject() const { return Type() == VarType::Object; }
  bool IsString() const { return Type() == VarType::String; }
  bool IsArray() const { return Type() == VarType::Array; }
  bool IsNumeric() const;

  // Raw access; each raises Type mismatch when the subtype differs.
  int16_t AsInteger() const;
  int32_t AsLong() const;
  double AsDouble() const;
  bool AsBoolean() const;
  const std::string& AsString() const;
  const ObjectRef& AsObject() const;
  const VariantArray& AsArray() const;

  bool operator==(const Variant& other) const;

 private:
  using Storage = std::variant<std::monostate, NullTag, int16_t, int32_t, double, bool, std::string, ObjectRef,
                               std::shared_ptr<const VariantArray>>;
  template <class T>
  explicit Variant(T v) : value_(std::move(v)) {}
  Storage value_;
};

// Conversions as the automation run time performs them under the invariant
// locale. Each raises Type mismatch (13), Overflow (6) or Invalid use of
// Null (94); none guesses.
int16_t CInt(const Variant& v);
int32_t CLng(const Variant& v);
double CDbl(const Variant& v);
bool CBool(const Variant& v);
std::string CStr(const Variant& v);

// Rounds half to even and checks the range, as CLng and CInt do.
int32_t RoundToLong(double value);
int16_t RoundToInteger(double value);

// Text to number as the automation run time converts it: blanks around the
// number, a sign, thousands separators, decimals, an exponent, and the &H/&O
// prefixes. nullopt when the text is not a number.
struct ParsedNumber {
  double value = 0;
  // Set for &H and &O texts: the unsigned value as written, which the
  // integer conversions read with the wrap-around the run time applies.
  std::optional<uint64_t> radix_value;
};
std::optional<ParsedNumber> ParseAutomationNumber(std::string_view text);

// VB's Val: the number the text begins with, 0 when it begins with none.
// Blanks, tabs and line feeds are skipped anywhere in the number.
double Val(std::string_view text);
// Val of a Variant: the text form of the value; Null raises Invalid use of Null.
double Val(const Variant& v);

// CStr of a Double: up to 15 significant digits, exponent form for very large
// and very small magnitudes ("1E+15", "1.5E-07").
std::string FormatDouble(double value);

// Compares a Variant with a number as the language does when one side is a
// typed number: Empty is 0, numbers and Booleans compare numerically, a text
// is converted to a number (Type mismatch when it is none). nullopt when the
// Variant is Null: the comparison is then Null, which a condition reads as
// False. Objects raise Type mismatch.
std::optional<int> CompareWithNumber(const Variant& v, double number);

// Variant equality as IsInArray needs it (a Long 21 equals an Integer 21);
// Null never equals anything.
bool VariantEquals(const Variant& a, const Variant& b);

}  // namespace zet
