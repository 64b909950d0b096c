#include "embedded/verify.hpp"

#include <sqlite3.h>

#include <map>
#include <set>
#include <string_view>

#include "embedded/database.hpp"
#include "embedded/schema.hpp"
#include "host/error.hpp"

namespace zet::embedded {

namespace {

constexpr std::string_view kRegister = "register";
constexpr std::string_view kSettledSum = "settled sum";
constexpr std::string_view kSettlementBill = "settlement bill";
constexpr std::string_view kOpenBill = "open bill";

// The tables whose rows the triggers derive, each with what it is called in
// a drift line and the statements that make its rows again from scratch.
struct Derived {
  std::string_view table, what;
};
constexpr Derived kDerived[] = {
    {"t_ZetBillRegister", kRegister},
    {"t_ZetBillRPMoney", kSettledSum},
    {"t_ZetSettlementBill", kSettlementBill},
    {"t_ZetOpenBill", kOpenBill},
};

std::string Str(std::string_view text) {
  return std::string(text);
}

// The kind of a bill table's row as SQL over alias `b`.
std::string KindOf(const BillTable& t) {
  return t.kind == "FTranType" ? "b.FTranType" : Str(t.kind);
}

std::string Rebuild(std::string_view what) {
  if (what == kRegister) {
    std::string sql = "DELETE FROM t_ZetBillRegister;\n";
    int source = 0;
    for (const BillTable& t : BillTables())
      sql += "INSERT INTO t_ZetBillRegister (FSource, FInterID, FBillNo, FTranType) SELECT " +
             std::to_string(++source) + ", b." + Str(t.id) + ", b." + Str(t.number) + ", " + KindOf(t) + " FROM " +
             Str(t.table) + " b;\n";
    return sql;
  }
  if (what == kOpenBill) {
    std::string sql = "DELETE FROM t_ZetOpenBill;\n";
    for (const OpenBillKind& k : OpenBillKinds())
      sql += "INSERT INTO t_ZetOpenBill (FTranType, FInterID) " + OpenBills(k, "1") + ";\n";
    return sql;
  }
  if (what == kSettledSum)
    return "DELETE FROM t_ZetBillRPMoney;\nINSERT INTO t_ZetBillRPMoney (FInterID, FTranType, FRPAmountFor) SELECT "
           "FInterID, FTranType, " +
           Str(embedded::kSettledSum) + " FROM t_RP_Settlement GROUP BY FInterID, FTranType;\n";
  return "DELETE FROM t_ZetSettlementBill;\nINSERT INTO t_ZetSettlementBill (FID, FInterID, FTranType) SELECT FID, "
         "FInterID, FTranType FROM t_RP_Settlement;\n";
}

// Each statement answers (key, kept, computed) for the rows that differ,
// NULL for the side that has no row. Amounts are shown to four decimals, but
// compared as stored.
std::vector<std::pair<std::string, std::string>> Checks() {
  std::vector<std::pair<std::string, std::string>> checks;
  int source = 0;
  for (const BillTable& t : BillTables()) {
    const std::string s = std::to_string(++source), id = "b." + Str(t.id), number = "b." + Str(t.number),
                      kind = KindOf(t), table = Str(t.table);
    const auto shown = [](const std::string& no, const std::string& type) {
      return "'no ' || quote(" + no + ") || ' type ' || quote(" + type + ")";
    };
    checks.emplace_back(Str(kRegister),
                        "SELECT '" + table + " ' || r.FInterID, " + shown("r.FBillNo", "r.FTranType") + ", CASE WHEN " +
                            id + " IS NULL THEN NULL ELSE " + shown(number, kind) +
                            " END FROM t_ZetBillRegister r LEFT JOIN " + table + " b ON " + id +
                            " = r.FInterID WHERE r.FSource = " + s + " AND (" + id + " IS NULL OR r.FBillNo IS NOT " +
                            number + " COLLATE BINARY OR r.FTranType IS NOT " + kind + ") UNION ALL SELECT '" + table +
                            " ' || " + id + ", NULL, " + shown(number, kind) + " FROM " + table +
                            " b WHERE NOT EXISTS (SELECT 1 FROM t_ZetBillRegister r WHERE r.FSource = " + s +
                            " AND r.FInterID = " + id + ")");
  }
  const std::string bill = "'bill ' || k.FInterID || ' of type ' || k.FTranType";
  checks.emplace_back(
      Str(kSettledSum),
      "SELECT key, printf('%.4f', kept), CASE WHEN present THEN printf('%.4f', computed) END FROM (SELECT " + bill +
          " AS key, k.FRPAmountFor AS kept, (SELECT " + Str(embedded::kSettledSum) +
          " FROM t_RP_Settlement s WHERE s.FInterID = k.FInterID AND s.FTranType = k.FTranType) AS computed, EXISTS "
          "(SELECT 1 FROM t_RP_Settlement s WHERE s.FInterID = k.FInterID AND s.FTranType = k.FTranType) AS present "
          "FROM t_ZetBillRPMoney k) WHERE NOT present OR kept IS NOT computed UNION ALL SELECT 'bill ' || FInterID || "
          "' of type ' || FTranType, NULL, printf('%.4f', " +
          Str(embedded::kSettledSum) +
          ") FROM t_RP_Settlement k WHERE NOT EXISTS (SELECT 1 FROM t_ZetBillRPMoney m WHERE m.FInterID = k.FInterID "
          "AND m.FTranType = k.FTranType) GROUP BY FInterID, FTranType");
  checks.emplace_back(
      Str(kSettlementBill),
      "SELECT 'settlement ' || m.FID, 'bill ' || m.FInterID || ' of type ' || m.FTranType, CASE WHEN s.FID IS NULL "
      "THEN NULL ELSE 'bill ' || s.FInterID || ' of type ' || s.FTranType END FROM t_ZetSettlementBill m LEFT JOIN "
      "t_RP_Settlement s ON s.FID = m.FID WHERE s.FID IS NULL OR s.FInterID IS NOT m.FInterID OR s.FTranType IS NOT "
      "m.FTranType UNION ALL SELECT 'settlement ' || s.FID, NULL, 'bill ' || s.FInterID || ' of type ' || "
      "s.FTranType FROM t_RP_Settlement s WHERE NOT EXISTS (SELECT 1 FROM t_ZetSettlementBill m WHERE m.FID = "
      "s.FID)");
  std::string open;
  for (const OpenBillKind& k : OpenBillKinds()) open += (open.empty() ? "" : " UNION ALL ") + OpenBills(k, "1");
  const std::string kept = "SELECT FTranType, FInterID FROM t_ZetOpenBill";
  checks.emplace_back(Str(kOpenBill), "SELECT 'bill ' || FInterID || ' of type ' || FTranType, 'open', NULL FROM (" +
                                          kept + " EXCEPT SELECT * FROM (" + open +
                                          ")) UNION ALL SELECT 'bill ' || FInterID || ' of type ' || FTranType, NULL, "
                                          "'open' FROM (" +
                                          "SELECT * FROM (" + open + ") EXCEPT " + kept + ")");
  for (const MoneyColumn& m : MoneyColumns()) {
    const std::string c = Str(m.column), limit = Str(kMoneyLimit);
    checks.emplace_back("amount", "SELECT '" + Str(m.table) + "." + c + " of row ' || rowid, printf('%!.17g', " + c +
                                      "), CASE WHEN abs(" + c + ") >= " + limit + " THEN 'none: beyond " + limit +
                                      "' ELSE printf('%.4f', " + c + ") END FROM " + Str(m.table) + " WHERE typeof(" +
                                      c + ") = 'real' AND (abs(" + c + ") >= " + limit + " OR " + c + " <> round(" + c +
                                      " * 10000) / 10000)");
  }
  return checks;
}

// A schema object's text without its comments and with each run of blanks
// as one: a file made from the same statements laid out otherwise is the
// same schema.
std::string Normalized(std::string_view sql) {
  std::string out;
  for (size_t i = 0; i < sql.size(); ++i) {
    if (sql.compare(i, 2, "--") == 0) {
      while (i < sql.size() && sql[i] != '\n') ++i;
    }
    if (i >= sql.size()) break;
    const bool blank = sql[i] == ' ' || sql[i] == '\n' || sql[i] == '\t' || sql[i] == '\r';
    if (blank) {
      if (!out.empty() && out.back() != ' ') out += ' ';
    } else {
      out += sql[i];
    }
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

struct Stored {
  std::string type, sql;
};
std::map<std::string, Stored> StoredObjects(Database& db) {
  std::map<std::string, Stored> stored;
  for (const auto& row :
       db.Query("SELECT name, type, sql FROM sqlite_master WHERE sql IS NOT NULL AND name NOT LIKE 'sqlite\\_%' "
                "ESCAPE '\\'")
           .rows)
    stored[CStr(row[0])] = {CStr(row[1]), CStr(row[2])};
  return stored;
}

std::set<std::string> ReferenceNames() {
  std::set<std::string> names;
  for (const SchemaObject& object : SchemaObjects()) names.insert(object.name);
  return names;
}

bool IsDerivedTable(std::string_view name) {
  for (const Derived& d : kDerived)
    if (d.table == name) return true;
  return false;
}

std::vector<Drift> Compare(Database& db) {
  std::vector<Drift> drift;
  const std::map<std::string, Stored> stored = StoredObjects(db);
  bool tables_complete = true;
  for (const SchemaObject& object : SchemaObjects()) {
    const auto found = stored.find(object.name);
    if (found == stored.end()) {
      drift.push_back({object.type, object.name, "none", "as init makes it"});
      if (object.type == "table") tables_complete = false;
    } else if (Normalized(found->second.sql) != Normalized(object.sql)) {
      drift.push_back({object.type, object.name, "another form", "as init makes it"});
      if (object.type == "table") tables_complete = false;
    }
  }
  const std::set<std::string> reference = ReferenceNames();
  for (const auto& [name, object] : stored)
    if (!reference.contains(name) && object.type != "table")
      drift.push_back({object.type, name, "made by another", "none"});

  const auto version = db.Query("SELECT FVersion FROM t_ZetSchemaInfo").rows;
  const std::string kept = version.empty() ? "none" : CStr(version.front().front());
  if (kept != std::to_string(kSchemaVersion))
    drift.push_back({"schema version", "of the file", kept, std::to_string(kSchemaVersion)});

  // Rows are compared only where every table is of the schema's form: a
  // missing or altered table is already a drift, and its rows are rebuilt
  // with it.
  if (!tables_complete) return drift;
  for (const auto& [what, sql] : Checks()) {
    for (const auto& row : db.Query(sql).rows) {
      const auto text = [](const Variant& v) { return v.IsNull() ? std::string("none") : CStr(v); };
      drift.push_back({what, CStr(row[0]), text(row[1]), text(row[2])});
    }
  }
  return drift;
}

// The database's failure as the reason the file cannot be used; what the
// transaction did so far is undone first.
[[noreturn]] void Unusable(Database& db, const AutomationError& error) {
  try {
    db.ThrowIfUnavailable();
  } catch (const DatabaseUnavailable&) {
    sqlite3_exec(db.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
  sqlite3_exec(db.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
  throw DatabaseUnavailable(error.what());
}

}  // namespace

std::string Drift::Line() const {
  return what + " " + key + ": kept " + kept + ", computed " + computed;
}

std::vector<Drift> FindDrift(Database& db) {
  try {
    db.Execute("BEGIN");
    std::vector<Drift> drift = Compare(db);
    db.Execute("COMMIT");
    return drift;
  } catch (const AutomationError& error) {
    Unusable(db, error);
  }
}

std::vector<std::string> FindDamage(Database& db) {
  try {
    std::vector<std::string> damage;
    for (const auto& row : db.Query("PRAGMA integrity_check(" + std::to_string(kMostDamageNamed) + ")").rows)
      if (CStr(row.at(0)) != "ok") damage.push_back(CStr(row.at(0)));
    return damage;
  } catch (const AutomationError& error) {
    Unusable(db, error);
  }
}

void RepairDrift(Database& db, const std::vector<Drift>& found) {
  std::set<std::string> rebuild;
  for (const Drift& d : found) {
    for (const Derived& derived : kDerived)
      if (d.what == derived.what || (d.what == "table" && d.key == derived.table)) rebuild.insert(Str(derived.what));
  }
  try {
    std::string sql = "BEGIN IMMEDIATE;\n";
    std::map<std::string, Stored> stored = StoredObjects(db);
    const std::set<std::string> reference = ReferenceNames();
    for (const auto& [name, object] : stored)
      if (!reference.contains(name) && object.type != "table")
        sql += "DROP " + object.type + " IF EXISTS \"" + name + "\";\n";
    // Tables first: dropping one drops its indexes and triggers, which the
    // second pass then makes again.
    for (const SchemaObject& object : SchemaObjects()) {
      if (object.type != "table") continue;
      const auto at = stored.find(object.name);
      if (at == stored.end()) {
        sql += object.sql + ";\n";
      } else if (IsDerivedTable(object.name) && Normalized(at->second.sql) != Normalized(object.sql)) {
        sql += "DROP TABLE " + object.name + ";\n" + object.sql + ";\n";
      }
    }
    db.Execute(sql);
    stored = StoredObjects(db);
    sql.clear();
    for (const SchemaObject& object : SchemaObjects()) {
      if (object.type == "table") continue;
      const auto at = stored.find(object.name);
      if (at != stored.end() && Normalized(at->second.sql) == Normalized(object.sql)) continue;
      sql += "DROP " + object.type + " IF EXISTS " + object.name + ";\n" + object.sql + ";\n";
    }
    for (const MoneyColumn& m : MoneyColumns()) {
      const std::string c = Str(m.column);
      sql += "UPDATE " + Str(m.table) + " SET " + c + " = round(" + c + " * 10000) / 10000 WHERE typeof(" + c +
             ") = 'real' AND abs(" + c + ") < " + Str(kMoneyLimit) + " AND " + c + " <> round(" + c +
             " * 10000) / 10000;\n";
    }
    for (const std::string& what : rebuild) sql += Rebuild(what);
    sql +=
        "DELETE FROM t_ZetSchemaInfo WHERE rowid NOT IN (SELECT min(rowid) FROM t_ZetSchemaInfo);\n"
        "UPDATE t_ZetSchemaInfo SET FVersion = " +
        std::to_string(kSchemaVersion) + ";\nCOMMIT;";
    db.Execute(sql);
  } catch (const AutomationError& error) {
    Unusable(db, error);
  }
}

}  // namespace zet::embedded
