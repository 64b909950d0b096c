#pragma once

#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zet::cli {

// Bad input from the person or script at the command line: an unknown command
// or method, a malformed argument, a database that cannot be used. Reported
// as one line and exit status 2, before anything is written.
class UsageError : public std::runtime_error {
 public:
  // what() ends at the first NUL, and a batch line may spell one in a name:
  // it is shown escaped, as OneLine shows it, so the message is not cut short.
  explicit UsageError(const std::string& what) : std::runtime_error(EscapeNul(what)) {}

 private:
  static std::string EscapeNul(std::string text) {
    for (size_t at = text.find('\0'); at != std::string::npos; at = text.find('\0', at)) text.replace(at, 1, "\\x00");
    return text;
  }
};

// Output that could not be written: standard output or the trace (a full
// disk, a closed pipe). Nothing the tool reports may be lost unnoticed.
class OutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// `text` on one line whatever it holds: a newline or other control character
// in an argument or a path is shown escaped ("\n", "\x1b") instead of
// splitting the line that names it.
inline std::string OneLine(std::string_view text) {
  std::string line;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n') {
      line += "\\n";
    } else if (c == '\r') {
      line += "\\r";
    } else if (c == '\t') {
      line += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
      line += escaped;
    } else {
      line += c;
    }
  }
  return line;
}

// Exit statuses of the tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitMessage = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitInternal = 3;
// The database could not be used: locked, not writable, an I/O error, the
// file-size limit, damage; or `open` could not record the bill.
inline constexpr int kExitDatabase = 4;
// Standard output or the trace could not be written.
inline constexpr int kExitOutput = 5;

}  // namespace zet::cli
