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

namespace zet::com {

// Marks the time a call into the component is running on this thread.
//
// COM references are released only inside such a call. The one object the
// core keeps beyond a call is the per-thread creation service, in thread-
// local storage, whose destructor runs when the thread ends or, for the main
// thread, when the process ends: under the loader lock, after the thread may
// have left its apartment and the service's own DLL may have been unloaded.
// A Release then could call into freed code, so those references are dropped
// without one: a deliberate leak of one object per thread that used the
// component, which the ending thread or process takes with it.
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
  // Takes a reference of its own.
  explicit ComDispatch(IDispatch* object);
  ~ComDispatch() override;

  Variant Invoke(std::string_view member, CallKind kind, std::span<Argument> args) override;
  bool Supports(std::string_view interface_name) override;

  IDispatch* Get() const { return object_; }

 private:
  DISPID MemberId(std::string_view member);

  IDispatch* object_;
  std::vector<std::pair<std::string, DISPID>> ids_;
};

// The core's reference to a COM object; Nothing for null.
ObjectRef WrapDispatch(IDispatch* object);
// The COM object behind a core reference (no reference added), or null when
// the reference is Nothing or is no COM object.
IDispatch* PeekDispatch(const ObjectRef& object);

}  // namespace zet::com
