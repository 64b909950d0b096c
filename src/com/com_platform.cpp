#include "com_platform.hpp"

#include <windows.h>
// The COM headers build on <windows.h>.
#include <objbase.h>

#include <string>

#include "errors.hpp"
#include "host/error.hpp"
#include "owners.hpp"
#include "strings.hpp"
#include "variant_bridge.hpp"

namespace zet::com {

ObjectRef ComPlatform::CreateObject(std::string_view prog_id) {
  const std::wstring name = Utf8ToWide(prog_id);
  CLSID clsid{};
  if (FAILED(CLSIDFromProgID(name.c_str(), &clsid))) RaiseRuntimeError(err::kCannotCreateObject);
  ComPtr<IDispatch> object;
  const HRESULT hr =
      CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IDispatch, reinterpret_cast<void**>(object.GetAddressOf()));
  if (FAILED(hr) || !object) {
    // A class that is registered but fails to start still reads as "can't
    // create object" to the user; the HRESULT is the number, as VB gives it.
    if (hr == REGDB_E_CLASSNOTREG || hr == CO_E_CLASSSTRING || hr == E_NOINTERFACE || !object) {
      RaiseRuntimeError(err::kCannotCreateObject);
    }
    throw AutomationError(ErrorNumberOf(hr), SystemMessage(hr));
  }
  return WrapDispatch(object.Get());
}

int32_t ComPlatform::CurrentProcessId() {
  return static_cast<int32_t>(GetCurrentProcessId());
}

void ComPlatform::ShowMessage(std::string_view text) noexcept {
  // Written first, so that the line is there even while the box waits.
  AppendToMessageLog(text);
  try {
    const std::wstring wide = Utf8ToWide(text);
    // No caption of the component's own: an empty title rather than the
    // system's "Error", which would be a caption the component chose too.
    MessageBoxW(nullptr, wide.c_str(), L"", MB_OK | MB_TASKMODAL);
  } catch (...) {
    // Out of memory for the text: the line in the log is all there is.
  }
}

ComPlatform& ProcessPlatform() {
  static ComPlatform platform;
  return platform;
}

void AppendToMessageLog(std::string_view text) noexcept {
  try {
    wchar_t path[MAX_PATH * 2];
    const DWORD length = GetEnvironmentVariableW(kMessageLogVariable, path, MAX_PATH * 2);
    if (length == 0 || length >= MAX_PATH * 2) return;

    // One message, one line: line breaks inside a message (database errors
    // have them) are written as \r and \n, and a backslash as \\.
    std::string line;
    line.reserve(text.size() + 2);
    for (const char c : text) {
      if (c == '\\') {
        line += "\\\\";
      } else if (c == '\r') {
        line += "\\r";
      } else if (c == '\n') {
        line += "\\n";
      } else {
        line += c;
      }
    }
    line += "\r\n";

    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
  } catch (...) {
    // The diagnostic channel must never disturb the component.
  }
}

}  // namespace zet::com
