// ZetTestHost.dll stands in for the suite's services in the Wine tests: one scripted object behind every ProgID,
// named after the ProgID's last part, which journals each call with its argument kinds
// ("ClassInfo.GetData(BSTR \"...\", ref BSTR \"...\")") and answers by the first rule of the test's script whose
// pattern the journal line contains: a recordset, a value or an error. Lists, recordsets and the toolbar's tools
// keep what is put into them.
#include <windows.h>
// The COM headers build on <windows.h>.
#include <oaidl.h>
#include <objbase.h>

#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#define ZET_WIDEN2(text) L##text
#define ZET_WIDEN(text) ZET_WIDEN2(text)

namespace {

const wchar_t* const kProgIds[] = {L"ZetPropsMgr.ShareProps",        ZET_WIDEN(ZET_SERVICE_FACTORY_PROGID),
                                   ZET_WIDEN(ZET_VALUE_LIST_PROGID), L"ZetMClass.ClassInfo",
                                   L"ZetMClass.ClassUpdate",         L"ZetBillDataAccess.SysInfo",
                                   L"ZetEBSBase.SecurityInfo",       L"ZetBillDataAccess.GetData",
                                   L"ZetConnection.AppConnection",   L"ZetTestHost.Toolbar",
                                   L"ZetTestHost.Recorder"};

GUID ClassId(size_t n) {
  return {0x6F1D2A40, 0x5B3C, 0x4E7A, {0x9C, 0, 0, 0, 0, 0, 0, static_cast<unsigned char>(n + 1)}};
}

struct Raise {
  HRESULT scode;
  std::wstring text;
};
struct Table {
  std::vector<std::wstring> columns;
  std::vector<std::vector<std::wstring>> rows;
};
struct Rule {  // a recordset, a value, or an error to raise when scode is set
  std::wstring pattern;
  std::shared_ptr<Table> table;
  Raise answer;
  bool raises = false;
};
struct Cursor {
  std::shared_ptr<Table> table;
  size_t row = 0;
};
struct State {
  std::wstring props, journal;
  std::vector<Rule> rules;
  std::map<std::wstring, long> live;
  std::vector<std::wstring> names;
  std::set<std::wstring> hidden;  // classes that "are not registered" for now
} state;

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = towlower(c);
  return text;
}

std::wstring Text(const VARIANT& value) {
  VARIANT text;
  VariantInit(&text);
  if (FAILED(VariantChangeTypeEx(&text, const_cast<VARIANT*>(&value), LOCALE_INVARIANT, VARIANT_ALPHABOOL, VT_BSTR)))
    return L"?";
  std::wstring result(V_BSTR(&text), SysStringLen(V_BSTR(&text)));
  VariantClear(&text);
  return result;
}

// A text in quotes, its line breaks as \r and \n.
std::wstring Quote(const std::wstring& text) {
  std::wstring out = L"\"";
  for (const wchar_t c : text) out += c == L'\r' ? L"\\r" : c == L'\n' ? L"\\n" : std::wstring(1, c);
  return out + L"\"";
}

// "ref BSTR \"...\"", "I2 16", "ref VARIANT I4 5", "ref BSTR[0..0]{\"...\"}".
std::wstring Describe(const VARIANT& value) {
  const VARTYPE type = V_VT(&value), plain = type & VT_TYPEMASK;
  const std::wstring ref = type & VT_BYREF ? L"ref " : L"";
  if (type == (VT_BYREF | VT_VARIANT)) return L"ref VARIANT " + Describe(*V_VARIANTREF(&value));
  if (type == (VT_BYREF | VT_ARRAY | VT_BSTR)) {
    SAFEARRAY* array = *V_ARRAYREF(&value);
    LONG lower = 0, upper = -1;
    SafeArrayGetLBound(array, 1, &lower);
    SafeArrayGetUBound(array, 1, &upper);
    std::wstring text = L"ref BSTR[" + std::to_wstring(lower) + L".." + std::to_wstring(upper) + L"]{";
    for (LONG i = lower; i <= upper; ++i) {
      BSTR* item = nullptr;
      SafeArrayPtrOfIndex(array, &i, reinterpret_cast<void**>(&item));
      text += (i > lower ? L", " : L"") + Quote(*item ? *item : L"");
    }
    return text + L"}";
  }
  if (plain == VT_ERROR) return L"missing";
  if (plain == VT_BSTR) return ref + L"BSTR " + Quote(Text(value));
  const wchar_t* const names[] = {L"EMPTY", L"NULL", L"I2", L"I4",       L"R4", L"R8",
                                  L"CY",    L"DATE", L"",   L"DISPATCH", L"",   L"BOOL"};
  const std::wstring name = plain < std::size(names) ? names[plain] : L"VT" + std::to_wstring(plain);
  return ref + name + (plain == VT_EMPTY || plain == VT_DISPATCH ? L"" : L" " + Text(value));
}

class Scripted final : public IDispatch {
 public:
  explicit Scripted(std::wstring name, std::shared_ptr<Cursor> cursor = nullptr, size_t column = 0)
      : name_(std::move(name)), cursor_(std::move(cursor)), column_(column) {
    ++state.live[name_];
  }
  ~Scripted() {
    --state.live[name_];
    for (VARIANT& item : items_) VariantClear(&item);
    for (auto& [name, value] : properties_) VariantClear(&value);
    for (auto& [name, child] : children_) child->Release();
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override {
    // ADO's _Recordset: recordsets answer to it with their IDispatch.
    static const GUID kRecordset = {0x00000556, 0, 0x0010, {0x80, 0, 0, 0xAA, 0, 0x6D, 0x2E, 0xA4}};
    const bool answers = iid == IID_IUnknown || iid == IID_IDispatch || (iid == kRecordset && name_ == L"Recordset");
    *result = answers ? this : nullptr;
    return answers ? (AddRef(), S_OK) : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return *count = 0, S_OK; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  // Any name is a member.
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (count != 1) return DISP_E_UNKNOWNNAME;
    size_t i = 0;
    while (i < state.names.size() && Lower(state.names[i]) != Lower(names[0])) ++i;
    if (i == state.names.size()) state.names.push_back(names[0]);
    return ids[0] = static_cast<DISPID>(i + 1), S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* excep, UINT*) override {
    const std::wstring member = id >= 1 && static_cast<size_t>(id) <= state.names.size() ? state.names[id - 1] : L"";
    const bool put = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
    std::vector<VARIANT*> args;
    for (UINT i = params->cArgs; i-- > 0;) args.push_back(&params->rgvarg[i]);
    std::wstring line = name_ + L"." + member + (put ? L" = " : L"(");
    for (size_t i = 0; i < args.size(); ++i) line += (i ? L", " : L"") + Describe(*args[i]);
    line += put ? L"" : L")";
    const std::wstring pid = L"ref I4 " + std::to_wstring(GetCurrentProcessId());
    if (line.find(pid) != std::wstring::npos) line.replace(line.find(pid), pid.size(), L"ref I4 <pid>");
    if (name_ != L"Recorder" && name_ != L"Field" && name_ != L"Fields") state.journal += line + L"\n";
    VARIANT answer;
    VariantInit(&answer);
    try {
      if (put) {
        VariantClear(&properties_[Lower(member)]);
        VariantCopyInd(&properties_[Lower(member)], args.at(0));
      } else {
        Handle(Lower(member), args, line, answer);
      }
    } catch (const Raise& error) {
      *excep = EXCEPINFO{};
      excep->scode = error.scode;
      excep->bstrDescription = SysAllocString(error.text.c_str());
      return DISP_E_EXCEPTION;
    }
    result != nullptr ? void(*result = answer) : void(VariantClear(&answer));
    return S_OK;
  }

 private:
  static std::wstring Arg(const std::vector<VARIANT*>& args, size_t i) {
    return i < args.size() ? Text(*args[i]) : L"";
  }
  static void Return(IDispatch* object, VARIANT& out) { V_VT(&out) = VT_DISPATCH, V_DISPATCH(&out) = object; }
  static void Return(long number, VARIANT& out) { V_VT(&out) = VT_I4, V_I4(&out) = number; }
  static void Return(bool value, VARIANT& out) {
    V_VT(&out) = VT_BOOL, V_BOOL(&out) = value ? VARIANT_TRUE : VARIANT_FALSE;
  }
  static void Return(const std::wstring& text, VARIANT& out) {
    V_VT(&out) = VT_BSTR, V_BSTR(&out) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  }
  static std::vector<std::wstring> Split(const std::wstring& text) {
    std::vector<std::wstring> cells(1);
    for (const wchar_t c : text) c == L'|' ? cells.emplace_back() : cells.back().append(1, c);
    return cells;
  }
  static Scripted* Rows(std::shared_ptr<Table> table) {
    return new Scripted(L"Recordset", std::make_shared<Cursor>(Cursor{std::move(table)}));
  }

  void Handle(const std::wstring& member, const std::vector<VARIANT*>& args, const std::wstring& line, VARIANT& out) {
    if (name_ == L"Recorder") return Control(member, args, out);
    if (cursor_ != nullptr) return Read(member, args, out);
    if (member == L"createservice") {
      CLSID clsid{};
      IDispatch* service = nullptr;
      if (FAILED(CLSIDFromProgID(Arg(args, 0).c_str(), &clsid)) ||
          FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                  reinterpret_cast<void**>(&service))))
        throw Raise{static_cast<HRESULT>(0x800A01ADu), L"ActiveX component can't create object"};
      return Return(service, out);
    }
    if (name_ == L"ValueList") {  // Add, and Item by position from 1
      if (member == L"add") return void(VariantCopyInd(&items_.emplace_back(), args.at(0)));
      const size_t position = std::wcstoul(Arg(args, 0).c_str(), nullptr, 10);
      if (position < 1 || position > items_.size())
        throw Raise{static_cast<HRESULT>(0x800A0009u), L"Subscript out of range"};
      return void(VariantCopy(&out, &items_[position - 1]));
    }
    if (member == L"bands" || member == L"tools") {  // the toolbar: its bands and their tools, by name or index
      Scripted*& child = children_[member + Arg(args, 0)];
      if (child == nullptr) child = new Scripted(member == L"bands" ? L"Band" : L"Tool(" + Arg(args, 0) + L")");
      child->AddRef();
      return Return(child, out);
    }
    if (properties_.count(member)) return void(VariantCopy(&out, &properties_[member]));
    for (const Rule& rule : state.rules) {
      if (line.find(rule.pattern) == std::wstring::npos) continue;
      // A scode of -1 is a service that lets a C++ exception out of Invoke.
      if (rule.raises && rule.answer.scode == -1) throw std::runtime_error("a service's own fault");
      if (rule.raises) throw rule.answer;
      return rule.table ? Return(Rows(rule.table), out) : Return(rule.answer.text, out);
    }
    if (member == L"getproperty") return Return(state.props, out);
    if (member == L"accesscheck") return Return(true, out);
    if (member == L"getsysvalue") return Return(std::wstring(L"0"), out);
    if (member == L"getdata" || member == L"executesql" || member == L"execute")
      return Return(Rows(std::make_shared<Table>()), out);
  }

  // Recordsets, their Fields and each Field share one cursor.
  void Read(const std::wstring& member, const std::vector<VARIANT*>& args, VARIANT& out) {
    Cursor& cursor = *cursor_;
    const Table& table = *cursor.table;
    const bool at_end = cursor.row >= table.rows.size();
    if (member == L"eof") return Return(at_end, out);
    if (member == L"recordcount") return Return(static_cast<long>(table.rows.size()), out);
    if (member == L"movenext") return void(cursor.row += at_end ? 0 : 1);
    if (member == L"close") return;
    if (member == L"clone") return Return(Rows(cursor.table), out);
    if (member == L"value") {  // a whole number as a Long, "s:" and anything else as text
      if (at_end) throw Raise{static_cast<HRESULT>(0x800A0BCDu), L"Either BOF or EOF is True."};
      const std::wstring& cell = table.rows[cursor.row][column_];
      wchar_t* end = nullptr;
      const long number = std::wcstol(cell.c_str(), &end, 10);
      if (!cell.empty() && *end == L'\0') return Return(number, out);
      return Return(cell.rfind(L"s:", 0) == 0 ? cell.substr(2) : cell, out);
    }
    if (args.empty()) return Return(new Scripted(L"Fields", cursor_), out);
    const std::wstring key = Arg(args, 0);
    size_t column = std::wcstoul(key.c_str(), nullptr, 10);
    for (size_t i = 0; i < table.columns.size(); ++i) column = Lower(table.columns[i]) == Lower(key) ? i : column;
    if (column >= table.columns.size()) throw Raise{static_cast<HRESULT>(0x800A0CC1u), L"Item cannot be found."};
    Return(new Scripted(L"Field", cursor_, column), out);
  }

  // The test's handle on the host.
  void Control(const std::wstring& member, const std::vector<VARIANT*>& args, VARIANT& out) {
    wchar_t path[MAX_PATH] = {};
    GetEnvironmentVariableW(L"ZETMOVEBILL_MESSAGE_LOG", path, MAX_PATH);
    if (member == L"reset") {
      state.props = Arg(args, 0), state.journal.clear(), state.rules.clear(), state.hidden.clear();
      if (FILE* file = _wfopen(path, L"wb")) fclose(file);
    }
    if (member == L"hide") state.hidden.insert(Arg(args, 0));
    if (member == L"journal") Return(state.journal, out);
    if (member == L"calls") {  // the journal's lines that begin with the prefix, joined by " | "
      std::wstring lines;
      for (size_t at = 0, end; (end = state.journal.find(L'\n', at)) != std::wstring::npos; at = end + 1)
        if (state.journal.compare(at, Arg(args, 0).size(), Arg(args, 0)) == 0)
          lines += (lines.empty() ? L"" : L" | ") + state.journal.substr(at, end - at);
      Return(lines, out);
    }
    if (member == L"live") Return(state.live[Arg(args, 0)], out);
    if (member == L"answer") {
      auto table = std::make_shared<Table>(Table{Split(Arg(args, 1)), {}});
      for (size_t i = 2; i < args.size(); ++i) table->rows.push_back(Split(Arg(args, i)));
      state.rules.push_back(Rule{Arg(args, 0), table, {S_OK, L""}});
    }
    if (member == L"value") state.rules.push_back(Rule{Arg(args, 0), nullptr, {S_OK, Arg(args, 1)}});
    if (member == L"fail") {
      const auto scode = static_cast<HRESULT>(std::wcstoul(Arg(args, 1).c_str(), nullptr, 0));
      state.rules.push_back(Rule{Arg(args, 0), nullptr, {scode, Arg(args, 2)}, true});
    }
    if (member == L"messages") {  // the component's diagnostic file, UTF-8
      std::string bytes(1 << 16, '\0');
      FILE* file = _wfopen(path, L"rb");
      bytes.resize(file != nullptr ? fread(bytes.data(), 1, bytes.size(), file) : 0);
      if (file != nullptr) fclose(file);
      std::wstring text(bytes.size(), L'\0');
      const int size = static_cast<int>(bytes.size());
      Return(text.substr(0, MultiByteToWideChar(CP_UTF8, 0, bytes.data(), size, text.data(), size)), out);
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

// One factory per class, for the life of the module.
class Factory final : public IClassFactory {
 public:
  size_t index = 0;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override {
    const bool answers = iid == IID_IUnknown || iid == IID_IClassFactory;
    *result = answers ? this : nullptr;
    return answers ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID iid, void** result) override {
    const wchar_t* name = wcsrchr(kProgIds[index], L'.') + 1;
    if (state.hidden.count(name)) return REGDB_E_CLASSNOTREG;
    Scripted* object = new Scripted(name);
    const HRESULT hr = object->QueryInterface(iid, result);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
} factories[std::size(kProgIds)];

}  // namespace

extern "C" IMAGE_DOS_HEADER __ImageBase;

// No DllCanUnloadNow: the host keeps the script and the journal for the whole
// test process. No DllUnregisterServer either: the test prefix goes with the run.
extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** result) {
  for (size_t n = 0; n < std::size(kProgIds); ++n) {
    if (ClassId(n) == clsid) return factories[n].index = n, factories[n].QueryInterface(iid, result);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllRegisterServer() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(reinterpret_cast<HMODULE>(&__ImageBase), path, MAX_PATH);
  for (size_t n = 0; n < std::size(kProgIds); ++n) {
    wchar_t clsid[40] = {};
    StringFromGUID2(ClassId(n), clsid, 40);
    const std::wstring server = L"CLSID\\" + std::wstring(clsid) + L"\\InprocServer32";
    RegSetValueW(HKEY_CLASSES_ROOT, (std::wstring(kProgIds[n]) + L"\\CLSID").c_str(), REG_SZ, clsid, 0);
    RegSetValueW(HKEY_CLASSES_ROOT, server.c_str(), REG_SZ, path, 0);
    RegSetKeyValueW(HKEY_CLASSES_ROOT, server.c_str(), L"ThreadingModel", REG_SZ, L"Apartment", 20);
  }
  return S_OK;
}
