#pragma once

#include <cstdint>
#include <functional>
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
  std::string why;  // the reason of a verdict, when it needs one
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

// One to-do position for the current user: every test its count depends on
// (the access rows; for the voucher positions also the voucher mask, the
// cashier setting, the account rights and the security answers), the alarm
// days and the count, with the statements the component sends for them.
struct ToDoExplanation {
  int32_t position = 0;
  std::string table;  // the table counted; "" for the reserved position
  std::vector<Step> steps;
  bool granted = false;         // the explainer's reading of the access rows
  bool method_granted = false;  // CheckToDoAccess (true for administrators)
  bool passes = false;          // every test passes: the count may be above 0
  std::string count;            // as the component's list holds it; "" when it returned Nothing
  std::vector<std::string> count_statements;
  std::optional<std::string> failure;

  // A failed test must leave the method's count at 0.
  bool Agrees() const { return !failure && granted == method_granted && (passes || count == "0"); }
};

// `position` must be 1 to 9. Never raises.
ToDoExplanation ExplainToDo(Platform& platform, int32_t position) noexcept;

// One user's answer for one bill: CheckSearchBill's, and for a refusal the
// first piece of the explanation that fails.
struct UserVerdict {
  int32_t user = 0;
  std::string name;
  bool may_open = false;  // CheckSearchBill's answer
  bool agrees = true;     // the explanation's verdict is the same
  std::string piece;      // the first failing piece; "" when the bill may be opened
  std::string why;
};

// Every user of t_User, in the order of their ids, asked about one bill.
// `log_on` makes the given property string the current context. Raises
// when the user list cannot be read.
std::vector<UserVerdict> WhoMayOpen(Platform& platform, const std::function<void(const std::string&)>& log_on,
                                    int32_t trans_type, int32_t bill);

// "bits 0 and 17", "bit 5", "no bit": the set bits of a mask, from 0.
std::string BitsOf(int32_t mask);

// A message of the suite followed by its meaning in English in brackets;
// any other text as it is.
std::string WithMeaning(const std::string& message);

// Whether a transaction type has a catalogue row of its own; the others are
// read as the default row.
bool InCatalogue(int32_t trans_type);
// "kind 999 is not in the catalogue; read as the default row, ...".
std::string NotInCatalogue(int32_t trans_type);

}  // namespace zet::explain
