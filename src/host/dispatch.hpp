#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/variant.hpp"

namespace zet {

enum class CallKind { Method, PropertyGet, PropertyPut };

// One argument of a late-bound call. A by-value argument carries its value; a
// by-reference argument points at the caller's variable, which the callee may
// overwrite.
class Argument {
 public:
  static Argument ByVal(Variant value) { return Argument(std::move(value), nullptr); }
  static Argument ByRef(Variant& variable) { return Argument({}, &variable); }

  bool IsByRef() const { return ref_ != nullptr; }
  const Variant& Value() const { return ref_ ? *ref_ : value_; }
  // Writes back through a by-reference argument; a by-value one takes the
  // value locally, as a callee's copy would.
  void Assign(Variant value) {
    if (ref_) {
      *ref_ = std::move(value);
    } else {
      value_ = std::move(value);
    }
  }

 private:
  Argument(Variant value, Variant* ref) : value_(std::move(value)), ref_(ref) {}
  Variant value_;
  Variant* ref_;
};

// An automation object, called by member name. Implementations raise
// AutomationError for anything that fails, including an unknown member (438).
class Dispatch {
 public:
  virtual ~Dispatch() = default;

  virtual Variant Invoke(std::string_view member, CallKind kind, std::span<Argument> args) = 0;

  // Whether the object answers to the named interface ("_Recordset"). Late-
  // bound objects are taken at their word unless the binding can ask.
  virtual bool Supports(std::string_view interface_name) {
    (void)interface_name;
    return true;
  }

  // Convenience forms.
  Variant Call(std::string_view member, std::span<Argument> args) { return Invoke(member, CallKind::Method, args); }
  Variant Call(std::string_view member) { return Invoke(member, CallKind::Method, {}); }
  Variant Get(std::string_view member) { return Invoke(member, CallKind::PropertyGet, {}); }
  Variant Get(std::string_view member, std::span<Argument> args) { return Invoke(member, CallKind::PropertyGet, args); }
  void Put(std::string_view member, Variant value) {
    Argument arg = Argument::ByVal(std::move(value));
    Invoke(member, CallKind::PropertyPut, std::span<Argument>(&arg, 1));
  }
};

// The object a Variant holds; Object variable not set (91) for Nothing and
// Type mismatch (13) for a value that is no object.
ObjectRef RequireObject(const Variant& v);

}  // namespace zet
