// The libFuzzer targets, one executable each, chosen by ZET_FUZZ_<TARGET>:
// whatever the input, an entry point returns or raises its documented error;
// anything else (a crash, a hang, a sanitizer report) is a finding.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli/argument_syntax.hpp"
#include "cli/method_table.hpp"
#include "cli/usage_error.hpp"
#include "embedded/tsql_adapter.hpp"
#include "host/error.hpp"
#include "host/login_context.hpp"
#include "host/variant.hpp"

template <class Error, class Body>
void Allow(Body&& body) {
  try {
    body();
  } catch (const Error&) {
  }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
#if defined(ZET_FUZZ_TSQL_ADAPTER)
  // Any text through the T-SQL adapter: statements or AutomationError.
  Allow<zet::AutomationError>([&] { return zet::embedded::TranslateBatch(input, {"2026-12-05"}); });
#elif defined(ZET_FUZZ_VARIANT_TEXT)
  // Any text converted to the numbers and the Boolean of automation.
  const zet::Variant text = zet::Variant::String(std::string(input));
  Allow<zet::AutomationError>([&] { return zet::CDbl(text); });
  Allow<zet::AutomationError>([&] { return zet::CLng(text); });
  Allow<zet::AutomationError>([&] { return zet::CInt(text); });
  Allow<zet::AutomationError>([&] { return zet::CBool(text); });
  Allow<zet::AutomationError>([&] { return zet::Val(text); });
#elif defined(ZET_FUZZ_PROPS_STRING)
  // Any property string, and any key (the text after its first NUL), read as
  // the login context reads them: it never raises.
  const size_t nul = input.find('\0');
  zet::FindPropValue(input.substr(0, nul), nul == std::string_view::npos ? "UserID" : input.substr(nul + 1));
#elif defined(ZET_FUZZ_ARGUMENTS)
  // Command-line arguments (the input split at NUL bytes) as `call` and the
  // other commands read them: a value, or UsageError.
  std::vector<std::string> args(1);
  for (const char c : input) c ? args.back().push_back(c) : args.emplace_back().clear();
  for (const std::string& arg : args) {
    Allow<zet::cli::UsageError>([&] { return zet::cli::ParseArgument(arg); });
    Allow<zet::cli::UsageError>([&] { return zet::cli::ParseLong(arg, "TYPE"); });
  }
  Allow<zet::cli::UsageError>([&] {
    return zet::cli::PrepareCall(args.front(), {args.begin() + 1, args.end()}, size % 2 == 1);
  });
#endif
  return 0;
}
