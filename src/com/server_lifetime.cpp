#include "server_lifetime.hpp"

namespace zet::com {

namespace {

HMODULE module_handle = nullptr;
LONG live_objects = 0;
LONG server_locks = 0;

}  // namespace

void SetModuleHandle(HMODULE module) {
  module_handle = module;
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

// A thread that used an object keeps state of the component's until it ends
// (its creation service), and the run time runs that state's destructor in
// this module when the thread ends, then lets go of the module. Freed before
// that, when DllCanUnloadNow let its client go, the module would be gone
// under the ending thread, which then crashes. So once an object exists the
// module stays for the life of the process; freeing it is then harmless.
void KeepModuleLoaded() {
  static LONG pinned = 0;
  if (InterlockedExchange(&pinned, 1) != 0) return;
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCWSTR>(&KeepModuleLoaded), &self);
}

void ObjectCreated() {
  KeepModuleLoaded();
  InterlockedIncrement(&live_objects);
}
void ObjectDestroyed() {
  InterlockedDecrement(&live_objects);
}

void ServerLocked() {
  InterlockedIncrement(&server_locks);
}
// An unlock with no lock to match is the client's slip; counting it would
// leave the server unable to unload for the rest of the process, and the
// client's next lock would not keep it loaded.
void ServerUnlocked() {
  LONG locks = server_locks;
  while (locks > 0) {
    const LONG seen = InterlockedCompareExchange(&server_locks, locks - 1, locks);
    if (seen == locks) return;
    locks = seen;
  }
}

bool CanUnload() {
  return live_objects == 0 && server_locks == 0;
}

}  // namespace zet::com
