// ZetTestHost.dll: registers the suite's ProgIDs for the Wine tests and
// hands out the scripted services behind them.

#include <windows.h>
// The COM headers build on <windows.h>.
#include <objbase.h>
#include <olectl.h>

#include <string>

#include "host_classes.hpp"
#include "host_object.hpp"

#define ZET_WIDEN2(text) L##text
#define ZET_WIDEN(text) ZET_WIDEN2(text)

namespace zet::testhost {

namespace {

struct Registration {
  const wchar_t* prog_id;
  GUID clsid;
  HostClass kind;
};

constexpr GUID HostClsid(unsigned char n) {
  return {0x6F1D2A40, 0x5B3C, 0x4E7A, {0x9C, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, n}};
}

const Registration kClasses[] = {
    {L"ZetPropsMgr.ShareProps", HostClsid(1), HostClass::ShareProps},
    {ZET_WIDEN(ZET_SERVICE_FACTORY_PROGID), HostClsid(2), HostClass::ServiceFactory},
    {ZET_WIDEN(ZET_VALUE_LIST_PROGID), HostClsid(3), HostClass::ValueList},
    {L"ZetMClass.ClassInfo", HostClsid(4), HostClass::ClassInfo},
    {L"ZetMClass.ClassUpdate", HostClsid(5), HostClass::ClassUpdate},
    {L"ZetBillDataAccess.SysInfo", HostClsid(6), HostClass::SysInfo},
    {L"ZetEBSBase.SecurityInfo", HostClsid(7), HostClass::SecurityInfo},
    {L"ZetBillDataAccess.GetData", HostClsid(8), HostClass::BillData},
    {L"ZetConnection.AppConnection", HostClsid(9), HostClass::AppConnection},
    {L"ZetTestHost.Toolbar", HostClsid(10), HostClass::Toolbar},
    {L"ZetTestHost.Recorder", HostClsid(11), HostClass::Recorder},
};

HMODULE module_handle = nullptr;

class Factory final : public IClassFactory {
 public:
  explicit Factory(HostClass kind) : kind_(kind) {}

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
    HostObject* object = CreateHostObject(kind_);
    const HRESULT hr = object->QueryInterface(iid, result);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  LONG references_ = 1;
  HostClass kind_;
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
  for (const Registration& entry : kClasses) {
    if (entry.clsid == clsid) {
      auto* factory = new Factory(entry.kind);
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
  for (const Registration& entry : kClasses) {
    const std::wstring clsid = GuidText(entry.clsid);
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
  for (const Registration& entry : kClasses) {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, entry.prog_id);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + GuidText(entry.clsid)).c_str());
  }
  return S_OK;
}
