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

// The system's own disagreements: the text (blanks and sign taken off), the
// conversion ("*" for all) and why.
const char* const kKnown[][3] = {
    {"1d2", "*", "Wine's oleaut32 takes only E as an exponent letter; the run time also reads D, as VB's literals do"},
    {"&HFFFFFFFF", "CDbl", "Wine's oleaut32 overflows on an 8-digit hex text to Double; the run time gives its value"},
    {"&HFFFFFFFF", "CBool", "the same overflow on the way to Boolean"},
    {"1.7976931348623157e308", "*", "the largest Double is representable; Wine's oleaut32 overflows scaling it"},
    {"True", "CBool", "Wine's oleaut32 trims blanks around numbers but not around True and False"},
    {"false", "CBool", "the same, for False"},
    {"#TRUE#", "CBool", "the same, for #TRUE#"},
};

// The corpus: texts of the grammar the conversions read (blanks around, a
// sign before a decimal number, separators, decimals, exponents, radix
// prefixes, parentheses, the words True and False), texts outside it, and
// numbers around the limits of Integer and Long and the halves that banker's
// rounding meets.
std::vector<Variant> Corpus() {
  std::vector<Variant> corpus;
  for (const char* blank : {"", " "}) {
    for (const char* sign : {"", "-", "+"}) {
      for (const char* body :
           {"0",          "1",     "12",   "0.5",     "1.5",     "2.5",          ".5",
            "5.",         "1,000", "1,2",  "32767",   "32768",   "32769",        "2147483647",
            "2147483648", "1e3",   "1E+2", "1.5e-3",  "1d2",     "1e",           "12abc",
            "1 2",        "1e400", "4.5",  "32767.5", "32768.5", "2147483647.5", "1.7976931348623157e308"})
        corpus.push_back(Variant::String(std::string(blank) + sign + body + blank));
    }
    for (const char* body :
         {"&H10", "&HFFFF", "&HFFFFFFFF", "&O17", "&H", "(5)", "5-", "True", "false", "#TRUE#", "yes", ""})
      corpus.push_back(Variant::String(std::string(blank) + body + blank));
  }
  for (const double d : {0.0, 1.0, -1.0, 0.5, 1.5, 2.5, -2.5, 0.1, 1.0 / 3, 12345.678})
    corpus.push_back(Variant::Double(d));
  for (const double d : {32767.5, 32768.0, -32768.5, 2147483647.5, -2147483648.5, 1e15, 1e16, 1e-7, 1e300})
    corpus.push_back(Variant::Double(d));
  corpus.push_back(Variant::Double(123456789012345678.0));
  for (const int32_t n : {0, -1, 32767, 32768, -32768, -32769, 2147483647, -2147483647 - 1})
    corpus.push_back(Variant::Long(n));
  return corpus;
}

std::string Core(const Variant& input, VARTYPE type) {
  try {
    if (type == VT_I4) return std::to_string(zet::CLng(input));
    if (type == VT_I2) return std::to_string(zet::CInt(input));
    if (type == VT_R8) return zet::FormatDouble(zet::CDbl(input));
    if (type == VT_BOOL) return zet::CBool(input) ? "True" : "False";
    return zet::CStr(input);
  } catch (const zet::AutomationError& e) {
    return "error " + std::to_string(e.Number());
  }
}

std::string System(const Variant& input, VARTYPE type) {
  VARIANT in, out;
  VariantInit(&in);
  VariantInit(&out);
  V_VT(&in) = input.IsString() ? VT_BSTR : input.Type() == zet::VarType::Double ? VT_R8 : VT_I4;
  if (input.IsString()) {
    const std::wstring wide(input.AsString().begin(), input.AsString().end());
    V_BSTR(&in) = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  }
  if (V_VT(&in) == VT_R8) V_R8(&in) = input.AsDouble();
  if (V_VT(&in) == VT_I4) V_I4(&in) = input.AsLong();
  const HRESULT hr = VariantChangeTypeEx(&out, &in, 0x409, VARIANT_ALPHABOOL, type);
  std::string text = hr == DISP_E_TYPEMISMATCH ? "error 13" : hr == DISP_E_OVERFLOW ? "error 6" : std::to_string(hr);
  if (SUCCEEDED(hr)) {
    const Variant value = type == VT_I4   ? Variant::Long(V_I4(&out))
                          : type == VT_I2 ? Variant::Integer(V_I2(&out))
                          : type == VT_R8 ? Variant::Double(V_R8(&out))
                          : type == VT_BOOL
                              ? Variant::Boolean(V_BOOL(&out) != VARIANT_FALSE)
                              : Variant::String(std::string(V_BSTR(&out), V_BSTR(&out) + SysStringLen(V_BSTR(&out))));
    text = zet::CStr(value);
  }
  VariantClear(&in);
  VariantClear(&out);
  return text;
}

}  // namespace

int main() {
  int agreed = 0, known = 0, failed = 0;
  const std::pair<const char*, VARTYPE> targets[] = {
      {"CLng", VT_I4}, {"CInt", VT_I2}, {"CDbl", VT_R8}, {"CBool", VT_BOOL}, {"CStr", VT_BSTR}};
  for (const Variant& input : Corpus()) {
    std::string key = input.IsString() ? input.AsString() : "";
    key.erase(0, key.find_first_not_of(" -+") == std::string::npos ? key.size() : key.find_first_not_of(" -+"));
    key.erase(key.find_last_not_of(' ') + 1);
    for (const auto& [name, type] : targets) {
      const std::string core = Core(input, type), system = System(input, type);
      const char* reason = nullptr;
      for (const auto& k : kKnown)
        reason = key == k[0] && (k[1] == std::string("*") || k[1] == std::string(name)) ? k[2] : reason;
      if (core == system) {
        ++agreed;
        continue;
      }
      reason != nullptr ? ++known : ++failed;
      std::printf("%s %s(%s %s): core [%s], system [%s]%s%s\n", reason ? "KNOWN" : "FAIL", name,
                  zet::VarTypeName(input.Type()), zet::CStr(input).c_str(), core.c_str(), system.c_str(),
                  reason ? ": " : "", reason ? reason : "");
    }
  }
  std::printf("PASS %d conversions agree, %d differ as the system's own\nDONE %d passed, %d failed\n", agreed, known, 1,
              failed);
  return failed;
}
