#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "host/variant.hpp"

namespace zet::embedded {

// The rows of one statement, read to the end: column names and values
// (INTEGER as Long, or Double beyond 32 bits; REAL as Double; TEXT as String;
// NULL as Null).
struct ResultSet {
  std::vector<std::string> columns;
  std::vector<std::vector<Variant>> rows;
};

// The database file is there but cannot be used now: locked past the busy
// timeout, not writable, an I/O error, the file-size limit, damage. The text
// is one line naming the cause.
class DatabaseUnavailable : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace zet::embedded
