// The ODBC host: values, reads, CharIndex through SQLite's driver, a batch.
#include <gmock/gmock.h>

#include "embedded/host_objects.hpp"
#include "host/error.hpp"
#include "odbc/odbc_connection.hpp"
#include "odbc/odbc_values.hpp"
#include "support/embedded_host.hpp"

namespace zet::odbc::testing {
namespace {

// A file of this schema, open both ways: as the embedded database and
// through SQLite's ODBC driver.
struct Twin : ::testing::Test {
  embedded::testing::TempDir dir;
  const int created = (embedded::CreateDatabase(dir.Path(), false, false, embedded::testing::kToday), 0);
  std::unique_ptr<embedded::Database> file = embedded::Database::Open(dir.Path());
  std::unique_ptr<embedded::Connection> odbc = Connect("DRIVER={SQLite3};Timeout=2000;Database=" + dir.Path(), "");
};

std::string Shown(const Variant& value) {
  return value.IsNull() ? "NULL" : CStr(value);
}

// What a driver hands over for the server's types that SQLite's driver never
// reports, and what the host makes of it.
TEST(OdbcValues, EachSqlTypeBecomesTheSubtypeTheSuiteReads) {
  SQL_TIMESTAMP_STRUCT stamp{2026, 12, 5, 14, 3, 9, 250000000};
  struct Case {
    SQLSMALLINT type;
    SQLSMALLINT scale;
    int64_t integer;
    double real;
    std::u16string text;
    VarType want_type;
    std::string want;
  };
  // clang-format off
  const Case cases[] = {
      {SQL_TINYINT,        0, 255,                  0,    u"",                  VarType::Integer, "255"},
      {SQL_SMALLINT,       0, -32768,               0,    u"",                  VarType::Integer, "-32768"},
      {SQL_INTEGER,        0, 2147483647,           0,    u"",                  VarType::Long,    "2147483647"},
      {SQL_BIGINT,         0, -2147483648LL,        0,    u"",                  VarType::Long,    "-2147483648"},
      {SQL_BIGINT,         0, 1LL << 40,            0,    u"",                  VarType::Double,  "1099511627776"},
      {SQL_BIGINT,         0, (1LL << 53) + 1,      0,    u"",                  VarType::String,  "9007199254740993"},
      {SQL_BIT,            0, 1,                    0,    u"",                  VarType::Boolean, "True"},
      {SQL_DECIMAL,        4, 0,                    0,    u"-12.3400",          VarType::Double,  "-12.34"},
      {SQL_NUMERIC,        0, 0,                    0,    u"4000000000",        VarType::Double,  "4000000000"},
      {SQL_NUMERIC,        0, 0,                    0,    u"77",                VarType::Long,    "77"},
      {SQL_DECIMAL,        2, 0,                    0,    u"12345678901234.56", VarType::String,  "12345678901234.56"},
      {SQL_REAL,           0, 0,                    0.5,  u"",                  VarType::Double,  "0.5"},
      {SQL_FLOAT,          0, 0,                    -1e300, u"",                VarType::Double,  "-1E+300"},
      {SQL_TYPE_DATE,      0, 0,                    0,    u"",                  VarType::String,  "2026-12-05"},
      {SQL_TYPE_TIMESTAMP, 0, 0,                    0,    u"",                  VarType::String,  "2026-12-05 14:03:09.250"},
      {SQL_WVARCHAR,       0, 0,                    0,    u"K\u00f6ln \U0001F600", VarType::String, "K\xc3\xb6ln \xf0\x9f\x98\x80"},
      {SQL_VARCHAR,        0, 0,                    0,    u"7",                 VarType::String,  "7"},
  };
  // clang-format on
  for (const Case& c : cases) {
    Fetched value{c.type, c.scale, false, c.integer, c.real, c.text, stamp};
    const Variant got = ToVariant(value);
    EXPECT_EQ(got.Type(), c.want_type) << c.want;
    EXPECT_EQ(CStr(got), c.want);
    value.null = true;
    EXPECT_TRUE(ToVariant(value).IsNull()) << c.want;
  }
}

// Each declared type of a column, written by SQLite and read through its
// driver.
TEST_F(Twin, TheSqliteDriverGivesEachDeclaredTypeItsSubtype) {
  file->Execute(
      "CREATE TABLE t (s SMALLINT, i INT, b BIGINT, f BIT, d DATETIME, x FLOAT, w NVARCHAR(20), n INT);"
      "INSERT INTO t VALUES (-7, 2147483647, 9007199254740993, 1, '2026-12-05 10:01:02', 0.1,"
      "'K\xc3\xb6ln \xf0\x9f\x98\x80', NULL)");
  const embedded::ResultSet rows =
      odbc->Lookup("SELECT * FROM t WHERE w=?", {Variant::String("K\xc3\xb6ln \xf0\x9f\x98\x80")});
  ASSERT_EQ(rows.rows.size(), 1u);
  // clang-format off
  const std::vector<std::pair<VarType, std::string>> want = {
      {VarType::Integer, "-7"}, {VarType::Long, "2147483647"}, {VarType::String, "9007199254740993"},
      {VarType::Boolean, "True"}, {VarType::String, "2026-12-05 10:01:02"}, {VarType::Double, "0.1"},
      {VarType::String, "K\xc3\xb6ln \xf0\x9f\x98\x80"}, {VarType::Null, "NULL"}};
  // clang-format on
  for (size_t c = 0; c < want.size(); ++c) {
    const Variant& got = rows.rows[0][c];
    EXPECT_EQ(got.Type(), want[c].first) << rows.columns[c];
    EXPECT_EQ(Shown(got), want[c].second) << rows.columns[c];
  }
}

TEST_F(Twin, CharIndexMeansWhatTheEmbeddedDatabaseMeans) {
  file->Execute(
      "CREATE TABLE s (k INTEGER, n TEXT, h TEXT, st INTEGER);"
      "INSERT INTO s VALUES (1,'b','ABCb',NULL), (2,'','abc',NULL), (3,NULL,'abc',NULL), (4,'c',NULL,NULL),"
      "(5,'\xc3\xa9','\xc3\xa9t\xc3\xa9',NULL), (6,'t','\xc3\xa9t\xc3\xa9',NULL), (7,'\xc3\x89','\xc3\xa9',NULL),"
      "(8,'b','abcb',3), (9,'b','abcb',-4), (10,'b','abcb',9), (11,'','abc',2), (12,'a','abc',NULL),"
      "(13,12,'x12',NULL), (14,'z','',NULL), (15,'16,','15,16,17',0)");
  const char* sql[] = {"SELECT k, CharIndex(n, h) FROM s ORDER BY k", "SELECT k, CharIndex(n, h, st) FROM s ORDER BY k",
                       "SELECT k FROM s WHERE charIndex(n,h)>0 AND CHARINDEX(n, h, CharIndex('c', h))=0 ORDER BY k"};
  for (const char* text : sql) {
    const embedded::ResultSet want = file->RunQuery(text, {});
    const embedded::ResultSet got = odbc->RunQuery(text, {});
    ASSERT_EQ(got.rows.size(), want.rows.size()) << text;
    for (size_t r = 0; r < want.rows.size(); ++r) {
      for (size_t c = 0; c < want.rows[r].size(); ++c)
        EXPECT_EQ(Shown(got.rows[r][c]), Shown(want.rows[r][c])) << text << " row " << r;
    }
  }
}

TEST(OdbcReads, OneStatementThatOnlyReads) {
  // clang-format off
  const std::pair<const char*, bool> cases[] = {
      {"SELECT FName FROM t_User WHERE FName='DELETE; EXEC x'", true},
      {" \r\n select [insert] from t -- drop table t", true},
      {"SELECT a FROM t UNION SELECT b FROM u", true},
      {"SELECT 1 SELECT 2", false},
      {"SELECT 1; DROP TABLE t", false},
      {"SELECT * INTO t2 FROM t", false},
      {"SELECT 1 EXEC xp_cmdshell 'dir'", false},
      {"UPDATE t SET a=1", false},
      {"WAITFOR DELAY '0:0:9'", false},
      {"SELECT 1;", true},
  };
  // clang-format on
  for (const auto& [sql, reads] : cases) {
    if (reads) {
      EXPECT_NO_THROW(RequireOneRead(sql)) << sql;
    } else {
      EXPECT_THROW(RequireOneRead(sql), AutomationError) << sql;
    }
  }
}

TEST_F(Twin, ABatchThatFailsWritesNothingAndLeavesAutocommitOn) {
  file->Execute("CREATE TABLE b (k INTEGER PRIMARY KEY)");
  auto count = [&] { return odbc->RunQuery("SELECT count(*) FROM b", {}).rows[0][0].AsLong(); };
  EXPECT_THROW(odbc->RunBatch({"INSERT INTO b (k) VALUES (1)", "INSERT INTO b (k) VALUES (1)"}, {}), AutomationError);
  EXPECT_EQ(count(), 0);
  // With autocommit left off, that read would have opened a transaction
  // whose snapshot hides this write.
  file->Execute("INSERT INTO b (k) VALUES (4)");
  EXPECT_EQ(count(), 1);
  odbc->RunBatch({"INSERT INTO b (k) VALUES (2)\r\nINSERT INTO b (k) VALUES (3)"}, {});
  EXPECT_EQ(file->Query("SELECT count(*) FROM b").rows[0][0].AsLong(), 3);
}

}  // namespace
}  // namespace zet::odbc::testing
