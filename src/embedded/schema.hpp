#pragma once

#include <cstdint>
#include <string_view>

namespace zet::embedded {

// The version recorded in t_ZetSchemaInfo; Open refuses any other.
inline constexpr int32_t kSchemaVersion = 2;

// Every table and view the component's statements name, in SQLite's dialect.
// Each column has a default, so a row can be inserted with the columns that
// matter to a test or a demonstration; text compares case-insensitively, as
// on the suite's server.
std::string_view SchemaScript();

}  // namespace zet::embedded
