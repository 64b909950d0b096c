#pragma once

#include <cstdint>
#include <ostream>

#include "cli/session.hpp"
#include "explain/explain.hpp"

namespace zet::cli {

// why TYPE BILL [--sql]: whether the user may open the bill and why, piece by
// piece. 0 may open, 1 may not, 3 when the explanation and CheckSearchBill
// disagree (or the host failed).
int RunWhy(const GlobalOptions& options, int32_t trans_type, int32_t bill, bool sql, std::ostream& out,
           std::ostream& err);

// The plain form of an explanation, as `why` prints it.
void PrintBillExplanation(std::ostream& out, const explain::BillExplanation& why, bool sql);

// why-todo POSITION [--sql]: the access check, alarm days and count of one
// to-do position. 0 the user is granted the position, 1 not, 2 no such
// position, 3 disagreement or host failure.
int RunWhyToDo(const GlobalOptions& options, int32_t position, bool sql, std::ostream& out, std::ostream& err);

}  // namespace zet::cli
