#include "move_bill_object.hpp"

#include <new>
#include <string>

#include "com_ids.hpp"
#include "com_platform.hpp"
#include "component/cls_move_bill.hpp"
#include "errors.hpp"
#include "host/error.hpp"
#include "invoke_args.hpp"
#include "server_lifetime.hpp"
#include "strings.hpp"
#include "type_library.hpp"
#include "variant_bridge.hpp"

namespace zet::com {

namespace {

// Runs one method under the bridge's own guard: whatever escapes the core or
// the conversions becomes an HRESULT with error information, never an
// exception across the boundary.
template <class Body>
HRESULT Guarded(Body&& body) noexcept {
  CallScope scope;
  SetErrorInfo(0, nullptr);
  try {
    return body();
  } catch (...) {
    return FailureOfCurrentException();
  }
}

// The way back for ABar: when the method replaced the toolbar object, the
// caller's reference follows.
void ReturnObject(IDispatch** target, const ObjectRef& now) {
  if (target == nullptr || PeekDispatch(now) == *target) return;
  ComPtr<IDispatch> replaced;
  replaced.Attach(*target);
  ComPtr<IDispatch> replacement = PeekDispatch(now);
  *target = replacement.Detach();
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
    if (count == 0) return S_OK;
    if (names == nullptr || ids == nullptr) return E_POINTER;
    for (UINT i = 0; i < count; ++i) {
      if (names[i] == nullptr) return E_POINTER;
    }
    ComPtr<ITypeInfo> info;
    const HRESULT hr = DispatchTypeInfo(info.GetAddressOf());
    if (FAILED(hr)) return hr;
    // The type library names the members and their parameters, case-
    // insensitively, as every automation client expects.
    return DispGetIDsOfNames(info.Get(), names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excep, UINT* arg_err) override {
    try {
      return InvokeMember(member, iid, lcid, flags, params, result, excep, arg_err);
    } catch (...) {
      return ToException(FailureOfCurrentException(), excep);
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
        Bstr replacement = Utf8ToBstr(info);
        Bstr replaced(*sInfo);
        *sInfo = replacement.Detach();
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
      return ComPtr<IDispatch>(PeekDispatch(list)).CopyTo(result);
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
      // A reference that leads nowhere is the caller's error, answered as
      // Invoke answers it.
      if (const HRESULT checked = CheckPointers(lBillID); FAILED(checked)) return checked;
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
      ObjectRef bar = WrapDispatch(ABar != nullptr ? *ABar : nullptr);
      const ObjectRef clone = core_.LoadRecentBills(m_ClassTypeID, bar);
      ReturnObject(ABar, bar);
      if (!clone) return S_OK;
      IDispatch* object = PeekDispatch(clone);
      ComPtr<IDispatch> recordset;
      if (object == nullptr ||
          FAILED(object->QueryInterface(kIidRecordset, reinterpret_cast<void**>(recordset.GetAddressOf())))) {
        // The declared result is ADO's _Recordset: a clone that is none fails
        // the assignment inside the method, under its trap.
        ProcessPlatform().ShowMessage(RuntimeErrorText(err::kTypeMismatch));
        return S_OK;
      }
      *result = recordset.Detach();
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE SaveRecentBills(LONG lBillID, LONG m_ClassTypeID, IDispatch** ABar) override {
    return Guarded([&]() -> HRESULT {
      ObjectRef bar = WrapDispatch(ABar != nullptr ? *ABar : nullptr);
      core_.SaveRecentBills(lBillID, m_ClassTypeID, bar);
      ReturnObject(ABar, bar);
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
    const MemberShape* shape = FindMember(member);
    if (shape == nullptr) return DISP_E_MEMBERNOTFOUND;
    if ((flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) == 0) return DISP_E_MEMBERNOTFOUND;

    Arranged arranged;
    HRESULT hr = Arrange(params, *shape, arranged, arg_err);
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
        V_VT(answer.get()) = VT_DISPATCH;
        V_DISPATCH(answer.get()) = nullptr;
        hr = GetToDoThingCount(&V_DISPATCH(answer.get()));
        break;
      }
      case kGetMaxMinInterID: {
        LONG trans_type = 0;
        LONG type = 0;
        if (FAILED(hr = ReadLong(args[0], lcid, trans_type))) return bad_argument(0, hr);
        if (FAILED(hr = ReadLong(args[1], lcid, type))) return bad_argument(1, hr);
        V_VT(answer.get()) = VT_I4;
        hr = GetMaxMinInterID(trans_type, type, &V_I4(answer.get()));
        break;
      }
      case kGetMoveInterID: {
        VariantHolder bill;
        if (FAILED(VariantCopyInd(bill.get(), args[0]))) return bad_argument(0, DISP_E_TYPEMISMATCH);
        LONG move_type = 0;
        LONG trans_type = 0;
        if (FAILED(hr = ReadLong(args[1], lcid, move_type))) return bad_argument(1, hr);
        if (FAILED(hr = ReadLong(args[2], lcid, trans_type))) return bad_argument(2, hr);
        V_VT(answer.get()) = VT_I4;
        hr = GetMoveInterID(*bill, move_type, trans_type, &V_I4(answer.get()));
        break;
      }
      case kLoadRecentBills: {
        LONG class_type = 0;
        if (FAILED(hr = ReadLong(args[0], lcid, class_type))) return bad_argument(0, hr);
        ObjectInOut bar;
        if (FAILED(hr = bar.Prepare(args[1]))) return bad_argument(1, hr);
        V_VT(answer.get()) = VT_DISPATCH;
        V_DISPATCH(answer.get()) = nullptr;
        hr = LoadRecentBills(class_type, bar.Target(), &V_DISPATCH(answer.get()));
        bar.Finish();
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
      answer.MoveTo(*result);
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
  ComPtr<MoveBillObject> object;
  object.Attach(new (std::nothrow) MoveBillObject());
  if (!object) return E_OUTOFMEMORY;
  return object->QueryInterface(iid, result);
}

}  // namespace zet::com
