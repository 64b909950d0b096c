// The suite's services as the component meets them, answering from the
// test's script: shared properties, the creation service and its list
// class, the data, update, system-parameter and security services, the
// application connection, ADO-like recordsets and a toolbar.
#include "host_classes.hpp"

#include <objbase.h>

#include <array>
#include <cwchar>
#include <vector>

#include "host_object.hpp"

#define ZET_WIDEN2(text) L##text
#define ZET_WIDEN(text) ZET_WIDEN2(text)

namespace zet::testhost {

namespace {

// ADO's _Recordset. The recordset answers to it with its IDispatch: callers
// here are late-bound, as the component is.
constexpr GUID kIidRecordset = {0x00000556, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};

constexpr HRESULT kNoCurrentRecord = RuntimeError(3021);
constexpr HRESULT kObjectClosed = RuntimeError(3704);
constexpr HRESULT kItemNotFound = RuntimeError(3265);
constexpr HRESULT kDatabaseError = static_cast<HRESULT>(0x80040E14u);
constexpr HRESULT kAccessDenied = static_cast<HRESULT>(0x80044010u);

void SetText(VARIANT& out, const std::wstring& text) {
  V_VT(&out) = VT_BSTR;
  V_BSTR(&out) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

void SetLong(VARIANT& out, long value) {
  V_VT(&out) = VT_I4;
  V_I4(&out) = value;
}

void SetBool(VARIANT& out, bool value) {
  V_VT(&out) = VT_BOOL;
  V_BOOL(&out) = value ? VARIANT_TRUE : VARIANT_FALSE;
}

[[noreturn]] void Unknown(const std::wstring& member) {
  throw HostError{DISP_E_MEMBERNOTFOUND, L"No member " + member};
}

// ---- Recordsets ----

struct Cursor {
  std::shared_ptr<const Table> table;
  size_t position = 0;
  bool closed = false;

  void RequireOpen() const {
    if (closed) throw HostError{kObjectClosed, L"Operation is not allowed when the object is closed."};
  }
  bool Eof() const { return position >= table->rows.size(); }
};

size_t ColumnOf(const Cursor& cursor, const VARIANT& key) {
  VARIANT plain;
  VariantInit(&plain);
  VariantCopyInd(&plain, const_cast<VARIANT*>(&key));
  size_t column = cursor.table->columns.size();
  if (V_VT(&plain) == VT_BSTR) {
    for (size_t i = 0; i < cursor.table->columns.size(); ++i) {
      if (_wcsicmp(cursor.table->columns[i].c_str(), V_BSTR(&plain)) == 0) column = i;
    }
  } else {
    VARIANT number;
    VariantInit(&number);
    if (SUCCEEDED(VariantChangeType(&number, &plain, 0, VT_I4)) && V_I4(&number) >= 0)
      column = static_cast<size_t>(V_I4(&number));
  }
  VariantClear(&plain);
  if (column >= cursor.table->columns.size()) {
    throw HostError{kItemNotFound,
                    L"Item cannot be found in the collection corresponding to the requested name or ordinal."};
  }
  return column;
}

class Field final : public HostObject {
 public:
  Field(std::shared_ptr<Cursor> cursor, size_t column)
      : HostObject(L"Field", {L"Value", L"Name"}, true), cursor_(std::move(cursor)), column_(column) {}

 protected:
  bool Journaled() const override { return false; }
  void Handle(const std::wstring& member, const CallArgs&, VARIANT& result) override {
    cursor_->RequireOpen();
    if (member == L"Name") return SetText(result, cursor_->table->columns[column_]);
    if (cursor_->Eof()) {
      throw HostError{kNoCurrentRecord,
                      L"Either BOF or EOF is True, or the current record has been deleted. Requested operation "
                      L"requires a current record."};
    }
    CellToVariant(cursor_->table->rows[cursor_->position][column_], result);
  }

 private:
  std::shared_ptr<Cursor> cursor_;
  size_t column_;
};

class Fields final : public HostObject {
 public:
  explicit Fields(std::shared_ptr<Cursor> cursor) : HostObject(L"Fields", {L"Item", L"Count"}, true), cursor_(cursor) {}

 protected:
  bool Journaled() const override { return false; }
  void Handle(const std::wstring& member, const CallArgs& args, VARIANT& result) override {
    cursor_->RequireOpen();
    if (member == L"Count") return SetLong(result, static_cast<long>(cursor_->table->columns.size()));
    ReturnObject(new Field(cursor_, ColumnOf(*cursor_, args.At(0))), result);
  }

 private:
  std::shared_ptr<Cursor> cursor_;
};

class Recordset final : public HostObject {
 public:
  explicit Recordset(std::shared_ptr<const Table> table)
      : HostObject(L"Recordset", {L"EOF", L"RecordCount", L"Fields", L"MoveNext", L"Clone", L"Close", L"State"}),
        cursor_(std::make_shared<Cursor>()) {
    cursor_->table = std::move(table);
  }

 protected:
  bool AnswersTo(REFIID iid) const override { return iid == kIidRecordset; }
  void Handle(const std::wstring& member, const CallArgs& args, VARIANT& result) override {
    if (member == L"State") return SetLong(result, cursor_->closed ? 0 : 1);
    cursor_->RequireOpen();
    if (member == L"EOF") return SetBool(result, cursor_->Eof());
    if (member == L"RecordCount") return SetLong(result, static_cast<long>(cursor_->table->rows.size()));
    if (member == L"Fields") {
      if (args.Count() == 0) return ReturnObject(new Fields(cursor_), result);
      return ReturnObject(new Field(cursor_, ColumnOf(*cursor_, args.At(0))), result);
    }
    if (member == L"MoveNext") {
      if (cursor_->Eof()) throw HostError{kNoCurrentRecord, L"Either BOF or EOF is True."};
      ++cursor_->position;
      return;
    }
    // A clone shares the rows and starts at the first one.
    if (member == L"Clone") return ReturnObject(new Recordset(cursor_->table), result);
    if (member == L"Close") {
      cursor_->closed = true;
      return;
    }
    Unknown(member);
  }

 private:
  std::shared_ptr<Cursor> cursor_;
};

// The script's answer to a statement: the first failure or answer whose
// text the statement contains; no rows when none does.
void Answer(const std::wstring& sql, VARIANT& result) {
  RecordStatement(sql);
  const Script& script = CurrentScript();
  for (const auto& [pattern, description] : script.failures) {
    if (sql.find(pattern) != std::wstring::npos) throw HostError{kDatabaseError, description};
  }
  for (const auto& [pattern, table] : script.answers) {
    if (sql.find(pattern) != std::wstring::npos) {
      return ReturnObject(new Recordset(std::make_shared<Table>(table)), result);
    }
  }
  ReturnObject(new Recordset(std::make_shared<Table>()), result);
}

// ---- The suite's services ----

class ShareProps final : public HostObject {
 public:
  ShareProps() : HostObject(L"ShareProps", {L"GetProperty"}) {}

 protected:
  // The process id must be this process's: the journal shows it as <pid>,
  // so that tests can compare whole lines.
  std::wstring DescribeArgument(UINT index, const VARIANT& value) const override {
    std::wstring text = Describe(value);
    const std::wstring pid = std::to_wstring(GetCurrentProcessId());
    if (index == 0 && text.size() > pid.size() && text.compare(text.size() - pid.size(), pid.size(), pid) == 0 &&
        text[text.size() - pid.size() - 1] == L' ') {
      text.replace(text.size() - pid.size(), pid.size(), L"<pid>");
    }
    return text;
  }
  void Handle(const std::wstring&, const CallArgs& args, VARIANT& result) override {
    if (args.Count() != 2) throw HostError{DISP_E_BADPARAMCOUNT, L"GetProperty takes two arguments"};
    if (args.Text(1) == L"PropsString") SetText(result, CurrentScript().props);
  }
};

class ServiceFactory final : public HostObject {
 public:
  ServiceFactory() : HostObject(L"ServiceFactory", {L"CreateService"}) {}

 protected:
  void Handle(const std::wstring&, const CallArgs& args, VARIANT& result) override {
    const std::wstring prog_id = args.Text(0);
    CLSID clsid{};
    IDispatch* service = nullptr;
    if (FAILED(CLSIDFromProgID(prog_id.c_str(), &clsid)) ||
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(&service)))) {
      throw HostError{RuntimeError(429), L"ActiveX component can't create object: " + prog_id};
    }
    V_VT(&result) = VT_DISPATCH;
    V_DISPATCH(&result) = service;
  }
};

class ValueList final : public HostObject {
 public:
  ValueList() : HostObject(L"ValueList", {L"Item", L"Add", L"Count"}, true) {}
  ~ValueList() override {
    for (VARIANT& item : items_) VariantClear(&item);
  }

 protected:
  void Handle(const std::wstring& member, const CallArgs& args, VARIANT& result) override {
    if (member == L"Count") return SetLong(result, static_cast<long>(items_.size()));
    if (member == L"Add") {
      VARIANT item;
      VariantInit(&item);
      VariantCopyInd(&item, &args.At(0));
      items_.push_back(item);
      return;
    }
    const long position = args.Long(0);
    if (position < 1 || static_cast<size_t>(position) > items_.size())
      throw HostError{RuntimeError(9), L"Subscript out of range"};
    VariantCopy(&result, &items_[static_cast<size_t>(position - 1)]);
  }

 private:
  std::vector<VARIANT> items_;
};

// The read services and the connection: `sql_index` is where the statement
// stands among the arguments.
class StatementService final : public HostObject {
 public:
  StatementService(const wchar_t* name, const wchar_t* member, UINT sql_index)
      : HostObject(name, {member}), sql_index_(sql_index) {}

 protected:
  void Handle(const std::wstring&, const CallArgs& args, VARIANT& result) override {
    Answer(args.Text(sql_index_), result);
  }

 private:
  UINT sql_index_;
};

class ClassUpdate final : public HostObject {
 public:
  ClassUpdate() : HostObject(L"ClassUpdate", {L"UpdateBatch"}) {}

 protected:
  void Handle(const std::wstring&, const CallArgs& args, VARIANT& result) override {
    VARIANT& batch = args.At(1);
    SAFEARRAY* array = nullptr;
    if (V_VT(&batch) == (VT_BYREF | VT_ARRAY | VT_BSTR)) array = *V_ARRAYREF(&batch);
    if (V_VT(&batch) == (VT_ARRAY | VT_BSTR)) array = V_ARRAY(&batch);
    if (array == nullptr) throw HostError{DISP_E_TYPEMISMATCH, L"UpdateBatch takes a string array"};
    LONG lower = 0;
    LONG upper = -1;
    SafeArrayGetLBound(array, 1, &lower);
    SafeArrayGetUBound(array, 1, &upper);
    for (LONG i = lower; i <= upper; ++i) {
      BSTR text = nullptr;
      SafeArrayGetElement(array, &i, &text);
      const std::wstring sql = text ? std::wstring(text, SysStringLen(text)) : L"";
      SysFreeString(text);
      RecordStatement(sql);
      for (const auto& [pattern, description] : CurrentScript().failures) {
        if (sql.find(pattern) != std::wstring::npos) throw HostError{kDatabaseError, description};
      }
    }
    (void)result;
  }
};

class SysInfo final : public HostObject {
 public:
  SysInfo() : HostObject(L"SysInfo", {L"GetSysValue"}) {}

 protected:
  void Handle(const std::wstring&, const CallArgs& args, VARIANT& result) override {
    const auto& values = CurrentScript().sys_values;
    const auto it = values.find(args.Text(2));
    SetText(result, it == values.end() ? L"0" : it->second);
  }
};

class SecurityInfo final : public HostObject {
 public:
  SecurityInfo() : HostObject(L"SecurityInfo", {L"AccessCheck"}) {}

 protected:
  void Handle(const std::wstring&, const CallArgs& args, VARIANT& result) override {
    const auto& access = CurrentScript().access;
    const auto it = access.find(args.Long(3));
    const AccessOutcome outcome = it == access.end() ? AccessOutcome::Allow : it->second;
    switch (outcome) {
      case AccessOutcome::Allow:
        return SetBool(result, true);
      case AccessOutcome::Deny:
        throw HostError{kAccessDenied, L"You have no right to do this."};
      case AccessOutcome::Fail:
        throw HostError{E_FAIL, L"The security service failed."};
    }
  }
};

// ---- The toolbar: band "mnuRecBill" with 20 tools ----

struct ToolState {
  bool visible = true;
  std::wstring caption;
  std::wstring text;
};
using Tools = std::array<ToolState, 20>;

class Tool final : public HostObject {
 public:
  Tool(std::shared_ptr<Tools> tools, size_t index)
      : HostObject(L"Tool(" + std::to_wstring(index) + L")", {L"Visible", L"Caption", L"Text"}),
        tools_(std::move(tools)),
        index_(index) {}

 protected:
  void Handle(const std::wstring& member, const CallArgs& args, VARIANT& result) override {
    ToolState& tool = (*tools_)[index_];
    if (args.IsPut()) {
      VARIANT value;
      VariantInit(&value);
      VariantCopyInd(&value, &args.PutValue());
      if (member == L"Visible") {
        VariantChangeType(&value, &value, 0, VT_BOOL);
        tool.visible = V_BOOL(&value) != VARIANT_FALSE;
      } else {
        VariantChangeType(&value, &value, 0, VT_BSTR);
        (member == L"Caption" ? tool.caption : tool.text) = V_BSTR(&value) ? V_BSTR(&value) : L"";
      }
      VariantClear(&value);
      return;
    }
    if (member == L"Visible") return SetBool(result, tool.visible);
    SetText(result, member == L"Caption" ? tool.caption : tool.text);
  }

 private:
  std::shared_ptr<Tools> tools_;
  size_t index_;
};

class Band final : public HostObject {
 public:
  explicit Band(std::shared_ptr<Tools> tools) : HostObject(L"Band", {L"Tools"}), tools_(std::move(tools)) {}

 protected:
  void Handle(const std::wstring&, const CallArgs& args, VARIANT& result) override {
    const long index = args.Long(0);
    if (index < 0 || index >= static_cast<long>(tools_->size()))
      throw HostError{RuntimeError(35600), L"Index out of bounds"};
    ReturnObject(new Tool(tools_, static_cast<size_t>(index)), result);
  }

 private:
  std::shared_ptr<Tools> tools_;
};

class Toolbar final : public HostObject {
 public:
  Toolbar() : HostObject(L"Toolbar", {L"Bands"}), tools_(std::make_shared<Tools>()) {}

 protected:
  void Handle(const std::wstring&, const CallArgs& args, VARIANT& result) override {
    if (args.Text(0) != L"mnuRecBill") throw HostError{RuntimeError(35601), L"Element not found"};
    ReturnObject(new Band(tools_), result);
  }

 private:
  std::shared_ptr<Tools> tools_;
};

// ---- The test's handle on the host ----

std::vector<std::wstring> SplitCells(const std::wstring& text) {
  std::vector<std::wstring> cells;
  size_t start = 0;
  for (;;) {
    const size_t bar = text.find(L'|', start);
    cells.push_back(text.substr(start, bar == std::wstring::npos ? std::wstring::npos : bar - start));
    if (bar == std::wstring::npos) return cells;
    start = bar + 1;
  }
}

// "\uXXXX" escapes to characters; everything else unchanged.
std::wstring Unescape(const std::wstring& text) {
  std::wstring out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\\' && i + 5 < text.size() && text[i + 1] == L'u') {
      out += static_cast<wchar_t>(std::wcstoul(text.substr(i + 2, 4).c_str(), nullptr, 16));
      i += 5;
    } else {
      out += text[i];
    }
  }
  return out;
}

class Recorder final : public HostObject {
 public:
  Recorder()
      : HostObject(L"Recorder", {L"Reset", L"Props", L"Answer", L"Fail", L"SysValue", L"Access", L"Hide", L"Journal",
                                 L"Statement", L"StatementCount", L"Live", L"ReadUtf8", L"Truncate", L"FactoryProgId",
                                 L"Environment", L"Escape", L"Unescape"}) {}

 protected:
  bool Journaled() const override { return false; }
  void Handle(const std::wstring& member, const CallArgs& args, VARIANT& result) override {
    Script& script = CurrentScript();
    if (member == L"Reset") return ResetState();
    if (member == L"Props") {  // assigned only
      VARIANT value;
      VariantInit(&value);
      VariantChangeType(&value, &args.PutValue(), 0, VT_BSTR);
      script.props = V_BSTR(&value) ? V_BSTR(&value) : L"";
      VariantClear(&value);
      return;
    }
    if (member == L"Answer") {
      Table table;
      table.columns = SplitCells(args.Text(1));
      for (UINT i = 2; i < args.Count(); ++i) {
        std::vector<Cell> row;
        for (const std::wstring& cell : SplitCells(args.Text(i))) row.push_back(ParseCell(cell));
        row.resize(table.columns.size());
        table.rows.push_back(std::move(row));
      }
      script.answers.emplace_back(args.Text(0), std::move(table));
      return;
    }
    if (member == L"Fail") {
      script.failures.emplace_back(args.Text(0), args.Text(1));
      return;
    }
    if (member == L"SysValue") {
      script.sys_values[args.Text(0)] = args.Text(1);
      return;
    }
    if (member == L"Access") {
      const std::wstring outcome = args.Text(1);
      script.access[args.Long(0)] = outcome == L"deny"   ? AccessOutcome::Deny
                                    : outcome == L"fail" ? AccessOutcome::Fail
                                                         : AccessOutcome::Allow;
      return;
    }
    if (member == L"Hide") return HideProgId(args.Text(0));
    if (member == L"Journal") {
      std::wstring text;
      for (const std::wstring& line : JournalLines()) text += line + L"\n";
      return SetText(result, text);
    }
    if (member == L"StatementCount") return SetLong(result, static_cast<long>(Statements().size()));
    if (member == L"Statement") {
      const long index = args.Long(0);
      if (index < 1 || static_cast<size_t>(index) > Statements().size()) return SetText(result, L"<none>");
      return SetText(result, Statements()[static_cast<size_t>(index - 1)]);
    }
    if (member == L"Live") return SetLong(result, LiveObjects(args.Text(0)));
    if (member == L"Environment") {
      wchar_t value[1024] = {};
      const DWORD length = GetEnvironmentVariableW(args.Text(0).c_str(), value, 1024);
      return SetText(result, length < 1024 ? std::wstring(value, length) : L"");
    }
    if (member == L"Escape") return SetText(result, Escape(args.Text(0)));
    if (member == L"Unescape") return SetText(result, Unescape(args.Text(0)));
    if (member == L"FactoryProgId") return SetText(result, ZET_WIDEN(ZET_SERVICE_FACTORY_PROGID));
    if (member == L"ReadUtf8") return SetText(result, ReadUtf8(args.Text(0)));
    if (member == L"Truncate") {
      HANDLE file = CreateFileW(args.Text(0).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
      return;
    }
    Unknown(member);
  }

 private:
  static std::wstring ReadUtf8(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return L"";
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) bytes.append(buffer, read);
    CloseHandle(file);
    if (bytes.empty()) return L"";
    const int length = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), length);
    return text;
  }
};

}  // namespace

template <class T>
HostObject* Make() {
  return new T();
}

const HostClassEntry kHostClasses[kHostClassCount] = {
    {L"ZetPropsMgr.ShareProps", Make<ShareProps>},
    {ZET_WIDEN(ZET_SERVICE_FACTORY_PROGID), Make<ServiceFactory>},
    {ZET_WIDEN(ZET_VALUE_LIST_PROGID), Make<ValueList>},
    {L"ZetMClass.ClassInfo", []() -> HostObject* { return new StatementService(L"ClassInfo", L"GetData", 1); }},
    {L"ZetMClass.ClassUpdate", Make<ClassUpdate>},
    {L"ZetBillDataAccess.SysInfo", Make<SysInfo>},
    {L"ZetEBSBase.SecurityInfo", Make<SecurityInfo>},
    {L"ZetBillDataAccess.GetData", []() -> HostObject* { return new StatementService(L"GetData", L"ExecuteSQL", 1); }},
    {L"ZetConnection.AppConnection",
     []() -> HostObject* { return new StatementService(L"AppConnection", L"Execute", 0); }},
    {L"ZetTestHost.Toolbar", Make<Toolbar>},
    {L"ZetTestHost.Recorder", Make<Recorder>},
};

}  // namespace zet::testhost
