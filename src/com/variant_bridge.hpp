#pragma once

#include <windows.h>
// The COM headers build on <windows.h>.
#include <oaidl.h>

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/dispatch.hpp"
#include "host/variant.hpp"
#include "owners.hpp"

namespace zet::com {

// The core value as a VARIANT the caller owns (`out` must be empty). Objects
// must be COM objects that came from the outside; a string array becomes a
// SAFEARRAY of BSTR, any other array a SAFEARRAY of VARIANT.
void ToVariant(const Variant& value, VARIANT& out);

// A VARIANT as the core sees it, through any VT_BYREF. The subtypes the core
// does not model are coerced as the automation run time would show them:
// other integers to Long (Double when they do not fit), Single, Currency and
// Decimal to Double, Date to its text. A reference that points nowhere raises.
Variant FromVariant(const VARIANT& value);

// Whether every pointer a client's VARIANT carries can be followed: E_POINTER
// for a by-reference value that points nowhere, DISP_E_TYPEMISMATCH for a
// reference to a reference to a Variant, which no client makes.
HRESULT CheckPointers(const VARIANT& value);

// Marks the time a call into the component is running on this thread: COM
// references are released only inside such a call (see ~ComDispatch).
class CallScope {
 public:
  CallScope();
  CallScope(const CallScope&) = delete;
  CallScope& operator=(const CallScope&) = delete;
  ~CallScope();
  static bool Active();
};

// An IDispatch the core calls by member name.
class ComDispatch final : public Dispatch {
 public:
  explicit ComDispatch(IDispatch* object) : object_(object) {}
  ~ComDispatch() override;

  Variant Invoke(std::string_view member, CallKind kind, std::span<Argument> args) override;
  bool Supports(std::string_view interface_name) override;

  IDispatch* Get() const { return object_.Get(); }

 private:
  DISPID MemberId(std::string_view member);

  ComPtr<IDispatch> object_;
  std::vector<std::pair<std::string, DISPID>> ids_;
};

// The core's reference to a COM object (a reference of its own); Nothing for
// null.
ObjectRef WrapDispatch(IDispatch* object);
// The COM object behind a core reference (no reference added), or null when
// the reference is Nothing or is no COM object.
IDispatch* PeekDispatch(const ObjectRef& object);

}  // namespace zet::com
