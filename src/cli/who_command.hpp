#pragma once

#include <cstdint>
#include <ostream>

#include "cli/session.hpp"

namespace zet::cli {

// who TYPE BILL: every user of t_User, whether CheckSearchBill lets them open
// the bill, and for a refusal the first failing piece. 0, or 3 when an
// explanation disagrees with the method.
int RunWho(const GlobalOptions& options, int32_t trans_type, int32_t bill, std::ostream& out, std::ostream& err);

}  // namespace zet::cli
