#include "move_bill_object.hpp"

#include <array>
#include <exception>
#include <new>
#include <string>

#include "com_dispatch.hpp"
#include "com_ids.hpp"
#include "com_platform.hpp"
#include "host/error.hpp"
#include "module.hpp"
#include "variant_bridge.hpp"

namespace zet::com {

namespace {

constexpr DISPID kCheckSearchBill = 0x60030000;
constexpr DISPID kGetToDoThingCount = 0x60030005;
constexpr DISPID kGetMaxMinInterID = 0x60030007;
constexpr DISPID kGetMoveInterID = 0x60030008;
constexpr DISPID kLoadRecentBills = 0x60030009;
constexpr DISPID kSaveRecentBills = 0x6003000A;

constexpr size_t kMaxParams = 3;

// The parameters of a member as the type library declares them.
struct MemberShape {
  DISPID id;
  UINT params;
  UINT required;
};
constexpr MemberShape kMembers[] = {
    {kCheckSearchBill, 3, 3}, {kGetToDoThingCount, 0, 0}, {kGetMaxMinInterID, 2, 2},
    {kGetMoveInterID, 3, 3},  {kLoadRecentBills, 2, 1},   {kSaveRecentBills, 3, 2},
};

// Records the failure for the caller (IErrorInfo) and returns its HRESULT.
HRESULT SetFailure(HRESULT hr, const std::string& description) noexcept {
  ICreateErrorInfo* create = nullptr;
  if (FAILED(CreateErrorInfo(&create))) return hr;
  create->SetGUID(kIid);
  create->SetSource(const_cast<LPOLESTR>(kProgId));
  try {
    std::wstring text = Utf8ToWide(description);
    create->SetDescription(text.data());
  } catch (...) {
  }
  IErrorInfo* info = nullptr;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
    SetErrorInfo(0, info);
    info->Release();
  }
  create->Release();
  return hr;
}

// Runs one method under the bridge's own guard: whatever escapes the core or
// the conversions becomes an HRESULT with error information, never an
// exception across the boundary.
template <class Body>
HRESULT Guarded(Body&& body) noexcept {
  CallScope scope;
  SetErrorInfo(0, nullptr);
  try {
    return body();
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

// Turns a failed method into the EXCEPINFO a late-bound caller reads.
HRESULT ToException(HRESULT hr, EXCEPINFO* excep) noexcept {
  if (excep == nullptr) return hr;
  *excep = EXCEPINFO{};
  excep->scode = hr;
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) == S_OK && info != nullptr) {
    info->GetSource(&excep->bstrSource);
    info->GetDescription(&excep->bstrDescription);
    info->Release();
  } else {
    try {
      excep->bstrSource = SysAllocString(kProgId);
      excep->bstrDescription = Utf8ToBstr(SystemMessage(hr));
    } catch (...) {
    }
  }
  return DISP_E_EXCEPTION;
}

bool IsMissing(const VARIANT& arg) {
  return V_VT(&arg) == VT_ERROR && V_ERROR(&arg) == DISP_E_PARAMNOTFOUND;
}

// The arguments of one Invoke in parameter order; null for a parameter left
// out. `positions` keeps each one's index in rgvarg for puArgErr.
struct Arranged {
  std::array<VARIANT*, kMaxParams> args{};
  std::array<UINT, kMaxParams> positions{};
};

HRESULT Arrange(const DISPPARAMS& params, const MemberShape& shape, Arranged& out, UINT* arg_err) {
  if (params.cArgs > shape.params) return DISP_E_BADPARAMCOUNT;
  if (params.cNamedArgs > params.cArgs) return E_INVALIDARG;
  if (params.cArgs > 0 && params.rgvarg == nullptr) return E_INVALIDARG;
  if (params.cNamedArgs > 0 && params.rgdispidNamedArgs == nullptr) return E_INVALIDARG;
  const UINT positional = params.cArgs - params.cNamedArgs;
  for (UINT i = 0; i < positional; ++i) {
    out.positions[i] = params.cArgs - 1 - i;
    out.args[i] = &params.rgvarg[out.positions[i]];
  }
  // Named arguments carry the parameter's position as the DISPID the type
  // library's GetIDsOfNames hands out for parameter names.
  for (UINT n = 0; n < params.cNamedArgs; ++n) {
    const DISPID position = params.rgdispidNamedArgs[n];
    if (position < 0 || static_cast<UINT>(position) >= shape.params || out.args[position] != nullptr) {
      if (arg_err != nullptr) *arg_err = n;
      return DISP_E_PARAMNOTFOUND;
    }
    out.positions[position] = n;
    out.args[position] = &params.rgvarg[n];
  }
  for (UINT i = 0; i < shape.params; ++i) {
    if (out.args[i] != nullptr && IsMissing(*out.args[i])) out.args[i] = nullptr;
  }
  if (params.cNamedArgs == 0 && params.cArgs < shape.required) return DISP_E_BADPARAMCOUNT;
  for (UINT i = 0; i < shape.required; ++i) {
    if (out.args[i] == nullptr) return DISP_E_PARAMNOTOPTIONAL;
  }
  return S_OK;
}

HRESULT ReadLong(VARIANT* arg, LCID lcid, LONG& value) {
  VariantHolder plain;
  HRESULT hr = VariantCopyInd(plain.get(), arg);
  if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
  VariantHolder number;
  hr = VariantChangeTypeEx(number.get(), plain.get(), lcid, 0, VT_I4);
  if (FAILED(hr)) return hr == DISP_E_OVERFLOW ? hr : DISP_E_TYPEMISMATCH;
  value = V_I4(number.get());
  return S_OK;
}

// sInfo: declared BSTR* in/out. A client may pass a String variable
// (VT_BYREF|VT_BSTR), a Variant variable (VT_BYREF|VT_VARIANT, what VBScript
// passes for every variable) or a plain value; a variable gets the text back.
class TextInOut {
 public:
  TextInOut() = default;
  TextInOut(const TextInOut&) = delete;
  TextInOut& operator=(const TextInOut&) = delete;
  ~TextInOut() { SysFreeString(local_); }

  HRESULT Prepare(VARIANT* arg, LCID lcid) {
    if (V_VT(arg) == (VT_BYREF | VT_BSTR)) {
      if (V_BSTRREF(arg) == nullptr) return DISP_E_TYPEMISMATCH;
      target_ = V_BSTRREF(arg);
      return S_OK;
    }
    if (V_VT(arg) == (VT_BYREF | VT_VARIANT)) {
      VARIANT* inner = V_VARIANTREF(arg);
      if (inner == nullptr) return DISP_E_TYPEMISMATCH;
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
    local_ = V_BSTR(text.get());
    given_ = local_;
    V_VT(text.get()) = VT_EMPTY;
    target_ = &local_;
    return S_OK;
  }

  BSTR* Target() { return target_; }

  // A Variant variable whose text the method changed takes the new text.
  void Finish() {
    if (variable_ == nullptr || local_ == given_) return;
    VariantClear(variable_);
    V_VT(variable_) = VT_BSTR;
    V_BSTR(variable_) = local_;
    local_ = nullptr;
  }

 private:
  BSTR* target_ = nullptr;
  BSTR local_ = nullptr;
  BSTR given_ = nullptr;
  VARIANT* variable_ = nullptr;
};

// ABar: declared IDispatch** in/out, optional. Accepts an Object variable, a
// Variant variable holding an object or nothing, an object by value, Nothing,
// Empty, Null, or the argument left out.
class ObjectInOut {
 public:
  ObjectInOut() = default;
  ObjectInOut(const ObjectInOut&) = delete;
  ObjectInOut& operator=(const ObjectInOut&) = delete;
  ~ObjectInOut() {
    if (local_ != nullptr) local_->Release();
  }

  HRESULT Prepare(VARIANT* arg) {
    target_ = &local_;
    if (arg == nullptr) return S_OK;
    VARIANT* value = arg;
    if (V_VT(arg) == (VT_BYREF | VT_DISPATCH)) {
      if (V_DISPATCHREF(arg) == nullptr) return DISP_E_TYPEMISMATCH;
      target_ = V_DISPATCHREF(arg);
      return S_OK;
    }
    if (V_VT(arg) == (VT_BYREF | VT_VARIANT)) {
      value = V_VARIANTREF(arg);
      if (value == nullptr) return DISP_E_TYPEMISMATCH;
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
        if (local_ != nullptr) local_->AddRef();
        break;
      case VT_UNKNOWN:
      case VT_BYREF | VT_UNKNOWN: {
        IUnknown* unknown = V_VT(value) == VT_UNKNOWN ? V_UNKNOWN(value) : *V_UNKNOWNREF(value);
        if (unknown != nullptr && FAILED(unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&local_)))) {
          return DISP_E_TYPEMISMATCH;
        }
        break;
      }
      default:
        return DISP_E_TYPEMISMATCH;
    }
    given_ = local_;
    return S_OK;
  }

  IDispatch** Target() { return target_; }

  // A Variant variable whose object the method replaced takes the new one.
  void Finish() {
    if (variable_ == nullptr || local_ == given_) return;
    VariantClear(variable_);
    V_VT(variable_) = VT_DISPATCH;
    V_DISPATCH(variable_) = local_;
    local_ = nullptr;
  }

 private:
  IDispatch** target_ = nullptr;
  IDispatch* local_ = nullptr;
  IDispatch* given_ = nullptr;
  VARIANT* variable_ = nullptr;
};

// The core's toolbar reference for ABar, and the way back: when the method
// replaced the object, the caller's reference follows.
void ReturnObject(IDispatch** target, IDispatch* given, const ObjectRef& now) {
  IDispatch* replacement = PeekDispatch(now);
  if (target == nullptr || replacement == given) return;
  if (replacement != nullptr) replacement->AddRef();
  if (given != nullptr) given->Release();
  *target = replacement;
}

class MoveBillObject final : public I_clsMoveBill, public ISupportErrorInfo {
 public:
  MoveBillObject() : core_(ProcessPlatform()) { ObjectCreated(); }
  MoveBillObject(const MoveBillObject&) = delete;
  MoveBillObject& operator=(const MoveBillObject&) = delete;
  ~MoveBillObject() { ObjectDestroyed(); }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override {
    if (result == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == kIid) {
      *result = static_cast<I_clsMoveBill*>(this);
    } else if (iid == IID_ISupportErrorInfo) {
      *result = static_cast<ISupportErrorInfo*>(this);
    } else {
      *result = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // ISupportErrorInfo
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override { return iid == kIid ? S_OK : S_FALSE; }

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** result) override {
    if (result == nullptr) return E_POINTER;
    *result = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return DispatchTypeInfo(result);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo* info = nullptr;
    const HRESULT hr = DispatchTypeInfo(&info);
    if (FAILED(hr)) return hr;
    // The type library names the members and their parameters, case-
    // insensitively, as every automation client expects.
    const HRESULT result = DispGetIDsOfNames(info, names, count, ids);
    info->Release();
    return result;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excep, UINT* arg_err) override {
    try {
      return InvokeMember(member, iid, lcid, flags, params, result, excep, arg_err);
    } catch (const std::bad_alloc&) {
      return ToException(SetFailure(E_OUTOFMEMORY, RuntimeErrorText(err::kOutOfMemory)), excep);
    } catch (...) {
      return ToException(SetFailure(E_UNEXPECTED, "Unexpected error"), excep);
    }
  }

  // _clsMoveBill
  HRESULT STDMETHODCALLTYPE CheckSearchBill(LONG lTransType, LONG lInterID, BSTR* sInfo,
                                            VARIANT_BOOL* result) override {
    return Guarded([&]() -> HRESULT {
      if (sInfo == nullptr || result == nullptr) return E_POINTER;
      *result = VARIANT_FALSE;
      std::string info = BstrToUtf8(*sInfo);
      const std::string given = info;
      const bool visible = core_.CheckSearchBill(lTransType, lInterID, info);
      // Untouched text stays the caller's very string.
      if (info != given) {
        BSTR replacement = Utf8ToBstr(info);
        SysFreeString(*sInfo);
        *sInfo = replacement;
      }
      *result = visible ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE GetToDoThingCount(IDispatch** result) override {
    return Guarded([&]() -> HRESULT {
      if (result == nullptr) return E_POINTER;
      *result = nullptr;
      const ObjectRef list = core_.GetToDoThingCount();
      *result = PeekDispatch(list);
      if (*result != nullptr) (*result)->AddRef();
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE GetMaxMinInterID(LONG lTransType, LONG lType, LONG* result) override {
    return Guarded([&]() -> HRESULT {
      if (result == nullptr) return E_POINTER;
      *result = core_.GetMaxMinInterID(lTransType, lType);
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE GetMoveInterID(VARIANT lBillID, LONG lMoveType, LONG lTransType, LONG* result) override {
    return Guarded([&]() -> HRESULT {
      if (result == nullptr) return E_POINTER;
      *result = 0;
      Variant bill;
      try {
        bill = FromVariant(lBillID);
      } catch (const AutomationError& e) {
        // A value the method cannot read fails inside it, under its trap.
        ProcessPlatform().ShowMessage(e.Description());
        return S_OK;
      }
      *result = core_.GetMoveInterID(bill, lMoveType, lTransType);
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE LoadRecentBills(LONG m_ClassTypeID, IDispatch** ABar, IDispatch** result) override {
    return Guarded([&]() -> HRESULT {
      if (result == nullptr) return E_POINTER;
      *result = nullptr;
      IDispatch* given = ABar != nullptr ? *ABar : nullptr;
      ObjectRef bar = WrapDispatch(given);
      const ObjectRef clone = core_.LoadRecentBills(m_ClassTypeID, bar);
      ReturnObject(ABar, given, bar);
      if (!clone) return S_OK;
      IDispatch* object = PeekDispatch(clone);
      IDispatch* recordset = nullptr;
      if (object == nullptr || FAILED(object->QueryInterface(kIidRecordset, reinterpret_cast<void**>(&recordset)))) {
        // The declared result is ADO's _Recordset: a clone that is none fails
        // the assignment inside the method, under its trap.
        ProcessPlatform().ShowMessage(RuntimeErrorText(err::kTypeMismatch));
        return S_OK;
      }
      *result = recordset;
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE SaveRecentBills(LONG lBillID, LONG m_ClassTypeID, IDispatch** ABar) override {
    return Guarded([&]() -> HRESULT {
      IDispatch* given = ABar != nullptr ? *ABar : nullptr;
      ObjectRef bar = WrapDispatch(given);
      core_.SaveRecentBills(lBillID, m_ClassTypeID, bar);
      ReturnObject(ABar, given, bar);
      return S_OK;
    });
  }

 private:
  // Invoke by DISPID. The arguments are coerced here rather than by
  // DispInvoke, which rejects what late-bound clients really pass: VBScript
  // hands every variable over as VT_BYREF|VT_VARIANT, also where the member
  // declares BSTR* or IDispatch**.
  HRESULT InvokeMember(DISPID member, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                       EXCEPINFO* excep, UINT* arg_err) {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (params == nullptr) return E_INVALIDARG;
    const MemberShape* shape = nullptr;
    for (const MemberShape& candidate : kMembers) {
      if (candidate.id == member) shape = &candidate;
    }
    if (shape == nullptr) return DISP_E_MEMBERNOTFOUND;
    if ((flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) == 0) return DISP_E_MEMBERNOTFOUND;

    Arranged arranged;
    HRESULT hr = Arrange(*params, *shape, arranged, arg_err);
    if (FAILED(hr)) return hr;
    const auto& args = arranged.args;
    auto bad_argument = [&](UINT param, HRESULT failure) {
      if (arg_err != nullptr) *arg_err = arranged.positions[param];
      return failure;
    };

    VariantHolder answer;
    switch (member) {
      case kCheckSearchBill: {
        LONG trans_type = 0;
        LONG inter_id = 0;
        if (FAILED(hr = ReadLong(args[0], lcid, trans_type))) return bad_argument(0, hr);
        if (FAILED(hr = ReadLong(args[1], lcid, inter_id))) return bad_argument(1, hr);
        TextInOut info;
        if (FAILED(hr = info.Prepare(args[2], lcid))) return bad_argument(2, hr);
        VARIANT_BOOL visible = VARIANT_FALSE;
        hr = CheckSearchBill(trans_type, inter_id, info.Target(), &visible);
        info.Finish();
        V_VT(answer.get()) = VT_BOOL;
        V_BOOL(answer.get()) = visible;
        break;
      }
      case kGetToDoThingCount: {
        IDispatch* list = nullptr;
        hr = GetToDoThingCount(&list);
        V_VT(answer.get()) = VT_DISPATCH;
        V_DISPATCH(answer.get()) = list;
        break;
      }
      case kGetMaxMinInterID: {
        LONG trans_type = 0;
        LONG type = 0;
        if (FAILED(hr = ReadLong(args[0], lcid, trans_type))) return bad_argument(0, hr);
        if (FAILED(hr = ReadLong(args[1], lcid, type))) return bad_argument(1, hr);
        LONG id = 0;
        hr = GetMaxMinInterID(trans_type, type, &id);
        V_VT(answer.get()) = VT_I4;
        V_I4(answer.get()) = id;
        break;
      }
      case kGetMoveInterID: {
        VariantHolder bill;
        if (FAILED(VariantCopyInd(bill.get(), args[0]))) return bad_argument(0, DISP_E_TYPEMISMATCH);
        LONG move_type = 0;
        LONG trans_type = 0;
        if (FAILED(hr = ReadLong(args[1], lcid, move_type))) return bad_argument(1, hr);
        if (FAILED(hr = ReadLong(args[2], lcid, trans_type))) return bad_argument(2, hr);
        LONG id = 0;
        hr = GetMoveInterID(*bill, move_type, trans_type, &id);
        V_VT(answer.get()) = VT_I4;
        V_I4(answer.get()) = id;
        break;
      }
      case kLoadRecentBills: {
        LONG class_type = 0;
        if (FAILED(hr = ReadLong(args[0], lcid, class_type))) return bad_argument(0, hr);
        ObjectInOut bar;
        if (FAILED(hr = bar.Prepare(args[1]))) return bad_argument(1, hr);
        IDispatch* recordset = nullptr;
        hr = LoadRecentBills(class_type, bar.Target(), &recordset);
        bar.Finish();
        V_VT(answer.get()) = VT_DISPATCH;
        V_DISPATCH(answer.get()) = recordset;
        break;
      }
      case kSaveRecentBills: {
        LONG bill = 0;
        LONG class_type = 0;
        if (FAILED(hr = ReadLong(args[0], lcid, bill))) return bad_argument(0, hr);
        if (FAILED(hr = ReadLong(args[1], lcid, class_type))) return bad_argument(1, hr);
        ObjectInOut bar;
        if (FAILED(hr = bar.Prepare(args[2]))) return bad_argument(2, hr);
        hr = SaveRecentBills(bill, class_type, bar.Target());
        bar.Finish();
        break;
      }
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
    if (FAILED(hr)) return ToException(hr, excep);
    if (result != nullptr) {
      VariantInit(result);
      *result = *answer;
      V_VT(answer.get()) = VT_EMPTY;
    }
    return S_OK;
  }

  LONG references_ = 1;
  clsMoveBill core_;
};

}  // namespace

HRESULT CreateMoveBillObject(REFIID iid, void** result) {
  if (result == nullptr) return E_POINTER;
  *result = nullptr;
  auto* object = new (std::nothrow) MoveBillObject();
  if (object == nullptr) return E_OUTOFMEMORY;
  const HRESULT hr = object->QueryInterface(iid, result);
  object->Release();
  return hr;
}

}  // namespace zet::com
