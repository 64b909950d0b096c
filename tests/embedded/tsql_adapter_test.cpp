#include "embedded/tsql_adapter.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/error.hpp"
#include "support/method_case.hpp"

namespace zet::embedded {
namespace {

using ::testing::HasSubstr;

const TSqlOptions kPinned{"2026-12-05"};

struct Rewrite {
  const char* name;
  const char* tsql;
  const char* sqlite;
};

class Translate : public ::testing::TestWithParam<Rewrite> {};

TEST_P(Translate, GivesTheWholeText) {
  EXPECT_EQ(TranslateStatement(GetParam().tsql, kPinned), GetParam().sqlite);
}

INSTANTIATE_TEST_SUITE_P(
    Rewrites, Translate,
    ::testing::Values(
        Rewrite{"ExistenceProbe", " SELECT TOP 1 1 FROM ICStockBill v1 WHERE v1.FInterID = 1050",
                " SELECT 1 FROM ICStockBill v1 WHERE v1.FInterID = 1050 LIMIT 1"},
        Rewrite{"TopInsideASubSelect", "select a from t where b in (select top 3 c from u order by c) and d=1",
                "select a from t where b in (select c from u order by c LIMIT 3) and d=1"},
        Rewrite{"TopInParentheses", "SELECT TOP (5) a FROM t", "SELECT a FROM t LIMIT 5"},
        Rewrite{"NestedTops", "select top 1 a from (select top 2 b as a from u) x",
                "select a from (select b as a from u LIMIT 2) x LIMIT 1"},
        Rewrite{"DateDiffDayWithGetDate", "select 1 from u1 where datediff(day,getdate(),u1.FDate)=7",
                "select 1 from u1 where CAST(julianday(date(u1.FDate)) - julianday(date(datetime('2026-12-05'))) AS "
                "INTEGER)=7"},
        Rewrite{"DateDiffArgumentsRewrittenInside",
                "select DATEDIFF( dd , ISNULL(a.x, getdate( )) , (select top 1 d from b) ) from a",
                "select CAST(julianday(date((select d from b LIMIT 1))) - julianday(date(ifnull(a.x, "
                "datetime('2026-12-05')))) AS INTEGER) from a"},
        Rewrite{"StringsAndQuotedNamesAreNotRewritten",
                "select 'SELECT TOP 1 getdate() ISNULL(''x'')', [top], \"datediff\" from t",
                "select 'SELECT TOP 1 getdate() ISNULL(''x'')', [top], \"datediff\" from t"},
        Rewrite{"InsertColumnListIsNoFunction",
                "insert into ICClassRecentBills(FUserID,FBillID,FClassTypeID,FNo,FBigType) values (25,88,1,1,2)",
                "insert into ICClassRecentBills(FUserID,FBillID,FClassTypeID,FNo,FBigType) values (25,88,1,1,2)"},
        Rewrite{"KeywordsBeforeParenthesesAreNoFunctions",
                "select count(distinct (a)) from t where b between (1) and (2) and exists(select 1 from u)",
                "select count(distinct (a)) from t where b between (1) and (2) and exists(select 1 from u)"},
        Rewrite{"CommentsStayAfterTheLimit", "select top 1 a from t -- the first\r\n",
                "select a from t LIMIT 1 -- the first\r\n"}),
    zet::testing::CaseName());

TEST(Translate, GetDateTakesTheClockWhenNoDayIsPinned) {
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

struct Refusal {
  const char* name;
  const char* tsql;
  const char* construct;
};

class Refuse : public ::testing::TestWithParam<Refusal> {};

TEST_P(Refuse, NamesTheConstruct) {
  try {
    TranslateBatch(GetParam().tsql, kPinned);
    FAIL() << "accepted: " << GetParam().tsql;
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.Number(), err::kDatabaseError);
    EXPECT_THAT(e.Description(), HasSubstr(GetParam().construct));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Unknown, Refuse,
    ::testing::Values(Refusal{"TableHint", "select * from ICStockBill v1 WITH (NOLOCK) where 1=1", "WITH (NOLOCK)"},
                      Refusal{"Convert", "select CONVERT(varchar(10), FDate, 120) from t", "CONVERT()"},
                      Refusal{"Identity", "insert into t(a) values (1)\r\nselect @@IDENTITY", "@@IDENTITY"},
                      Refusal{"TempTable", "select * into #temp from t", "#temp"},
                      Refusal{"UnknownFunction", "select len(FName) from t", "len()"},
                      Refusal{"TopPercent", "select top 10 percent a from t", "PERCENT"},
                      Refusal{"TopOutsideSelect", "update top (5) t set a=1", "TOP outside"},
                      Refusal{"TopInAUnion", "select top 1 a from t union select b from u", "TOP in a SELECT combined"},
                      Refusal{"DateDiffMonth", "select datediff(month, a, b) from t", "datediff(MONTH"},
                      Refusal{"UnicodeLiteral", "select a from t where b=N'x'", "N'x'"},
                      Refusal{"OldOuterJoin", "select a from t, u where t.a *= u.b", "*="},
                      Refusal{"Declare", "declare x int", "statement declare"},
                      Refusal{"UnclosedString", "select 'abc from t", "never closed"}),
    zet::testing::CaseName());

}  // namespace
}  // namespace zet::embedded
