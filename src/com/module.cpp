// The server's entry points for COM: DllMain, the class factory and its two
// exports. Registration is in registration.cpp.
#include <windows.h>
// The COM headers build on <windows.h>.
#include <objbase.h>

#include "com_ids.hpp"
#include "move_bill_object.hpp"
#include "server_lifetime.hpp"
#include "type_library.hpp"

namespace zet::com {

namespace {

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
      ServerLocked();
    } else {
      ServerUnlocked();
    }
    return S_OK;
  }
};

ClassFactory factory;

}  // namespace

}  // namespace zet::com

using namespace zet::com;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      SetModuleHandle(instance);
      break;
    case DLL_PROCESS_DETACH:
      // Unloaded by FreeLibrary: the type library goes back to oleaut32. At
      // process exit (reserved set) other DLLs may already be gone, so the
      // reference is left to the ending process.
      if (reserved == nullptr) ReleaseTypeLib();
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
  return CanUnload() ? S_OK : S_FALSE;
}
