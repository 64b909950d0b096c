#include "errors.hpp"

#include <exception>
#include <new>

#include "com_ids.hpp"
#include "host/error.hpp"
#include "owners.hpp"
#include "strings.hpp"

namespace zet::com {

int32_t ErrorNumberOf(HRESULT hr) {
  if (HRESULT_FACILITY(hr) == FACILITY_CONTROL && FAILED(hr)) return static_cast<int32_t>(HRESULT_CODE(hr));
  return static_cast<int32_t>(hr);
}

std::string SystemMessage(HRESULT hr) {
  wchar_t* buffer = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text;
  if (length > 0 && buffer != nullptr) text.assign(buffer, length);
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
  return text.empty() ? std::string("Automation error") : WideToUtf8(text);
}

void RaiseHresult(HRESULT hr) {
  EXCEPINFO none{};
  RaiseInvokeError(hr, none);
}

void RaiseInvokeError(HRESULT hr, EXCEPINFO& info) {
  int32_t number = 0;
  std::string description;
  std::string source;
  switch (hr) {
    case DISP_E_EXCEPTION: {
      if (info.pfnDeferredFillIn != nullptr) info.pfnDeferredFillIn(&info);
      // The scode is what VB raises; a server that only sets wCode gives that.
      // One that sets neither still failed: the call's own HRESULT is then
      // the number, never 0 with the system's text for success.
      const HRESULT code = info.scode == 0 && info.wCode == 0 ? DISP_E_EXCEPTION : info.scode;
      number = code != 0 ? ErrorNumberOf(code) : info.wCode;
      description = BstrToUtf8(info.bstrDescription);
      source = BstrToUtf8(info.bstrSource);
      if (description.empty()) {
        description = number > 0 && number < 65536 ? RuntimeErrorText(number) : SystemMessage(code);
      }
      break;
    }
    case DISP_E_MEMBERNOTFOUND:
    case DISP_E_UNKNOWNNAME:
      number = err::kMemberNotFound;
      break;
    case DISP_E_TYPEMISMATCH:
      number = err::kTypeMismatch;
      break;
    case DISP_E_OVERFLOW:
      number = err::kOverflow;
      break;
    case DISP_E_BADPARAMCOUNT:
      number = err::kWrongArgumentCount;
      break;
    case DISP_E_PARAMNOTOPTIONAL:
      number = 449;
      description = "Argument not optional";
      break;
    case E_OUTOFMEMORY:
      number = err::kOutOfMemory;
      break;
    default:
      number = ErrorNumberOf(hr);
      description = SystemMessage(hr);
      break;
  }
  if (description.empty()) description = RuntimeErrorText(number);
  throw AutomationError(number, std::move(description), std::move(source));
}

namespace {

// Records the failure for the caller (IErrorInfo) and returns its HRESULT.
HRESULT SetFailure(HRESULT hr, const std::string& description) noexcept {
  ComPtr<ICreateErrorInfo> create;
  if (FAILED(CreateErrorInfo(create.GetAddressOf()))) return hr;
  create->SetGUID(kIid);
  create->SetSource(const_cast<LPOLESTR>(kProgId));
  try {
    std::wstring text = Utf8ToWide(description);
    create->SetDescription(text.data());
  } catch (...) {
    // Out of memory for the text: the error goes without a description.
  }
  ComPtr<IErrorInfo> info;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(info.GetAddressOf())))) {
    SetErrorInfo(0, info.Get());
  }
  return hr;
}

}  // namespace

HRESULT FailureOfCurrentException() noexcept {
  try {
    throw;
  } catch (const AutomationError& e) {
    return SetFailure(E_FAIL, e.Description());
  } catch (const std::bad_alloc&) {
    return SetFailure(E_OUTOFMEMORY, RuntimeErrorText(err::kOutOfMemory));
  } catch (const std::exception& e) {
    return SetFailure(E_UNEXPECTED, e.what());
  } catch (...) {
    return SetFailure(E_UNEXPECTED, "Unexpected error");
  }
}

HRESULT ToException(HRESULT hr, EXCEPINFO* excep) noexcept {
  if (excep == nullptr) return hr;
  *excep = EXCEPINFO{};
  excep->scode = hr;
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.GetAddressOf()) == S_OK && info) {
    info->GetSource(&excep->bstrSource);
    info->GetDescription(&excep->bstrDescription);
  } else {
    try {
      excep->bstrSource = SysAllocString(kProgId);
      excep->bstrDescription = Utf8ToBstr(SystemMessage(hr)).Detach();
    } catch (...) {
      // No memory for the description: the scode alone tells the failure.
    }
  }
  return DISP_E_EXCEPTION;
}

}  // namespace zet::com
