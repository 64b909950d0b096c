// The query plan of every statement a trace holds, as the embedded host runs
// it (translated, its varying values as parameters), with the tables it
// reads without an index. The indexes of the schema were chosen from this
// list: on a database of any size, a statement the component sends should
// show no full scan of a table that grows with the bills. Scans inside a
// sub-select that runs at most once per statement are not listed.
//
// Usage: statement_plans [--all] DATABASE TRACE [DAY]
//   TRACE: the JSON lines of zetmovebill --trace; DAY pins getdate();
//   --all: every statement with its plan, not only those with a full scan.

#include <sqlite3.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>

#include "embedded/database.hpp"
#include "embedded/tsql_adapter.hpp"

int main(int argc, char** argv) {
  const bool all_plans = argc > 1 && std::string(argv[1]) == "--all";
  if (all_plans) {
    --argc;
    ++argv;
  }
  if (argc < 3) {
    std::fprintf(stderr, "usage: statement_plans DATABASE TRACE [DAY]\n");
    return 2;
  }
  // Opened as the host opens it, with the functions it registers.
  const auto database = zet::embedded::Database::Open(argv[1]);
  sqlite3* db = database->Handle();
  zet::embedded::TSqlOptions options;
  if (argc > 3) options.today = argv[3];

  std::set<std::string> texts;
  std::ifstream trace(argv[2]);
  for (std::string line; std::getline(trace, line);) {
    const auto record = nlohmann::json::parse(line);
    const std::string member = record["member"];
    if (member == "ExecuteSQL" || member == "GetData") texts.insert(record["args"][1].get<std::string>());
    if (member == "Execute") texts.insert(record["args"][0].get<std::string>());
    if (member == "UpdateBatch") {
      for (const auto& item : record["args"][1]) texts.insert(item.get<std::string>());
    }
  }

  int scanning = 0;
  for (const std::string& text : texts) {
    const auto shaped = zet::embedded::Parameterize(text);
    for (const std::string& sql : zet::embedded::TranslateBatch(shaped.shape, options)) {
      sqlite3_stmt* plan = nullptr;
      const std::string explain = "EXPLAIN QUERY PLAN " + sql;
      if (sqlite3_prepare_v2(db, explain.c_str(), -1, &plan, nullptr) != SQLITE_OK) {
        std::printf("FAILS %s\n  %s\n", sqlite3_errmsg(db), sql.c_str());
        continue;
      }
      std::string scans;
      std::string all;
      std::map<int, std::pair<int, std::string>> nodes;  // id: parent, detail
      while (sqlite3_step(plan) == SQLITE_ROW) {
        const int id = sqlite3_column_int(plan, 0);
        const int parent = sqlite3_column_int(plan, 1);
        const std::string detail = reinterpret_cast<const char*>(sqlite3_column_text(plan, 3));
        nodes[id] = {parent, detail};
        all += "    " + detail + "\n";
        if (detail.rfind("SCAN ", 0) != 0 || detail == "SCAN CONSTANT ROW") continue;
        // A sub-select that does not depend on the row runs at most once
        // per statement, and only when its branch is reached: the NULL
        // branches of a rewritten NOT IN are such.
        bool once = false;
        for (int up = parent; nodes.count(up) != 0; up = nodes[up].first)
          once = once || nodes[up].second.rfind("SCALAR SUBQUERY", 0) == 0;
        if (!once) scans += " [" + detail + "]";
      }
      sqlite3_finalize(plan);
      if (!scans.empty()) ++scanning;
      if (!scans.empty() || all_plans)
        std::printf("%s%s\n  %s\n%s", scans.empty() ? "PLAN" : "SCAN", scans.c_str(), sql.c_str(), all.c_str());
    }
  }
  std::printf("%zu texts, %d statements with a full scan\n", texts.size(), scanning);
  return 0;
}
