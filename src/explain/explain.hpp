#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/platform.hpp"

namespace zet::explain {

// The verdict of one piece: it lets the bill through, it hides it, it lets it
// through only because a missing base-data row is tolerated, or it is a fact
// without a verdict of its own.
enum class Verdict { Pass, Fail, Tolerated, Info };

// One line of an explanation, with the statements sent to establish it.
struct Step {
  std::string piece;  // "bill", "user", "kind", "preparer", "customer", "stock line" ...
  std::string text;   // what was found, for people
  Verdict verdict = Verdict::Info;
  std::string why;    // the reason of a verdict, when it needs one
  std::vector<std::string> statements;
};

// Why the current user may or may not open one bill. The explainer's own
// verdict comes from the pieces; the method's from CheckSearchBill itself,
// called on the same host: the two must agree.
struct BillExplanation {
  int32_t trans_type = 0;
  int32_t bill = 0;
  std::string table;
  std::vector<Step> steps;
  std::vector<std::string> hints;
  bool may_open = false;
  bool method_may_open = false;
  std::string method_info;
  std::vector<std::string> method_statements;
  // Set when the host failed so that nothing can be explained.
  std::optional<std::string> failure;

  bool Agrees() const { return !failure && may_open == method_may_open; }
};

// Never raises: a host failure ends in `failure`.
BillExplanation ExplainBill(Platform& platform, int32_t trans_type, int32_t bill) noexcept;

// One to-do position for the current user: the access check, the alarm days
// and the count, with the statements the component sends for them.
struct ToDoExplanation {
  int32_t position = 0;
  std::vector<Step> steps;
  bool granted = false;         // the explainer's reading of the access rows
  bool method_granted = false;  // CheckToDoAccess (true for administrators)
  std::string count;            // as the component's list holds it
  std::vector<std::string> count_statements;
  std::optional<std::string> failure;

  bool Agrees() const { return !failure && granted == method_granted; }
};

// `position` must be 1 to 9. Never raises.
ToDoExplanation ExplainToDo(Platform& platform, int32_t position) noexcept;

}  // namespace zet::explain
