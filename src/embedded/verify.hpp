#pragma once

#include <string>
#include <vector>

namespace zet::embedded {

class Database;

// One place where the file differs from what its base tables and `init`
// make: a derived row (the bill register, a settled sum, the bill of a
// settlement), an amount not kept to four decimals, a schema object, or the
// schema version. `kept` and `computed` are "none" when there is no such row
// or object on that side.
struct Drift {
  std::string what;
  std::string key;
  std::string kept;
  std::string computed;

  // "what key: kept K, computed C", one line.
  std::string Line() const;
};

// Recomputes every derived table from its base tables and compares every
// table, view, index and trigger with what `init` makes, all in one read
// transaction. Opened with any schema version (Database::Open). Raises
// DatabaseUnavailable when the file cannot be read (damage, a lock).
std::vector<Drift> FindDrift(Database& db);

// Reads every page of the file, as SQLite's integrity check does, and gives
// what it found wrong, at most kMostDamageNamed lines; none when the file is
// whole. Slower than FindDrift by the size of the file, and it sees what
// FindDrift does not read: an index no derived row depends on, a free page.
inline constexpr int kMostDamageNamed = 100;
std::vector<std::string> FindDamage(Database& db);

// Makes the file as `init` would have made it from the same base rows, in
// one transaction: re-creates missing or altered tables of derived rows,
// views, indexes and triggers, drops those `init` does not make, rebuilds the
// derived rows, keeps amounts to four decimals and sets the schema version;
// an older file is upgraded so. A base table of another form and an amount
// beyond the limit stay as they are (FindDrift still reports them).
void RepairDrift(Database& db, const std::vector<Drift>& found);

}  // namespace zet::embedded
