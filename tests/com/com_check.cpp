// What the VBScript clients cannot see, from C++ under Wine:
//
//   com_check typelib <dll> win32|win64   the type library compiled into the DLL
//   com_check registry <dll>              registering and unregistering, in process
//   com_check calls                       vtable calls, the corners of Invoke and
//                                         every pointer a client may get wrong,
//                                         threads and unloading (both DLLs registered)
//
// Prints PASS/FAIL lines; the exit code is the number of failures.
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

int failures = 0;
int passes = 0;

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (const wchar_t c : text) out += c >= 32 && c < 127 ? static_cast<char>(c) : '?';
  return out;
}

void Report(bool ok, const std::string& name, const std::string& detail = "differs") {
  ok ? ++passes : ++failures;
  std::printf(ok ? "PASS %s\n" : "FAIL %s: %s\n", name.c_str(), detail.c_str());
}

void Expect(const std::string& name, const std::wstring& actual, const std::wstring& expected) {
  Report(actual == expected, name, "got [" + Narrow(actual) + "], expected [" + Narrow(expected) + "]");
}

void Expect(const std::string& name, long actual, long expected) {
  char detail[80];
  std::snprintf(detail, sizeof(detail), "got 0x%08lX, expected 0x%08lX", static_cast<unsigned long>(actual),
                static_cast<unsigned long>(expected));
  Report(actual == expected, name, detail);
}

std::wstring Hex(long value) {
  wchar_t text[16];
  std::swprintf(text, 16, L"%08lX", static_cast<unsigned long>(value));
  return text;
}

// ---- the type library ----

std::wstring Name(ITypeInfo* info, MEMBERID id = MEMBERID_NIL) {
  BSTR name = nullptr;
  info->GetDocumentation(id, &name, nullptr, nullptr, nullptr);
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
  std::wstring text =
      L"id " + Hex(func->memid) + L" slot " + std::to_wstring(func->oVft / sizeof(void*)) +
      (func->funckind == FUNC_PUREVIRTUAL && func->invkind == INVOKE_FUNC && func->callconv == CC_STDCALL ? L" "
                                                                                                          : L" odd ") +
      names[0] + L"(";
  const std::pair<USHORT, const wchar_t*> flags[] = {{PARAMFLAG_FIN, L"in "},
                                                     {PARAMFLAG_FOUT, L"out "},
                                                     {PARAMFLAG_FRETVAL, L"retval "},
                                                     {PARAMFLAG_FOPT, L"opt "},
                                                     {PARAMFLAG_FHASDEFAULT, L"default "}};
  for (SHORT p = 0; p < func->cParams; ++p) {
    const ELEMDESC& element = func->lprgelemdescParam[p];
    text += p ? L", " : L"";
    for (const auto& [flag, name] : flags) text += element.paramdesc.wParamFlags & flag ? name : L"";
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

void CheckTypeLib(const wchar_t* path, SYSKIND syskind) {
  ComPtr<ITypeLib> library;
  Expect("type library loads from the DLL", LoadTypeLibEx(path, REGKIND_NONE, &library), S_OK);
  if (!library) return;
  TLIBATTR* attr = nullptr;
  library->GetLibAttr(&attr);
  Report(attr->guid == kLibId && attr->syskind == syskind && attr->lcid == 0x409 && attr->wMajorVerNum == 2 &&
             attr->wMinorVerNum == 0,
         "library GUID, system kind, locale 0x409, version 2.0");
  library->ReleaseTLibAttr(attr);
  BSTR name = nullptr;
  library->GetDocumentation(-1, &name, nullptr, nullptr, nullptr);
  Expect("library name, type infos",
         std::wstring(name ? name : L"") + L" " + std::to_wstring(library->GetTypeInfoCount()), L"ZetMMoveBill 2");
  SysFreeString(name);

  ComPtr<ITypeInfo> dispatch, vtable, base, coclass, implemented;
  TYPEATTR* type = nullptr;
  HREFTYPE ref = 0;
  if (FAILED(library->GetTypeInfoOfGuid(kIid, &dispatch)) || FAILED(dispatch->GetRefTypeOfImplType(-1, &ref)) ||
      FAILED(dispatch->GetRefTypeInfo(ref, &vtable)))
    return Report(false, "_clsMoveBill is a dual interface");
  dispatch->GetTypeAttr(&type);
  Expect(
      "dispatch half: name, kind, flags",
      Name(dispatch.Get()) + L" " + std::to_wstring(type->typekind) + L" " + Hex(type->wTypeFlags),
      L"_clsMoveBill 4 " + Hex(TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE));
  dispatch->ReleaseTypeAttr(type);
  vtable->GetTypeAttr(&type);
  vtable->GetRefTypeOfImplType(0, &ref);
  vtable->GetRefTypeInfo(ref, &base);
  Expect("vtable half: kind, flags, members, base",
         std::to_wstring(type->typekind) + L" " + Hex(type->wTypeFlags) + L" " + std::to_wstring(type->cFuncs) + L" " +
             (base ? Name(base.Get()) : L"none"),
         L"3 " +
             Hex(TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION |
                 TYPEFLAG_FDISPATCHABLE) +
             L" 6 IDispatch");
  vtable->ReleaseTypeAttr(type);
  // ADO's library is looked up among the registrations of the library's own
  // width, which a process of the other width does not see.
  const bool imports = (syskind == SYS_WIN64) == (sizeof(void*) == 8);
  const std::wstring recordset = imports ? L"_Recordset" : L"unresolved";
  const std::wstring expected[] = {
      L"id 60030000 slot 7 CheckSearchBill(in I4 lTransType, in I4 lInterID, in out PTR(BSTR) sInfo, out retval "
      L"PTR(BOOL)) HRESULT",
      L"id 60030005 slot 8 GetToDoThingCount(out retval PTR(DISPATCH)) HRESULT",
      L"id 60030007 slot 9 GetMaxMinInterID(in I4 lTransType, in I4 lType, out retval PTR(I4)) HRESULT",
      L"id 60030008 slot 10 GetMoveInterID(in VARIANT lBillID, in I4 lMoveType, in I4 lTransType, out retval PTR(I4)) "
      L"HRESULT",
      L"id 60030009 slot 11 LoadRecentBills(in I4 m_ClassTypeID, in out opt default PTR(DISPATCH) ABar = Nothing, out "
      L"retval PTR(PTR(" +
          recordset + L"))) HRESULT",
      L"id 6003000A slot 12 SaveRecentBills(in I4 lBillID, in I4 m_ClassTypeID, in out opt default PTR(DISPATCH) ABar "
      L"= "
      L"Nothing) HRESULT"};
  for (UINT i = 0; i < 6; ++i) Expect("member " + std::to_string(i), FuncText(vtable.Get(), i), expected[i]);
  INT impl_flags = 0;
  if (FAILED(library->GetTypeInfoOfGuid(kClsId, &coclass))) return Report(false, "class found by CLSID");
  coclass->GetTypeAttr(&type);
  coclass->GetImplTypeFlags(0, &impl_flags);
  coclass->GetRefTypeOfImplType(0, &ref);
  coclass->GetRefTypeInfo(ref, &implemented);
  Report(Name(coclass.Get()) == L"clsMoveBill" && type->typekind == TKIND_COCLASS &&
             (type->wTypeFlags & TYPEFLAG_FCANCREATE) && type->cImplTypes == 1 &&
             (impl_flags & IMPLTYPEFLAG_FDEFAULT) && implemented && Name(implemented.Get()) == L"_clsMoveBill",
         "clsMoveBill is creatable, _clsMoveBill its default interface");
  coclass->ReleaseTypeAttr(type);
}

// ---- registration ----

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(towlower(c));
  return text;
}

// The keys of HKEY_CLASSES_ROOT two levels deep, and everything below the
// roots a registration of ours or of ADO could touch, with their values:
// "path" -> "values". (All of it, value by value, takes a minute under Wine.)
std::vector<std::wstring> Watched();

void Snapshot(HKEY parent, const std::wstring& path, int depth, std::map<std::wstring, std::wstring>& out) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  std::wstring& values = out[Lower(path)];
  bool watched = false;
  static const std::vector<std::wstring> roots = Watched();
  for (const std::wstring& root : roots) watched = watched || Lower(path).rfind(root, 0) == 0;
  wchar_t name[512];
  BYTE data[2048];
  for (DWORD i = 0; watched; ++i) {
    DWORD name_length = 512, size = sizeof(data), type = 0;
    if (RegEnumValueW(key, i, name, &name_length, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
    values += L";" + std::wstring(name, name_length) + L"=" + std::to_wstring(type) + L":" +
              std::wstring(reinterpret_cast<wchar_t*>(data), size / sizeof(wchar_t));
  }
  std::vector<std::wstring> children;
  for (DWORD i = 0; watched || depth < 2; ++i) {
    DWORD name_length = 512;
    if (RegEnumKeyExW(key, i, name, &name_length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    children.emplace_back(name, name_length);
  }
  RegCloseKey(key);
  for (const std::wstring& child : children)
    Snapshot(parent, path.empty() ? child : path + L"\\" + child, depth + 1, out);
}

std::wstring Guid(const GUID& guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

// ADO's interfaces are {000005xx-0000-0010-8000-00AA006D2EA4}.
std::vector<std::wstring> Watched() {
  std::vector<std::wstring> roots = {L"zetmmovebill.", Lower(L"CLSID\\" + Guid(kClsId))};
  for (const std::wstring view : {L"", L"wow6432node\\"}) {
    roots.insert(roots.end(),
                 {view + L"typelib\\", view + Lower(L"Interface\\" + Guid(kIid)), view + L"interface\\{000005"});
  }
  return roots;
}

std::map<std::wstring, std::wstring> Registry() {
  std::map<std::wstring, std::wstring> keys;
  Snapshot(HKEY_CLASSES_ROOT, L"", 0, keys);
  return keys;
}

// The keys that differ between two snapshots, as " +path" or " -path".
std::wstring Changes(const std::map<std::wstring, std::wstring>& before,
                     const std::map<std::wstring, std::wstring>& after) {
  std::wstring text;
  for (const auto& [path, values] : after)
    if (!before.count(path) || before.at(path) != values) text += L" +" + path;
  for (const auto& [path, values] : before)
    if (!after.count(path)) text += L" -" + path;
  return text;
}

void CheckRegistry(const wchar_t* path) {
  HMODULE dll = LoadLibraryW(path);
  using Entry = HRESULT(STDAPICALLTYPE*)();
  auto reg = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(dll, "DllRegisterServer")));
  auto unreg = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(dll, "DllUnregisterServer")));
  if (reg == nullptr || unreg == nullptr) return Report(false, "DLL loads with its entry points");
  // Snapshot keys are in lower case: the registry ignores case, and the
  // system writes "Typelib" where we write "TypeLib".
  const std::wstring prog = L"zetmmovebill.clsmovebill", clsid = Lower(L"CLSID\\" + Guid(kClsId)),
                     libid = Lower(L"TypeLib\\" + Guid(kLibId)), iid = Lower(L"Interface\\" + Guid(kIid)),
                     lib_key = libid + L"\\2.0\\409\\" + (sizeof(void*) == 8 ? L"win64" : L"win32");
  const auto before = Registry();
  Expect("DllRegisterServer", reg(), S_OK);
  const auto once = Registry();
  auto value = [&](const std::wstring& key, const wchar_t* name = L"") {
    const auto found = once.find(Lower(key));
    const std::wstring values = found == once.end() ? L"" : found->second;
    const std::wstring prefix = L";" + std::wstring(name) + L"=1:";
    const size_t at = values.find(prefix);
    if (at == std::wstring::npos) return std::wstring(L"<none>");
    return values.substr(at + prefix.size(), values.find(L'\0', at) - at - prefix.size());
  };
  Expect("the keys written",
         value(prog) + L"|" + value(prog + L"\\CLSID") + L"|" + value(clsid) + L"|" +
             value(clsid + L"\\InprocServer32") + L"|" + value(clsid + L"\\InprocServer32", L"ThreadingModel") + L"|" +
             value(clsid + L"\\ProgID") + L"|" + value(clsid + L"\\TypeLib") + L"|" + value(clsid + L"\\Version") +
             L"|" + value(lib_key) + L"|" + value(iid + L"\\TypeLib"),
         L"ZetMMoveBill.clsMoveBill|" + Guid(kClsId) + L"|ZetMMoveBill.clsMoveBill|" + path +
             L"|Apartment|ZetMMoveBill.clsMoveBill|" + Guid(kLibId) + L"|2.0|" + path + L"|" + Guid(kLibId));
  std::wstring foreign;
  for (const auto& [key, values] : once) {
    // A 64-bit system registers the type library in both registry views.
    const std::wstring view = key.rfind(L"wow6432node\\", 0) == 0 ? key.substr(12) : key;
    const bool ours =
        view.rfind(prog, 0) == 0 || view.rfind(clsid, 0) == 0 || view.rfind(libid, 0) == 0 || view.rfind(iid, 0) == 0;
    if (!ours && (!before.count(key) || before.at(key) != values)) foreign += L" " + key;
  }
  Expect("nothing else written (ADO's registrations included)", foreign, L"");
  Expect("registering again", reg(), S_OK);
  Expect("registered twice as once", Changes(once, Registry()), L"");
  Expect("DllUnregisterServer", unreg(), S_OK);
  Expect("the registry as before", Changes(before, Registry()), L"");
  Expect("unregistering again", unreg(), S_OK);
  Expect("the registry still as before", Changes(before, Registry()), L"");
  // A ProgID that names another class since is not ours to remove.
  reg();
  RegSetValueW(HKEY_CLASSES_ROOT, L"ZetMMoveBill.clsMoveBill\\CLSID", REG_SZ, L"{00000000-0000-0000-0000-000000000001}",
               0);
  Expect("DllUnregisterServer with the ProgID taken", unreg(), S_OK);
  const auto after = Registry();
  Expect("only the ProgID left", Changes(before, after), L" +" + prog + L" +" + prog + L"\\clsid");
  RegDeleteTreeW(HKEY_CLASSES_ROOT, L"ZetMMoveBill.clsMoveBill");
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
HRESULT InvokeRaw(IDispatch* object, DISPID id, std::vector<VARIANT> args, VARIANT* result = nullptr,
                  UINT* arg_err = nullptr, std::vector<DISPID> named = {}, WORD flags = DISPATCH_METHOD) {
  DISPPARAMS params{args.data(), named.empty() ? nullptr : named.data(), static_cast<UINT>(args.size()),
                    static_cast<UINT>(named.size())};
  EXCEPINFO excep{};
  const HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &excep, arg_err);
  SysFreeString(excep.bstrSource);
  SysFreeString(excep.bstrDescription);
  SysFreeString(excep.bstrHelpFile);
  for (VARIANT& v : args) VariantClear(&v);
  return hr;
}

// A late-bound call by name, arguments in the order written; the result as text.
std::wstring Call(IDispatch* object, const wchar_t* member, std::vector<VARIANT> args = {},
                  WORD flags = DISPATCH_METHOD) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(member)};
  DISPID id = 0, put = DISPID_PROPERTYPUT;
  object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  VARIANT result;
  VariantInit(&result);
  InvokeRaw(object, id, std::vector<VARIANT>(args.rbegin(), args.rend()), &result, nullptr,
            flags == DISPATCH_PROPERTYPUT ? std::vector<DISPID>{put} : std::vector<DISPID>{}, flags);
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
  Call(recorder, L"Reset");
  Call(recorder, L"Props", {Text(props)}, DISPATCH_PROPERTYPUT);
  Call(recorder, L"Answer", {Text(L"FROM t_Group WHERE FUserID=1 AND FGroupID=1"), Text(L"X"), Text(L"1")});
  Call(recorder, L"Answer", {Text(L" select ISNULL(min("), Text(L"X"), Text(L"80")});
  Call(recorder, L"Answer", {Text(L" SELECT ISNULL(Max("), Text(L"X"), Text(L"4711")});
}

// One call of the component on a thread of its own, which then ends with or
// without leaving its apartment first.
DWORD WINAPI CallOnThread(void* uninitialize) {
  CoInitialize(nullptr);
  DWORD outcome = 1;
  {
    ComPtr<IDispatch> object = Create(L"ZetMMoveBill.clsMoveBill");
    if (object && Call(object.Get(), L"GetMoveInterID", {Long(77), Long(3), Long(1000201)}) == L"80") outcome = 0;
  }
  if (uninitialize != nullptr) CoUninitialize();
  return outcome;
}

// Every pointer a client hands over is checked before use: a by-reference
// argument that points nowhere, in any position, of any kind, is refused with
// E_POINTER and named in puArgErr, and nothing reaches the host.
void CheckNullPointers(IDispatch* object, IDispatch* recorder) {
  VARIANT null_long = Make(VT_BYREF | VT_I4);
  const VARTYPE kinds[] = {VT_BYREF | VT_I4,       VT_BYREF | VT_BSTR,    VT_BYREF | VT_VARIANT,
                           VT_BYREF | VT_DISPATCH, VT_BYREF | VT_UNKNOWN, VT_BYREF | VT_ARRAY | VT_BSTR,
                           VT_BYREF | VT_DECIMAL,  VT_BYREF | VT_VARIANT /* to a null reference */};
  const std::pair<DISPID, UINT> members[] = {{kCheckSearchBill, 3},
                                             {kGetMaxMinInterID, 2},
                                             {kGetMoveInterID, 3},
                                             {kLoadRecentBills, 2},
                                             {kSaveRecentBills, 3}};
  Script(recorder, L"UserID=1;");
  for (const auto& [id, count] : members) {
    for (UINT position = 0; position < count; ++position) {
      std::wstring outcome;
      for (size_t k = 0; k < std::size(kinds); ++k) {
        std::vector<VARIANT> args(count, Long(1));
        args[count - 1 - position] = Make(kinds[k], k + 1 == std::size(kinds) ? &null_long : nullptr);
        UINT arg_err = 99;
        const HRESULT hr = InvokeRaw(object, id, args, nullptr, &arg_err);
        outcome +=
            hr == E_POINTER && arg_err == count - 1 - position ? L"" : L" kind " + std::to_wstring(k) + L": " + Hex(hr);
      }
      Expect("null reference at " + Narrow(Hex(id)) + " parameter " + std::to_string(position), outcome, L"");
    }
  }
  Expect("no host call for them", Call(recorder, L"Journal"), L"");
  DISPID ids[2] = {};
  LPOLESTR names[] = {const_cast<LPOLESTR>(L"LoadRecentBills"), nullptr};
  Expect("GetIDsOfNames, null names", object->GetIDsOfNames(IID_NULL, nullptr, 1, 0, ids), E_POINTER);
  Expect("GetIDsOfNames, null ids", object->GetIDsOfNames(IID_NULL, names, 1, 0, nullptr), E_POINTER);
  Expect("GetIDsOfNames, a null name", object->GetIDsOfNames(IID_NULL, names, 2, 0, ids), E_POINTER);
  VARIANT arg = Long(1);
  DISPPARAMS no_args{nullptr, nullptr, 1, 0}, no_names{&arg, nullptr, 1, 1};
  Expect("Invoke, null DISPPARAMS",
         object->Invoke(kGetToDoThingCount, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr),
         E_POINTER);
  Expect("Invoke, null rgvarg",
         object->Invoke(kGetMaxMinInterID, IID_NULL, 0, DISPATCH_METHOD, &no_args, nullptr, nullptr, nullptr),
         E_POINTER);
  Expect("Invoke, null named ids",
         object->Invoke(kGetMaxMinInterID, IID_NULL, 0, DISPATCH_METHOD, &no_names, nullptr, nullptr, nullptr),
         E_POINTER);
  // The vtable's own out pointers.
  ComPtr<I_clsMoveBill> early;
  object->QueryInterface(kIid, &early);
  VARIANT_BOOL visible = 0;
  BSTR text = nullptr;
  LONG id = 0;
  Expect("CheckSearchBill, null sInfo", early->CheckSearchBill(1, 1, nullptr, &visible), E_POINTER);
  Expect("CheckSearchBill, null result", early->CheckSearchBill(1, 1, &text, nullptr), E_POINTER);
  Expect("GetToDoThingCount, null result", early->GetToDoThingCount(nullptr), E_POINTER);
  Expect("GetMaxMinInterID, null result", early->GetMaxMinInterID(1, 1, nullptr), E_POINTER);
  Expect("GetMoveInterID, null result", early->GetMoveInterID(Long(1), 1, 1, nullptr), E_POINTER);
  Expect("LoadRecentBills, null result", early->LoadRecentBills(1, nullptr, nullptr), E_POINTER);
  Expect("GetMoveInterID, lBillID pointing nowhere",
         early->GetMoveInterID(Make(VT_BYREF | VT_VARIANT), 3, 1000201, &id), S_OK);
  Expect("  its neutral result", id, 0);
  Expect("GetToDoThingCount with no result wanted: the list released",
         InvokeRaw(object, kGetToDoThingCount, {}) == S_OK ? Call(recorder, L"Live", {Text(L"ValueList")}) : L"failed",
         L"0");
}

void CheckCalls() {
  CoInitialize(nullptr);
  ComPtr<IDispatch> recorder = Create(L"ZetTestHost.Recorder"), object = Create(L"ZetMMoveBill.clsMoveBill");
  if (!recorder || !object) return Report(false, "test host and component created");
  HMODULE module = GetModuleHandleW(L"ZetMMoveBill.dll");
  using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
  auto can_unload = reinterpret_cast<CanUnloadNow>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  Expect("DllCanUnloadNow with an object alive", can_unload(), S_FALSE);
  ComPtr<IUnknown> answer;
  ComPtr<ITypeInfo> info, vtable;
  HREFTYPE ref = 0;
  UINT count = 0;
  object->GetTypeInfoCount(&count);
  Report(SUCCEEDED(object->QueryInterface(kIid, &answer)) &&
             SUCCEEDED(object->QueryInterface(IID_ISupportErrorInfo, &answer)) &&
             object->QueryInterface(IID_IPersist, &answer) == E_NOINTERFACE && count == 1 &&
             object->GetTypeInfo(1, 0, &info) == DISP_E_BADINDEX,
         "answers _clsMoveBill and ISupportErrorInfo, one type info");
  object->GetTypeInfo(0, 0, &info);
  info->GetRefTypeOfImplType(-1, &ref);
  info->GetRefTypeInfo(ref, &vtable);
  object->QueryInterface(kIid, &answer);

  // Through the vtable, as an early-bound client's compiled calls go: slot
  // offsets and argument layout must match the type library.
  Script(recorder.Get(), L"UserID=1;");
  EXCEPINFO excep{};
  UINT arg_err = 0;
  VARIANT result;
  VariantInit(&result);
  std::vector<VARIANT> args = {Long(2), Long(1125)};
  DISPPARAMS params{args.data(), nullptr, 2, 0};
  Expect("early-bound GetMaxMinInterID",
         vtable->Invoke(answer.Get(), kGetMaxMinInterID, DISPATCH_METHOD, &params, &result, &excep, &arg_err), S_OK);
  Expect("  its result", V_VT(&result) == VT_I4 ? V_I4(&result) : -1, 4711);
  Script(recorder.Get(), L"UserID=16;");
  BSTR text = SysAllocString(L"keep");
  args = {Make(VT_BYREF | VT_BSTR, &text), Long(9), Long(1125)};
  params = {args.data(), nullptr, 3, 0};
  Expect("early-bound CheckSearchBill",
         vtable->Invoke(answer.Get(), kCheckSearchBill, DISPATCH_METHOD, &params, &result, &excep, &arg_err), S_OK);
  Expect("  sInfo written back", text ? text : L"",
         L"\u51ED\u8BC1\u663E\u793A\u9519\u8BEF\uFF0C\u6240\u9009\u51ED\u8BC1\u53EF\u80FD\u5DF2\u7ECF\u88AB\u5220\u9664"
         L"\uFF01");
  SysFreeString(text);
  // Late-bound: a String variable by reference, and ABar by name.
  Script(recorder.Get(), L"UserID=16;");
  text = SysAllocString(L"keep");
  Expect("late-bound CheckSearchBill with a String variable",
         InvokeRaw(object.Get(), kCheckSearchBill, {Make(VT_BYREF | VT_BSTR, &text), Long(9), Long(1125)}), S_OK);
  Expect("  written back", text ? std::wstring(text) : L"",
         L"\u51ED\u8BC1\u663E\u793A\u9519\u8BEF\uFF0C\u6240\u9009\u51ED\u8BC1\u53EF\u80FD\u5DF2\u7ECF\u88AB\u5220\u9664"
         L"\uFF01");
  SysFreeString(text);
  Script(recorder.Get(), L"UserID=25;");
  Call(recorder.Get(), L"Answer",
       {Text(L" select b.*"), Text(L"FUserID|FBillID|FClassTypeID|FNo|FBigType|FBillNo|FName"),
        Text(L"25|88|1|1|2|s:B-1|Stock out")});
  LPOLESTR names[] = {const_cast<LPOLESTR>(L"LoadRecentBills"), const_cast<LPOLESTR>(L"abar")};
  DISPID ids[2] = {};
  Expect("names of a member and its parameter", object->GetIDsOfNames(IID_NULL, names, 2, 0, ids), S_OK);
  ComPtr<IDispatch> bar = Create(L"ZetTestHost.Toolbar");
  Expect("named ABar",
         InvokeRaw(object.Get(), ids[0], {Make(VT_DISPATCH, bar.Get()), Long(1)}, nullptr, nullptr, {ids[1]}), S_OK);
  Report(Call(recorder.Get(), L"Journal").find(L"Tool(0).Text = BSTR \"1|88\"") != std::wstring::npos,
         "  fills the menu");

  // Calls no client should be able to turn into anything but an error code.
  Script(recorder.Get(), L"UserID=1;");
  VARIANT missing = Make(VT_ERROR);
  V_ERROR(&missing) = DISP_E_PARAMNOTFOUND;
  Expect("assignment to a method",
         InvokeRaw(object.Get(), kGetMaxMinInterID, {}, nullptr, nullptr, {}, DISPATCH_PROPERTYPUT),
         DISP_E_MEMBERNOTFOUND);
  Expect("a DISPID in the gap", InvokeRaw(object.Get(), 0x60030001, {}), DISP_E_MEMBERNOTFOUND);
  Expect("too few arguments", InvokeRaw(object.Get(), kGetMaxMinInterID, {}), DISP_E_BADPARAMCOUNT);
  Expect("too many arguments", InvokeRaw(object.Get(), kGetMaxMinInterID, {Long(1), Long(2), Long(3)}),
         DISP_E_BADPARAMCOUNT);
  arg_err = 99;
  Expect("first argument no number",
         InvokeRaw(object.Get(), kGetMaxMinInterID, {Long(1), Text(L"abc")}, nullptr, &arg_err), DISP_E_TYPEMISMATCH);
  Expect("  puArgErr", arg_err, 1);
  Expect("second argument no number",
         InvokeRaw(object.Get(), kGetMaxMinInterID, {Text(L"abc"), Long(1)}, nullptr, &arg_err), DISP_E_TYPEMISMATCH);
  Expect("  puArgErr", arg_err, 0);
  Expect("a named argument that does not exist",
         InvokeRaw(object.Get(), kGetMaxMinInterID, {Long(1), Long(1125)}, nullptr, &arg_err, {7}),
         DISP_E_PARAMNOTFOUND);
  Expect("a required argument left out", InvokeRaw(object.Get(), kGetMaxMinInterID, {Long(1), missing}),
         DISP_E_PARAMNOTOPTIONAL);
  Expect("no host call for them", Call(recorder.Get(), L"Journal"), L"");
  CheckNullPointers(object.Get(), recorder.Get());

  // Unload accounting: objects and server locks.
  ComPtr<IClassFactory> factory;
  Expect("class factory", CoGetClassObject(kClsId, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, &factory), S_OK);
  Expect("no aggregation", factory->CreateInstance(recorder.Get(), IID_IUnknown, &answer), CLASS_E_NOAGGREGATION);
  answer.Reset();
  object.Reset();
  Expect("DllCanUnloadNow with no object", can_unload(), S_OK);
  factory->LockServer(TRUE);
  Expect("DllCanUnloadNow while locked", can_unload(), S_FALSE);
  factory->LockServer(FALSE);
  Expect("DllCanUnloadNow unlocked", can_unload(), S_OK);
  factory.Reset();
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  void* other = nullptr;
  Expect("no factory for another CLSID",
         reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")))(
             kLibId, IID_IClassFactory, &other),
         CLASS_E_CLASSNOTAVAILABLE);

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
  object = Create(L"ZetMMoveBill.clsMoveBill");
  Expect("created and called again after unloading",
         object ? Call(object.Get(), L"GetMoveInterID", {Long(77), Long(3), Long(1000201)}) : L"", L"80");
  object.Reset();
  Call(recorder.Get(), L"Reset");
  recorder.Reset();
  info.Reset();
  vtable.Reset();
  CoUninitialize();
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
  } else if (mode == L"calls") {
    CheckCalls();
  } else {
    std::printf("usage: com_check typelib <dll> win32|win64 | registry <dll> | calls\n");
    return 2;
  }
  std::printf("DONE %d passed, %d failed\n", passes, failures);
  return failures;
}
