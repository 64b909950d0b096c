#pragma once

#include <windows.h>
// The COM headers build on <windows.h>.
#include <oaidl.h>

#include <string>

namespace zet::com {

// The server's own module handle, set by DllMain.
HMODULE ModuleHandle();
// The full path of ZetMMoveBill.dll as loaded.
std::wstring ModulePath();

// Live objects and server locks, which DllCanUnloadNow reports on.
void ObjectCreated();
void ObjectDestroyed();

// The embedded type library, loaded once per process. Returns a new
// reference.
HRESULT ComponentTypeLib(ITypeLib** result);
// The type information of the dispatch interface _clsMoveBill. Returns a new
// reference.
HRESULT DispatchTypeInfo(ITypeInfo** result);

}  // namespace zet::com
