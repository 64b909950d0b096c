#include "variant_bridge.hpp"

#include <limits>
#include <new>

#include "com_dispatch.hpp"
#include "host/error.hpp"

namespace zet::com {

namespace {

// The runtime error VB reports for a VARIANT it has no subtype for.
constexpr int32_t kUnsupportedType = 458;
const char kUnsupportedTypeText[] = "Variable uses an Automation type not supported in Visual Basic";

int ToInt(size_t size) {
  if (size > static_cast<size_t>(std::numeric_limits<int>::max())) throw std::bad_alloc();
  return static_cast<int>(size);
}

[[noreturn]] void RaiseHresult(HRESULT hr) {
  EXCEPINFO none{};
  RaiseInvokeError(hr, none);
}

// A copy of `value` coerced to `type`; raises the conversion's error.
void Coerce(const VARIANT& value, VARTYPE type, VariantHolder& out, LCID lcid = LOCALE_USER_DEFAULT) {
  const HRESULT hr = VariantChangeTypeEx(out.get(), const_cast<VARIANT*>(&value), lcid, 0, type);
  if (FAILED(hr)) RaiseHresult(hr);
}

class ArrayLock {
 public:
  explicit ArrayLock(SAFEARRAY* array) : array_(array) {
    const HRESULT hr = SafeArrayLock(array_);
    if (FAILED(hr)) RaiseHresult(hr);
  }
  ArrayLock(const ArrayLock&) = delete;
  ArrayLock& operator=(const ArrayLock&) = delete;
  ~ArrayLock() { SafeArrayUnlock(array_); }

 private:
  SAFEARRAY* array_;
};

Variant FromSafeArray(SAFEARRAY* array, VARTYPE element_type) {
  if (array == nullptr) RaiseRuntimeError(err::kTypeMismatch);
  // The core's arrays are one-dimensional, as every array the host hands over.
  if (SafeArrayGetDim(array) != 1) RaiseRuntimeError(err::kTypeMismatch);
  LONG lower = 0;
  LONG upper = -1;
  SafeArrayGetLBound(array, 1, &lower);
  SafeArrayGetUBound(array, 1, &upper);
  VariantArray result;
  result.lower_bound = lower;
  result.element = element_type == VT_BSTR ? VarType::String : VarType::Variant;
  ArrayLock lock(array);
  for (LONG index = lower; index <= upper; ++index) {
    void* element = nullptr;
    HRESULT hr = SafeArrayPtrOfIndex(array, &index, &element);
    if (FAILED(hr)) RaiseHresult(hr);
    VariantHolder item;
    if (element_type == VT_VARIANT) {
      hr = VariantCopy(item.get(), static_cast<VARIANT*>(element));
      if (FAILED(hr)) RaiseHresult(hr);
    } else {
      // A by-reference VARIANT to the element reads it without copying.
      VARIANT ref;
      VariantInit(&ref);
      V_VT(&ref) = static_cast<VARTYPE>(VT_BYREF | element_type);
      V_BYREF(&ref) = element;
      hr = VariantCopyInd(item.get(), &ref);
      if (FAILED(hr)) RaiseHresult(hr);
    }
    result.items.push_back(FromVariant(*item));
  }
  return Variant::Array(std::move(result));
}

SAFEARRAY* ToSafeArray(const VariantArray& array) {
  const VARTYPE element_type = array.element == VarType::String ? VT_BSTR : VT_VARIANT;
  SAFEARRAYBOUND bound{static_cast<ULONG>(array.items.size()), array.lower_bound};
  SAFEARRAY* result = SafeArrayCreate(element_type, 1, &bound);
  if (result == nullptr) throw std::bad_alloc();
  try {
    for (size_t i = 0; i < array.items.size(); ++i) {
      LONG index = array.lower_bound + static_cast<LONG>(i);
      HRESULT hr;
      if (element_type == VT_BSTR) {
        BSTR text = Utf8ToBstr(CStr(array.items[i]));
        hr = SafeArrayPutElement(result, &index, text);
        SysFreeString(text);
      } else {
        VariantHolder item;
        ToVariant(array.items[i], *item);
        hr = SafeArrayPutElement(result, &index, item.get());
      }
      if (FAILED(hr)) RaiseHresult(hr);
    }
  } catch (...) {
    SafeArrayDestroy(result);
    throw;
  }
  return result;
}

// The integer subtypes the core has no own subtype for: Long when the value
// fits, Double otherwise.
Variant FromWideInteger(const VARIANT& value) {
  VariantHolder as_long;
  if (SUCCEEDED(VariantChangeTypeEx(as_long.get(), const_cast<VARIANT*>(&value), LOCALE_USER_DEFAULT, 0, VT_I4)))
    return Variant::Long(V_I4(as_long.get()));
  VariantHolder as_double;
  Coerce(value, VT_R8, as_double);
  return Variant::Double(V_R8(as_double.get()));
}

}  // namespace

std::wstring Utf8ToWide(std::string_view text) {
  if (text.empty()) return {};
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), ToInt(text.size()), nullptr, 0);
  if (length <= 0) return {};
  std::wstring result(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), ToInt(text.size()), result.data(), length);
  return result;
}

std::string WideToUtf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), ToInt(text.size()), nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  std::string result(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), ToInt(text.size()), result.data(), length, nullptr, nullptr);
  return result;
}

std::string BstrToUtf8(BSTR text) {
  if (text == nullptr) return {};
  return WideToUtf8(std::wstring_view(text, SysStringLen(text)));
}

BSTR Utf8ToBstr(std::string_view text) {
  const std::wstring wide = Utf8ToWide(text);
  BSTR result = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  if (result == nullptr) throw std::bad_alloc();
  return result;
}

void ToVariant(const Variant& value, VARIANT& out) {
  switch (value.Type()) {
    case VarType::Empty:
      V_VT(&out) = VT_EMPTY;
      return;
    case VarType::Null:
      V_VT(&out) = VT_NULL;
      return;
    case VarType::Integer:
      V_VT(&out) = VT_I2;
      V_I2(&out) = value.AsInteger();
      return;
    case VarType::Long:
      V_VT(&out) = VT_I4;
      V_I4(&out) = value.AsLong();
      return;
    case VarType::Double:
      V_VT(&out) = VT_R8;
      V_R8(&out) = value.AsDouble();
      return;
    case VarType::Boolean:
      V_VT(&out) = VT_BOOL;
      V_BOOL(&out) = value.AsBoolean() ? VARIANT_TRUE : VARIANT_FALSE;
      return;
    case VarType::String:
      V_BSTR(&out) = Utf8ToBstr(value.AsString());
      V_VT(&out) = VT_BSTR;
      return;
    case VarType::Object: {
      const ObjectRef& object = value.AsObject();
      IDispatch* dispatch = PeekDispatch(object);
      // Only objects that came from the outside can go back out.
      if (object && dispatch == nullptr) RaiseRuntimeError(err::kTypeMismatch);
      if (dispatch != nullptr) dispatch->AddRef();
      V_VT(&out) = VT_DISPATCH;
      V_DISPATCH(&out) = dispatch;
      return;
    }
    case VarType::Array: {
      const VariantArray& array = value.AsArray();
      V_ARRAY(&out) = ToSafeArray(array);
      V_VT(&out) = static_cast<VARTYPE>(VT_ARRAY | (array.element == VarType::String ? VT_BSTR : VT_VARIANT));
      return;
    }
    case VarType::Variant:
      break;
  }
  RaiseRuntimeError(err::kTypeMismatch);
}

Variant FromVariant(const VARIANT& value) {
  if (V_VT(&value) & VT_BYREF) {
    if (V_BYREF(&value) == nullptr) RaiseHresult(E_POINTER);
    if (V_VT(&value) == (VT_BYREF | VT_VARIANT)) return FromVariant(*V_VARIANTREF(&value));
    if (V_VT(&value) & VT_ARRAY) {
      return FromSafeArray(*V_ARRAYREF(&value), static_cast<VARTYPE>(V_VT(&value) & VT_TYPEMASK));
    }
    VariantHolder copy;
    const HRESULT hr = VariantCopyInd(copy.get(), const_cast<VARIANT*>(&value));
    if (FAILED(hr)) RaiseHresult(hr);
    return FromVariant(*copy);
  }
  if (V_VT(&value) & VT_ARRAY) return FromSafeArray(V_ARRAY(&value), static_cast<VARTYPE>(V_VT(&value) & VT_TYPEMASK));

  switch (V_VT(&value)) {
    case VT_EMPTY:
      return Variant();
    case VT_NULL:
      return Variant::Null();
    case VT_I2:
      return Variant::Integer(V_I2(&value));
    case VT_I4:
      return Variant::Long(V_I4(&value));
    case VT_R8:
      return Variant::Double(V_R8(&value));
    case VT_BOOL:
      return Variant::Boolean(V_BOOL(&value) != VARIANT_FALSE);
    case VT_BSTR:
      return Variant::String(BstrToUtf8(V_BSTR(&value)));
    case VT_DISPATCH:
      return Variant::Object(WrapDispatch(V_DISPATCH(&value)));
    case VT_UNKNOWN: {
      if (V_UNKNOWN(&value) == nullptr) return Variant::Nothing();
      IDispatch* dispatch = nullptr;
      if (FAILED(V_UNKNOWN(&value)->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))))
        RaiseRuntimeError(err::kTypeMismatch);
      ObjectRef object = WrapDispatch(dispatch);
      dispatch->Release();
      return Variant::Object(std::move(object));
    }
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
      return FromWideInteger(value);
    case VT_R4: {
      // Through the text the run time prints for a Single, so that 0.1 stays
      // 0.1 and does not become 0.100000001490116.
      VariantHolder text;
      Coerce(value, VT_BSTR, text, LOCALE_INVARIANT);
      VariantHolder number;
      Coerce(*text, VT_R8, number, LOCALE_INVARIANT);
      return Variant::Double(V_R8(number.get()));
    }
    case VT_CY:
    case VT_DECIMAL: {
      VariantHolder number;
      Coerce(value, VT_R8, number);
      return Variant::Double(V_R8(number.get()));
    }
    case VT_DATE: {
      VariantHolder text;
      Coerce(value, VT_BSTR, text);
      return Variant::String(BstrToUtf8(V_BSTR(text.get())));
    }
    case VT_ERROR:
      // A left-out optional argument reads as an empty value.
      if (V_ERROR(&value) == DISP_E_PARAMNOTFOUND) return Variant();
      RaiseRuntimeError(err::kTypeMismatch);
    default:
      throw AutomationError(kUnsupportedType, kUnsupportedTypeText);
  }
}

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

void ClearExcepInfo(EXCEPINFO& info) {
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrDescription);
  SysFreeString(info.bstrHelpFile);
  info = EXCEPINFO{};
}

void RaiseInvokeError(HRESULT hr, EXCEPINFO& info) {
  int32_t number = 0;
  std::string description;
  std::string source;
  switch (hr) {
    case DISP_E_EXCEPTION: {
      if (info.pfnDeferredFillIn != nullptr) info.pfnDeferredFillIn(&info);
      // The scode is what VB raises; a server that only sets wCode gives that.
      if (info.scode != 0) {
        number = ErrorNumberOf(info.scode);
      } else {
        number = info.wCode;
      }
      description = BstrToUtf8(info.bstrDescription);
      source = BstrToUtf8(info.bstrSource);
      if (description.empty()) {
        description = number > 0 && number < 65536 ? RuntimeErrorText(number) : SystemMessage(info.scode);
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
  ClearExcepInfo(info);
  if (description.empty()) description = RuntimeErrorText(number);
  throw AutomationError(number, std::move(description), std::move(source));
}

}  // namespace zet::com
