#pragma once

#include <ostream>

namespace zet::cli {

// The whole command line: parses the arguments, runs the command, writes to
// `out` and `err`, and returns the exit status (0 fine, 1 the component
// showed a message, 2 bad input, 3 an internal failure). Never throws.
int Run(int argc, const char* const* argv, std::ostream& out, std::ostream& err) noexcept;

}  // namespace zet::cli
