#pragma once

#include <cstdint>
#include <string_view>

#include "host/variant.hpp"

namespace zet::cli {

// The automation value one command-line argument of `call` names:
//   123, -5   Long           i:7       Integer        d:1.5  Double
//   s:TEXT    String         true, false Boolean      empty, null
// Raises UsageError for anything else, or for a number its subtype cannot hold.
Variant ParseArgument(std::string_view text);

// A whole decimal number that fits a Long, read exactly as ParseArgument reads
// one (no sign but '-', no hexadecimal, no blanks), for the numbers of the
// friendly commands and --user. Raises UsageError naming the argument
// otherwise ("bad TYPE 'x': ...").
int32_t ParseLong(std::string_view text, std::string_view name);

// The syntax above, as one line for error messages and help texts.
inline constexpr const char* kArgumentSyntax =
    "123 or -5 (Long), i:7 (Integer), d:1.5 (Double), s:TEXT (String), true, false, empty, null";

}  // namespace zet::cli
