// What the VBScript clients cannot see: the type library compiled into the
// DLL (identity, flags, slots, DISPIDs, parameter passing, the reference to
// ADO), the vtable half of the dual interface called as an early-bound
// client calls it, the corners of IDispatch::Invoke, and the server's
// unload accounting.
//
//   com_check typelib <path of ZetMMoveBill.dll> win32|win64
//   com_check calls        (both DLLs registered, the test host included)
//
// Prints PASS/FAIL lines; the exit code is the number of failures.
#include <windows.h>
// The COM headers build on <windows.h>.
#include <oaidl.h>
#include <objbase.h>
#include <oleauto.h>

#include <cstdio>
#include <string>
#include <vector>

#include "com_ids.hpp"

using zet::com::kClsId;
using zet::com::kIid;
using zet::com::kIidRecordset;
using zet::com::kLibId;
using zet::com::ParseGuid;

namespace {

int failures = 0;
int passes = 0;

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (const wchar_t c : text) out += c >= 32 && c < 127 ? static_cast<char>(c) : '?';
  return out;
}

void Report(bool ok, const std::string& name, const std::string& detail = {}) {
  if (ok) {
    ++passes;
    std::printf("PASS %s\n", name.c_str());
  } else {
    ++failures;
    std::printf("FAIL %s: %s\n", name.c_str(), detail.c_str());
  }
}

template <class T>
void Expect(const std::string& name, const T& actual, const T& expected) {
  Report(actual == expected, name, "got " + std::to_string(actual) + ", expected " + std::to_string(expected));
}

void ExpectText(const std::string& name, const std::wstring& actual, const std::wstring& expected) {
  Report(actual == expected, name, "got [" + Narrow(actual) + "], expected [" + Narrow(expected) + "]");
}

void ExpectHr(const std::string& name, HRESULT actual, HRESULT expected) {
  char detail[64];
  std::snprintf(detail, sizeof(detail), "got 0x%08lX, expected 0x%08lX", static_cast<unsigned long>(actual),
                static_cast<unsigned long>(expected));
  Report(actual == expected, name, detail);
}

template <class T>
class Ref {
 public:
  Ref() = default;
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  ~Ref() { Reset(); }
  T** Out() {
    Reset();
    return &p_;
  }
  void** OutVoid() { return reinterpret_cast<void**>(Out()); }
  T* operator->() const { return p_; }
  T* Get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  void Reset() {
    if (p_ != nullptr) p_->Release();
    p_ = nullptr;
  }

 private:
  T* p_ = nullptr;
};

std::wstring Name(ITypeInfo* info, MEMBERID id = MEMBERID_NIL) {
  BSTR name = nullptr;
  if (FAILED(info->GetDocumentation(id, &name, nullptr, nullptr, nullptr))) return L"?";
  std::wstring text = name ? name : L"";
  SysFreeString(name);
  return text;
}

// "I4", "PTR(BSTR)", "PTR(PTR(_Recordset))": a type as the library declares it.
std::wstring TypeText(ITypeInfo* info, const TYPEDESC& type) {
  if (type.vt == VT_PTR) return L"PTR(" + TypeText(info, *type.lptdesc) + L")";
  if (type.vt == VT_USERDEFINED) {
    Ref<ITypeInfo> target;
    if (FAILED(info->GetRefTypeInfo(type.hreftype, target.Out()))) return L"USERDEFINED(unresolved)";
    return Name(target.Get());
  }
  const std::pair<VARTYPE, const wchar_t*> names[] = {
      {VT_I4, L"I4"},           {VT_BSTR, L"BSTR"},         {VT_BOOL, L"BOOL"},
      {VT_VARIANT, L"VARIANT"}, {VT_DISPATCH, L"DISPATCH"}, {VT_HRESULT, L"HRESULT"}};
  for (const auto& [vt, name] : names) {
    if (vt == type.vt) return name;
  }
  return L"VT" + std::to_wstring(type.vt);
}

std::wstring FlagText(USHORT flags) {
  std::wstring text;
  const std::pair<USHORT, const wchar_t*> names[] = {{PARAMFLAG_FIN, L"in"},
                                                     {PARAMFLAG_FOUT, L"out"},
                                                     {PARAMFLAG_FRETVAL, L"retval"},
                                                     {PARAMFLAG_FOPT, L"opt"},
                                                     {PARAMFLAG_FHASDEFAULT, L"default"}};
  for (const auto& [flag, name] : names) {
    if (flags & flag) text += std::wstring(text.empty() ? L"" : L" ") + name;
  }
  return text;
}

struct Param {
  const wchar_t* name;
  const wchar_t* passing;  // flags, then the type
};
struct Member {
  const wchar_t* name;
  MEMBERID id;
  std::vector<Param> params;
};

const std::vector<Member>& Members() {
  static const std::vector<Member> members = {
      {L"CheckSearchBill",
       0x60030000,
       {{L"lTransType", L"in I4"},
        {L"lInterID", L"in I4"},
        {L"sInfo", L"in out PTR(BSTR)"},
        {L"result", L"out retval PTR(BOOL)"}}},
      {L"GetToDoThingCount", 0x60030005, {{L"result", L"out retval PTR(DISPATCH)"}}},
      {L"GetMaxMinInterID",
       0x60030007,
       {{L"lTransType", L"in I4"}, {L"lType", L"in I4"}, {L"result", L"out retval PTR(I4)"}}},
      {L"GetMoveInterID",
       0x60030008,
       {{L"lBillID", L"in VARIANT"},
        {L"lMoveType", L"in I4"},
        {L"lTransType", L"in I4"},
        {L"result", L"out retval PTR(I4)"}}},
      {L"LoadRecentBills",
       0x60030009,
       {{L"m_ClassTypeID", L"in I4"},
        {L"ABar", L"in out opt default PTR(DISPATCH)"},
        {L"result", L"out retval PTR(PTR(_Recordset))"}}},
      {L"SaveRecentBills",
       0x6003000A,
       {{L"lBillID", L"in I4"}, {L"m_ClassTypeID", L"in I4"}, {L"ABar", L"in out opt default PTR(DISPATCH)"}}},
  };
  return members;
}

// `imports` tells whether references into other libraries can be resolved:
// a library built for Win32 looks ADO up in the 32-bit registrations, which a
// 64-bit test process does not see.
void CheckMember(ITypeInfo* info, UINT index, const Member& expected, size_t pointer_size, bool imports) {
  const std::string prefix = "slot " + std::to_string(7 + index) + " " + Narrow(expected.name);
  FUNCDESC* func = nullptr;
  if (FAILED(info->GetFuncDesc(index, &func))) return Report(false, prefix, "no function description");
  Expect(prefix + ": DISPID", static_cast<long>(func->memid), static_cast<long>(expected.id));
  Expect(prefix + ": vtable offset", static_cast<long>(func->oVft), static_cast<long>((7 + index) * pointer_size));
  Report(func->funckind == FUNC_PUREVIRTUAL && func->invkind == INVOKE_FUNC && func->callconv == CC_STDCALL,
         prefix + ": pure virtual stdcall method", "funckind/invkind/callconv differ");
  ExpectText(prefix + ": returns", TypeText(info, func->elemdescFunc.tdesc), L"HRESULT");
  Expect(prefix + ": parameter count", static_cast<size_t>(func->cParams), expected.params.size());

  BSTR names[8] = {};
  UINT name_count = 0;
  info->GetNames(func->memid, names, 8, &name_count);
  ExpectText(prefix + ": name", names[0] ? names[0] : L"", expected.name);
  for (size_t p = 0; p < expected.params.size() && p < static_cast<size_t>(func->cParams); ++p) {
    const ELEMDESC& element = func->lprgelemdescParam[p];
    const std::wstring passing = FlagText(element.paramdesc.wParamFlags) + L" " + TypeText(info, element.tdesc);
    const std::string label = prefix + " parameter " + std::to_string(p + 1);
    // The retval parameter has no name of its own in the name list.
    if (p + 1 < name_count) ExpectText(label + " name", names[p + 1] ? names[p + 1] : L"", expected.params[p].name);
    std::wstring expected_passing = expected.params[p].passing;
    const size_t ado = expected_passing.find(L"_Recordset");
    if (!imports && ado != std::wstring::npos) expected_passing.replace(ado, 10, L"USERDEFINED(unresolved)");
    ExpectText(label + " passing", passing, expected_passing);
    if (element.paramdesc.wParamFlags & PARAMFLAG_FHASDEFAULT) {
      const VARIANT& value = element.paramdesc.pparamdescex->varDefaultValue;
      Report(V_VT(&value) == VT_DISPATCH && V_DISPATCH(&value) == nullptr, label + " default is Nothing",
             "default of type " + std::to_string(V_VT(&value)));
    }
  }
  for (UINT n = 0; n < name_count; ++n) SysFreeString(names[n]);
  info->ReleaseFuncDesc(func);
}

// The _Recordset of LoadRecentBills is ADO 2.8's own, referenced, not copied.
void CheckRecordsetReference(ITypeInfo* info) {
  FUNCDESC* func = nullptr;
  if (FAILED(info->GetFuncDesc(4, &func))) return Report(false, "ADO reference", "no LoadRecentBills");
  const TYPEDESC* type = &func->lprgelemdescParam[2].tdesc;
  while (type->vt == VT_PTR) type = type->lptdesc;
  Ref<ITypeInfo> recordset;
  Ref<ITypeLib> library;
  UINT index = 0;
  TYPEATTR* attr = nullptr;
  TLIBATTR* lib_attr = nullptr;
  const bool resolved = type->vt == VT_USERDEFINED &&
                        SUCCEEDED(info->GetRefTypeInfo(type->hreftype, recordset.Out())) &&
                        SUCCEEDED(recordset->GetContainingTypeLib(library.Out(), &index)) &&
                        SUCCEEDED(recordset->GetTypeAttr(&attr)) && SUCCEEDED(library->GetLibAttr(&lib_attr));
  Report(resolved, "ADO reference resolves through ADO's registered library", "unresolved");
  if (resolved) {
    Report(attr->guid == kIidRecordset, "ADO reference is IID__Recordset", "another GUID");
    Report(lib_attr->guid == ParseGuid("2A75196C-D9EB-4129-B803-931327F72D5C"), "ADO reference lies in ADODB",
           "another library");
    Expect("ADO reference library version", lib_attr->wMajorVerNum * 100 + lib_attr->wMinorVerNum, 208);
    recordset->ReleaseTypeAttr(attr);
    library->ReleaseTLibAttr(lib_attr);
  }
  info->ReleaseFuncDesc(func);
}

int CheckTypeLib(const std::wstring& path, SYSKIND syskind) {
  Ref<ITypeLib> library;
  HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.Out());
  ExpectHr("type library loads from the DLL", hr, S_OK);
  if (FAILED(hr)) return failures;

  TLIBATTR* attr = nullptr;
  library->GetLibAttr(&attr);
  Report(attr->guid == kLibId, "library GUID", "another GUID");
  Expect("library system kind", static_cast<int>(attr->syskind), static_cast<int>(syskind));
  library->ReleaseTLibAttr(attr);
  BSTR name = nullptr;
  library->GetDocumentation(-1, &name, nullptr, nullptr, nullptr);
  ExpectText("library name", name ? name : L"", L"ZetMMoveBill");
  SysFreeString(name);

  Ref<ITypeInfo> dispatch;
  hr = library->GetTypeInfoOfGuid(kIid, dispatch.Out());
  ExpectHr("interface found by IID", hr, S_OK);
  if (FAILED(hr)) return failures;
  TYPEATTR* type = nullptr;
  dispatch->GetTypeAttr(&type);
  ExpectText("interface name", Name(dispatch.Get()), L"_clsMoveBill");
  Expect("interface kind", static_cast<int>(type->typekind), static_cast<int>(TKIND_DISPATCH));
  Expect("dispatch flags: hidden, dual, nonextensible, dispatchable", static_cast<int>(type->wTypeFlags),
         static_cast<int>(TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE));
  dispatch->ReleaseTypeAttr(type);

  HREFTYPE vtable_ref = 0;
  Ref<ITypeInfo> vtable;
  hr = dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable_ref);
  if (SUCCEEDED(hr)) hr = dispatch->GetRefTypeInfo(vtable_ref, vtable.Out());
  ExpectHr("dual interface has a vtable half", hr, S_OK);
  if (FAILED(hr)) return failures;
  vtable->GetTypeAttr(&type);
  Expect("vtable half kind", static_cast<int>(type->typekind), static_cast<int>(TKIND_INTERFACE));
  Expect("vtable half members", static_cast<int>(type->cFuncs), 6);
  Expect("interface flags: hidden, dual, nonextensible, oleautomation, dispatchable",
         static_cast<int>(type->wTypeFlags),
         static_cast<int>(TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION |
                          TYPEFLAG_FDISPATCHABLE));
  vtable->ReleaseTypeAttr(type);
  HREFTYPE base_ref = 0;
  Ref<ITypeInfo> base;
  if (SUCCEEDED(vtable->GetRefTypeOfImplType(0, &base_ref)) &&
      SUCCEEDED(vtable->GetRefTypeInfo(base_ref, base.Out()))) {
    ExpectText("derives from", Name(base.Get()), L"IDispatch");
  } else {
    Report(false, "derives from", "no base interface");
  }
  // oleaut32 gives the slot offsets for the process's own pointer size,
  // whichever system kind the library was built for.
  const size_t pointer_size = sizeof(void*);
  const bool imports = (syskind == SYS_WIN64) == (sizeof(void*) == 8);
  for (UINT i = 0; i < Members().size(); ++i) CheckMember(vtable.Get(), i, Members()[i], pointer_size, imports);
  if (imports) {
    CheckRecordsetReference(vtable.Get());
  } else {
    std::printf("SKIP ADO reference: resolved only in a process of the library's own width\n");
  }

  Ref<ITypeInfo> coclass;
  hr = library->GetTypeInfoOfGuid(kClsId, coclass.Out());
  ExpectHr("class found by CLSID", hr, S_OK);
  if (SUCCEEDED(hr)) {
    coclass->GetTypeAttr(&type);
    ExpectText("class name", Name(coclass.Get()), L"clsMoveBill");
    Report(type->typekind == TKIND_COCLASS && (type->wTypeFlags & TYPEFLAG_FCANCREATE) && type->cImplTypes == 1,
           "class is creatable with one interface", "kind, flags or interface count differ");
    coclass->ReleaseTypeAttr(type);
    INT impl_flags = 0;
    HREFTYPE impl_ref = 0;
    Ref<ITypeInfo> impl;
    coclass->GetImplTypeFlags(0, &impl_flags);
    Report(impl_flags & IMPLTYPEFLAG_FDEFAULT, "_clsMoveBill is the default interface", "not default");
    if (SUCCEEDED(coclass->GetRefTypeOfImplType(0, &impl_ref)) &&
        SUCCEEDED(coclass->GetRefTypeInfo(impl_ref, impl.Out())))
      ExpectText("class implements", Name(impl.Get()), L"_clsMoveBill");
  }
  return failures;
}

// ---- calls against the registered server ----

VARIANT Long(LONG value) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_I4;
  V_I4(&v) = value;
  return v;
}

VARIANT Text(const wchar_t* value) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = SysAllocString(value);
  return v;
}

VARIANT Object(IDispatch* value) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_DISPATCH;
  V_DISPATCH(&v) = value;
  value->AddRef();
  return v;
}

// A late-bound call by name with arguments in the order written.
HRESULT CallByName(IDispatch* object, const wchar_t* member, std::vector<VARIANT> args, VARIANT* result = nullptr,
                   WORD flags = DISPATCH_METHOD) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(member)};
  DISPID id = 0;
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  if (flags == DISPATCH_PROPERTYPUT) {
    params.rgdispidNamedArgs = &put;
    params.cNamedArgs = 1;
  }
  EXCEPINFO excep{};
  hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &excep, nullptr);
  SysFreeString(excep.bstrSource);
  SysFreeString(excep.bstrDescription);
  SysFreeString(excep.bstrHelpFile);
  for (VARIANT& v : args) VariantClear(&v);
  return hr;
}

// The recorder's answer as a number (-1 for none) or a text.
LONG AskLong(IDispatch* recorder, const wchar_t* member, std::vector<VARIANT> args = {}) {
  VARIANT result;
  VariantInit(&result);
  CallByName(recorder, member, std::move(args), &result);
  return V_VT(&result) == VT_I4 ? V_I4(&result) : -1;
}

std::wstring AskText(IDispatch* recorder, const wchar_t* member, std::vector<VARIANT> args) {
  VARIANT result;
  VariantInit(&result);
  CallByName(recorder, member, std::move(args), &result);
  std::wstring text = V_VT(&result) == VT_BSTR && V_BSTR(&result) ? V_BSTR(&result) : L"";
  VariantClear(&result);
  return text;
}

void Script(IDispatch* recorder, const wchar_t* props) {
  CallByName(recorder, L"Reset", {});
  CallByName(recorder, L"Props", {Text(props)}, nullptr, DISPATCH_PROPERTYPUT);
}

void AnswerAdmin(IDispatch* recorder) {
  CallByName(recorder, L"Answer", {Text(L"FROM t_Group WHERE FUserID=1 AND FGroupID=1"), Text(L"X"), Text(L"1")});
}

HRESULT InvokeRaw(IDispatch* object, DISPID id, std::vector<VARIANT>& reversed_args, WORD flags = DISPATCH_METHOD,
                  UINT* arg_err = nullptr, std::vector<DISPID> named = {}) {
  DISPPARAMS params{reversed_args.data(), named.empty() ? nullptr : named.data(),
                    static_cast<UINT>(reversed_args.size()), static_cast<UINT>(named.size())};
  VARIANT result;
  VariantInit(&result);
  EXCEPINFO excep{};
  const HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &result, &excep, arg_err);
  VariantClear(&result);
  SysFreeString(excep.bstrSource);
  SysFreeString(excep.bstrDescription);
  SysFreeString(excep.bstrHelpFile);
  return hr;
}

// Through the vtable half, as an early-bound client's compiled call goes.
HRESULT EarlyBound(ITypeInfo* info, IUnknown* object, MEMBERID id, std::vector<VARIANT> reversed_args,
                   VARIANT& result) {
  DISPPARAMS params{reversed_args.data(), nullptr, static_cast<UINT>(reversed_args.size()), 0};
  VariantInit(&result);
  EXCEPINFO excep{};
  UINT arg_err = 0;
  return info->Invoke(object, id, DISPATCH_METHOD, &params, &result, &excep, &arg_err);
}

VARIANT BstrRef(BSTR* text) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BYREF | VT_BSTR;
  V_BSTRREF(&v) = text;
  return v;
}

using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();

// One call of the component on a thread of its own, which then ends with or
// without leaving its apartment first.
DWORD WINAPI CallOnThread(void* uninitialize) {
  CoInitialize(nullptr);
  Ref<IDispatch> object;
  DWORD outcome = 1;
  if (SUCCEEDED(CoCreateInstance(kClsId, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.OutVoid()))) {
    VARIANT result;
    VariantInit(&result);
    if (SUCCEEDED(CallByName(object.Get(), L"GetMoveInterID", {Long(77), Long(3), Long(1000201)}, &result)) &&
        V_VT(&result) == VT_I4 && V_I4(&result) == 80) {
      outcome = 0;
    }
  }
  object.Reset();
  if (uninitialize != nullptr) CoUninitialize();
  return outcome;
}

// The per-thread creation service outlives the calls and goes with the
// thread or the module; neither may take the process down. The service's
// references are dropped without a Release then (see CallScope).
void CheckThreadsAndUnloading(IDispatch* recorder) {
  Script(recorder, L"UserID=1;");
  AnswerAdmin(recorder);
  CallByName(recorder, L"Answer", {Text(L" select ISNULL(min("), Text(L"X"), Text(L"80")});
  const LONG services = AskLong(recorder, L"Live", {Text(L"ServiceFactory")});
  for (const bool uninitialize : {true, false}) {
    const std::string name = uninitialize ? "thread leaving its apartment" : "thread ending inside its apartment";
    HANDLE thread = CreateThread(nullptr, 0, CallOnThread, uninitialize ? recorder : nullptr, 0, nullptr);
    const bool ended = WaitForSingleObject(thread, 30000) == WAIT_OBJECT_0;
    DWORD outcome = 2;
    GetExitCodeThread(thread, &outcome);
    CloseHandle(thread);
    Report(ended && outcome == 0, name + ": call answered, thread ended", "outcome " + std::to_string(outcome));
  }
  Expect("each thread made its own creation service", AskLong(recorder, L"Live", {Text(L"ServiceFactory")}),
         services + 2);

  // With no object left, COM may unload the server; a later object loads it
  // again and works.
  CoFreeUnusedLibrariesEx(0, 0);
  CoFreeUnusedLibrariesEx(0, 0);
  std::printf("NOTE server %s after CoFreeUnusedLibrariesEx\n",
              GetModuleHandleW(L"ZetMMoveBill.dll") == nullptr ? "unloaded" : "still loaded");
  Ref<IDispatch> object;
  ExpectHr("created again after unloading",
           CoCreateInstance(kClsId, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.OutVoid()), S_OK);
  if (object) {
    VARIANT result;
    VariantInit(&result);
    ExpectHr("called again after unloading",
             CallByName(object.Get(), L"GetMoveInterID", {Long(77), Long(3), Long(1000201)}, &result), S_OK);
    Report(V_VT(&result) == VT_I4 && V_I4(&result) == 80, "answer after unloading", "wrong answer");
  }
}

int CheckCalls() {
  CoInitialize(nullptr);
  Ref<IDispatch> recorder;
  CLSID recorder_clsid{};
  CLSIDFromProgID(L"ZetTestHost.Recorder", &recorder_clsid);
  ExpectHr("test host recorder",
           CoCreateInstance(recorder_clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, recorder.OutVoid()), S_OK);
  if (!recorder) return failures;

  Ref<IDispatch> object;
  ExpectHr("created by CLSID", CoCreateInstance(kClsId, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.OutVoid()),
           S_OK);
  if (!object) return failures;

  HMODULE module = GetModuleHandleW(L"ZetMMoveBill.dll");
  auto can_unload = reinterpret_cast<CanUnloadNow>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  Report(can_unload != nullptr, "DllCanUnloadNow exported", "missing");
  if (can_unload == nullptr) return failures;
  ExpectHr("DllCanUnloadNow with an object alive", can_unload(), S_FALSE);

  // QueryInterface answers.
  {
    Ref<IUnknown> answer;
    ExpectHr("answers _clsMoveBill", object->QueryInterface(kIid, answer.OutVoid()), S_OK);
    ExpectHr("answers ISupportErrorInfo", object->QueryInterface(IID_ISupportErrorInfo, answer.OutVoid()), S_OK);
    ExpectHr("refuses IPersist", object->QueryInterface(IID_IPersist, answer.OutVoid()), E_NOINTERFACE);
    UINT count = 0;
    object->GetTypeInfoCount(&count);
    Expect("type info count", count, 1U);
    Ref<ITypeInfo> info;
    ExpectHr("only type info 0", object->GetTypeInfo(1, 0, info.Out()), DISP_E_BADINDEX);
  }

  // The vtable half, called through the type library as an early-bound
  // client's compiled calls go: slot offsets and argument layout must match.
  Ref<ITypeInfo> dispatch_info;
  Ref<ITypeInfo> vtable_info;
  HREFTYPE vtable_ref = 0;
  object->GetTypeInfo(0, LOCALE_USER_DEFAULT, dispatch_info.Out());
  dispatch_info->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable_ref);
  dispatch_info->GetRefTypeInfo(vtable_ref, vtable_info.Out());
  Ref<IUnknown> vtable;
  object->QueryInterface(kIid, vtable.OutVoid());
  {
    Script(recorder.Get(), L"UserID=1;");
    AnswerAdmin(recorder.Get());
    CallByName(recorder.Get(), L"Answer", {Text(L" SELECT ISNULL(Max("), Text(L"FInterID"), Text(L"4711")});
    VARIANT result;
    ExpectHr("early-bound GetMaxMinInterID",
             EarlyBound(vtable_info.Get(), vtable.Get(), 0x60030007, {Long(2), Long(1125)}, result), S_OK);
    Report(V_VT(&result) == VT_I4 && V_I4(&result) == 4711, "early-bound GetMaxMinInterID result",
           "type " + std::to_string(V_VT(&result)));
    ExpectText("early-bound statement", AskText(recorder.Get(), L"Statement", {Long(2)}),
               L" SELECT ISNULL(Max(v1.FVoucherID),0) as FInterID From t_Voucher v1 where 1=1 ");
  }
  {
    Script(recorder.Get(), L"UserID=16;");
    BSTR info = SysAllocString(L"keep");
    VARIANT result;
    ExpectHr("early-bound CheckSearchBill",
             EarlyBound(vtable_info.Get(), vtable.Get(), 0x60030000, {BstrRef(&info), Long(1050), Long(1)}, result),
             S_OK);
    Report(V_VT(&result) == VT_BOOL && V_BOOL(&result) == VARIANT_FALSE, "early-bound CheckSearchBill result",
           "not False");
    ExpectText("early-bound sInfo written back", info ? info : L"",
               L"\u5355\u636E\u663E\u793A\u9519\u8BEF\uFF0C\u6240\u9009\u5355\u636E\u53EF\u80FD\u5DF2\u7ECF\u88AB"
               L"\u5220\u9664\uFF01");
    SysFreeString(info);
  }
  {
    Script(recorder.Get(), L"UserID=25;");
    VARIANT result;
    ExpectHr("early-bound LoadRecentBills without the toolbar",
             EarlyBound(vtable_info.Get(), vtable.Get(), 0x60030009, {Long(1)}, result), S_OK);
    Report(V_VT(&result) == VT_DISPATCH && V_DISPATCH(&result) != nullptr, "early-bound recordset", "none");
    VariantClear(&result);
  }

  // Late-bound: a String variable by reference, and a named argument.
  {
    Script(recorder.Get(), L"UserID=16;");
    BSTR info = SysAllocString(L"keep");
    std::vector<VARIANT> args = {BstrRef(&info), Long(9), Long(1125)};
    ExpectHr("late-bound CheckSearchBill with a String variable", InvokeRaw(object.Get(), 0x60030000, args), S_OK);
    ExpectText("String variable written back", info ? info : L"",
               L"\u51ED\u8BC1\u663E\u793A\u9519\u8BEF\uFF0C\u6240\u9009\u51ED\u8BC1\u53EF\u80FD\u5DF2\u7ECF\u88AB"
               L"\u5220\u9664\uFF01");
    SysFreeString(info);
  }
  {
    Script(recorder.Get(), L"UserID=25;");
    CallByName(recorder.Get(), L"Answer",
               {Text(L" select b.*"), Text(L"FUserID|FBillID|FClassTypeID|FNo|FBigType|FBillNo|FName"),
                Text(L"25|88|1|1|2|s:B-1|Stock out")});
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"LoadRecentBills"), const_cast<LPOLESTR>(L"abar")};
    DISPID ids[2] = {};
    ExpectHr("names of a member and its parameter", object->GetIDsOfNames(IID_NULL, names, 2, LOCALE_USER_DEFAULT, ids),
             S_OK);
    Expect("parameter ABar is position 1", static_cast<long>(ids[1]), 1L);
    Ref<IDispatch> bar;
    CLSID bar_clsid{};
    CLSIDFromProgID(L"ZetTestHost.Toolbar", &bar_clsid);
    CoCreateInstance(bar_clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, bar.OutVoid());
    std::vector<VARIANT> args = {Object(bar.Get()), Long(1)};
    ExpectHr("named ABar", InvokeRaw(object.Get(), ids[0], args, DISPATCH_METHOD, nullptr, {ids[1]}), S_OK);
    VariantClear(&args[0]);
    // The component's refresh journals the tool it filled.
    const std::wstring journal = AskText(recorder.Get(), L"Journal", {});
    const size_t tool = journal.find(L"Tool(0).Text = ");
    Report(tool != std::wstring::npos && journal.find(L"\"1|88\"", tool) < journal.find(L'\n', tool),
           "named ABar fills the menu", "tool 0 not given the bill");
  }

  // Corners of Invoke that no client should be able to turn into a crash.
  {
    Script(recorder.Get(), L"UserID=1;");
    std::vector<VARIANT> none;
    ExpectHr("assignment to a method", InvokeRaw(object.Get(), 0x60030007, none, DISPATCH_PROPERTYPUT),
             DISP_E_MEMBERNOTFOUND);
    ExpectHr("a DISPID in the gap", InvokeRaw(object.Get(), 0x60030001, none), DISP_E_MEMBERNOTFOUND);
    ExpectHr("no arguments for a method that takes two", InvokeRaw(object.Get(), 0x60030007, none),
             DISP_E_BADPARAMCOUNT);
    std::vector<VARIANT> three = {Long(1), Long(2), Long(3)};
    ExpectHr("three arguments for two", InvokeRaw(object.Get(), 0x60030007, three), DISP_E_BADPARAMCOUNT);
    UINT arg_err = 99;
    std::vector<VARIANT> bad_first = {Long(1), Text(L"abc")};
    ExpectHr("first argument no number", InvokeRaw(object.Get(), 0x60030007, bad_first, DISPATCH_METHOD, &arg_err),
             DISP_E_TYPEMISMATCH);
    Expect("puArgErr names the first argument", arg_err, 1U);
    VariantClear(&bad_first[1]);
    std::vector<VARIANT> bad_second = {Text(L"abc"), Long(1)};
    ExpectHr("second argument no number", InvokeRaw(object.Get(), 0x60030007, bad_second, DISPATCH_METHOD, &arg_err),
             DISP_E_TYPEMISMATCH);
    Expect("puArgErr names the second argument", arg_err, 0U);
    VariantClear(&bad_second[0]);
    std::vector<VARIANT> named_bad = {Long(1), Long(1125)};
    ExpectHr("a named argument that does not exist",
             InvokeRaw(object.Get(), 0x60030007, named_bad, DISPATCH_METHOD, &arg_err, {7}), DISP_E_PARAMNOTFOUND);
    VARIANT missing;
    VariantInit(&missing);
    V_VT(&missing) = VT_ERROR;
    V_ERROR(&missing) = DISP_E_PARAMNOTFOUND;
    std::vector<VARIANT> required_missing = {Long(1), missing};
    ExpectHr("a required argument left out", InvokeRaw(object.Get(), 0x60030007, required_missing),
             DISP_E_PARAMNOTOPTIONAL);
    Expect("no statement sent", AskLong(recorder.Get(), L"StatementCount"), 0L);
  }

  // Unload accounting: objects and server locks.
  {
    Ref<IClassFactory> factory;
    ExpectHr("class factory",
             CoGetClassObject(kClsId, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.OutVoid()), S_OK);
    Ref<IUnknown> aggregated;
    ExpectHr("no aggregation", factory->CreateInstance(recorder.Get(), IID_IUnknown, aggregated.OutVoid()),
             CLASS_E_NOAGGREGATION);
    vtable.Reset();
    object.Reset();
    ExpectHr("DllCanUnloadNow with no object", can_unload(), S_OK);
    factory->LockServer(TRUE);
    ExpectHr("DllCanUnloadNow while locked", can_unload(), S_FALSE);
    factory->LockServer(FALSE);
    ExpectHr("DllCanUnloadNow unlocked", can_unload(), S_OK);
  }
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  auto get_class_object =
      reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
  void* other = nullptr;
  ExpectHr("no factory for another CLSID", get_class_object(kLibId, IID_IClassFactory, &other),
           CLASS_E_CLASSNOTAVAILABLE);

  CheckThreadsAndUnloading(recorder.Get());

  CallByName(recorder.Get(), L"Reset", {});
  recorder.Reset();
  dispatch_info.Reset();
  vtable_info.Reset();
  CoUninitialize();
  return failures;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // Every line out at once: a run that hangs still shows how far it got.
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc == 4 && std::wstring(argv[1]) == L"typelib") {
    CheckTypeLib(argv[2], std::wstring(argv[3]) == L"win64" ? SYS_WIN64 : SYS_WIN32);
  } else if (argc == 2 && std::wstring(argv[1]) == L"calls") {
    CheckCalls();
  } else {
    std::printf("usage: com_check typelib <dll> win32|win64 | com_check calls\n");
    return 2;
  }
  std::printf("DONE %d passed, %d failed\n", passes, failures);
  return failures;
}
