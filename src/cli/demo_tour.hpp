#pragma once

#include <ostream>

#include "cli/session.hpp"

namespace zet::cli {

// zetmovebill demo: makes the demo database at --db when there is none, then
// walks through it as a few users of different rights would, so that what
// each may see visibly differs.
int RunDemo(const GlobalOptions& options, std::ostream& out, std::ostream& err);

}  // namespace zet::cli
