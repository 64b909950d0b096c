#pragma once

#include <windows.h>
// The COM headers build on <windows.h>.
#include <oaidl.h>

#include <cstdint>
#include <string>

namespace zet::com {

// ---- Inward: a failed call of a COM object becomes the core's error ----

// The VB error number of an HRESULT: errors of the control facility carry
// the runtime error number in their low word.
int32_t ErrorNumberOf(HRESULT hr);

// The system's text for an HRESULT, or "Automation error" when it has none.
std::string SystemMessage(HRESULT hr);

// Raises the AutomationError of a failed system call.
[[noreturn]] void RaiseHresult(HRESULT hr);

// Raises the AutomationError a late-bound client would see for a failed
// IDispatch::Invoke: the EXCEPINFO's number and description for
// DISP_E_EXCEPTION, the runtime error for the DISP_E_ codes, otherwise the
// HRESULT itself. The EXCEPINFO's strings stay with its owner.
[[noreturn]] void RaiseInvokeError(HRESULT hr, EXCEPINFO& info);

// ---- Outward: the component's failure as its callers read it ----

// The HRESULT of the exception being handled, with its description recorded
// for the caller as error information. Call only inside a catch block.
HRESULT FailureOfCurrentException() noexcept;

// Turns a failed method into the EXCEPINFO a late-bound caller reads.
HRESULT ToException(HRESULT hr, EXCEPINFO* excep) noexcept;

}  // namespace zet::com
