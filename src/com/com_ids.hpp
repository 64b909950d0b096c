#pragma once

#include <windows.h>

#include <string>

namespace zet::com {

namespace detail {
constexpr unsigned HexDigit(char c) {
  return c >= '0' && c <= '9'   ? static_cast<unsigned>(c - '0')
         : c >= 'a' && c <= 'f' ? static_cast<unsigned>(c - 'a' + 10)
                                : static_cast<unsigned>(c - 'A' + 10);
}
constexpr unsigned long long Hex(const char* text, int digits) {
  unsigned long long value = 0;
  for (int i = 0; i < digits; ++i) value = value * 16 + HexDigit(text[i]);
  return value;
}
}  // namespace detail

// A GUID from its registry text without braces, "XXXXXXXX-XXXX-XXXX-XXXX-
// XXXXXXXXXXXX"; the build checks the form of the configured values.
constexpr GUID ParseGuid(const char (&text)[37]) {
  GUID guid{};
  guid.Data1 = static_cast<unsigned long>(detail::Hex(text, 8));
  guid.Data2 = static_cast<unsigned short>(detail::Hex(text + 9, 4));
  guid.Data3 = static_cast<unsigned short>(detail::Hex(text + 14, 4));
  guid.Data4[0] = static_cast<unsigned char>(detail::Hex(text + 19, 2));
  guid.Data4[1] = static_cast<unsigned char>(detail::Hex(text + 21, 2));
  for (int i = 0; i < 6; ++i) guid.Data4[2 + i] = static_cast<unsigned char>(detail::Hex(text + 24 + 2 * i, 2));
  return guid;
}

inline constexpr GUID kLibId = ParseGuid(ZET_LIBID_TEXT);
inline constexpr GUID kClsId = ParseGuid(ZET_CLSID_TEXT);
inline constexpr GUID kIid = ParseGuid(ZET_IID_TEXT);
// ADO's _Recordset, the interface LoadRecentBills hands out and the host's
// read services must answer to.
inline constexpr GUID kIidRecordset = ParseGuid("00000556-0000-0010-8000-00AA006D2EA4");

inline constexpr wchar_t kProgId[] = L"ZetMMoveBill.clsMoveBill";
inline constexpr wchar_t kClassName[] = L"clsMoveBill";
inline constexpr WORD kTypeLibMajor = 2;
inline constexpr WORD kTypeLibMinor = 0;
inline constexpr LCID kTypeLibLcid = 0x409;

// "{XXXXXXXX-...}", as the registry spells a GUID.
std::wstring GuidText(const GUID& guid);

}  // namespace zet::com
