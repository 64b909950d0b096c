#include "embedded/tsql_adapter.hpp"

#include <gmock/gmock.h>

#include "host/error.hpp"

namespace zet::embedded {
namespace {

using ::testing::HasSubstr;

const TSqlOptions kPinned{"2026-12-05"};

TEST(Translate, GivesTheWholeText) {
  for (const auto& [tsql, sqlite] : std::vector<std::pair<std::string, std::string>>{
           // The existence probe; TOP inside a sub-select, in parentheses, nested.
           {" SELECT TOP 1 1 FROM ICStockBill v1 WHERE v1.FInterID = 1050",
            " SELECT 1 FROM ICStockBill v1 WHERE v1.FInterID = 1050 LIMIT 1"},
           {"select a from t where b in (select top 3 c from u order by c) and d=1",
            "select a from t where b in (select c from u order by c LIMIT 3) and d=1"},
           {"SELECT TOP (5) a FROM t", "SELECT a FROM t LIMIT 5"},
           {"select top 1 a from (select top 2 b as a from u) x",
            "select a from (select b as a from u LIMIT 2) x LIMIT 1"},
           // datediff by day, with getdate() and with arguments rewritten inside.
           {"select 1 from u1 where datediff(day,getdate(),u1.FDate)=7",
            "select 1 from u1 where CAST(julianday(date(u1.FDate)) - julianday(date(datetime('2026-12-05'))) AS "
            "INTEGER)=7"},
           {"select DATEDIFF( dd , ISNULL(a.x, getdate( )) , (select top 1 d from b) ) from a",
            "select CAST(julianday(date((select d from b LIMIT 1))) - julianday(date(ifnull(a.x, "
            "datetime('2026-12-05')))) AS INTEGER) from a"},
           // Strings, quoted names, a column list and keywords before
           // parentheses are left alone; a comment stays after the limit.
           {"select 'SELECT TOP 1 getdate() ISNULL(''x'')', [top], \"datediff\" from t",
            "select 'SELECT TOP 1 getdate() ISNULL(''x'')', [top], \"datediff\" from t"},
           {"insert into ICClassRecentBills(FUserID,FBillID,FClassTypeID,FNo,FBigType) values (25,88,1,1,2)",
            "insert into ICClassRecentBills(FUserID,FBillID,FClassTypeID,FNo,FBigType) values (25,88,1,1,2)"},
           {"select count(distinct (a)) from t where b between (1) and (2) and exists(select 1 from u)",
            "select count(distinct (a)) from t where b between (1) and (2) and exists(select 1 from u)"},
           {"select top 1 a from t -- the first\r\n", "select a from t LIMIT 1 -- the first\r\n"}})
    EXPECT_EQ(TranslateStatement(tsql, kPinned), sqlite);
  // With no day pinned, getdate() takes the clock.
  EXPECT_EQ(TranslateStatement("select getdate()", TSqlOptions{}), "select datetime('now','localtime')");
}

// Statement boundaries: the SELECT of INSERT ... SELECT and UNION branches
// stay with their statement; keywords inside strings split nothing.
TEST(SplitBatch, FindsTheStatementBoundaries) {
  for (const auto& [batch, count] : std::vector<std::pair<const char*, size_t>>{
           {"insert into t(a) select b from u union all select c from v\nselect 1", 2},
           {"delete from t; delete from u;", 2}, {"update t set a='x select y delete z'", 1}, {" \r\n ", 0}})
    EXPECT_EQ(SplitBatch(batch).size(), count) << batch;
}

// What the adapter cannot translate is refused with the construct named.
TEST(Translate, RefusesWhatItCannotTranslate) {
  for (const auto& [tsql, construct] : std::vector<std::pair<const char*, const char*>>{
           {"select * from ICStockBill v1 WITH (NOLOCK) where 1=1", "WITH (NOLOCK)"},
           {"select CONVERT(varchar(10), FDate, 120) from t", "CONVERT()"},
           {"insert into t(a) values (1)\r\nselect @@IDENTITY", "@@IDENTITY"},
           {"select * into #temp from t", "#temp"}, {"select len(FName) from t", "len()"},
           {"select top 10 percent a from t", "PERCENT"}, {"update top (5) t set a=1", "TOP outside"},
           {"select top 1 a from t union select b from u", "TOP in a SELECT combined"},
           {"select datediff(month, a, b) from t", "datediff(MONTH"}, {"select a from t where b=N'x'", "N'x'"},
           {"select a from t, u where t.a *= u.b", "*="}, {"declare x int", "statement declare"},
           {"select 'abc from t", "never closed"}}) {
    try {
      TranslateBatch(tsql, kPinned);
      ADD_FAILURE() << "accepted: " << tsql;
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.Number(), err::kDatabaseError);
      EXPECT_THAT(e.Description(), HasSubstr(construct));
    }
  }
}

}  // namespace
}  // namespace zet::embedded
