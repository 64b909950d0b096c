#pragma once

#include <cstdint>
#include <ostream>

#include "cli/session.hpp"
#include "explain/explain.hpp"

namespace zet::cli {

// why TYPE BILL [--sql]: whether the user may open the bill and why, piece by
// piece. 0 may open, 1 may not (the verdict line's answer, whatever messages
// were shown), 3 when the explanation and CheckSearchBill disagree (or the
// host failed).
int RunWhy(const GlobalOptions& options, int32_t trans_type, int32_t bill, bool sql, std::ostream& out,
           std::ostream& err);

// The plain form of an explanation, as `why` prints it; `messages` is how many
// messages the method showed on the way.
void PrintBillExplanation(std::ostream& out, const explain::BillExplanation& why, bool sql, size_t messages = 0);

// why-todo POSITION [--sql]: every test of one to-do position, the alarm days
// and the count. 0 every test passes, 1 one fails, 2 no such position, 3
// disagreement or host failure.
int RunWhyToDo(const GlobalOptions& options, int32_t position, bool sql, std::ostream& out, std::ostream& err);

}  // namespace zet::cli
