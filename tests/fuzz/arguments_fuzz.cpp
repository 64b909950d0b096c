// Any command-line arguments (the input split at NUL bytes) read as `call` and
// the friendly commands read them: a value, or UsageError with one line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/argument_syntax.hpp"
#include "cli/method_table.hpp"
#include "cli/usage_error.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args(1);
  for (size_t i = 0; i < size; ++i) data[i] ? args.back().push_back(char(data[i])) : args.emplace_back().clear();
  for (const std::string& arg : args) {
    try {
      zet::cli::ParseArgument(arg);
      zet::cli::ParseLong(arg, "TYPE");
    } catch (const zet::cli::UsageError& e) {
      if (zet::cli::OneLine(e.what()).find('\n') != std::string::npos) std::abort();
    }
  }
  try {
    zet::cli::PrepareCall(args.front(), {args.begin() + 1, args.end()}, size % 2 == 1);
  } catch (const zet::cli::UsageError&) {
  }
  return 0;
}
