// Self-registration. DllRegisterServer writes the class, its ProgID and the
// type library; DllUnregisterServer removes exactly that and nothing else.
//
//   HKCR\ZetMMoveBill.clsMoveBill                  = ZetMMoveBill.clsMoveBill
//   HKCR\ZetMMoveBill.clsMoveBill\CLSID            = {CLSID}
//   HKCR\CLSID\{CLSID}                             = ZetMMoveBill.clsMoveBill
//   HKCR\CLSID\{CLSID}\InprocServer32              = <path of the DLL>
//                                     ThreadingModel = Apartment
//   HKCR\CLSID\{CLSID}\ProgID                      = ZetMMoveBill.clsMoveBill
//   HKCR\CLSID\{CLSID}\TypeLib                     = {LIBID}
//   HKCR\CLSID\{CLSID}\Version                     = 2.0
//   plus what RegisterTypeLib writes for our library: HKCR\TypeLib\{LIBID}\2.0
//   and HKCR\Interface\{IID} (ADO's interfaces live in ADO's library and are
//   left alone).

#include <windows.h>
// The COM headers build on <windows.h>.
#include <objbase.h>
#include <oleauto.h>
#include <olectl.h>

#include <string>
#include <vector>

#include "com_ids.hpp"
#include "owners.hpp"
#include "server_lifetime.hpp"

namespace zet::com {

namespace {

// "{XXXXXXXX-...}", as the registry spells a GUID.
std::wstring GuidText(const GUID& guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

class Key {
 public:
  Key() = default;
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  ~Key() {
    if (handle_ != nullptr) RegCloseKey(handle_);
  }
  HKEY* Out() { return &handle_; }
  HKEY Get() const { return handle_; }

 private:
  HKEY handle_ = nullptr;
};

bool SetText(const std::wstring& subkey, const wchar_t* name, const std::wstring& value) {
  Key key;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, subkey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.Out(), nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes) ==
         ERROR_SUCCESS;
}

bool KeyExists(const std::wstring& subkey) {
  Key key;
  return RegOpenKeyExW(HKEY_CLASSES_ROOT, subkey.c_str(), 0, KEY_READ, key.Out()) == ERROR_SUCCESS;
}

std::wstring DefaultText(const std::wstring& subkey) {
  Key key;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, subkey.c_str(), 0, KEY_READ, key.Out()) != ERROR_SUCCESS) return {};
  wchar_t buffer[256] = {};
  DWORD bytes = sizeof(buffer) - sizeof(wchar_t);
  DWORD type = 0;
  if (RegQueryValueExW(key.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return {};
  }
  return buffer;
}

// Deletes a key with everything below it (RegDeleteTree is not on every
// Windows the suite runs on). A key that is not there counts as deleted.
bool DeleteTree(HKEY parent, const std::wstring& subkey) {
  {
    Key key;
    const LSTATUS status = RegOpenKeyExW(parent, subkey.c_str(), 0, KEY_READ | KEY_WRITE, key.Out());
    if (status == ERROR_FILE_NOT_FOUND) return true;
    if (status != ERROR_SUCCESS) return false;
    std::vector<std::wstring> children;
    for (DWORD index = 0;; ++index) {
      wchar_t name[256];
      DWORD length = 256;
      if (RegEnumKeyExW(key.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      children.emplace_back(name, length);
    }
    for (const std::wstring& child : children) {
      if (!DeleteTree(key.Get(), child)) return false;
    }
  }
  const LSTATUS status = RegDeleteKeyW(parent, subkey.c_str());
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

constexpr SYSKIND kSysKind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
constexpr const wchar_t* kSysKindKey = sizeof(void*) == 8 ? L"win64" : L"win32";

}  // namespace

}  // namespace zet::com

using namespace zet::com;

STDAPI DllUnregisterServer() {
  try {
    bool complete = true;
    // Removes TypeLib\{LIBID}\2.0 and the Interface keys of our library's
    // own interfaces. The system refuses to remove a library that is not
    // registered (E_INVALIDARG, say), which for us is already done.
    if (KeyExists(L"TypeLib\\" + GuidText(kLibId) + L"\\2.0\\409\\" + kSysKindKey)) {
      const HRESULT hr = UnRegisterTypeLib(kLibId, kTypeLibMajor, kTypeLibMinor, kTypeLibLcid, kSysKind);
      if (FAILED(hr) && hr != TYPE_E_REGISTRYACCESS && hr != TYPE_E_LIBNOTREGISTERED) complete = false;
    }

    const std::wstring clsid = GuidText(kClsId);
    if (!DeleteTree(HKEY_CLASSES_ROOT, L"CLSID\\" + clsid)) complete = false;
    // The ProgID key goes only while it still names our class: another
    // server registered under the name since is not ours to remove.
    const std::wstring prog_id = kProgId;
    const std::wstring registered = DefaultText(prog_id + L"\\CLSID");
    if (!registered.empty() && lstrcmpiW(registered.c_str(), clsid.c_str()) == 0) {
      if (!DeleteTree(HKEY_CLASSES_ROOT, prog_id)) complete = false;
    }
    return complete ? S_OK : SELFREG_E_CLASS;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

STDAPI DllRegisterServer() {
  try {
    const std::wstring path = ModulePath();
    if (path.empty()) return SELFREG_E_CLASS;

    ComPtr<ITypeLib> library;
    if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.GetAddressOf()))) return SELFREG_E_TYPELIB;
    if (FAILED(RegisterTypeLib(library.Get(), const_cast<OLECHAR*>(path.c_str()), nullptr))) return SELFREG_E_TYPELIB;

    const std::wstring clsid = GuidText(kClsId);
    const std::wstring class_key = L"CLSID\\" + clsid;
    const std::wstring prog_id = kProgId;
    const bool written = SetText(prog_id, nullptr, prog_id) && SetText(prog_id + L"\\CLSID", nullptr, clsid) &&
                         SetText(class_key, nullptr, prog_id) &&
                         SetText(class_key + L"\\InprocServer32", nullptr, path) &&
                         SetText(class_key + L"\\InprocServer32", L"ThreadingModel", L"Apartment") &&
                         SetText(class_key + L"\\ProgID", nullptr, prog_id) &&
                         SetText(class_key + L"\\TypeLib", nullptr, GuidText(kLibId)) &&
                         SetText(class_key + L"\\Version", nullptr, L"2.0");
    if (!written) {
      DllUnregisterServer();
      return SELFREG_E_CLASS;
    }
    return S_OK;
  } catch (...) {
    return E_UNEXPECTED;
  }
}
