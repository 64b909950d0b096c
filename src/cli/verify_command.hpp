#pragma once

#include <ostream>

#include "cli/session.hpp"

namespace zet::cli {

// zetmovebill verify [--repair] [--full]: each drift of --db as one line; 0
// when there is none (left), 1 when there is, 4 when the file cannot be read
// or, with `full`, when reading every page finds damage (nothing is repaired
// then).
int RunVerify(const GlobalOptions& options, bool repair, bool full, std::ostream& out);

}  // namespace zet::cli
