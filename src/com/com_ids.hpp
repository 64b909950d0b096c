#pragma once

#include <windows.h>
// The COM headers build on <windows.h>.
#include <oaidl.h>

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

// The members of _clsMoveBill; the gaps are part of the interface.
inline constexpr DISPID kCheckSearchBill = 0x60030000;
inline constexpr DISPID kGetToDoThingCount = 0x60030005;
inline constexpr DISPID kGetMaxMinInterID = 0x60030007;
inline constexpr DISPID kGetMoveInterID = 0x60030008;
inline constexpr DISPID kLoadRecentBills = 0x60030009;
inline constexpr DISPID kSaveRecentBills = 0x6003000A;

// The vtable half of the dual interface _clsMoveBill, slot for slot as the
// type library declares it after the seven slots of IDispatch.
struct I_clsMoveBill : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE CheckSearchBill(LONG lTransType, LONG lInterID, BSTR* sInfo,
                                                    VARIANT_BOOL* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetToDoThingCount(IDispatch** result) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMaxMinInterID(LONG lTransType, LONG lType, LONG* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMoveInterID(VARIANT lBillID, LONG lMoveType, LONG lTransType, LONG* result) = 0;
  // `result` receives ADO's _Recordset, an IDispatch-derived interface.
  virtual HRESULT STDMETHODCALLTYPE LoadRecentBills(LONG m_ClassTypeID, IDispatch** ABar, IDispatch** result) = 0;
  virtual HRESULT STDMETHODCALLTYPE SaveRecentBills(LONG lBillID, LONG m_ClassTypeID, IDispatch** ABar) = 0;
};

}  // namespace zet::com
