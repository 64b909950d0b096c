// The server's entry points for COM: DllMain, the class factory and its two
// exports. Registration is in registration.cpp.
#include "module.hpp"

#include <objbase.h>

#include "com_ids.hpp"
#include "move_bill_object.hpp"
#include "owners.hpp"

namespace zet::com {

namespace {

HMODULE module_handle = nullptr;
LONG live_objects = 0;
LONG server_locks = 0;
// Loaded on first use and owned by the module; see DllMain for its release.
ITypeLib* type_lib = nullptr;

class ClassFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override {
    if (result == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *result = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *result = nullptr;
    return E_NOINTERFACE;
  }
  // One factory for the life of the module: its references are the module's
  // own, and LockServer is what keeps the server loaded.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** result) override {
    if (result == nullptr) return E_POINTER;
    *result = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return CreateMoveBillObject(iid, result);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      InterlockedIncrement(&server_locks);
    } else {
      InterlockedDecrement(&server_locks);
    }
    return S_OK;
  }
};

ClassFactory factory;

}  // namespace

HMODULE ModuleHandle() {
  return module_handle;
}

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(module_handle, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

void ObjectCreated() {
  InterlockedIncrement(&live_objects);
}
void ObjectDestroyed() {
  InterlockedDecrement(&live_objects);
}

HRESULT ComponentTypeLib(ITypeLib** result) {
  if (result == nullptr) return E_POINTER;
  *result = nullptr;
  ComPtr<ITypeLib> library = static_cast<ITypeLib*>(
      InterlockedCompareExchangePointer(reinterpret_cast<void* volatile*>(&type_lib), nullptr, nullptr));
  if (!library) {
    const std::wstring path = ModulePath();
    ComPtr<ITypeLib> loaded;
    const HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, loaded.GetAddressOf());
    if (FAILED(hr)) return hr;
    // Two threads may load at once; the first one stored wins and the module
    // keeps its reference.
    ITypeLib* earlier = static_cast<ITypeLib*>(
        InterlockedCompareExchangePointer(reinterpret_cast<void* volatile*>(&type_lib), loaded.Get(), nullptr));
    library = earlier != nullptr ? earlier : loaded.Get();
    if (earlier == nullptr) loaded.Detach();
  }
  return library.CopyTo(result);
}

HRESULT DispatchTypeInfo(ITypeInfo** result) {
  if (result == nullptr) return E_POINTER;
  *result = nullptr;
  ComPtr<ITypeLib> library;
  const HRESULT hr = ComponentTypeLib(library.GetAddressOf());
  if (FAILED(hr)) return hr;
  return library->GetTypeInfoOfGuid(kIid, result);
}

}  // namespace zet::com

using namespace zet::com;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      module_handle = instance;
      break;
    case DLL_PROCESS_DETACH:
      // Unloaded by FreeLibrary: the type library goes back to oleaut32. At
      // process exit (reserved set) other DLLs may already be gone, so the
      // reference is left to the ending process.
      if (reserved == nullptr) {
        ComPtr<ITypeLib> owned;
        owned.Attach(type_lib);
        type_lib = nullptr;
      }
      break;
    default:
      // Per-thread data needs no setup: the creation service is made on a
      // thread's first call, and its teardown is explained at ~ComDispatch.
      break;
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** result) {
  if (result == nullptr) return E_POINTER;
  *result = nullptr;
  if (clsid != kClsId) return CLASS_E_CLASSNOTAVAILABLE;
  return factory.QueryInterface(iid, result);
}

STDAPI DllCanUnloadNow() {
  return live_objects == 0 && server_locks == 0 ? S_OK : S_FALSE;
}
