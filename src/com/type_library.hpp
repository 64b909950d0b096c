#pragma once

#include <windows.h>
// The COM headers build on <windows.h>.
#include <oaidl.h>

namespace zet::com {

// The type library embedded in the DLL is loaded on first use and kept for
// the life of the module.

// The type information of the dispatch interface _clsMoveBill. Returns a new
// reference.
HRESULT DispatchTypeInfo(ITypeInfo** result);
// Gives the module's reference back to oleaut32; for an unload by
// FreeLibrary only (see DllMain).
void ReleaseTypeLib();

}  // namespace zet::com
