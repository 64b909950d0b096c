#include "host_object.hpp"

#include <cwchar>
#include <cwctype>

namespace zet::testhost {

namespace {

struct State {
  Script script;
  std::vector<std::wstring> journal;
  std::vector<std::wstring> statements;
  std::map<std::wstring, long> live;
  std::vector<std::pair<std::wstring, std::wstring>> hidden;  // ProgID, CLSID text
};

State& Shared() {
  static State* state = new State();  // outlives every object, whatever the unload order
  return *state;
}

std::wstring TypeName(VARTYPE type) {
  static const std::map<VARTYPE, const wchar_t*> names = {{VT_EMPTY, L"EMPTY"},    {VT_NULL, L"NULL"},
                                                          {VT_I2, L"I2"},          {VT_I4, L"I4"},
                                                          {VT_R4, L"R4"},          {VT_R8, L"R8"},
                                                          {VT_CY, L"CY"},          {VT_DATE, L"DATE"},
                                                          {VT_BSTR, L"BSTR"},      {VT_DISPATCH, L"DISPATCH"},
                                                          {VT_ERROR, L"ERROR"},    {VT_BOOL, L"BOOL"},
                                                          {VT_UI1, L"UI1"},        {VT_VARIANT, L"VARIANT"},
                                                          {VT_UNKNOWN, L"UNKNOWN"}};
  const auto it = names.find(type);
  return it != names.end() ? it->second : L"VT" + std::to_wstring(type);
}

std::wstring DescribePlain(const VARIANT& value) {
  const VARTYPE type = V_VT(&value);
  std::wstring name = TypeName(type);
  switch (type) {
    case VT_BSTR:
      return name + L" \"" + Escape(V_BSTR(&value) ? V_BSTR(&value) : L"") + L"\"";
    case VT_BOOL:
      return name + (V_BOOL(&value) ? L" True" : L" False");
    case VT_DISPATCH:
      return name + (V_DISPATCH(&value) ? L" object" : L" Nothing");
    case VT_EMPTY:
    case VT_NULL:
      return name;
    case VT_ERROR:
      return V_ERROR(&value) == DISP_E_PARAMNOTFOUND ? L"missing" : name;
    default: {
      VARIANT text;
      VariantInit(&text);
      if (SUCCEEDED(VariantChangeTypeEx(&text, const_cast<VARIANT*>(&value), LOCALE_INVARIANT, 0, VT_BSTR))) {
        name += L" ";
        name += V_BSTR(&text);
      }
      VariantClear(&text);
      return name;
    }
  }
}

std::wstring DescribeArray(SAFEARRAY* array, VARTYPE element) {
  std::wstring text = TypeName(element);
  if (array == nullptr) return text + L"[]";
  LONG lower = 0;
  LONG upper = -1;
  SafeArrayGetLBound(array, 1, &lower);
  SafeArrayGetUBound(array, 1, &upper);
  text += L"[" + std::to_wstring(lower) + L".." + std::to_wstring(upper) + L"]{";
  for (LONG i = lower; i <= upper; ++i) {
    if (i > lower) text += L", ";
    VARIANT item;
    VariantInit(&item);
    if (element == VT_VARIANT) {
      SafeArrayGetElement(array, &i, &item);
    } else if (element == VT_BSTR) {
      V_VT(&item) = VT_BSTR;
      SafeArrayGetElement(array, &i, &V_BSTR(&item));
    }
    text += element == VT_BSTR ? L"\"" + Escape(V_BSTR(&item) ? V_BSTR(&item) : L"") + L"\"" : DescribePlain(item);
    VariantClear(&item);
  }
  return text + L"}";
}

}  // namespace

Cell ParseCell(const std::wstring& text) {
  Cell cell;
  if (text.rfind(L"s:", 0) == 0) {
    cell.text = text.substr(2);
    return cell;
  }
  wchar_t* end = nullptr;
  cell.number = std::wcstol(text.c_str(), &end, 10);
  cell.is_text = text.empty() || *end != L'\0';
  cell.text = text;
  return cell;
}

void CellToVariant(const Cell& cell, VARIANT& out) {
  VariantInit(&out);
  if (!cell.is_text) {
    V_VT(&out) = VT_I4;
    V_I4(&out) = cell.number;
    return;
  }
  V_VT(&out) = VT_BSTR;
  V_BSTR(&out) = SysAllocStringLen(cell.text.data(), static_cast<UINT>(cell.text.size()));
}

std::wstring Escape(const std::wstring& text) {
  std::wstring out;
  for (const wchar_t c : text) {
    switch (c) {
      case L'\\':
        out += L"\\\\";
        break;
      case L'\r':
        out += L"\\r";
        break;
      case L'\n':
        out += L"\\n";
        break;
      case L'"':
        out += L"\\\"";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::wstring Describe(const VARIANT& value) {
  VARTYPE type = V_VT(&value);
  if (type & VT_BYREF) {
    const VARTYPE target = static_cast<VARTYPE>(type & ~VT_BYREF);
    if (target == VT_VARIANT) return L"ref VARIANT " + Describe(*V_VARIANTREF(&value));
    if (target & VT_ARRAY) return L"ref " + DescribeArray(*V_ARRAYREF(&value), target & VT_TYPEMASK);
    VARIANT copy;
    VariantInit(&copy);
    VariantCopyInd(&copy, const_cast<VARIANT*>(&value));
    std::wstring text = L"ref " + DescribePlain(copy);
    VariantClear(&copy);
    return text;
  }
  if (type & VT_ARRAY) return DescribeArray(V_ARRAY(&value), type & VT_TYPEMASK);
  return DescribePlain(value);
}

UINT CallArgs::Count() const {
  return params_->cArgs - params_->cNamedArgs;
}

VARIANT& CallArgs::At(UINT index) const {
  if (index >= Count()) throw HostError{DISP_E_BADPARAMCOUNT, L"Wrong number of arguments"};
  return params_->rgvarg[params_->cArgs - 1 - index];
}

VARIANT& CallArgs::PutValue() const {
  if (params_->cArgs == 0) throw HostError{DISP_E_BADPARAMCOUNT, L"No value to assign"};
  return params_->rgvarg[0];
}

std::wstring CallArgs::Text(UINT index) const {
  VARIANT text;
  VariantInit(&text);
  if (FAILED(VariantChangeType(&text, &At(index), 0, VT_BSTR))) throw HostError{DISP_E_TYPEMISMATCH, L"Type mismatch"};
  std::wstring result = V_BSTR(&text) ? std::wstring(V_BSTR(&text), SysStringLen(V_BSTR(&text))) : L"";
  VariantClear(&text);
  return result;
}

long CallArgs::Long(UINT index) const {
  VARIANT number;
  VariantInit(&number);
  if (FAILED(VariantChangeType(&number, &At(index), 0, VT_I4))) throw HostError{DISP_E_TYPEMISMATCH, L"Type mismatch"};
  return V_I4(&number);
}

HostObject::HostObject(std::wstring class_name, std::initializer_list<const wchar_t*> members, bool has_default)
    : class_name_(std::move(class_name)), has_default_(has_default) {
  for (const wchar_t* member : members) members_.emplace_back(member);
  ++Shared().live[class_name_];
}

HostObject::~HostObject() {
  --Shared().live[class_name_];
}

HRESULT HostObject::QueryInterface(REFIID iid, void** result) {
  if (result == nullptr) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDispatch || AnswersTo(iid)) {
    *result = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *result = nullptr;
  return E_NOINTERFACE;
}

ULONG HostObject::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&references_));
}

ULONG HostObject::Release() {
  const LONG left = InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT HostObject::GetTypeInfoCount(UINT* count) {
  if (count) *count = 0;
  return S_OK;
}

HRESULT HostObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

HRESULT HostObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (count == 0) return S_OK;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  for (size_t m = 0; m < members_.size(); ++m) {
    if (_wcsicmp(members_[m].c_str(), names[0]) == 0) {
      ids[0] = static_cast<DISPID>(m + 1);
      return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
    }
  }
  return DISP_E_UNKNOWNNAME;
}

HRESULT HostObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                           UINT*) {
  size_t index = 0;
  if (id == DISPID_VALUE && has_default_) {
    index = 0;
  } else if (id >= 1 && static_cast<size_t>(id) <= members_.size()) {
    index = static_cast<size_t>(id - 1);
  } else {
    return DISP_E_MEMBERNOTFOUND;
  }
  const std::wstring& member = members_[index];
  CallArgs args(flags, params);
  if (Journaled()) {
    std::wstring line = class_name_ + L"." + member;
    if (args.IsPut()) {
      line += L" = " + Describe(args.PutValue());
    } else {
      line += L"(";
      for (UINT i = 0; i < args.Count(); ++i) line += (i ? L", " : L"") + DescribeArgument(i, args.At(i));
      line += L")";
    }
    Journal(line);
  }
  VARIANT answer;
  VariantInit(&answer);
  try {
    Handle(member, args, answer);
  } catch (const HostError& error) {
    VariantClear(&answer);
    if (Journaled()) Journal(L"  raised " + Escape(error.description));
    if (excep != nullptr) {
      *excep = EXCEPINFO{};
      excep->scode = error.scode;
      excep->bstrSource = SysAllocString(class_name_.c_str());
      excep->bstrDescription = SysAllocString(error.description.c_str());
    }
    return DISP_E_EXCEPTION;
  }
  if (result != nullptr) {
    *result = answer;
  } else {
    VariantClear(&answer);
  }
  return S_OK;
}

void ReturnObject(HostObject* object, VARIANT& result) {
  V_VT(&result) = VT_DISPATCH;
  V_DISPATCH(&result) = object;
}

Script& CurrentScript() {
  return Shared().script;
}

void ResetState() {
  State& state = Shared();
  state.script = Script{};
  state.journal.clear();
  state.statements.clear();
  // The keys as the host's registration wrote them: the ProgID named by its
  // default value, and its CLSID.
  for (const auto& [prog_id, clsid] : state.hidden) {
    for (const auto& [subkey, value] : {std::pair{prog_id, prog_id}, std::pair{prog_id + L"\\CLSID", clsid}}) {
      HKEY key = nullptr;
      if (RegCreateKeyExW(HKEY_CLASSES_ROOT, subkey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
          ERROR_SUCCESS) {
        continue;
      }
      RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
      RegCloseKey(key);
    }
  }
  state.hidden.clear();
}

void Journal(const std::wstring& line) {
  Shared().journal.push_back(line);
}

const std::vector<std::wstring>& JournalLines() {
  return Shared().journal;
}

void RecordStatement(const std::wstring& sql) {
  Shared().statements.push_back(sql);
}

const std::vector<std::wstring>& Statements() {
  return Shared().statements;
}

long LiveObjects(const std::wstring& class_name) {
  const auto& live = Shared().live;
  const auto it = live.find(class_name);
  return it == live.end() ? 0 : it->second;
}

void HideProgId(const std::wstring& prog_id) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, (prog_id + L"\\CLSID").c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  wchar_t clsid[64] = {};
  DWORD bytes = sizeof(clsid) - sizeof(wchar_t);
  RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(clsid), &bytes);
  RegCloseKey(key);
  Shared().hidden.emplace_back(prog_id, clsid);
  RegDeleteTreeW(HKEY_CLASSES_ROOT, prog_id.c_str());
}

}  // namespace zet::testhost
