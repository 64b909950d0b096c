#pragma once

#include <stdexcept>

namespace zet::cli {

// Bad input from the person or script at the command line: an unknown command
// or method, a malformed argument, a database that cannot be used. Reported
// as one line and exit status 2, before anything is written.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Exit statuses of the tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitMessage = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitInternal = 3;

}  // namespace zet::cli
