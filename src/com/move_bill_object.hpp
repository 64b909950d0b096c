#pragma once

#include <windows.h>
// The COM headers build on <windows.h>.
#include <oaidl.h>

#include "component/cls_move_bill.hpp"

namespace zet::com {

// The vtable half of the dual interface _clsMoveBill, slot for slot as the
// type library declares it after the seven slots of IDispatch.
struct I_clsMoveBill : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE CheckSearchBill(LONG lTransType, LONG lInterID, BSTR* sInfo,
                                                    VARIANT_BOOL* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetToDoThingCount(IDispatch** result) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMaxMinInterID(LONG lTransType, LONG lType, LONG* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMoveInterID(VARIANT lBillID, LONG lMoveType, LONG lTransType, LONG* result) = 0;
  // `result` receives ADO's _Recordset, an IDispatch-derived interface.
  virtual HRESULT STDMETHODCALLTYPE LoadRecentBills(LONG m_ClassTypeID, IDispatch** ABar, IDispatch** result) = 0;
  virtual HRESULT STDMETHODCALLTYPE SaveRecentBills(LONG lBillID, LONG m_ClassTypeID, IDispatch** ABar) = 0;
};

// A new clsMoveBill object with one reference, answering `iid`.
HRESULT CreateMoveBillObject(REFIID iid, void** result);

}  // namespace zet::com
