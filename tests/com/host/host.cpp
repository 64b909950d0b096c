// ZetTestHost.dll stands in for the suite's services in the Wine tests. Every
// ProgID it registers makes the same scripted object, which journals each call
// with its argument kinds ("ClassInfo.GetData(BSTR \"...\", ref BSTR \"...\")")
// and answers from the test's script: the first rule whose pattern the journal
// line contains gives a recordset, a value or an error to raise. Lists,
// recordsets and the toolbar's tools keep what is put into them.
#include <windows.h>
// The COM headers build on <windows.h>.
#include <oaidl.h>
#include <objbase.h>
#include <olectl.h>

#include <cwchar>
#include <map>
#include <memory>
#include <string>
#include <vector>

#define ZET_WIDEN2(text) L##text
#define ZET_WIDEN(text) ZET_WIDEN2(text)

namespace {

const wchar_t* const kClasses[][2] = {
    {L"ZetPropsMgr.ShareProps", L"ShareProps"},      {ZET_WIDEN(ZET_SERVICE_FACTORY_PROGID), L"ServiceFactory"},
    {ZET_WIDEN(ZET_VALUE_LIST_PROGID), L"ValueList"}, {L"ZetMClass.ClassInfo", L"ClassInfo"},
    {L"ZetMClass.ClassUpdate", L"ClassUpdate"},       {L"ZetBillDataAccess.SysInfo", L"SysInfo"},
    {L"ZetEBSBase.SecurityInfo", L"SecurityInfo"},    {L"ZetBillDataAccess.GetData", L"GetData"},
    {L"ZetConnection.AppConnection", L"AppConnection"}, {L"ZetTestHost.Toolbar", L"Toolbar"},
    {L"ZetTestHost.Recorder", L"Recorder"}};
constexpr size_t kClassCount = sizeof(kClasses) / sizeof(kClasses[0]);
const wchar_t* const kRecorderMembers[] = {L"Reset", L"Props", L"Answer", L"Value", L"Fail", L"Hide",
                                           L"Journal", L"Live", L"ReadUtf8", L"Truncate", L"Environment",
                                           L"Unescape", L"FactoryProgId"};

GUID ClassId(size_t n) {
  return {0x6F1D2A40, 0x5B3C, 0x4E7A, {0x9C, 0, 0, 0, 0, 0, 0, static_cast<unsigned char>(n + 1)}};
}

std::wstring GuidText(const GUID& guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

struct Raise {
  HRESULT scode;
  std::wstring text;
};
struct Table {
  std::vector<std::wstring> columns;
  std::vector<std::vector<std::wstring>> rows;
};
struct Rule {
  std::wstring pattern;
  std::shared_ptr<Table> table;  // a recordset, else `text` is the value or the error's text
  HRESULT scode = S_OK;          // an error to raise when set
  std::wstring text;
};
struct Cursor {
  std::shared_ptr<Table> table;
  size_t row = 0;
  bool closed = false;
};
struct State {
  std::wstring props;
  std::vector<Rule> rules;
  std::wstring journal;
  std::map<std::wstring, long> live;
  std::vector<std::wstring> names;
  std::vector<std::wstring> hidden;  // ProgIDs, index as in kClasses
};
State& Shared() {
  static State* state = new State();  // outlives every object, whatever the unload order
  return *state;
}

std::wstring Escape(const std::wstring& text) {
  std::wstring out;
  for (const wchar_t c : text) out += c == L'\r' ? L"\\r" : c == L'\n' ? L"\\n" : c == L'"' ? L"\\\"" : std::wstring(1, c);
  return out;
}

std::wstring Text(const VARIANT& value) {
  VARIANT text;
  VariantInit(&text);
  if (FAILED(VariantChangeTypeEx(&text, const_cast<VARIANT*>(&value), LOCALE_INVARIANT, 0, VT_BSTR))) return L"?";
  std::wstring result = V_BSTR(&text) ? std::wstring(V_BSTR(&text), SysStringLen(V_BSTR(&text))) : L"";
  VariantClear(&text);
  return result;
}

// "ref BSTR \"...\"", "I2 16", "ref BSTR[0..0]{\"...\"}", "missing".
std::wstring Describe(const VARIANT& value) {
  const VARTYPE type = V_VT(&value);
  if (type == (VT_BYREF | VT_VARIANT)) return L"ref VARIANT " + Describe(*V_VARIANTREF(&value));
  if (type & VT_ARRAY) {
    SAFEARRAY* array = type & VT_BYREF ? *V_ARRAYREF(&value) : V_ARRAY(&value);
    std::wstring text = type & VT_BYREF ? L"ref " : L"";
    LONG lower = 0, upper = -1;
    SafeArrayGetLBound(array, 1, &lower);
    SafeArrayGetUBound(array, 1, &upper);
    text += L"BSTR[" + std::to_wstring(lower) + L".." + std::to_wstring(upper) + L"]{";
    for (LONG i = lower; i <= upper; ++i) {
      BSTR item = nullptr;
      SafeArrayGetElement(array, &i, &item);
      text += (i > lower ? L", \"" : L"\"") + Escape(item ? item : L"") + L"\"";
      SysFreeString(item);
    }
    return text + L"}";
  }
  std::wstring prefix = type & VT_BYREF ? L"ref " : L"";
  VARIANT plain;
  VariantInit(&plain);
  VariantCopyInd(&plain, const_cast<VARIANT*>(&value));
  std::wstring text;
  switch (V_VT(&plain)) {
    case VT_EMPTY: text = L"EMPTY"; break;
    case VT_NULL: text = L"NULL"; break;
    case VT_ERROR: text = V_ERROR(&plain) == DISP_E_PARAMNOTFOUND ? L"missing" : L"ERROR"; break;
    case VT_DISPATCH: text = V_DISPATCH(&plain) ? L"DISPATCH object" : L"DISPATCH Nothing"; break;
    case VT_BSTR: text = L"BSTR \"" + Escape(Text(plain)) + L"\""; break;
    case VT_BOOL: text = V_BOOL(&plain) ? L"BOOL True" : L"BOOL False"; break;
    case VT_I2: text = L"I2 " + Text(plain); break;
    case VT_I4: text = L"I4 " + Text(plain); break;
    case VT_R8: text = L"R8 " + Text(plain); break;
    default: text = L"VT" + std::to_wstring(V_VT(&plain)) + L" " + Text(plain);
  }
  VariantClear(&plain);
  return prefix + text;
}

class Scripted final : public IDispatch {
 public:
  explicit Scripted(std::wstring name, std::shared_ptr<Cursor> cursor = nullptr, size_t column = 0)
      : name_(std::move(name)), cursor_(std::move(cursor)), column_(column) {
    ++Shared().live[name_];
  }
  ~Scripted() {
    --Shared().live[name_];
    for (VARIANT& item : items_) VariantClear(&item);
    for (auto& [name, value] : properties_) VariantClear(&value);
    for (auto& [name, child] : children_) child->Release();
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override {
    // ADO's _Recordset: recordsets answer to it with their IDispatch.
    static const GUID kRecordset = {0x00000556, 0, 0x0010, {0x80, 0, 0, 0xAA, 0, 0x6D, 0x2E, 0xA4}};
    *result = iid == IID_IUnknown || iid == IID_IDispatch || (iid == kRecordset && name_ == L"Recordset")
                  ? static_cast<IDispatch*>(this)
                  : nullptr;
    if (*result == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  // Any name is a member, except on the recorder, which the tests also pass
  // where an object of the wrong kind is wanted.
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (count != 1) return DISP_E_UNKNOWNNAME;
    bool known = name_ != L"Recorder";
    for (const wchar_t* member : kRecorderMembers) known = known || _wcsicmp(member, names[0]) == 0;
    if (!known) return DISP_E_UNKNOWNNAME;
    auto& all = Shared().names;
    for (size_t i = 0; i < all.size(); ++i) {
      if (_wcsicmp(all[i].c_str(), names[0]) == 0) return ids[0] = static_cast<DISPID>(i + 1), S_OK;
    }
    all.emplace_back(names[0]);
    ids[0] = static_cast<DISPID>(all.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* excep, UINT*) override {
    if (id == DISPID_VALUE) id = Member(name_ == L"Field" ? L"Value" : L"Item");
    if (id < 1 || static_cast<size_t>(id) > Shared().names.size()) return DISP_E_MEMBERNOTFOUND;
    const std::wstring member = Shared().names[static_cast<size_t>(id - 1)];
    const bool put = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
    std::vector<VARIANT*> args;
    for (UINT i = params->cArgs; i-- > params->cNamedArgs;) args.push_back(&params->rgvarg[i]);
    std::wstring line = name_ + L"." + member + (put ? L" = " : L"(");
    for (size_t i = 0; i < args.size(); ++i) line += (i ? L", " : L"") + Describe(*args[i]);
    if (put) line += Describe(params->rgvarg[0]);
    const std::wstring pid = L"ref I4 " + std::to_wstring(GetCurrentProcessId());
    if (line.find(pid) != std::wstring::npos) line.replace(line.find(pid), pid.size(), L"ref I4 <pid>");
    line += put ? L"" : L")";
    if (name_ != L"Recorder" && name_ != L"Field" && name_ != L"Fields") Shared().journal += line + L"\n";
    VARIANT answer;
    VariantInit(&answer);
    try {
      if (put && name_ == L"Recorder") {
        Control(member, {&params->rgvarg[0]}, answer);
      } else if (put) {
        VariantClear(&properties_[member]);
        VariantCopyInd(&properties_[member], &params->rgvarg[0]);
      } else {
        Handle(member, args, line, answer);
      }
    } catch (const Raise& error) {
      VariantClear(&answer);
      Shared().journal += L"  raised " + Escape(error.text) + L"\n";
      if (excep != nullptr) {
        *excep = EXCEPINFO{};
        excep->scode = error.scode;
        excep->bstrSource = SysAllocString(name_.c_str());
        excep->bstrDescription = SysAllocString(error.text.c_str());
      }
      return DISP_E_EXCEPTION;
    }
    if (result != nullptr) *result = answer;
    else VariantClear(&answer);
    return S_OK;
  }

 private:
  static DISPID Member(const wchar_t* name) {
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    Scripted any(L"Any");
    any.GetIDsOfNames(IID_NULL, names, 1, 0, &id);
    return id;
  }
  static std::wstring Arg(const std::vector<VARIANT*>& args, size_t i) {
    return i < args.size() ? Text(*args[i]) : L"";
  }
  static void Return(IDispatch* object, VARIANT& out) {
    V_VT(&out) = VT_DISPATCH;
    V_DISPATCH(&out) = object;
  }
  static void Return(const std::wstring& text, VARIANT& out) {
    V_VT(&out) = VT_BSTR;
    V_BSTR(&out) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  }
  static void Return(long number, VARIANT& out) {
    V_VT(&out) = VT_I4;
    V_I4(&out) = number;
  }
  static void ReturnBool(bool value, VARIANT& out) {
    V_VT(&out) = VT_BOOL;
    V_BOOL(&out) = value ? VARIANT_TRUE : VARIANT_FALSE;
  }
  // A cell: a whole number as a Long, "s:" and anything else as text.
  static void ReturnCell(const std::wstring& cell, VARIANT& out) {
    wchar_t* end = nullptr;
    const long number = std::wcstol(cell.c_str(), &end, 10);
    if (!cell.empty() && *end == L'\0') return Return(number, out);
    Return(cell.rfind(L"s:", 0) == 0 ? cell.substr(2) : cell, out);
  }
  static std::vector<std::wstring> Split(const std::wstring& text) {
    std::vector<std::wstring> cells(1);
    for (const wchar_t c : text) {
      if (c == L'|') cells.emplace_back();
      else cells.back().push_back(c);
    }
    return cells;
  }

  void Handle(const std::wstring& member, const std::vector<VARIANT*>& args, const std::wstring& line, VARIANT& out) {
    State& state = Shared();
    if (name_ == L"Recorder") return Control(member, args, out);
    if (cursor_ != nullptr) return Read(member, args, out);
    if (member == L"CreateService") {
      CLSID clsid{};
      IDispatch* service = nullptr;
      if (FAILED(CLSIDFromProgID(Arg(args, 0).c_str(), &clsid)) ||
          FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&service))))
        throw Raise{static_cast<HRESULT>(0x800A01ADu), L"ActiveX component can't create object"};
      return Return(service, out);
    }
    if (name_ == L"ValueList") {
      if (member == L"Count") return Return(static_cast<long>(items_.size()), out);
      if (member == L"Add") return VariantCopyInd(&items_.emplace_back(), args.at(0)), void();
      const long position = std::wcstol(Arg(args, 0).c_str(), nullptr, 10);
      if (position < 1 || static_cast<size_t>(position) > items_.size())
        throw Raise{static_cast<HRESULT>(0x800A0009u), L"Subscript out of range"};
      return VariantCopy(&out, &items_[static_cast<size_t>(position - 1)]), void();
    }
    if (member == L"Bands" || member == L"Tools") {
      const long index = std::wcstol(Arg(args, 0).c_str(), nullptr, 10);
      if (member == L"Bands" ? Arg(args, 0) != L"mnuRecBill" : index < 0 || index > 19)
        throw Raise{static_cast<HRESULT>(0x800A8B10u), L"Index out of bounds"};
      Scripted*& child = children_[member + Arg(args, 0)];
      if (child == nullptr) child = new Scripted(member == L"Bands" ? L"Band" : L"Tool(" + Arg(args, 0) + L")");
      child->AddRef();
      return Return(child, out);
    }
    const auto property = properties_.find(member);
    if (property != properties_.end()) return VariantCopy(&out, &property->second), void();
    for (const Rule& rule : state.rules) {
      if (line.find(rule.pattern) == std::wstring::npos) continue;
      if (rule.scode != S_OK) throw Raise{rule.scode, rule.text};
      if (rule.table) return Return(new Scripted(L"Recordset", std::make_shared<Cursor>(Cursor{rule.table})), out);
      return Return(rule.text, out);
    }
    if (member == L"GetProperty") return Return(state.props, out);
    if (member == L"AccessCheck") return ReturnBool(true, out);
    if (member == L"GetSysValue") return Return(std::wstring(L"0"), out);
    if (member == L"GetData" || member == L"ExecuteSQL" || member == L"Execute")
      return Return(new Scripted(L"Recordset", std::make_shared<Cursor>(Cursor{std::make_shared<Table>()})), out);
  }

  // Recordsets, their Fields and each Field share one cursor.
  void Read(const std::wstring& member, const std::vector<VARIANT*>& args, VARIANT& out) {
    Cursor& cursor = *cursor_;
    const Table& table = *cursor.table;
    if (member == L"State") return Return(cursor.closed ? 0L : 1L, out);
    if (cursor.closed) throw Raise{static_cast<HRESULT>(0x800A0E78u), L"Operation is not allowed when the object is closed."};
    const bool at_end = cursor.row >= table.rows.size();
    if (member == L"EOF") return ReturnBool(at_end, out);
    if (member == L"RecordCount") return Return(static_cast<long>(table.rows.size()), out);
    if (member == L"MoveNext") return void(cursor.row += at_end ? 0 : 1);
    if (member == L"Close") return void(cursor.closed = true);
    if (member == L"Clone") return Return(new Scripted(L"Recordset", std::make_shared<Cursor>(Cursor{cursor.table})), out);
    if (member == L"Value") {
      if (at_end) throw Raise{static_cast<HRESULT>(0x800A0BCDu), L"Either BOF or EOF is True."};
      return ReturnCell(table.rows[cursor.row][column_], out);
    }
    if (args.empty()) return Return(new Scripted(L"Fields", cursor_), out);
    size_t column = 0;
    VARIANT key;
    VariantInit(&key);
    VariantCopyInd(&key, args[0]);
    const std::wstring name = Text(key);
    column = V_VT(&key) == VT_BSTR ? table.columns.size() : std::wcstoul(name.c_str(), nullptr, 10);
    for (size_t i = 0; i < table.columns.size() && V_VT(&key) == VT_BSTR; ++i) {
      if (_wcsicmp(table.columns[i].c_str(), name.c_str()) == 0) column = i;
    }
    VariantClear(&key);
    if (column >= table.columns.size()) throw Raise{static_cast<HRESULT>(0x800A0CC1u), L"Item cannot be found."};
    Return(new Scripted(L"Field", cursor_, column), out);
  }

  // The test's handle on the host.
  void Control(const std::wstring& member, const std::vector<VARIANT*>& args, VARIANT& out) {
    State& state = Shared();
    if (member == L"Reset") {
      state.props.clear();
      state.rules.clear();
      state.journal.clear();
      for (const std::wstring& prog_id : state.hidden) {
        for (size_t n = 0; n < kClassCount; ++n) {
          if (prog_id != kClasses[n][0]) continue;
          HKEY key = nullptr;
          const std::wstring clsid = GuidText(ClassId(n));
          RegCreateKeyExW(HKEY_CLASSES_ROOT, (prog_id + L"\\CLSID").c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
          RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(clsid.c_str()),
                         static_cast<DWORD>((clsid.size() + 1) * sizeof(wchar_t)));
          RegCloseKey(key);
        }
      }
      state.hidden.clear();
    } else if (member == L"Props") {
      state.props = Text(*args.at(0));
    } else if (member == L"Answer") {
      auto table = std::make_shared<Table>();
      table->columns = Split(Arg(args, 1));
      for (size_t i = 2; i < args.size(); ++i) table->rows.push_back(Split(Arg(args, i)));
      state.rules.push_back(Rule{Arg(args, 0), table, S_OK, L""});
    } else if (member == L"Value") {
      state.rules.push_back(Rule{Arg(args, 0), nullptr, S_OK, Arg(args, 1)});
    } else if (member == L"Fail") {
      state.rules.push_back(Rule{Arg(args, 0), nullptr, static_cast<HRESULT>(std::wcstoul(Arg(args, 1).c_str(), nullptr, 0)), Arg(args, 2)});
    } else if (member == L"Hide") {
      state.hidden.push_back(Arg(args, 0));
      RegDeleteTreeW(HKEY_CLASSES_ROOT, (Arg(args, 0) + L"\\CLSID").c_str());
    } else if (member == L"Journal") {
      Return(state.journal, out);
    } else if (member == L"Live") {
      Return(state.live[Arg(args, 0)], out);
    } else if (member == L"Environment") {
      wchar_t value[1024] = {};
      Return(std::wstring(value, GetEnvironmentVariableW(Arg(args, 0).c_str(), value, 1024) % 1024), out);
    } else if (member == L"FactoryProgId") {
      Return(std::wstring(kClasses[1][0]), out);
    } else if (member == L"Unescape") {  // "\uXXXX" to characters: Wine's VBScript has no ChrW
      std::wstring text = Arg(args, 0), result;
      for (size_t i = 0; i < text.size(); ++i) {
        const bool escape = text[i] == L'\\' && i + 5 < text.size() && text[i + 1] == L'u';
        result += escape ? static_cast<wchar_t>(std::wcstoul(text.substr(i + 2, 4).c_str(), nullptr, 16)) : text[i];
        i += escape ? 5 : 0;
      }
      Return(result, out);
    } else {  // ReadUtf8 and Truncate: the component's diagnostic file
      HANDLE file = CreateFileW(Arg(args, 0).c_str(), member == L"Truncate" ? GENERIC_WRITE : GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                member == L"Truncate" ? CREATE_ALWAYS : OPEN_EXISTING, 0, nullptr);
      std::string bytes;
      char buffer[4096];
      DWORD read = 0;
      while (member == L"ReadUtf8" && ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0)
        bytes.append(buffer, read);
      if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
      std::wstring text(bytes.size(), L'\0');
      text.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()),
                                                          text.data(), static_cast<int>(text.size()))));
      Return(text, out);
    }
  }

  LONG references_ = 1;
  std::wstring name_;
  std::shared_ptr<Cursor> cursor_;
  size_t column_;
  std::map<std::wstring, VARIANT> properties_;
  std::map<std::wstring, Scripted*> children_;
  std::vector<VARIANT> items_;
};

class Factory final : public IClassFactory {
 public:
  explicit Factory(size_t index) : index_(index) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override {
    *result = iid == IID_IUnknown || iid == IID_IClassFactory ? this : nullptr;
    if (*result == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID iid, void** result) override {
    Scripted* object = new Scripted(kClasses[index_][1]);
    const HRESULT hr = object->QueryInterface(iid, result);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  LONG references_ = 1;
  size_t index_;
};

HMODULE module_handle = nullptr;

void SetText(const std::wstring& subkey, const wchar_t* name, const std::wstring& value) {
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_CLASSES_ROOT, subkey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) module_handle = instance;
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** result) {
  *result = nullptr;
  for (size_t n = 0; n < kClassCount; ++n) {
    if (ClassId(n) != clsid) continue;
    Factory* factory = new Factory(n);
    const HRESULT hr = factory->QueryInterface(iid, result);
    factory->Release();
    return hr;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

// The host keeps the script and the journal for the whole test process.
STDAPI DllCanUnloadNow() {
  return S_FALSE;
}

STDAPI DllRegisterServer() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(module_handle, path, MAX_PATH);
  for (size_t n = 0; n < kClassCount; ++n) {
    const std::wstring prog_id = kClasses[n][0], key = L"CLSID\\" + GuidText(ClassId(n));
    SetText(prog_id + L"\\CLSID", nullptr, GuidText(ClassId(n)));
    SetText(key + L"\\InprocServer32", nullptr, path);
    SetText(key + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
  }
  return S_OK;
}

STDAPI DllUnregisterServer() {
  for (size_t n = 0; n < kClassCount; ++n) {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kClasses[n][0]);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + GuidText(ClassId(n))).c_str());
  }
  return S_OK;
}
