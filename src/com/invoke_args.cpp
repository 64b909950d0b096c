#include "invoke_args.hpp"

#include <utility>

#include "com_ids.hpp"
#include "variant_bridge.hpp"

namespace zet::com {

namespace {

constexpr MemberShape kMembers[] = {
    {kCheckSearchBill, 3, 3}, {kGetToDoThingCount, 0, 0}, {kGetMaxMinInterID, 2, 2},
    {kGetMoveInterID, 3, 3},  {kLoadRecentBills, 2, 1},   {kSaveRecentBills, 3, 2},
};

bool IsMissing(const VARIANT& arg) {
  return V_VT(&arg) == VT_ERROR && V_ERROR(&arg) == DISP_E_PARAMNOTFOUND;
}

}  // namespace

const MemberShape* FindMember(DISPID id) {
  for (const MemberShape& shape : kMembers) {
    if (shape.id == id) return &shape;
  }
  return nullptr;
}

HRESULT Arrange(const DISPPARAMS* params, const MemberShape& shape, Arranged& out, UINT* arg_err) {
  if (params == nullptr) return E_POINTER;
  if (params->cArgs > shape.params) return DISP_E_BADPARAMCOUNT;
  if (params->cNamedArgs > params->cArgs) return E_INVALIDARG;
  if (params->cArgs > 0 && params->rgvarg == nullptr) return E_POINTER;
  if (params->cNamedArgs > 0 && params->rgdispidNamedArgs == nullptr) return E_POINTER;
  // Nothing below follows a pointer the client gave without this check.
  for (UINT i = 0; i < params->cArgs; ++i) {
    const HRESULT hr = CheckPointers(params->rgvarg[i]);
    if (FAILED(hr)) {
      if (arg_err != nullptr) *arg_err = i;
      return hr;
    }
  }
  const UINT positional = params->cArgs - params->cNamedArgs;
  for (UINT i = 0; i < positional; ++i) {
    out.positions[i] = params->cArgs - 1 - i;
    out.args[i] = &params->rgvarg[out.positions[i]];
  }
  // Named arguments carry the parameter's position as the DISPID the type
  // library's GetIDsOfNames hands out for parameter names.
  for (UINT n = 0; n < params->cNamedArgs; ++n) {
    const DISPID position = params->rgdispidNamedArgs[n];
    if (position < 0 || static_cast<UINT>(position) >= shape.params || out.args[position] != nullptr) {
      if (arg_err != nullptr) *arg_err = n;
      return DISP_E_PARAMNOTFOUND;
    }
    out.positions[position] = n;
    out.args[position] = &params->rgvarg[n];
  }
  for (UINT i = 0; i < shape.params; ++i) {
    if (out.args[i] != nullptr && IsMissing(*out.args[i])) out.args[i] = nullptr;
  }
  if (params->cNamedArgs == 0 && params->cArgs < shape.required) return DISP_E_BADPARAMCOUNT;
  for (UINT i = 0; i < shape.required; ++i) {
    if (out.args[i] == nullptr) return DISP_E_PARAMNOTOPTIONAL;
  }
  return S_OK;
}

HRESULT ReadLong(const VARIANT* arg, LCID lcid, LONG& value) {
  VariantHolder plain;
  HRESULT hr = VariantCopyInd(plain.get(), const_cast<VARIANT*>(arg));
  if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
  VariantHolder number;
  hr = VariantChangeTypeEx(number.get(), plain.get(), lcid, 0, VT_I4);
  if (FAILED(hr)) return hr == DISP_E_OVERFLOW ? hr : DISP_E_TYPEMISMATCH;
  value = V_I4(number.get());
  return S_OK;
}

HRESULT TextInOut::Prepare(VARIANT* arg, LCID lcid) {
  if (V_VT(arg) == (VT_BYREF | VT_BSTR)) {
    target_ = V_BSTRREF(arg);
    return S_OK;
  }
  if (V_VT(arg) == (VT_BYREF | VT_VARIANT)) {
    VARIANT* inner = V_VARIANTREF(arg);
    if (V_VT(inner) == VT_BSTR) {
      target_ = &V_BSTR(inner);
      return S_OK;
    }
    variable_ = inner;
  }
  VariantHolder plain;
  HRESULT hr = VariantCopyInd(plain.get(), arg);
  if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
  VariantHolder text;
  hr = VariantChangeTypeEx(text.get(), plain.get(), lcid, 0, VT_BSTR);
  if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
  local_.Reset(std::exchange(V_BSTR(text.get()), nullptr));
  given_ = local_.Get();
  target_ = local_.InOut();
  return S_OK;
}

void TextInOut::Finish() {
  if (variable_ == nullptr || local_.Get() == given_) return;
  VariantClear(variable_);
  V_VT(variable_) = VT_BSTR;
  V_BSTR(variable_) = local_.Detach();
}

HRESULT ObjectInOut::Prepare(VARIANT* arg) {
  target_ = local_.GetAddressOf();
  if (arg == nullptr) return S_OK;
  VARIANT* value = arg;
  if (V_VT(arg) == (VT_BYREF | VT_DISPATCH)) {
    target_ = V_DISPATCHREF(arg);
    return S_OK;
  }
  if (V_VT(arg) == (VT_BYREF | VT_VARIANT)) {
    value = V_VARIANTREF(arg);
    if (V_VT(value) == VT_DISPATCH) {
      target_ = &V_DISPATCH(value);
      return S_OK;
    }
    variable_ = value;
  }
  switch (V_VT(value)) {
    case VT_EMPTY:
    case VT_NULL:
      break;
    case VT_ERROR:
      if (!IsMissing(*value)) return DISP_E_TYPEMISMATCH;
      break;
    case VT_DISPATCH:
      local_ = V_DISPATCH(value);
      break;
    case VT_UNKNOWN:
    case VT_BYREF | VT_UNKNOWN: {
      IUnknown* unknown = V_VT(value) == VT_UNKNOWN ? V_UNKNOWN(value) : *V_UNKNOWNREF(value);
      if (unknown != nullptr &&
          FAILED(unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(local_.GetAddressOf())))) {
        return DISP_E_TYPEMISMATCH;
      }
      break;
    }
    default:
      return DISP_E_TYPEMISMATCH;
  }
  given_ = local_.Get();
  return S_OK;
}

void ObjectInOut::Finish() {
  if (variable_ == nullptr || local_.Get() == given_) return;
  VariantClear(variable_);
  V_VT(variable_) = VT_DISPATCH;
  V_DISPATCH(variable_) = local_.Detach();
}

}  // namespace zet::com
