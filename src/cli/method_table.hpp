#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/value_json.hpp"
#include "component/cls_move_bill.hpp"

namespace zet::cli {

// How a parameter of a public method is declared, and so how a value given
// at the command line reaches it.
enum class ParamKind {
  Long,        // by value; takes CLng of the given value
  Variant,     // by value; takes the value as given
  StringRef,   // String by reference; takes CStr of the value, shown after the call
  ToolbarRef,  // the toolbar object by reference; given by --toolbar, never as text
};

struct ParamEntry {
  const char* name;
  ParamKind kind;
  // An optional parameter left out at the command line: the toolbar is
  // Nothing, a String starts as "", as the host's fresh variable does.
  bool optional = false;
};

// What a call left behind: the result (Empty for a method without one) and
// the by-reference arguments as the method left them, in declared order.
struct CallOutcome {
  Variant result;
  std::vector<std::pair<std::string, Variant>> byref;
};

struct MethodEntry {
  const char* name;
  std::vector<ParamEntry> params;
  ObjectShape result_shape;
  // Calls the method with the converted values (one per parameter, in
  // declared order, the toolbar excepted) and the toolbar.
  CallOutcome (*invoke)(clsMoveBill& component, const std::vector<Variant>& values, ObjectRef& toolbar);

  bool TakesToolbar() const;
  // "lTransType lInterID [sInfo]"
  std::string Synopsis() const;
};

// The six public methods of clsMoveBill, in the order of the interface.
const std::vector<MethodEntry>& Methods();

// A call checked and converted before anything is opened or run.
struct PreparedCall {
  const MethodEntry* method = nullptr;
  std::vector<Variant> values;
};

// Finds the method (by name, ignoring case, as late binding does), checks the
// number of arguments, reads each with the argument syntax and converts it to
// its parameter's type as automation would. Raises UsageError for an unknown
// method, a wrong count, a bad argument, a conversion that fails, or a
// toolbar for a method that takes none.
PreparedCall PrepareCall(std::string_view method, const std::vector<std::string>& args, bool with_toolbar);

}  // namespace zet::cli
