#include "odbc/odbc_values.hpp"

#include <cstdio>
#include <cstdlib>
#include <limits>

namespace zet::odbc {

namespace {

Variant WholeNumber(int64_t value) {
  if (value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max())
    return Variant::Long(static_cast<int32_t>(value));
  constexpr int64_t kExactInDouble = int64_t{1} << 53;
  if (value >= -kExactInDouble && value <= kExactInDouble) return Variant::Double(static_cast<double>(value));
  return Variant::String(std::to_string(value));
}

// The driver's digits of a decimal: "-12.3400", ".5", "7".
Variant DecimalText(const std::string& digits, SQLSMALLINT scale) {
  size_t significant = 0;
  bool well_formed = !digits.empty();
  for (size_t i = 0; i < digits.size(); ++i) {
    const char c = digits[i];
    if (c >= '0' && c <= '9') {
      if (significant > 0 || c != '0') ++significant;
    } else if (!(c == '.' || (i == 0 && (c == '-' || c == '+')))) {
      well_formed = false;
    }
  }
  if (!well_formed) return Variant::String(digits);
  if (scale == 0 && digits.find('.') == std::string::npos && significant <= 18)
    return WholeNumber(std::strtoll(digits.c_str(), nullptr, 10));
  if (significant <= 15) return Variant::Double(std::strtod(digits.c_str(), nullptr));
  return Variant::String(digits);
}

std::string StampText(const SQL_TIMESTAMP_STRUCT& t, bool with_time) {
  char text[64];
  if (!with_time) {
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", t.year, t.month, t.day);
  } else if (t.fraction == 0) {
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02u:%02u:%02u", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
  } else {
    // The fraction is in nanoseconds; the file keeps milliseconds.
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02u:%02u:%02u.%03lu", t.year, t.month, t.day, t.hour, t.minute,
                  t.second, static_cast<unsigned long>(t.fraction / 1000000 % 1000));
  }
  return text;
}

}  // namespace

FetchKind FetchKindOf(SQLSMALLINT sql_type) {
  switch (sql_type) {
    case SQL_BIT:
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
      return FetchKind::Integer;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
      return FetchKind::Real;
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIMESTAMP:
    case SQL_DATETIME:
    case SQL_TIMESTAMP:
      return FetchKind::Stamp;
    default:
      return FetchKind::Text;
  }
}

Variant ToVariant(const Fetched& value) {
  if (value.null) return Variant::Null();
  switch (value.sql_type) {
    case SQL_BIT:
      return Variant::Boolean(value.integer != 0);
    case SQL_TINYINT:
    case SQL_SMALLINT:
      if (value.integer >= std::numeric_limits<int16_t>::min() && value.integer <= std::numeric_limits<int16_t>::max())
        return Variant::Integer(static_cast<int16_t>(value.integer));
      return WholeNumber(value.integer);
    case SQL_INTEGER:
    case SQL_BIGINT:
      return WholeNumber(value.integer);
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
      return Variant::Double(value.real);
    case SQL_DECIMAL:
    case SQL_NUMERIC:
      return DecimalText(Utf16ToUtf8(value.text), value.scale);
    case SQL_TYPE_DATE:
    case SQL_DATETIME:
      return Variant::String(StampText(value.stamp, false));
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
      return Variant::String(StampText(value.stamp, true));
    default:
      return Variant::String(Utf16ToUtf8(value.text));
  }
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;  // a lone surrogate has no UTF-8 form
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead < 0x80           ? 1
                          : (lead >> 5) == 0x6  ? 2
                          : (lead >> 4) == 0xE  ? 3
                          : (lead >> 3) == 0x1E ? 4
                                                : 0;
    uint32_t c = 0xFFFD;
    bool valid = length > 0 && i + length <= text.size();
    if (valid) {
      c = length == 1 ? lead : lead & (0x7Fu >> length);
      for (size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) valid = false;
        c = (c << 6) | (next & 0x3Fu);
      }
    }
    if (!valid) c = 0xFFFD;
    i += valid ? length : 1;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

}  // namespace zet::odbc
