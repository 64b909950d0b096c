#pragma once

#include <istream>
#include <ostream>

#include "cli/session.hpp"

namespace zet::cli {

// zetmovebill batch: one call per line of `in`, each a JSON object
//   {"method": "GetMoveInterID", "args": ["1002", "2", "21"], "toolbar": false, "user": 16}
// ("args", "toolbar", "user" and "props" optional; "user" or "props" log on
// for that call, else the global options' user does), answered by one line
// each on `out`, the object `call --json` prints; a line that is bad input
// is answered {"error": TEXT} and the next line is read. One database
// connection serves every call. Returns 2 when any line was bad input, else
// 1 when any call showed a message, else 0.
int RunBatch(const GlobalOptions& options, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace zet::cli
