#pragma once

#include <windows.h>
// The COM headers build on <windows.h>.
#include <oleauto.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "host/variant.hpp"

namespace zet::com {

// Text crosses the boundary as UTF-16 automation strings and lives in the core
// as UTF-8. Unpaired surrogates become U+FFFD; embedded NULs are kept.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);
std::string BstrToUtf8(BSTR text);
// A new automation string; throws std::bad_alloc when none can be had.
BSTR Utf8ToBstr(std::string_view text);

// Owns one VARIANT and clears it on the way out.
class VariantHolder {
 public:
  VariantHolder() { VariantInit(&value_); }
  VariantHolder(const VariantHolder&) = delete;
  VariantHolder& operator=(const VariantHolder&) = delete;
  ~VariantHolder() { VariantClear(&value_); }
  VARIANT* get() { return &value_; }
  VARIANT& operator*() { return value_; }
  VARIANT* operator->() { return &value_; }

 private:
  VARIANT value_;
};

// The core value as a VARIANT the caller owns (`out` must be empty). Objects
// must be COM objects that came from the outside; a string array becomes a
// SAFEARRAY of BSTR, any other array a SAFEARRAY of VARIANT.
void ToVariant(const Variant& value, VARIANT& out);

// A VARIANT as the core sees it, through any VT_BYREF. The subtypes the core
// does not model are coerced as the automation run time would show them:
// other integers to Long (Double when they do not fit), Single, Currency and
// Decimal to Double, Date to its text.
Variant FromVariant(const VARIANT& value);

// The VB error number of an HRESULT: errors of the control facility carry
// the runtime error number in their low word.
int32_t ErrorNumberOf(HRESULT hr);

// The system's text for an HRESULT, or "Automation error" when it has none.
std::string SystemMessage(HRESULT hr);

// Raises the AutomationError a late-bound client would see for a failed
// IDispatch::Invoke: the EXCEPINFO's number and description for
// DISP_E_EXCEPTION, the runtime error for the DISP_E_ codes, otherwise the
// HRESULT itself. Frees the EXCEPINFO's strings.
[[noreturn]] void RaiseInvokeError(HRESULT hr, EXCEPINFO& info);

// Frees the strings of an EXCEPINFO and zeroes it.
void ClearExcepInfo(EXCEPINFO& info);

}  // namespace zet::com
