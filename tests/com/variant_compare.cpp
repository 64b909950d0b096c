// Converts a generated corpus of texts and numbers with the core's CLng, CInt,
// CDbl, CBool and CStr and with the system's VariantChangeTypeEx (locale
// 0x409, the flags VB itself passes), and reports every disagreement. Those
// listed in kKnown are the system's own; any other fails the run.
#include <windows.h>
// The COM headers build on <windows.h>.
#include <oleauto.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/error.hpp"
#include "host/variant.hpp"

namespace {

using zet::Variant;

// Disagreements that are the system's: the input's text and the target.
struct Known {
  const char* input;
  const char* target;
  const char* reason;
};
const Known kKnown[] = {
    {"\"1d2\"", "*",
     "Wine's oleaut32 takes only E as an exponent letter; the run time also reads D, as VB's own literals"},
    {"\"&HFFFFFFFF\"", "CDbl",
     "Wine's oleaut32 overflows on an 8-digit hex text to Double; the run time gives its unsigned value"},
    {"\"&HFFFFFFFF\"", "CBool", "the same overflow on the way to Boolean"},
    {"\"1.7976931348623157e308\"", "*",
     "the largest Double is representable; Wine's oleaut32 overflows while scaling it"},
    {"\"True\"", "CBool", "Wine's oleaut32 trims blanks around numbers but not around True and False"},
    {"\"false\"", "CBool", "the same, for False"},
    {"\"#TRUE#\"", "CBool", "the same, for #TRUE#"},
};

// The input as kKnown names it: blanks and the sign taken off a text.
std::string Key(const Variant& v) {
  if (!v.IsString()) return "";
  std::string s = v.AsString();
  while (!s.empty() && s.back() == ' ') s.pop_back();
  while (!s.empty() && (s.front() == ' ' || s.front() == '-' || s.front() == '+')) s.erase(0, 1);
  return "\"" + s + "\"";
}

std::string Show(const Variant& v) {
  switch (v.Type()) {
    case zet::VarType::String:
      return "\"" + v.AsString() + "\"";
    case zet::VarType::Double:
      return "R8 " + zet::FormatDouble(v.AsDouble());
    case zet::VarType::Empty:
      return "Empty";
    default:
      return zet::VarTypeName(v.Type()) + std::string(" ") + zet::CStr(v);
  }
}

VARIANT ToVariant(const Variant& v) {
  VARIANT out;
  VariantInit(&out);
  switch (v.Type()) {
    case zet::VarType::String: {
      const std::string& s = v.AsString();
      V_VT(&out) = VT_BSTR;
      V_BSTR(&out) = SysAllocStringLen(nullptr, static_cast<UINT>(s.size()));
      for (size_t i = 0; i < s.size(); ++i) V_BSTR(&out)[i] = static_cast<unsigned char>(s[i]);
      break;
    }
    case zet::VarType::Double:
      V_VT(&out) = VT_R8;
      V_R8(&out) = v.AsDouble();
      break;
    case zet::VarType::Long:
      V_VT(&out) = VT_I4;
      V_I4(&out) = v.AsLong();
      break;
    case zet::VarType::Integer:
      V_VT(&out) = VT_I2;
      V_I2(&out) = v.AsInteger();
      break;
    case zet::VarType::Boolean:
      V_VT(&out) = VT_BOOL;
      V_BOOL(&out) = v.AsBoolean() ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    default:
      break;
  }
  return out;
}

// The outcome as text: the value, or "error N" with VB's number.
template <class Convert>
std::string Core(Convert convert) {
  try {
    return convert();
  } catch (const zet::AutomationError& e) {
    return "error " + std::to_string(e.Number());
  }
}

std::string System(const Variant& input, VARTYPE type) {
  VARIANT in = ToVariant(input), out;
  VariantInit(&out);
  const HRESULT hr = VariantChangeTypeEx(&out, &in, 0x409, type == VT_BSTR ? VARIANT_ALPHABOOL : 0, type);
  std::string text = hr == DISP_E_TYPEMISMATCH ? "error 13"
                     : hr == DISP_E_OVERFLOW   ? "error 6"
                                               : "hr " + std::to_string(hr);
  if (SUCCEEDED(hr)) {
    if (type == VT_I4) text = std::to_string(V_I4(&out));
    if (type == VT_I2) text = std::to_string(V_I2(&out));
    if (type == VT_R8) text = zet::FormatDouble(V_R8(&out));
    if (type == VT_BOOL) text = V_BOOL(&out) ? "True" : "False";
    if (type == VT_BSTR) {
      text.clear();
      for (UINT i = 0; i < SysStringLen(V_BSTR(&out)); ++i) text += static_cast<char>(V_BSTR(&out)[i]);
    }
  }
  VariantClear(&in);
  VariantClear(&out);
  return text;
}

// The corpus: texts of the grammar the conversions read (blanks around, a
// sign before a decimal number, separators, decimals, exponents, radix
// prefixes, parentheses, the words True and False), texts outside it, and
// numbers of every subtype around the limits of Integer and Long and the
// halves that banker's rounding meets.
std::vector<Variant> Corpus() {
  std::vector<Variant> corpus;
  const char* decimals[] = {
      "0",          "1",     "12",   "0.5",     "1.5",     "2.5",          ".5",
      "5.",         "1,000", "1,2",  "32767",   "32768",   "32769",        "2147483647",
      "2147483648", "1e3",   "1E+2", "1.5e-3",  "1d2",     "1e",           "12abc",
      "1 2",        "1e400", "4.5",  "32767.5", "32768.5", "2147483647.5", "1.7976931348623157e308"};
  const char* others[] = {"&H10", "&HFFFF", "&HFFFFFFFF", "&O17",   "&H",  "(5)",
                          "5-",   "True",   "false",      "#TRUE#", "yes", ""};
  for (const char* blank : {"", " "}) {
    for (const char* sign : {"", "-", "+"}) {
      for (const char* body : decimals) corpus.push_back(Variant::String(std::string(blank) + sign + body + blank));
    }
    for (const char* body : others) corpus.push_back(Variant::String(std::string(blank) + body + blank));
  }
  for (const double d : {0.0,
                         1.0,
                         -1.0,
                         0.5,
                         1.5,
                         2.5,
                         -2.5,
                         0.1,
                         1.0 / 3,
                         32767.5,
                         32768.0,
                         -32768.5,
                         2147483647.5,
                         -2147483648.5,
                         1e15,
                         1e16,
                         123456789012345678.0,
                         1e-7,
                         1e300,
                         12345.678})
    corpus.push_back(Variant::Double(d));
  for (const int32_t n : {0, 1, -1, 32767, 32768, -32768, -32769, 2147483647, -2147483647 - 1})
    corpus.push_back(Variant::Long(n));
  for (const int n : {0, -1, 32767}) corpus.push_back(Variant::Integer(static_cast<int16_t>(n)));
  corpus.push_back(Variant::Boolean(true));
  corpus.push_back(Variant::Boolean(false));
  corpus.push_back(Variant());
  return corpus;
}

}  // namespace

int main() {
  int agreed = 0, known = 0, failed = 0;
  for (const Variant& input : Corpus()) {
    const struct {
      const char* name;
      VARTYPE type;
      std::string core;
    } targets[] = {
        {"CLng", VT_I4, Core([&] { return std::to_string(zet::CLng(input)); })},
        {"CInt", VT_I2, Core([&] { return std::to_string(zet::CInt(input)); })},
        {"CDbl", VT_R8, Core([&] { return zet::FormatDouble(zet::CDbl(input)); })},
        {"CBool", VT_BOOL, Core([&] { return std::string(zet::CBool(input) ? "True" : "False"); })},
        {"CStr", VT_BSTR, Core([&] { return zet::CStr(input); })},
    };
    for (const auto& target : targets) {
      const std::string system = System(input, target.type);
      if (system == target.core) {
        ++agreed;
        continue;
      }
      const Known* reason = nullptr;
      for (const Known& k : kKnown) {
        if (Key(input) == k.input && (std::string(k.target) == "*" || target.name == std::string(k.target)))
          reason = &k;
      }
      reason ? ++known : ++failed;
      std::printf("%s %s(%s): core [%s], system [%s]%s%s\n", reason ? "KNOWN" : "FAIL", target.name,
                  Show(input).c_str(), target.core.c_str(), system.c_str(), reason ? ": " : "",
                  reason ? reason->reason : "");
    }
  }
  std::printf("PASS %d conversions agree, %d differ as the system's own\n", agreed, known);
  std::printf("DONE %d passed, %d failed\n", 1, failed);
  return failed;
}
