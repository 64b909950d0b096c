// ZetTestHost.dll: registers the suite's ProgIDs for the Wine tests and
// hands out the scripted services behind them.

#include <windows.h>
// The COM headers build on <windows.h>.
#include <objbase.h>
#include <olectl.h>

#include <string>

#include "host_classes.hpp"
#include "host_object.hpp"

namespace zet::testhost {

namespace {

// Host class n (from 1) has the CLSID ending in n.
constexpr GUID HostClsid(unsigned n) {
  return {0x6F1D2A40, 0x5B3C, 0x4E7A, {0x9C, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, static_cast<unsigned char>(n)}};
}

HMODULE module_handle = nullptr;

class Factory final : public IClassFactory {
 public:
  explicit Factory(const HostClassEntry& entry) : entry_(entry) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override {
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *result = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *result = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** result) override {
    *result = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    HostObject* object = entry_.make();
    const HRESULT hr = object->QueryInterface(iid, result);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  LONG references_ = 1;
  const HostClassEntry& entry_;
};

std::wstring GuidText(const GUID& guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

bool SetText(const std::wstring& subkey, const wchar_t* name, const std::wstring& value) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, subkey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  const LSTATUS status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

}  // namespace

}  // namespace zet::testhost

using namespace zet::testhost;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) module_handle = instance;
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** result) {
  *result = nullptr;
  for (unsigned n = 0; n < kHostClassCount; ++n) {
    if (HostClsid(n + 1) == clsid) {
      auto* factory = new Factory(kHostClasses[n]);
      const HRESULT hr = factory->QueryInterface(iid, result);
      factory->Release();
      return hr;
    }
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

// The host keeps the script and the journal for the whole test process.
STDAPI DllCanUnloadNow() {
  return S_FALSE;
}

STDAPI DllRegisterServer() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(module_handle, path, MAX_PATH);
  for (unsigned n = 0; n < kHostClassCount; ++n) {
    const HostClassEntry& entry = kHostClasses[n];
    const std::wstring clsid = GuidText(HostClsid(n + 1));
    const std::wstring key = L"CLSID\\" + clsid;
    if (!SetText(entry.prog_id, nullptr, entry.prog_id) ||
        !SetText(std::wstring(entry.prog_id) + L"\\CLSID", nullptr, clsid) || !SetText(key, nullptr, entry.prog_id) ||
        !SetText(key + L"\\ProgID", nullptr, entry.prog_id) || !SetText(key + L"\\InprocServer32", nullptr, path) ||
        !SetText(key + L"\\InprocServer32", L"ThreadingModel", L"Apartment")) {
      return SELFREG_E_CLASS;
    }
  }
  return S_OK;
}

STDAPI DllUnregisterServer() {
  for (unsigned n = 0; n < kHostClassCount; ++n) {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kHostClasses[n].prog_id);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + GuidText(HostClsid(n + 1))).c_str());
  }
  return S_OK;
}
