#pragma once

#include <windows.h>
// The COM headers build on <windows.h>.
#include <oleauto.h>

#include <string>
#include <string_view>

#include "owners.hpp"

namespace zet::com {

// Text crosses the boundary as UTF-16 automation strings and lives in the core
// as UTF-8. Unpaired surrogates become U+FFFD; embedded NULs are kept.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);
std::string BstrToUtf8(BSTR text);
// A new automation string; throws std::bad_alloc when none can be had.
Bstr Utf8ToBstr(std::string_view text);

}  // namespace zet::com
