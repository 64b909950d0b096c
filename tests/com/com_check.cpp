// What the VBScript clients cannot see, from C++ under Wine; prints PASS/FAIL lines, exits with the failures' count.
//   com_check typelib <dll> win32|win64   the type library compiled into the DLL
//   com_check registry <dll>              registering and unregistering, in process
//   com_check calls                       vtable calls, the corners of Invoke, every pointer a client may get wrong,
//                                         threads and unloading (both DLLs registered)
//   com_check unload <dll>                the DLL freed under a thread that called it
#include <windows.h>
// The COM headers build on <windows.h>.
#include <oaidl.h>
#include <objbase.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <cstdio>
#include <cwctype>
#include <map>
#include <string>
#include <vector>

#include "com_ids.hpp"

using Microsoft::WRL::ComPtr;
using namespace zet::com;

namespace {

// The DISPIDs as the type library publishes them: written out here, not taken
// from the component's own header, so that a wrong one there shows.
constexpr DISPID kSearch = 0x60030000, kToDo = 0x60030005, kMaxMin = 0x60030007, kMove = 0x60030008, kLoad = 0x60030009,
                 kSave = 0x6003000A;

int failures = 0, passes = 0;

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (const wchar_t c : text) out += c >= 32 && c < 127 ? static_cast<char>(c) : '?';
  return out;
}

std::wstring Hex(long value) {
  wchar_t text[16];
  std::swprintf(text, 16, L"%08lX", static_cast<unsigned long>(value));
  return text;
}

void Expect(const std::string& name, const std::wstring& actual, const std::wstring& expected) {
  actual == expected ? ++passes : ++failures;
  std::printf(actual == expected ? "PASS %s\n" : "FAIL %s: got [%s], expected [%s]\n", name.c_str(),
              Narrow(actual).c_str(), Narrow(expected).c_str());
}

void Expect(const std::string& name, long actual, long expected) {
  Expect(name, Hex(actual), Hex(expected));
}

std::wstring Guid(const GUID& guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

// ---- the type library ----

// The name of a library or a type.
template <class Info>
std::wstring Name(Info* info) {
  BSTR name = nullptr;
  info->GetDocumentation(-1, &name, nullptr, nullptr, nullptr);
  std::wstring text = name ? name : L"?";
  SysFreeString(name);
  return text;
}

// "I4", "PTR(BSTR)", "PTR(PTR(_Recordset))": a type as the library declares it.
std::wstring TypeText(ITypeInfo* info, const TYPEDESC& type) {
  if (type.vt == VT_PTR) return L"PTR(" + TypeText(info, *type.lptdesc) + L")";
  ComPtr<ITypeInfo> target;
  if (type.vt == VT_USERDEFINED)
    return SUCCEEDED(info->GetRefTypeInfo(type.hreftype, &target)) ? Name(target.Get()) : L"unresolved";
  const std::map<VARTYPE, const wchar_t*> names = {
      {VT_I4, L"I4"},           {VT_BSTR, L"BSTR"},         {VT_BOOL, L"BOOL"},
      {VT_VARIANT, L"VARIANT"}, {VT_DISPATCH, L"DISPATCH"}, {VT_HRESULT, L"HRESULT"}};
  return names.count(type.vt) ? names.at(type.vt) : L"VT" + std::to_wstring(type.vt);
}

// A function as one line: "id 60030000 slot 7 CheckSearchBill(in I4 lTransType, ...) HRESULT".
std::wstring FuncText(ITypeInfo* info, UINT index) {
  FUNCDESC* func = nullptr;
  if (FAILED(info->GetFuncDesc(index, &func))) return L"none";
  BSTR names[8] = {};
  UINT count = 0;
  info->GetNames(func->memid, names, 8, &count);
  const bool plain = func->funckind == FUNC_PUREVIRTUAL && func->invkind == INVOKE_FUNC && func->callconv == CC_STDCALL;
  std::wstring text = L"id " + Hex(func->memid) + L" slot " + std::to_wstring(func->oVft / sizeof(void*)) +
                      (plain ? L" " : L" odd ") + names[0] + L"(";
  // The PARAMFLAG_ bits, lowest first.
  const wchar_t* const flags[] = {L"in ", L"out ", L"lcid ", L"retval ", L"opt ", L"default "};
  for (SHORT p = 0; p < func->cParams; ++p) {
    const ELEMDESC& element = func->lprgelemdescParam[p];
    text += p ? L", " : L"";
    for (int bit = 0; bit < 6; ++bit) text += element.paramdesc.wParamFlags & (1 << bit) ? flags[bit] : L"";
    text += TypeText(info, element.tdesc);
    // A return value has no name of its own on every system.
    if (static_cast<UINT>(p) + 1 < count && !(element.paramdesc.wParamFlags & PARAMFLAG_FRETVAL))
      text += std::wstring(L" ") + names[p + 1];
    if (element.paramdesc.wParamFlags & PARAMFLAG_FHASDEFAULT) {
      const VARIANT& value = element.paramdesc.pparamdescex->varDefaultValue;
      text += V_VT(&value) == VT_DISPATCH && V_DISPATCH(&value) == nullptr ? L" = Nothing" : L" = ?";
    }
  }
  for (BSTR name : names) SysFreeString(name);
  text += L") " + TypeText(info, func->elemdescFunc.tdesc);
  info->ReleaseFuncDesc(func);
  return text;
}

// A type's name, kind, flags, members and first implemented type, as one line.
std::wstring TypeLine(ITypeInfo* info) {
  TYPEATTR* type = nullptr;
  HREFTYPE ref = 0;
  ComPtr<ITypeInfo> base;
  INT impl_flags = 0;
  if (!info || FAILED(info->GetTypeAttr(&type))) return L"missing";
  info->GetRefTypeOfImplType(0, &ref);
  info->GetRefTypeInfo(ref, &base);
  info->GetImplTypeFlags(0, &impl_flags);
  std::wstring text = Name(info) + L" " + std::to_wstring(type->typekind) + L" " + Hex(type->wTypeFlags) + L" " +
                      std::to_wstring(type->cFuncs) + L" " + (base ? Name(base.Get()) : L"none") + L" " +
                      std::to_wstring(impl_flags);
  info->ReleaseTypeAttr(type);
  return text;
}

void CheckTypeLib(const wchar_t* path, SYSKIND syskind) {
  ComPtr<ITypeLib> library;
  Expect("type library loads from the DLL", LoadTypeLibEx(path, REGKIND_NONE, &library), S_OK);
  if (!library) return;
  TLIBATTR* attr = nullptr;
  library->GetLibAttr(&attr);
  Expect("library GUID, system kind, locale, version, name, type infos",
         Guid(attr->guid) + L" " + std::to_wstring(attr->syskind) + L" " + Hex(attr->lcid) + L" " +
             std::to_wstring(attr->wMajorVerNum) + L"." + std::to_wstring(attr->wMinorVerNum) + L" " +
             Name(library.Get()) + L" " + std::to_wstring(library->GetTypeInfoCount()),
         Guid(kLibId) + L" " + std::to_wstring(syskind) + L" 00000409 2.0 ZetMMoveBill 2");
  library->ReleaseTLibAttr(attr);

  ComPtr<ITypeInfo> dispatch, vtable, coclass;
  HREFTYPE ref = 0;
  library->GetTypeInfoOfGuid(kIid, &dispatch);
  library->GetTypeInfoOfGuid(kClsId, &coclass);
  if (dispatch && SUCCEEDED(dispatch->GetRefTypeOfImplType(-1, &ref))) dispatch->GetRefTypeInfo(ref, &vtable);
  const long dual = TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE;
  Expect("_clsMoveBill, vtable half", TypeLine(vtable.Get()),
         L"_clsMoveBill 3 " + Hex(dual | TYPEFLAG_FOLEAUTOMATION) + L" 6 IDispatch 0");
  Expect("clsMoveBill creatable, _clsMoveBill its default interface", TypeLine(coclass.Get()),
         L"clsMoveBill 5 " + Hex(TYPEFLAG_FCANCREATE) + L" 0 _clsMoveBill " + std::to_wstring(IMPLTYPEFLAG_FDEFAULT));
  if (!vtable) return;
  // ADO's library is looked up among the registrations of the library's own
  // width, which a process of the other width does not see.
  const std::wstring recordset = (syskind == SYS_WIN64) == (sizeof(void*) == 8) ? L"_Recordset" : L"unresolved";
  const std::wstring bar = L"in out opt default PTR(DISPATCH) ABar = Nothing";
  const std::wstring expected[] = {
      L"id 60030000 slot 7 CheckSearchBill(in I4 lTransType, in I4 lInterID, in out PTR(BSTR) sInfo, out retval "
      L"PTR(BOOL)) HRESULT",
      L"id 60030005 slot 8 GetToDoThingCount(out retval PTR(DISPATCH)) HRESULT",
      L"id 60030007 slot 9 GetMaxMinInterID(in I4 lTransType, in I4 lType, out retval PTR(I4)) HRESULT",
      L"id 60030008 slot 10 GetMoveInterID(in VARIANT lBillID, in I4 lMoveType, in I4 lTransType, out retval PTR(I4)) "
      L"HRESULT",
      L"id 60030009 slot 11 LoadRecentBills(in I4 m_ClassTypeID, " + bar + L", out retval PTR(PTR(" + recordset +
          L"))) HRESULT",
      L"id 6003000A slot 12 SaveRecentBills(in I4 lBillID, in I4 m_ClassTypeID, " + bar + L") HRESULT"};
  for (UINT i = 0; i < 6; ++i) Expect("member " + std::to_string(i), FuncText(vtable.Get(), i), expected[i]);
}

// ---- registration ----

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(towlower(c));
  return text;
}

// Every key below `path` with its values, one " path=;name=type:data" each,
// paths in lower case (the system writes "Typelib" where we write "TypeLib").
void Dump(const std::wstring& path, std::wstring& out) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  out += L" " + Lower(path) + L"=";
  wchar_t name[512], data[1024];
  DWORD length = 512, size = sizeof(data), type = 0;
  for (DWORD i = 0; RegEnumValueW(key, i, name, &length, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) == 0;
       ++i, length = 512, size = sizeof(data))
    out += L";" + std::wstring(name, length) + L"=" + std::to_wstring(type) + L":" +
           std::wstring(data, wcsnlen(data, size / 2));
  for (DWORD i = 0; (length = 512, RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr)) == 0; ++i)
    Dump(path + L"\\" + std::wstring(name, length), out);
  RegCloseKey(key);
}

// The keys below `roots` in both registry views of a 64-bit system.
std::wstring Registry(const std::vector<std::wstring>& roots) {
  std::wstring text;
  for (const std::wstring view : {L"", L"Wow6432Node\\"})
    for (const std::wstring& root : roots) Dump(view + root, text);
  return text;
}

std::wstring Value(const std::wstring& key, const wchar_t* name = nullptr) {
  wchar_t data[512] = {};
  DWORD size = sizeof(data);
  return RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) ? L"<none>" : data;
}

void CheckRegistry(const wchar_t* path) {
  HMODULE dll = LoadLibraryW(path);
  using Entry = HRESULT(STDAPICALLTYPE*)();
  auto reg = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(dll, "DllRegisterServer")));
  auto unreg = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(dll, "DllUnregisterServer")));
  if (reg == nullptr || unreg == nullptr) return Expect("DLL loads with its entry points", L"no", L"yes");
  const std::wstring prog = kProgId, clsid = L"CLSID\\" + Guid(kClsId);
  const std::vector<std::wstring> ours = {prog, clsid, L"TypeLib\\" + Guid(kLibId), L"Interface\\" + Guid(kIid)};
  // ADO's _Recordset, which our library refers to and leaves to ADO.
  const std::vector<std::wstring> ado = {L"Interface\\" + Guid(kIidRecordset)};
  const std::wstring before = Registry(ours), ado_before = Registry(ado);
  Expect("DllRegisterServer", reg(), S_OK);
  Expect("the keys written",
         Value(prog) + L"|" + Value(prog + L"\\CLSID") + L"|" + Value(clsid) + L"|" +
             Value(clsid + L"\\InprocServer32") + L"|" + Value(clsid + L"\\InprocServer32", L"ThreadingModel") + L"|" +
             Value(clsid + L"\\ProgID") + L"|" + Value(clsid + L"\\TypeLib") + L"|" + Value(clsid + L"\\Version") +
             L"|" + Value(L"TypeLib\\" + Guid(kLibId) + L"\\2.0\\409\\" + (sizeof(void*) == 8 ? L"win64" : L"win32")) +
             L"|" + Value(L"Interface\\" + Guid(kIid) + L"\\TypeLib"),
         prog + L"|" + Guid(kClsId) + L"|" + prog + L"|" + path + L"|Apartment|" + prog + L"|" + Guid(kLibId) +
             L"|2.0|" + path + L"|" + Guid(kLibId));
  Expect("ADO's registrations untouched", Registry(ado), ado_before);
  const std::wstring once = Registry(ours);
  Expect("registering again", reg(), S_OK);
  Expect("registered twice as once", Registry(ours), once);
  for (const char* time : {"unregistering", "unregistering again"}) {
    Expect(time, unreg(), S_OK);
    Expect(std::string(time) + ": the registry as before", Registry(ours), before);
  }
  // A ProgID that names another class since is not ours to remove.
  reg();
  RegSetValueW(HKEY_CLASSES_ROOT, (prog + L"\\CLSID").c_str(), REG_SZ, L"{00000000-0000-0000-0000-000000000001}", 0);
  Expect("unregistering with the ProgID taken", unreg(), S_OK);
  Expect("only the ProgID left", Registry(ours),
         before + L" " + Lower(prog) + L"=;=1:" + prog + L" " + Lower(prog) +
             L"\\clsid=;=1:{00000000-0000-0000-0000-000000000001}");
  RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
}

// ---- calls against the registered server ----

VARIANT Make(VARTYPE type, void* pointer = nullptr, LONG number = 0) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = type;
  if (type == VT_I4) V_I4(&v) = number;
  if (type == VT_BSTR) V_BSTR(&v) = SysAllocString(static_cast<const wchar_t*>(pointer));
  if (type == VT_DISPATCH || type & VT_BYREF) V_BYREF(&v) = pointer;
  if (type == VT_DISPATCH && pointer) static_cast<IDispatch*>(pointer)->AddRef();
  if (type == VT_ERROR) V_ERROR(&v) = DISP_E_PARAMNOTFOUND;
  return v;
}
VARIANT Long(LONG value) {
  return Make(VT_I4, nullptr, value);
}
VARIANT Text(const wchar_t* value) {
  return Make(VT_BSTR, const_cast<wchar_t*>(value));
}

// Invoke with the arguments as given (last argument first, as rgvarg holds
// them); the arguments are cleared afterwards.
HRESULT InvokeRaw(IDispatch* object, DISPID id, std::vector<VARIANT> args, UINT* arg_err = nullptr,
                  std::vector<DISPID> named = {}, WORD flags = DISPATCH_METHOD, VARIANT* result = nullptr) {
  DISPPARAMS params{args.data(), named.empty() ? nullptr : named.data(), static_cast<UINT>(args.size()),
                    static_cast<UINT>(named.size())};
  EXCEPINFO excep{};
  const HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &excep, arg_err);
  for (BSTR text : {excep.bstrSource, excep.bstrDescription, excep.bstrHelpFile}) SysFreeString(text);
  for (VARIANT& v : args) VariantClear(&v);
  return hr;
}

// A late-bound call by name, arguments in the order written; the result as text.
std::wstring Call(IDispatch* object, const wchar_t* member, std::vector<VARIANT> args = {}) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(member)};
  DISPID id = 0;
  object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  VARIANT result;
  VariantInit(&result);
  InvokeRaw(object, id, std::vector<VARIANT>(args.rbegin(), args.rend()), nullptr, {}, DISPATCH_METHOD, &result);
  VariantChangeType(&result, &result, 0, VT_BSTR);
  std::wstring text = V_VT(&result) == VT_BSTR && V_BSTR(&result) ? V_BSTR(&result) : L"";
  VariantClear(&result);
  return text;
}

ComPtr<IDispatch> Create(const wchar_t* prog_id) {
  CLSID clsid{};
  ComPtr<IDispatch> object;
  CLSIDFromProgID(prog_id, &clsid);
  CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, &object);
  return object;
}

void Script(IDispatch* recorder, const wchar_t* props) {
  Call(recorder, L"Reset", {Text(props)});
  Call(recorder, L"Answer", {Text(L"FROM t_Group WHERE FUserID=1 AND FGroupID=1"), Text(L"X"), Text(L"1")});
  Call(recorder, L"Answer", {Text(L" select ISNULL(min("), Text(L"X"), Text(L"80")});
}

// A new object answers a call as the script has it.
bool Works() {
  ComPtr<IDispatch> object = Create(kProgId);
  return object && Call(object.Get(), L"GetMoveInterID", {Long(77), Long(3), Long(1000201)}) == L"80";
}

// One call on a thread of its own, which then ends with or without leaving
// its apartment first.
DWORD WINAPI CallOnThread(void* uninitialize) {
  CoInitialize(nullptr);
  const DWORD outcome = Works() ? 0 : 1;
  if (uninitialize != nullptr) CoUninitialize();
  return outcome;
}

// Every pointer a client hands over is checked before use: a by-reference
// argument that points nowhere, in any position, of any kind, is refused with
// E_POINTER and named in puArgErr, and nothing reaches the host.
void CheckNullPointers(IDispatch* object, IDispatch* recorder) {
  VARIANT null_long = Make(VT_BYREF | VT_I4);
  // The kinds the members read, an array, and last a Variant that refers to a null reference.
  const VARTYPE kinds[] = {VT_BYREF | VT_I4,       VT_BYREF | VT_BSTR,
                           VT_BYREF | VT_DISPATCH, VT_BYREF | VT_ARRAY | VT_BSTR,
                           VT_BYREF | VT_VARIANT,  VT_BYREF | VT_VARIANT};
  const std::pair<DISPID, UINT> members[] = {{kSearch, 3}, {kMaxMin, 2}, {kMove, 3}, {kLoad, 2}, {kSave, 3}};
  Script(recorder, L"UserID=1;");
  for (const auto& [id, count] : members) {
    for (UINT position = 0; position < count; ++position) {
      std::wstring outcome;
      for (size_t k = 0; k < std::size(kinds); ++k) {
        std::vector<VARIANT> args(count, Long(1));
        args[count - 1 - position] = Make(kinds[k], k + 1 == std::size(kinds) ? &null_long : nullptr);
        UINT arg_err = 99;
        const HRESULT hr = InvokeRaw(object, id, args, &arg_err);
        outcome +=
            hr == E_POINTER && arg_err == count - 1 - position ? L"" : L" kind " + std::to_wstring(k) + L": " + Hex(hr);
      }
      Expect("null reference at " + Narrow(Hex(id)) + " parameter " + std::to_string(position), outcome, L"");
    }
  }
  Expect("no host call for them", Call(recorder, L"Journal"), L"");
  DISPID ids[2] = {};
  LPOLESTR names[] = {const_cast<LPOLESTR>(L"LoadRecentBills"), nullptr};
  VARIANT arg = Long(1);
  DISPPARAMS no_args{nullptr, nullptr, 1, 0}, no_names{&arg, nullptr, 1, 1};
  ComPtr<I_clsMoveBill> early;
  object->QueryInterface(kIid, &early);
  VARIANT_BOOL visible = 0;
  BSTR text = nullptr;
  LONG id = 0;
  const std::pair<const char*, HRESULT> calls[] = {
      {"GetIDsOfNames, null names", object->GetIDsOfNames(IID_NULL, nullptr, 1, 0, ids)},
      {"GetIDsOfNames, null ids", object->GetIDsOfNames(IID_NULL, names, 1, 0, nullptr)},
      {"GetIDsOfNames, a null name", object->GetIDsOfNames(IID_NULL, names, 2, 0, ids)},
      {"Invoke, null DISPPARAMS", object->Invoke(kToDo, IID_NULL, 0, 1, nullptr, nullptr, nullptr, nullptr)},
      {"Invoke, null rgvarg", object->Invoke(kMaxMin, IID_NULL, 0, 1, &no_args, nullptr, nullptr, nullptr)},
      {"Invoke, null named ids", object->Invoke(kMaxMin, IID_NULL, 0, 1, &no_names, nullptr, nullptr, nullptr)},
      {"CheckSearchBill, null sInfo", early->CheckSearchBill(1, 1, nullptr, &visible)},
      {"CheckSearchBill, null result", early->CheckSearchBill(1, 1, &text, nullptr)},
      {"GetToDoThingCount, null result", early->GetToDoThingCount(nullptr)},
      {"GetMaxMinInterID, null result", early->GetMaxMinInterID(1, 1, nullptr)},
      {"GetMoveInterID, null result", early->GetMoveInterID(Long(1), 1, 1, nullptr)},
      {"LoadRecentBills, null result", early->LoadRecentBills(1, nullptr, nullptr)},
      {"GetMoveInterID, lBillID pointing nowhere", early->GetMoveInterID(Make(VT_BYREF | VT_VARIANT), 3, 1, &id)}};
  for (const auto& [name, hr] : calls) Expect(name, hr, E_POINTER);
  // An array of Variants nested 4,000 deep, each level moved into the next
  // (never freed: releasing it recurses as deep again).
  VARIANT nested = Long(1);
  for (int level = 0; level < 4000; ++level) {
    SAFEARRAYBOUND one{1, 0};
    SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 1, &one);
    static_cast<VARIANT*>(array->pvData)[0] = nested;
    V_VT(&nested) = VT_ARRAY | VT_VARIANT, V_ARRAY(&nested) = array;
  }
  Expect("GetMoveInterID of an array nested 4,000 deep: the neutral result",
         Hex(early->GetMoveInterID(nested, 3, 1000201, &id)) + Hex(id), Hex(S_OK) + Hex(0));
  Expect("GetToDoThingCount with no result wanted: the list released",
         InvokeRaw(object, kToDo, {}) == S_OK ? Call(recorder, L"Live", {Text(L"ValueList")}) : L"failed", L"0");
}

// What a careless or hostile client does with every entry point: each row
// one call and the answer it must get, never a crash or an exception.
void CheckHostileClient(IDispatch* object, IDispatch* recorder, HMODULE module) {
  using GetClass = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  auto get_class = reinterpret_cast<GetClass>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
  ComPtr<IClassFactory> factory;
  ComPtr<IUnknown> unknown;
  get_class(kClsId, IID_IClassFactory, &factory);
  VARIANT nul_inside = Make(VT_BSTR);
  V_BSTR(&nul_inside) = SysAllocStringLen(L"77\0x", 4);
  Script(recorder, L"UserID=1;");
  UINT arg_err = 99;
  auto invoke = [&](DISPID id, std::vector<VARIANT> args, std::vector<DISPID> named = {}) {
    arg_err = 99;
    const HRESULT hr = InvokeRaw(object, id, std::move(args), &arg_err, std::move(named));
    return Hex(hr) + L" " + std::to_wstring(arg_err);
  };
  auto args = [](HRESULT hr, UINT at) { return Hex(hr) + L" " + std::to_wstring(at); };
  // clang-format off
  const std::pair<const char*, std::pair<std::wstring, std::wstring>> rows[] = {
      {"a named argument twice", {invoke(kMaxMin, {Long(1), Long(1)}, {0, 0}), args(DISP_E_PARAMNOTFOUND, 1)}},
      // The host answers 80 for 77: text with a NUL inside is no number.
      {"a bill id with a NUL inside", {Call(object, L"GetMoveInterID", {nul_inside, Long(3), Long(1000201)}), L"0"}},
      {"Invoke for another interface", {Hex(object->Invoke(kToDo, kIid, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr)), Hex(DISP_E_UNKNOWNINTERFACE)}},
      {"QueryInterface into null", {Hex(object->QueryInterface(IID_IUnknown, nullptr)), Hex(E_POINTER)}},
      {"DllGetClassObject into null", {Hex(get_class(kClsId, IID_IClassFactory, nullptr)), Hex(E_POINTER)}},
      {"no factory for another CLSID", {Hex(get_class(kLibId, IID_IClassFactory, &unknown)), Hex(CLASS_E_CLASSNOTAVAILABLE)}},
      {"CreateInstance into null", {Hex(factory->CreateInstance(nullptr, kIid, nullptr)), Hex(E_POINTER)}},
      {"CreateInstance for IPersist", {Hex(factory->CreateInstance(nullptr, IID_IPersist, &unknown)), Hex(E_NOINTERFACE)}},
  };
  // clang-format on
  for (const auto& [name, outcome] : rows) Expect(name, outcome.first, outcome.second);
}

void CheckCalls() {
  CoInitialize(nullptr);
  ComPtr<IDispatch> recorder = Create(L"ZetTestHost.Recorder"), object = Create(kProgId);
  if (!recorder || !object) return Expect("test host and component created", L"no", L"yes");
  HMODULE module = GetModuleHandleW(L"ZetMMoveBill.dll");
  using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
  auto can_unload = reinterpret_cast<CanUnloadNow>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  Expect("DllCanUnloadNow with an object alive", can_unload(), S_FALSE);
  ComPtr<IUnknown> answer;
  ComPtr<ITypeInfo> info, vtable;
  HREFTYPE ref = 0;
  UINT count = 0;
  object->GetTypeInfoCount(&count);
  Expect("answers _clsMoveBill and ISupportErrorInfo, not IPersist; one type info",
         Hex(object->QueryInterface(IID_ISupportErrorInfo, &answer)) +
             Hex(object->QueryInterface(IID_IPersist, &answer)) + Hex(object->QueryInterface(kIid, &answer)) +
             Hex(count) + Hex(object->GetTypeInfo(1, 0, &info)),
         Hex(S_OK) + Hex(E_NOINTERFACE) + Hex(S_OK) + Hex(1) + Hex(DISP_E_BADINDEX));
  object->GetTypeInfo(0, 0, &info);
  object->QueryInterface(kIid, &answer);
  info->GetRefTypeOfImplType(-1, &ref);
  info->GetRefTypeInfo(ref, &vtable);

  // CheckSearchBill writes sInfo back into a String variable, both through the
  // vtable (as an early-bound client's compiled calls go: slot offsets and
  // argument layout must match the type library) and late-bound.
  for (const bool early : {true, false}) {
    Script(recorder.Get(), L"UserID=16;");
    BSTR text = SysAllocString(L"keep");
    std::vector<VARIANT> args = {Make(VT_BYREF | VT_BSTR, &text), Long(9), Long(1125)};
    DISPPARAMS params{args.data(), nullptr, 3, 0};
    const HRESULT hr = early
                           ? vtable->Invoke(answer.Get(), kSearch, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr)
                           : InvokeRaw(object.Get(), kSearch, args);
    Expect(early ? "early-bound CheckSearchBill: sInfo" : "late-bound CheckSearchBill: sInfo",
           Hex(hr) + (text ? text : L""),
           Hex(S_OK) +
               L"\u51ED\u8BC1\u663E\u793A\u9519\u8BEF\uFF0C\u6240\u9009\u51ED\u8BC1\u53EF\u80FD\u5DF2\u7ECF"
               L"\u88AB\u5220\u9664\uFF01");
    SysFreeString(text);
  }
  // ABar given by name.
  Script(recorder.Get(), L"UserID=25;");
  Call(recorder.Get(), L"Answer",
       {Text(L" select b.*"), Text(L"FUserID|FBillID|FClassTypeID|FNo|FBigType|FBillNo|FName"),
        Text(L"25|88|1|1|2|s:B-1|Stock out")});
  LPOLESTR names[] = {const_cast<LPOLESTR>(L"LoadRecentBills"), const_cast<LPOLESTR>(L"abar")};
  DISPID ids[2] = {};
  Expect("names of a member and its parameter", object->GetIDsOfNames(IID_NULL, names, 2, 0, ids), S_OK);
  ComPtr<IDispatch> bar = Create(L"ZetTestHost.Toolbar");
  InvokeRaw(object.Get(), ids[0], {Make(VT_DISPATCH, bar.Get()), Long(1)}, nullptr, {ids[1]});
  Expect("named ABar fills the menu",
         Call(recorder.Get(), L"Journal").find(L"Tool(0).Text = BSTR \"1|88\"") != std::wstring::npos, true);

  // Calls no client should be able to turn into anything but an error code;
  // puArgErr names the rgvarg index (99: not to be touched).
  Script(recorder.Get(), L"UserID=1;");
  struct Corner {
    const char* name;
    DISPID id;
    std::vector<VARIANT> args;
    HRESULT expected;
    UINT arg_err = 99;
    std::vector<DISPID> named = {};
    WORD flags = DISPATCH_METHOD;
  };
  Corner corners[] = {
      {"assignment to a method", kMaxMin, {}, DISP_E_MEMBERNOTFOUND, 99, {}, DISPATCH_PROPERTYPUT},
      {"a DISPID in the gap", 0x60030001, {}, DISP_E_MEMBERNOTFOUND},
      {"too few arguments", kMaxMin, {Long(1)}, DISP_E_BADPARAMCOUNT},
      {"too many arguments", kMaxMin, {Long(1), Long(2), Long(3)}, DISP_E_BADPARAMCOUNT},
      {"second argument no number", kMaxMin, {Text(L"abc"), Long(1)}, DISP_E_TYPEMISMATCH, 0},
      {"too large for a Long", kMaxMin, {Long(1), Text(L"1E+10")}, DISP_E_OVERFLOW, 1},
      {"a number for the toolbar", kSave, {Long(12), Long(1), Long(88)}, DISP_E_TYPEMISMATCH, 0},
      {"a named argument that does not exist", kMaxMin, {Long(1), Long(1125)}, DISP_E_PARAMNOTFOUND, 0, {7}},
      {"a required argument left out", kMaxMin, {Long(1), Make(VT_ERROR)}, DISP_E_PARAMNOTOPTIONAL}};
  for (Corner& corner : corners) {
    UINT arg_err = 99;
    const HRESULT hr = InvokeRaw(object.Get(), corner.id, corner.args, &arg_err, corner.named, corner.flags);
    Expect(std::string(corner.name) + ", puArgErr", Hex(hr) + L" " + std::to_wstring(arg_err),
           Hex(corner.expected) + L" " + std::to_wstring(corner.arg_err));
  }
  LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"NoSuchMethod")};
  Expect("an unknown name", object->GetIDsOfNames(IID_NULL, unknown, 1, 0, ids), DISP_E_UNKNOWNNAME);
  Expect("no host call for them", Call(recorder.Get(), L"Journal"), L"");
  CheckNullPointers(object.Get(), recorder.Get());
  CheckHostileClient(object.Get(), recorder.Get(), module);

  // Unload accounting: objects and server locks.
  ComPtr<IClassFactory> factory;
  CoGetClassObject(kClsId, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, &factory);
  Expect("no aggregation", factory->CreateInstance(recorder.Get(), IID_IUnknown, &answer), CLASS_E_NOAGGREGATION);
  answer.Reset();
  object.Reset();
  Expect("DllCanUnloadNow with no object", can_unload(), S_OK);
  factory->LockServer(TRUE);
  Expect("DllCanUnloadNow while locked", can_unload(), S_FALSE);
  factory->LockServer(FALSE);
  Expect("DllCanUnloadNow unlocked", can_unload(), S_OK);
  // One unlock too many must not keep the server loaded for good.
  factory->LockServer(FALSE);
  Expect("DllCanUnloadNow after an unlock too many", can_unload(), S_OK);
  factory->LockServer(TRUE);
  Expect("DllCanUnloadNow locked again", can_unload(), S_FALSE);
  factory->LockServer(FALSE);

  // The per-thread creation service outlives the calls and goes with the
  // thread, without a Release; neither may take the process down.
  Script(recorder.Get(), L"UserID=1;");
  const std::wstring services = Call(recorder.Get(), L"Live", {Text(L"ServiceFactory")});
  for (void* uninitialize : {static_cast<void*>(recorder.Get()), static_cast<void*>(nullptr)}) {
    HANDLE thread = CreateThread(nullptr, 0, CallOnThread, uninitialize, 0, nullptr);
    DWORD outcome = 2;
    WaitForSingleObject(thread, 30000);
    GetExitCodeThread(thread, &outcome);
    CloseHandle(thread);
    Expect(uninitialize ? "thread leaving its apartment" : "thread ending inside its apartment", outcome, 0);
  }
  Expect("a creation service per thread", Call(recorder.Get(), L"Live", {Text(L"ServiceFactory")}),
         std::to_wstring(std::stol(services) + 2));
  // With no object left, COM may unload the server; a later object loads it
  // again and works.
  CoFreeUnusedLibrariesEx(0, 0);
  CoFreeUnusedLibrariesEx(0, 0);
  std::printf("NOTE server %s after CoFreeUnusedLibrariesEx\n",
              GetModuleHandleW(L"ZetMMoveBill.dll") ? "still loaded" : "unloaded");
  Expect("created and called again after unloading", Works(), true);
  recorder.Reset();
  info.Reset();
  vtable.Reset();
  CoUninitialize();
}

// A client frees the DLL once its objects are gone, as DllCanUnloadNow
// allows, while a thread that called it still runs: that thread ends cleanly.
HANDLE called = CreateEventW(nullptr, TRUE, FALSE, nullptr), freed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
DWORD WINAPI CallThenWait(void* dll) {
  CoInitialize(nullptr);
  auto get_class = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
      reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(dll), "DllGetClassObject")));
  ComPtr<IClassFactory> factory;
  ComPtr<IDispatch> object;
  get_class(kClsId, IID_IClassFactory, &factory);
  if (factory) factory->CreateInstance(nullptr, IID_IDispatch, &object);
  const bool worked = object && Call(object.Get(), L"GetMoveInterID", {Long(77), Long(3), Long(1000201)}) == L"0";
  object.Reset(), factory.Reset();
  SetEvent(called);
  WaitForSingleObject(freed, 30000);
  CoUninitialize();
  return worked ? 0 : 1;
}

void CheckUnload(const wchar_t* path) {
  HMODULE dll = LoadLibraryW(path);
  HANDLE thread = CreateThread(nullptr, 0, CallThenWait, dll, 0, nullptr);
  WaitForSingleObject(called, 30000);
  FreeLibrary(dll);
  SetEvent(freed);
  DWORD outcome = 2;
  WaitForSingleObject(thread, 30000);
  GetExitCodeThread(thread, &outcome);
  Expect("the thread called, then ended after the DLL was freed", outcome, 0);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // Every line out at once: a run that hangs still shows how far it got.
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  if (mode == L"typelib" && argc == 4) {
    CheckTypeLib(argv[2], std::wstring(argv[3]) == L"win64" ? SYS_WIN64 : SYS_WIN32);
  } else if (mode == L"registry" && argc == 3) {
    CheckRegistry(argv[2]);
  } else if (mode == L"unload" && argc == 3) {
    CheckUnload(argv[2]);
  } else if (mode == L"calls") {
    CheckCalls();
  } else {
    std::printf("usage: com_check typelib <dll> win32|win64 | registry <dll> | calls | unload <dll>\n");
    return 2;
  }
  std::printf("DONE %d passed, %d failed\n", passes, failures);
  return failures;
}
