#pragma once

#include <windows.h>

namespace zet::com {

// A new clsMoveBill object with one reference, answering `iid`.
HRESULT CreateMoveBillObject(REFIID iid, void** result);

}  // namespace zet::com
