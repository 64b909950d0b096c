#include "variant_bridge.hpp"

#include <new>

#include "com_ids.hpp"
#include "errors.hpp"
#include "host/error.hpp"
#include "strings.hpp"

namespace zet::com {

namespace {

// The runtime error VB reports for a VARIANT it has no subtype for.
constexpr int32_t kUnsupportedType = 458;
const char kUnsupportedTypeText[] = "Variable uses an Automation type not supported in Visual Basic";

// A copy of `value` coerced to `type`; raises the conversion's error.
void Coerce(const VARIANT& value, VARTYPE type, VariantHolder& out, LCID lcid = LOCALE_USER_DEFAULT) {
  const HRESULT hr = VariantChangeTypeEx(out.get(), const_cast<VARIANT*>(&value), lcid, 0, type);
  if (FAILED(hr)) RaiseHresult(hr);
}

// The element types an array may carry into the core: those a by-reference
// VARIANT to one element reads safely.
bool IsReadableElement(VARTYPE type) {
  switch (type) {
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_I8:
    case VT_UI8:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BOOL:
    case VT_BSTR:
    case VT_ERROR:
    case VT_DECIMAL:
    case VT_VARIANT:
      return true;
    default:
      return false;
  }
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

// Arrays of Variants that hold arrays are read one level per call; past this
// depth, far beyond any array a client means, the value is refused instead of
// being followed to the end of the thread's stack.
constexpr int kMaxArrayNesting = 64;
thread_local int array_nesting = 0;

struct NestingGuard {
  NestingGuard() { ++array_nesting; }
  ~NestingGuard() { --array_nesting; }
  NestingGuard(const NestingGuard&) = delete;
  NestingGuard& operator=(const NestingGuard&) = delete;
};

Variant FromSafeArray(SAFEARRAY* array, VARTYPE element_type) {
  const NestingGuard nesting;
  // The core's arrays are one-dimensional, as every array the host hands over;
  // the array must hold what its VARIANT says it holds.
  VARTYPE stored = VT_EMPTY;
  if (array_nesting > kMaxArrayNesting || array == nullptr || SafeArrayGetDim(array) != 1 ||
      !IsReadableElement(element_type) || FAILED(SafeArrayGetVartype(array, &stored)) || stored != element_type) {
    RaiseRuntimeError(err::kTypeMismatch);
  }
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
    if (element_type == VT_VARIANT) {
      result.items.push_back(FromVariant(*static_cast<VARIANT*>(element)));
      continue;
    }
    // A by-reference VARIANT to the element reads it without copying.
    VARIANT ref;
    VariantInit(&ref);
    V_VT(&ref) = static_cast<VARTYPE>(VT_BYREF | element_type);
    V_BYREF(&ref) = element;
    result.items.push_back(FromVariant(ref));
  }
  return Variant::Array(std::move(result));
}

// `out` is empty and takes the array as soon as it exists, so that a failure
// half way leaves nothing the caller's owner would not clear.
void ToSafeArray(const VariantArray& array, VARIANT& out) {
  const VARTYPE element_type = array.element == VarType::String ? VT_BSTR : VT_VARIANT;
  SAFEARRAYBOUND bound{static_cast<ULONG>(array.items.size()), array.lower_bound};
  SAFEARRAY* result = SafeArrayCreate(element_type, 1, &bound);
  if (result == nullptr) throw std::bad_alloc();
  V_VT(&out) = static_cast<VARTYPE>(VT_ARRAY | element_type);
  V_ARRAY(&out) = result;
  for (size_t i = 0; i < array.items.size(); ++i) {
    LONG index = array.lower_bound + static_cast<LONG>(i);
    HRESULT hr;
    if (element_type == VT_BSTR) {
      const Bstr text = Utf8ToBstr(CStr(array.items[i]));
      hr = SafeArrayPutElement(result, &index, text.Get());
    } else {
      VariantHolder item;
      ToVariant(array.items[i], *item);
      hr = SafeArrayPutElement(result, &index, item.get());
    }
    if (FAILED(hr)) RaiseHresult(hr);
  }
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

thread_local int call_depth = 0;

// The VARIANTs of one late-bound call: the values the arguments hold, and the
// slots handed to Invoke, in reverse order as IDispatch wants them.
class CallArguments {
 public:
  explicit CallArguments(size_t count) : values_(count), slots_(count) {
    for (VARIANT& v : slots_) VariantInit(&v);
  }

  // A by-reference argument goes the way VB passes a typed variable: a
  // reference of the value's own type (a Long as VT_BYREF|VT_I4, a String as
  // VT_BYREF|VT_BSTR), which the callee may overwrite in place. Only values
  // without a type of their own travel as VT_BYREF|VT_VARIANT.
  void Set(size_t index, const Argument& argument) {
    VARIANT& value = *values_[index];
    ToVariant(argument.Value(), value);
    // Slots only point at or alias the values; the values own everything.
    VARIANT& slot = slots_[values_.size() - 1 - index];
    if (!argument.IsByRef()) {
      slot = value;
      return;
    }
    const VARTYPE type = V_VT(&value);
    if (type & VT_ARRAY) {
      V_VT(&slot) = static_cast<VARTYPE>(VT_BYREF | type);
      V_ARRAYREF(&slot) = &V_ARRAY(&value);
      return;
    }
    switch (type) {
      case VT_I2:
        V_I2REF(&slot) = &V_I2(&value);
        break;
      case VT_I4:
        V_I4REF(&slot) = &V_I4(&value);
        break;
      case VT_R8:
        V_R8REF(&slot) = &V_R8(&value);
        break;
      case VT_BOOL:
        V_BOOLREF(&slot) = &V_BOOL(&value);
        break;
      case VT_BSTR:
        V_BSTRREF(&slot) = &V_BSTR(&value);
        break;
      case VT_DISPATCH:
        V_DISPATCHREF(&slot) = &V_DISPATCH(&value);
        break;
      default:
        V_VT(&slot) = VT_BYREF | VT_VARIANT;
        V_VARIANTREF(&slot) = &value;
        return;
    }
    V_VT(&slot) = static_cast<VARTYPE>(VT_BYREF | type);
  }

  // What the callee left in a by-reference argument.
  Variant ValueAfterCall(size_t index) const { return FromVariant(*values_[index]); }

  VARIANT* Slots() { return slots_.empty() ? nullptr : slots_.data(); }
  UINT Count() const { return static_cast<UINT>(slots_.size()); }

 private:
  std::vector<VariantHolder> values_;
  std::vector<VARIANT> slots_;
};

WORD InvokeFlags(CallKind kind, const std::span<Argument>& args) {
  switch (kind) {
    case CallKind::PropertyPut:
      return !args.empty() && args.back().Value().IsObject() ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT;
    case CallKind::Method:
    case CallKind::PropertyGet:
      break;
  }
  // What VB sends for a call whose result is used, and what an object that
  // exposes a member as a method or as a property both accept.
  return DISPATCH_METHOD | DISPATCH_PROPERTYGET;
}

}  // namespace

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
      V_BSTR(&out) = Utf8ToBstr(value.AsString()).Detach();
      V_VT(&out) = VT_BSTR;
      return;
    case VarType::Object: {
      const ObjectRef& object = value.AsObject();
      ComPtr<IDispatch> dispatch = PeekDispatch(object);
      // Only objects that came from the outside can go back out.
      if (object && !dispatch) RaiseRuntimeError(err::kTypeMismatch);
      V_VT(&out) = VT_DISPATCH;
      V_DISPATCH(&out) = dispatch.Detach();
      return;
    }
    case VarType::Array:
      ToSafeArray(value.AsArray(), out);
      return;
    case VarType::Variant:
      break;
  }
  RaiseRuntimeError(err::kTypeMismatch);
}

HRESULT CheckPointers(const VARIANT& value) {
  if (!(V_VT(&value) & VT_BYREF)) return S_OK;
  if (V_BYREF(&value) == nullptr) return E_POINTER;
  if (V_VT(&value) != (VT_BYREF | VT_VARIANT)) return S_OK;
  const VARIANT& inner = *V_VARIANTREF(&value);
  if (V_VT(&inner) == (VT_BYREF | VT_VARIANT)) return DISP_E_TYPEMISMATCH;
  return CheckPointers(inner);
}

Variant FromVariant(const VARIANT& value) {
  const HRESULT checked = CheckPointers(value);
  if (FAILED(checked)) RaiseHresult(checked);
  if (V_VT(&value) & VT_BYREF) {
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
      ComPtr<IDispatch> dispatch;
      if (FAILED(V_UNKNOWN(&value)->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.GetAddressOf()))))
        RaiseRuntimeError(err::kTypeMismatch);
      return Variant::Object(WrapDispatch(dispatch.Get()));
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

CallScope::CallScope() {
  ++call_depth;
}
CallScope::~CallScope() {
  --call_depth;
}
bool CallScope::Active() {
  return call_depth > 0;
}

ComDispatch::~ComDispatch() {
  // The one object the core keeps beyond a call is the per-thread creation
  // service, in thread-local storage, whose destructor runs when the thread
  // ends or, for the main thread, when the process ends: under the loader
  // lock, after the thread may have left its apartment and the service's own
  // DLL may have been unloaded. A Release then could call into freed code, so
  // the reference is dropped without one: a deliberate leak of one object per
  // thread that used the component, which the ending thread or process takes
  // with it.
  if (!CallScope::Active()) object_.Detach();
}

DISPID ComDispatch::MemberId(std::string_view member) {
  for (const auto& [name, id] : ids_) {
    if (name == member) return id;
  }
  std::wstring wide = Utf8ToWide(member);
  LPOLESTR names[] = {wide.data()};
  DISPID id = DISPID_UNKNOWN;
  const HRESULT hr = object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) RaiseRuntimeError(err::kMemberNotFound);
  ids_.emplace_back(std::string(member), id);
  return id;
}

Variant ComDispatch::Invoke(std::string_view member, CallKind kind, std::span<Argument> args) {
  const DISPID id = MemberId(member);
  CallArguments call(args.size());
  for (size_t i = 0; i < args.size(); ++i) call.Set(i, args[i]);

  DISPID put_id = DISPID_PROPERTYPUT;
  DISPPARAMS params{call.Slots(), nullptr, call.Count(), 0};
  if (kind == CallKind::PropertyPut) {
    params.rgdispidNamedArgs = &put_id;
    params.cNamedArgs = 1;
  }
  VariantHolder result;
  ExcepInfo info;
  UINT bad_argument = 0;
  const HRESULT hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, InvokeFlags(kind, args), &params,
                                     kind == CallKind::PropertyPut ? nullptr : result.get(), info.get(), &bad_argument);
  // The callee's changes to by-reference arguments stand, whether or not it
  // failed afterwards.
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i].IsByRef()) args[i].Assign(call.ValueAfterCall(i));
  }
  if (FAILED(hr)) RaiseInvokeError(hr, *info);
  return FromVariant(*result);
}

bool ComDispatch::Supports(std::string_view interface_name) {
  if (interface_name != "_Recordset") return true;
  ComPtr<IUnknown> answer;
  return SUCCEEDED(object_->QueryInterface(kIidRecordset, reinterpret_cast<void**>(answer.GetAddressOf()))) && answer;
}

ObjectRef WrapDispatch(IDispatch* object) {
  if (object == nullptr) return nullptr;
  return std::make_shared<ComDispatch>(object);
}

IDispatch* PeekDispatch(const ObjectRef& object) {
  const auto* com_object = dynamic_cast<const ComDispatch*>(object.get());
  return com_object == nullptr ? nullptr : com_object->Get();
}

}  // namespace zet::com
