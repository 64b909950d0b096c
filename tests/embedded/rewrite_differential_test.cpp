#include <gtest/gtest.h>

#include <random>

#include "support/embedded_host.hpp"

namespace zet::embedded::testing {
namespace {

// Each text as the host runs it (rewritten for speed, its values bound)
// against the same question asked in SQLite's own terms, on many small
// databases with NULLs in every column.
struct Differential {
  const char* tsql;
  const char* reference;  // SQLite's dialect, run as written
  const char* rewritten;  // in the adapter's output: the rewrite took place
};

constexpr Differential kCases[] = {
    {"SELECT TOP 50 o.rowid, (o.k NOT IN (SELECT t3.id FROM e t3 LEFT JOIN st t4 ON t3.s = t4.i "
     "WHERE charindex('1', t4.r) = 0 Union All SELECT t3.id FROM e t3 WHERE t3.s > 1)) FROM o ORDER BY o.rowid",
     "SELECT o.rowid, (o.k NOT IN (SELECT t3.id FROM e t3 LEFT JOIN st t4 ON t3.s = t4.i "
     "WHERE charindex('1', t4.r) = 0 UNION ALL SELECT t3.id FROM e t3 WHERE t3.s > 1)) FROM o ORDER BY o.rowid LIMIT 50",
     "EXISTS"},
    {"SELECT ISNULL(max(o.id), 0) FROM o WHERE NOT o.k NOT IN (SELECT DISTINCT e.s FROM e WHERE e.id <> 2)",
     "SELECT ifnull(max(o.id), 0) FROM o WHERE NOT o.k NOT IN (SELECT DISTINCT e.s FROM e WHERE e.id <> 2)", "EXISTS"},
    {"SELECT min(o.id) FROM o LEFT JOIN e u ON o.id = u.id WHERE o.k NOT IN (SELECT e.s FROM e) OR o.d = '2026-06-05'",
     "SELECT min(o.id) FROM o LEFT JOIN e u ON o.id = u.id WHERE o.k NOT IN (SELECT e.s FROM e) OR o.d = '2026-06-05'",
     "EXISTS"},
    {"SELECT TOP 50 o.rowid, (datediff(day, getdate(), o.d) <= 3), (datediff(day, o.e, o.d) <= -1) FROM o "
     "ORDER BY o.rowid",
     "SELECT o.rowid, (CAST(julianday(date(o.d)) - julianday(date('2026-06-01')) AS INTEGER) <= 3), "
     "(CAST(julianday(date(o.d)) - julianday(date(o.e)) AS INTEGER) <= -1) FROM o ORDER BY o.rowid LIMIT 50",
     "julianday(date(o.d)) <= julianday(date(o.e)) + -1"},
    {"SELECT count(*) FROM o WHERE NOT datediff(day, o.e, o.d) <= 2.5 AND o.k = '1'",
     "SELECT count(*) FROM o WHERE NOT CAST(julianday(date(o.d)) - julianday(date(o.e)) AS INTEGER) <= 2.5 "
     "AND o.k = '1'",
     "julianday(date(o.d)) <= julianday(date(o.e)) + 2.5"},
};

std::string Render(const ResultSet& rows) {
  std::string out;
  for (const auto& row : rows.rows) {
    for (const Variant& v : row) out += v.IsNull() ? "NULL " : std::to_string(static_cast<int>(v.Type())) + CStr(v) + " ";
    out += "\n";
  }
  return out;
}

TEST(RewriteDifferential, AnswersAsTheStatementAsWrittenOnDatabasesFullOfNulls) {
  TempFile file;
  auto db = Database::Create(file.path());
  db->Execute("CREATE TABLE o (id INTEGER, k INTEGER, d TEXT, e TEXT); CREATE TABLE e (id INTEGER, s INTEGER);"
              "CREATE TABLE st (i INTEGER, r TEXT COLLATE NOCASE);");
  const char* ints[] = {"NULL", "0", "1", "2", "3", "'2'"};
  const char* texts[] = {"NULL", "''", "'1'", "'2,1'", "'x'"};
  // Dates as stored and as the date functions also read them: times of
  // day, a time alone, a day number, nonsense.
  const char* dates[] = {"NULL",  "'2026-06-01'", "'2026-06-04'", "'2026-06-05 23:59'", "'2026-05-30'", "'12:00'",
                         "2461190", "'2461191.5'", "'abc'", "'2026-06-02T08:00'"};
  std::mt19937 random(9);
  auto pick = [&](const auto& values) { return values[random() % std::size(values)]; };
  TSqlOptions options;
  options.today = "2026-06-01";
  for (const Differential& c : kCases)
    EXPECT_NE(TranslateStatement(c.tsql, options).find(c.rewritten), std::string::npos) << c.tsql;

  for (int round = 0; round < 400; ++round) {
    std::string fill = "DELETE FROM o; DELETE FROM e; DELETE FROM st;";
    for (int n = 0; n < 6; ++n) {
      if (random() % 2) fill += std::string("INSERT INTO o VALUES (") + pick(ints) + "," + pick(ints) + "," +
                                pick(dates) + "," + pick(dates) + ");";
      if (random() % 2) fill += std::string("INSERT INTO e VALUES (") + pick(ints) + "," + pick(ints) + ");";
      if (n < 3 && random() % 2) fill += std::string("INSERT INTO st VALUES (") + pick(ints) + "," + pick(texts) + ");";
    }
    db->Execute(fill);
    for (const Differential& c : kCases)
      ASSERT_EQ(Render(db->RunQuery(c.tsql, options)), Render(db->Query(c.reference))) << c.tsql << "\n" << fill;
  }
}

}  // namespace
}  // namespace zet::embedded::testing
