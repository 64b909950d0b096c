#pragma once

#include <windows.h>

#include <string>

namespace zet::com {

// The server from load to unload: the module it was loaded as, and the live
// objects and server locks that keep it loaded.

// Called by DllMain when the process attaches the DLL.
void SetModuleHandle(HMODULE module);
// The full path of ZetMMoveBill.dll as loaded.
std::wstring ModulePath();

void ObjectCreated();
void ObjectDestroyed();
// IClassFactory::LockServer, one call per lock and per unlock.
void ServerLocked();
void ServerUnlocked();
// What DllCanUnloadNow answers: no object is alive and no lock is held.
bool CanUnload();

}  // namespace zet::com
