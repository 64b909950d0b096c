// The test host's object framework: late-bound objects with a fixed member
// list, a journal of every call with its argument kinds, and errors raised
// the way automation servers raise them (DISP_E_EXCEPTION with EXCEPINFO).
#pragma once

#include <windows.h>
// The COM headers build on <windows.h>.
#include <oaidl.h>

#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace zet::testhost {

// An error the host raises to its caller.
struct HostError {
  HRESULT scode;
  std::wstring description;
};

// Facility-control HRESULT of a runtime error number, as VB servers raise them.
constexpr HRESULT RuntimeError(int number) {
  return static_cast<HRESULT>(0x800A0000u | static_cast<unsigned>(number));
}

// One cell of a scripted answer.
struct Cell {
  bool is_text = true;
  long number = 0;
  std::wstring text;
};
// Cell from the script's notation: an integer, "s:" followed by forced text,
// or any other text.
Cell ParseCell(const std::wstring& text);
void CellToVariant(const Cell& cell, VARIANT& out);

struct Table {
  std::vector<std::wstring> columns;
  std::vector<std::vector<Cell>> rows;
};

// The arguments of one Invoke in the order the caller wrote them.
class CallArgs {
 public:
  CallArgs(WORD flags, DISPPARAMS* params) : flags_(flags), params_(params) {}
  bool IsPut() const { return (flags_ & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0; }
  UINT Count() const;
  VARIANT& At(UINT index) const;
  VARIANT& PutValue() const;
  // Argument values coerced as the host's own code would read them.
  std::wstring Text(UINT index) const;
  long Long(UINT index) const;

 private:
  WORD flags_;
  DISPPARAMS* params_;
};

// "ref BSTR \"...\"", "I4 16", "ref BSTR[0..0]{\"...\"}": the kind and value of
// an argument, with CR, LF, backslash and quote escaped.
std::wstring Describe(const VARIANT& value);
std::wstring Escape(const std::wstring& text);

class HostObject : public IDispatch {
 public:
  // `members` are the names this class answers to; the first is its default
  // member (DISPID_VALUE) when `has_default` is set.
  HostObject(std::wstring class_name, std::initializer_list<const wchar_t*> members, bool has_default = false);
  HostObject(const HostObject&) = delete;
  HostObject& operator=(const HostObject&) = delete;
  virtual ~HostObject();

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* excep, UINT* arg_err) override;

  const std::wstring& ClassName() const { return class_name_; }

 protected:
  // Handles one call of `member`; throws HostError to raise.
  virtual void Handle(const std::wstring& member, const CallArgs& args, VARIANT& result) = 0;
  // Interfaces beyond IDispatch the object answers to with itself.
  virtual bool AnswersTo(REFIID) const { return false; }
  // Whether calls are written to the journal.
  virtual bool Journaled() const { return true; }
  // How an argument appears in the journal.
  virtual std::wstring DescribeArgument(UINT, const VARIANT& value) const { return Describe(value); }

 private:
  LONG references_ = 1;
  std::wstring class_name_;
  std::vector<std::wstring> members_;
  bool has_default_;
};

// Hands a new object to the caller as a VARIANT.
void ReturnObject(HostObject* object, VARIANT& result);

// ---- The shared state of the host: script, journal, live objects. ----

enum class AccessOutcome { Allow, Deny, Fail };

struct Script {
  std::wstring props;
  std::vector<std::pair<std::wstring, Table>> answers;
  std::vector<std::pair<std::wstring, std::wstring>> failures;
  std::map<std::wstring, std::wstring> sys_values;
  std::map<long, AccessOutcome> access;
};

Script& CurrentScript();
void ResetState();

void Journal(const std::wstring& line);
const std::vector<std::wstring>& JournalLines();
void RecordStatement(const std::wstring& sql);
const std::vector<std::wstring>& Statements();
long LiveObjects(const std::wstring& class_name);

// ProgIDs hidden from the registry for a test, restored by ResetState.
void HideProgId(const std::wstring& prog_id);

}  // namespace zet::testhost
