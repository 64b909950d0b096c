#pragma once

#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "host/variant.hpp"

namespace zet::odbc {

// How a column of one SQL type is read with SQLGetData.
enum class FetchKind {
  Integer,  // SQL_C_SBIGINT: every integer and bit, read whole at 64 bits
  Real,     // SQL_C_DOUBLE
  Text,     // SQL_C_WCHAR: characters, and the exact digits of a decimal
  Stamp,    // SQL_C_TYPE_TIMESTAMP
};
FetchKind FetchKindOf(SQLSMALLINT sql_type);

// One value as the driver handed it: the column's SQL type and scale, and
// the buffer its FetchKind fills.
struct Fetched {
  SQLSMALLINT sql_type = SQL_UNKNOWN_TYPE;
  SQLSMALLINT scale = 0;
  bool null = false;
  int64_t integer = 0;
  double real = 0;
  std::u16string text;
  SQL_TIMESTAMP_STRUCT stamp{};
};

// The automation value the suite's data access gives for it. The automation
// subtypes here are those the component reads (no Date, Currency, Decimal
// or 64-bit integer), so that the values match the embedded host's:
//   TINYINT, SMALLINT                 -> Integer
//   INT, and BIGINT within 32 bits    -> Long
//   a wider integer                   -> Double while a double holds it
//                                        exactly (2^53), else String of its
//                                        digits: never cut short
//   BIT                               -> Boolean
//   DECIMAL, NUMERIC, money           -> as an integer at scale 0; else Double
//                                        up to 15 digits (which a double gives
//                                        back exactly at the scale), else
//                                        String of the driver's exact digits
//   REAL, FLOAT, DOUBLE               -> Double
//   dates and times                   -> String "YYYY-MM-DD[ HH:MM:SS[.fff]]",
//                                        the form the embedded file keeps
//   characters and anything else      -> String (UTF-8 from UTF-16)
//   NULL                              -> Null
Variant ToVariant(const Fetched& value);

std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);

}  // namespace zet::odbc
