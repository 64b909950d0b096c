#include "strings.hpp"

#include <limits>
#include <new>

namespace zet::com {

namespace {

int ToInt(size_t size) {
  if (size > static_cast<size_t>(std::numeric_limits<int>::max())) throw std::bad_alloc();
  return static_cast<int>(size);
}

}  // namespace

std::wstring Utf8ToWide(std::string_view text) {
  if (text.empty()) return {};
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), ToInt(text.size()), nullptr, 0);
  if (length <= 0) return {};
  std::wstring result(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), ToInt(text.size()), result.data(), length);
  return result;
}

std::string WideToUtf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), ToInt(text.size()), nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  std::string result(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), ToInt(text.size()), result.data(), length, nullptr, nullptr);
  return result;
}

std::string BstrToUtf8(BSTR text) {
  if (text == nullptr) return {};
  return WideToUtf8(std::wstring_view(text, SysStringLen(text)));
}

Bstr Utf8ToBstr(std::string_view text) {
  const std::wstring wide = Utf8ToWide(text);
  Bstr result(SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size())));
  if (result.Get() == nullptr) throw std::bad_alloc();
  return result;
}

}  // namespace zet::com
