#pragma once

#include <string_view>

#include "host/variant.hpp"

namespace zet::cli {

// The automation value one command-line argument of `call` names:
//   123, -5   Long           i:7       Integer        d:1.5  Double
//   s:TEXT    String         true, false Boolean      empty, null
// Raises UsageError for anything else, or for a number its subtype cannot hold.
Variant ParseArgument(std::string_view text);

// The syntax above, as one line for error messages and help texts.
inline constexpr const char* kArgumentSyntax =
    "123 or -5 (Long), i:7 (Integer), d:1.5 (Double), s:TEXT (String), true, false, empty, null";

}  // namespace zet::cli
