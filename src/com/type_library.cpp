#include "type_library.hpp"

#include <oleauto.h>

#include <string>

#include "com_ids.hpp"
#include "owners.hpp"
#include "server_lifetime.hpp"

namespace zet::com {

namespace {

// Loaded on first use and owned by the module.
ITypeLib* type_lib = nullptr;

// Returns a new reference.
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

}  // namespace

HRESULT DispatchTypeInfo(ITypeInfo** result) {
  if (result == nullptr) return E_POINTER;
  *result = nullptr;
  ComPtr<ITypeLib> library;
  const HRESULT hr = ComponentTypeLib(library.GetAddressOf());
  if (FAILED(hr)) return hr;
  return library->GetTypeInfoOfGuid(kIid, result);
}

void ReleaseTypeLib() {
  ComPtr<ITypeLib> owned;
  owned.Attach(type_lib);
  type_lib = nullptr;
}

}  // namespace zet::com
