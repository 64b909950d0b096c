#include "com_dispatch.hpp"

#include <new>

#include "com_ids.hpp"
#include "host/error.hpp"
#include "variant_bridge.hpp"

namespace zet::com {

namespace {

thread_local int call_depth = 0;

// The VARIANTs of one late-bound call: the values the arguments hold, and the
// slots handed to Invoke, in reverse order as IDispatch wants them.
class CallArguments {
 public:
  explicit CallArguments(size_t count) : values_(count), slots_(count) {
    for (VARIANT& v : values_) VariantInit(&v);
    for (VARIANT& v : slots_) VariantInit(&v);
  }
  CallArguments(const CallArguments&) = delete;
  CallArguments& operator=(const CallArguments&) = delete;
  // Slots only point at or alias the values; the values own everything.
  ~CallArguments() {
    for (VARIANT& v : values_) VariantClear(&v);
  }

  // A by-reference argument goes the way VB passes a typed variable: a
  // reference of the value's own type (a Long as VT_BYREF|VT_I4, a String as
  // VT_BYREF|VT_BSTR), which the callee may overwrite in place. Only values
  // without a type of their own travel as VT_BYREF|VT_VARIANT.
  void Set(size_t index, const Argument& argument) {
    VARIANT& value = values_[index];
    ToVariant(argument.Value(), value);
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
  Variant ValueAfterCall(size_t index) const { return FromVariant(values_[index]); }

  VARIANT* Slots() { return slots_.empty() ? nullptr : slots_.data(); }
  UINT Count() const { return static_cast<UINT>(slots_.size()); }

 private:
  std::vector<VARIANT> values_;
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

CallScope::CallScope() {
  ++call_depth;
}
CallScope::~CallScope() {
  --call_depth;
}
bool CallScope::Active() {
  return call_depth > 0;
}

ComDispatch::ComDispatch(IDispatch* object) : object_(object) {
  object_->AddRef();
}

ComDispatch::~ComDispatch() {
  if (CallScope::Active()) object_->Release();
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
  EXCEPINFO info{};
  UINT bad_argument = 0;
  const HRESULT hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, InvokeFlags(kind, args), &params,
                                     kind == CallKind::PropertyPut ? nullptr : result.get(), &info, &bad_argument);
  // The callee's changes to by-reference arguments stand, whether or not it
  // failed afterwards.
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i].IsByRef()) args[i].Assign(call.ValueAfterCall(i));
  }
  if (FAILED(hr)) RaiseInvokeError(hr, info);
  ClearExcepInfo(info);
  return FromVariant(*result);
}

bool ComDispatch::Supports(std::string_view interface_name) {
  if (interface_name != "_Recordset") return true;
  IUnknown* answer = nullptr;
  if (FAILED(object_->QueryInterface(kIidRecordset, reinterpret_cast<void**>(&answer))) || answer == nullptr)
    return false;
  answer->Release();
  return true;
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
