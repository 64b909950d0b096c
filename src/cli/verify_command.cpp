#include "cli/verify_command.hpp"

#include <stdexcept>
#include <string>
#include <vector>

#include "cli/usage_error.hpp"
#include "cli/value_json.hpp"
#ifndef ZET_ODBC_ONLY
#include "embedded/database.hpp"
#include "embedded/verify.hpp"
#endif

namespace zet::cli {

#ifdef ZET_ODBC_ONLY
// The Windows tool reaches databases through ODBC only; verify reads the
// embedded file's own schema.
int RunVerify(const GlobalOptions&, bool, bool, std::ostream&) {
  throw UsageError("this build has no database file: verify checks one made by init");
}
#else
namespace {

Json DriftJson(const std::vector<embedded::Drift>& drift) {
  Json list = Json::array();
  for (const embedded::Drift& d : drift)
    list.push_back({{"what", d.what}, {"key", d.key}, {"kept", d.kept}, {"computed", d.computed}});
  return list;
}

}  // namespace

int RunVerify(const GlobalOptions& options, bool repair, bool full, std::ostream& out) {
  std::unique_ptr<embedded::Database> db;
  try {
    // Any schema version: an older file is what --repair upgrades.
    db = embedded::Database::Open(options.db, true);
  } catch (const embedded::DatabaseUnavailable&) {
    throw;
  } catch (const std::runtime_error& e) {
    throw UsageError(e.what());
  }
  // Pages first: drift read from a damaged file means little, and a repair
  // would write into it.
  if (full) {
    const std::vector<std::string> damage = embedded::FindDamage(*db);
    if (!damage.empty()) {
      const std::string count = damage.size() < embedded::kMostDamageNamed
                                    ? std::to_string(damage.size())
                                    : "at least " + std::to_string(damage.size());
      throw embedded::DatabaseUnavailable(options.db + " is damaged: reading every page found " + count +
                                          (damage.size() == 1 ? " problem: " : " problems, the first: ") +
                                          damage.front());
    }
  }
  const std::vector<embedded::Drift> found = embedded::FindDrift(*db);
  std::vector<embedded::Drift> left = found;
  if (repair && !found.empty()) {
    embedded::RepairDrift(*db, found);
    left = embedded::FindDrift(*db);
  }
  if (options.json) {
    Json json{{"drift", DriftJson(found)}};
    if (repair) json["left"] = DriftJson(left);
    out << Dump(json) << '\n';
  } else {
    for (const embedded::Drift& d : found) out << d.Line() << '\n';
    if (repair && !found.empty()) {
      out << "repaired " << found.size() - left.size() << " of " << found.size() << '\n';
      for (const embedded::Drift& d : left) out << "left: " << d.Line() << '\n';
    }
    if (found.empty()) out << "no drift\n";
  }
  return left.empty() ? kExitOk : kExitMessage;
}
#endif

}  // namespace zet::cli
