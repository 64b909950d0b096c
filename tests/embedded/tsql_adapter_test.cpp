// The T-SQL adapter: the SQLite text of each rewrite, the statement
// boundaries of a batch, the constructs it refuses, and the rewrites done for
// speed answering as the statement as written does.
#include "embedded/tsql_adapter.hpp"

#include <gmock/gmock.h>

#include <algorithm>
#include <random>

#include "embedded/schema.hpp"
#include "host/error.hpp"
#include "support/embedded_host.hpp"
#include "support/fake_platform.hpp"

namespace zet::embedded::testing {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

const TSqlOptions kPinned{"2026-12-05"};

TEST(Translate, GivesTheWholeTextAndTheStatementBoundaries) {
  for (const auto& [tsql, sqlite] : std::vector<std::pair<std::string, std::string>>{
           // The existence probe; TOP inside a sub-select, in parentheses, nested.
           {" SELECT TOP 1 1 FROM b v1 WHERE v1.k = 1050", " SELECT 1 FROM b v1 WHERE v1.k = 1050 LIMIT 1"},
           {"select a from t where b in (select top 3 c from u order by c) and d=1",
            "select a from t where b in (select c from u order by c LIMIT 3) and d=1"},
           {"SELECT TOP (5) a FROM t", "SELECT a FROM t LIMIT 5"},
           {"select top 1 a from (select top 2 b from u) x", "select a from (select b from u LIMIT 2) x LIMIT 1"},
           // datediff by day, with getdate() and with arguments rewritten inside.
           {"select datediff(day,getdate(),u1.FDate)=7",
            "select CAST(julianday(date(u1.FDate)) - julianday(date(datetime('2026-12-05'))) AS INTEGER)=7"},
           {"select DATEDIFF( dd , ISNULL(a.x, getdate( )) , (select top 1 d from b) ) from a",
            "select CAST(julianday(date((select d from b LIMIT 1))) - julianday(date(ifnull(a.x, "
            "datetime('2026-12-05')))) AS INTEGER) from a"},
           // A comment stays after the limit.
           {"select top 1 a from t -- the first\r\n", "select a from t LIMIT 1 -- the first\r\n"}})
    EXPECT_EQ(TranslateStatement(tsql, kPinned), sqlite);
  // Strings, quoted names, a column list and keywords before parentheses are
  // left alone.
  for (const char* same : {"select 'SELECT TOP 1 getdate() ISNULL(''x'')', [top], \"datediff\" from t",
                           "insert into ICClassRecentBills(FUserID,FBillID,FNo) values (25,88,1)",
                           "select count(distinct (a)) from t where b between (1) and (2) and exists(select 1 from u)"})
    EXPECT_EQ(TranslateStatement(same, kPinned), same);
  // With no day pinned, getdate() takes the clock.
  EXPECT_EQ(TranslateStatement("select getdate()", TSqlOptions{}), "select datetime('now','localtime')");
  // Statement boundaries: the SELECT of INSERT ... SELECT and UNION branches
  // stay with their statement; keywords inside strings split nothing.
  for (const auto& [batch, count] : std::vector<std::pair<const char*, size_t>>{
           {"insert into t(a) select b from u union all select c from v\nselect 1", 2},
           {"delete from t; delete from u;", 2},
           {"update t set a='x select y delete z'", 1},
           {" \r\n ", 0}})
    EXPECT_EQ(SplitBatch(batch).size(), count) << batch;
}

// What the adapter cannot translate is refused with the construct named.
TEST(Translate, RefusesWhatItCannotTranslate) {
  for (const auto& [tsql, construct] : std::vector<std::pair<const char*, const char*>>{
           {"select * from ICStockBill v1 WITH (NOLOCK) where 1=1", "WITH (NOLOCK)"},
           {"select CONVERT(varchar(10), FDate, 120) from t", "CONVERT()"},
           {"insert into t(a) values (1)\r\nselect @@IDENTITY", "@@IDENTITY"},
           {"select * into #temp from t", "#temp"},
           {"select len(FName) from t", "len()"},
           {"select top 10 percent a from t", "PERCENT"},
           {"update top (5) t set a=1", "TOP outside"},
           {"select top 1 a from t union select b from u", "TOP in a SELECT combined"},
           {"select datediff(month, a, b) from t", "datediff(MONTH"},
           {"select a from t where b=N'x'", "N'x'"},
           {"select a from t, u where t.a *= u.b", "*="},
           {"declare x int", "statement declare"},
           {"select 'abc from t", "never closed"}})
    EXPECT_THAT(zet::testing::Error([&] { TranslateBatch(tsql, kPinned); }),
                AllOf(StartsWith(std::to_string(err::kDatabaseError) + " "), HasSubstr(construct)));
}

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
     "WHERE charindex('1', t4.r) = 0 UNION ALL SELECT t3.id FROM e t3 WHERE t3.s > 1)) FROM o ORDER BY o.rowid LIMIT "
     "50",
     "EXISTS"},
    {"SELECT ISNULL(max(o.id), 0) FROM o WHERE NOT o.k NOT IN (SELECT DISTINCT e.s FROM e WHERE e.id <> 2)",
     "SELECT ifnull(max(o.id), 0) FROM o WHERE NOT o.k NOT IN (SELECT DISTINCT e.s FROM e WHERE e.id <> 2)", "EXISTS"},
    {"SELECT min(o.id) FROM o LEFT JOIN e u ON o.id = u.id WHERE o.k NOT IN (SELECT e.s FROM e) OR o.d = '2026-06-05'",
     "SELECT min(o.id) FROM o LEFT JOIN e u ON o.id = u.id WHERE o.k NOT IN (SELECT e.s FROM e) OR o.d = '2026-06-05'",
     "EXISTS"},
    // No row goal: a count over the rows the outer conditions leave.
    {"SELECT count(*) FROM o WHERE o.id > 1 AND o.k NOT IN (SELECT e.s FROM e WHERE e.id <> 2)",
     "SELECT count(*) FROM o WHERE o.id > 1 AND o.k NOT IN (SELECT e.s FROM e WHERE e.id <> 2)", "EXISTS"},
    // Left as written: an inner table named as the outer qualifier in quotes,
    // a column with an alias.
    {"SELECT TOP 50 o.rowid, (o.k NOT IN (SELECT [o].s FROM e [o] WHERE [o].id <> 2)) FROM o ORDER BY o.rowid",
     "SELECT o.rowid, (o.k NOT IN (SELECT e.s FROM e WHERE e.id <> 2)) FROM o ORDER BY o.rowid LIMIT 50", "NOT IN"},
    {"SELECT count(*) FROM o WHERE o.k NOT IN (SELECT t3.s AS id FROM e t3)",
     "SELECT count(*) FROM o WHERE o.k NOT IN (SELECT t3.s AS id FROM e t3)", "NOT IN"},
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

TEST(RewriteDifferential, AnswersAsTheStatementAsWrittenOnDatabasesFullOfNulls) {
  TempDir dir;
  auto db = Database::Create(dir.Path());
  db->Execute(
      "CREATE TABLE o (id INTEGER, k INTEGER, d TEXT, e TEXT); CREATE TABLE e (id INTEGER, s INTEGER);"
      "CREATE TABLE st (i INTEGER, r TEXT COLLATE NOCASE);");
  const char* ints[] = {"NULL", "0", "1", "2", "3", "'2'"};
  const char* texts[] = {"NULL", "''", "'1'", "'2,1'", "'x'"};
  // Dates as stored and as the date functions also read them: times of
  // day, a time alone, a day number, nonsense.
  const char* dates[] = {"NULL",    "'2026-06-01'", "'2026-06-04'", "'2026-06-05 23:59'", "'2026-05-30'", "'12:00'",
                         "2461190", "'2461191.5'",  "'abc'",        "'2026-06-02T08:00'"};
  std::mt19937 random(9);
  auto pick = [&](const auto& values) { return values[random() % std::size(values)]; };
  TSqlOptions options;
  options.today = "2026-06-01";
  for (const Differential& c : kCases)
    EXPECT_NE(TranslateStatement(c.tsql, options).find(c.rewritten), std::string::npos) << c.tsql;

  for (int round = 0; round < 400; ++round) {
    std::string fill = "DELETE FROM o; DELETE FROM e; DELETE FROM st;";
    for (int n = 0; n < 6; ++n) {
      if (random() % 2)
        fill += std::string("INSERT INTO o VALUES (") + pick(ints) + "," + pick(ints) + "," + pick(dates) + "," +
                pick(dates) + ");";
      if (random() % 2) fill += std::string("INSERT INTO e VALUES (") + pick(ints) + "," + pick(ints) + ");";
      if (n < 3 && random() % 2) fill += std::string("INSERT INTO st VALUES (") + pick(ints) + "," + pick(texts) + ");";
    }
    db->Execute(fill);
    for (const Differential& c : kCases)
      ASSERT_EQ(db->RunQuery(c.tsql, options).rows, db->Query(c.reference).rows) << c.tsql << "\n" << fill;
  }
}

// A due list of open invoices or other bills is narrowed to the bills the
// schema keeps as open: the same count as the statement as written, whatever
// the bills' signs, amounts and settlements (NULL, text, of another type).
TEST(RewriteDifferential, DueListsOfOpenBillsCountAsWritten) {
  const std::string to = "left join vw_BillRPMoney vrp on v1.", invoice = "FInterID=vrp.FInterID AND vrp.FTranType=",
                    other = "FBillID=vrp.FInterID AND vrp.FTranType=";
  const std::string hook =
      " \r\n and v1.FHookInterID not in ( select FGroupNo From ICHookRelations Where FEquityHook=1 ) ";
  const std::vector<std::string> counted = {
      " SELECT Count(distinct v1.FInterID) From ICPurchase v1 " + to + invoice +
          "75 \r\n where 1=1 \r\n and v1.FStatus=1 "
          "and v1.FROB*(vrp.FRPAmountFor-v1.FPurchaseAmountFor)<0 " +
          hook,
      " SELECT Count(distinct v1.FInterID) From ICSale v1 left join t_Organization t2 on v1.FCustID=t2.FItemID  " + to +
          invoice + "80 where 1=1 and v1.FROB*(vrp.FRPAmountFor-v1.FInvoiceAmountFor)<0",
      " SELECT Count(distinct v1.FBillID) From t_RP_ROtherBill v1 " + to + other +
          "1000205 where 1=1 and v1.FStatus=1 and ISNULL(vrp.FRPAmountFor,0)-v1.FAmountFor<0 ",
      " SELECT Count(distinct v1.FBillID) From t_RP_POtherBill v1 " + to + other +
          "1000206 where 1=1 and ISNULL(vrp.FRPAmountFor,0)-v1.FAmountFor<0 and v1.FStatus=1"};
  // Left as written: a condition that need not hold, a join that may leave
  // the settled sum out, the bill table under another name or kind.
  const std::string pi = "ICPurchase v1 " + to + invoice, po = "v1.FROB*(vrp.FRPAmountFor-v1.FPurchaseAmountFor)<0",
                    ro = "t_RP_ROtherBill v1 " + to + other + "1000205",
                    rc = "ISNULL(vrp.FRPAmountFor,0)-v1.FAmountFor<0";
  for (const std::string& kept :
       {pi + "75 where 1=1 or " + po, pi + "75 where not " + po, pi + "75 where 1=1 and " + po + "=0",
        pi + "76 where 1=1 and " + po, "ICSale v1 " + to + invoice + "75 where 1=1 and " + po,
        ro + " and vrp.FRPAmountFor>1 where 1=1 and " + rc, ro + " left join t_Account vrp on 1=1 where 1=1 and " + rc,
        ro + " where v1.FStatus between 0 and " + rc})
    EXPECT_THAT(TranslateStatement(" SELECT Count(*) From " + kept, kPinned), Not(HasSubstr("t_ZetOpenBill"))) << kept;
  for (const std::string& text : counted)
    EXPECT_THAT(TranslateStatement(text, kPinned), HasSubstr("t_ZetOpenBill")) << text;
  // The host keeps the literals of such a text in place.
  EXPECT_EQ(Parameterize(counted[0]).shape, counted[0]);

  Host host;
  const char* ids[] = {"1", "2", "3"};
  const char* signs[] = {"NULL", "1", "-1", "'x'"};
  const char* amounts[] = {"NULL", "0", "1", "2.5", "-1", "'x'"};
  const char* types[] = {"75", "80", "1000205", "1000206", "76"};
  std::mt19937 random(20);
  auto pick = [&](const auto& values) { return std::string(values[random() % std::size(values)]); };
  for (int round = 0; round < 150; ++round) {
    std::string fill =
        "DELETE FROM ICPurchase; DELETE FROM ICSale; DELETE FROM t_RP_ROtherBill; DELETE FROM t_RP_POtherBill; "
        "DELETE FROM t_RP_Settlement;";
    for (int n = 0; n < 4; ++n) {
      for (const char* table : {"ICPurchase (FInterID, FStatus, FROB, FPurchaseAmountFor)",
                                "ICSale (FInterID, FStatus, FROB, FInvoiceAmountFor)"})
        fill += std::string("INSERT OR REPLACE INTO ") + table + " VALUES (" + pick(ids) + ", 1, " + pick(signs) +
                ", " + pick(amounts) + ");";
      for (const char* table : {"t_RP_ROtherBill", "t_RP_POtherBill"})
        fill += std::string("INSERT OR REPLACE INTO ") + table + " (FBillID, FStatus, FAmountFor) VALUES (" +
                pick(ids) + ", 1, " + pick(amounts) + ");";
      for (int k = 0; k < 2; ++k)
        fill += "INSERT INTO t_RP_Settlement (FInterID, FTranType, FAmountFor) VALUES (" + pick(ids) + ", " +
                pick(types) + ", " + pick(amounts) + ");";
    }
    host.Exec(fill);
    for (const std::string& text : counted) {
      std::string reference = text;
      for (size_t at = reference.find("ISNULL"); at != std::string::npos; at = reference.find("ISNULL"))
        reference.replace(at, 6, "ifnull");
      ASSERT_EQ(host.db().RunQuery(text, kPinned).rows, host.db().Query(reference).rows) << text << "\n" << fill;
    }
  }
}

// Each item column the adapter walks is indexed with the item first: an
// index missing or led by another column would leave every walk reading the
// whole table, with the same answer and nothing else to show it.
TEST(Translate, WalksOnlyIndexesTheSchemaMakes) {
  const auto& objects = SchemaObjects();
  for (const ItemColumn& walked : ItemColumns()) {
    const auto made = std::find_if(objects.begin(), objects.end(),
                                   [&](const SchemaObject& o) { return o.type == "index" && o.name == walked.index; });
    ASSERT_NE(made, objects.end()) << walked.index;
    EXPECT_THAT(made->sql, ::testing::HasSubstr(" ON " + std::string(walked.table) + " (" + std::string(walked.item)))
        << made->sql;
  }
}

// The first, last, previous or next bill under a right on customers or
// suppliers is found in stages (a bounded walk, then a walk of the items);
// it must be the statement's own answer whatever the data: items NULL, 0,
// text or without a base row, rights texts holding the user inside a longer
// number, entry lines and stocks for the NOT IN beside it, and enough bills
// that every stage is reached.
TEST(RewriteDifferential, BillsUnderABaseRightAnswerAsWritten) {
  const std::string stock =
                        "ICStockBill v1 left join ICStockBillEntry u1 on v1.FInterID=u1.FInterID \r\n left join "
                        "t_Organization t1 on v1.FCustID=t1.FItemID \r\n left join t_supplier t2 on "
                        "v1.FSupplyID=t2.FItemID \r\n",
                    customer = "\r\n and (IsNull(t1.FItemID,0)=0 OR CharIndex('3',t1.FRightUserID)>0) \r\n",
                    supplier = "\r\n and (IsNull(t2.FItemID,0)=0 OR CharIndex('3',t2.FRightUserID)>0) \r\n",
                    lines =
                        " and v1.FInterID not in \r\n (select t3.FInterID from ICStockBillEntry t3 left join "
                        "t_Stock t4 on t3.FDCStockID=t4.FItemID \r\n where charIndex('3',t4.FRightUserID)=0 \r\n)",
                    sale = "ICSale v1 left join t_Organization t2 on v1.FCustID=t2.FItemID \r\n",
                    plain = "\r\n and CharIndex('3',t2.FRightUserID)>0 \r\n";
  const std::vector<std::string> staged = {
      " SELECT ISNULL(Max(v1.FInterID),0) as FInterID From " + stock + " where 1=1  and FTranType=21" + customer,
      " SELECT ISNULL(Min(v1.FInterID),0) as FInterID From " + stock + " where 1=1  and FTranType=21" + supplier,
      " select ISNULL(min(v1.FInterID),0) from " + stock + " where v1.FTranType=21 and v1.FInterID>@X" + customer +
          plain,
      " select ISNULL(max(v1.FInterID),0) from " + stock +
          " where v1.FTranType=21 and v1.FInterID<@X and "
          "v1.FBillerID in (16,17)" +
          customer + supplier + lines,
      " SELECT ISNULL(Max(v1.FInterID),0) as FInterID From " + sale + " where 1=1  and FTranType=80" + plain,
      " select ISNULL(min(v1.FInterID),0) from " + sale + " where v1.FTranType=80 and v1.FInterID>@X" + plain,
      " select ISNULL(max(v1.FBillID),0) from t_RP_RBill v1 left join t_Organization t2 on v1.FCustomerID=t2.FItemID "
      "\r\n left join t_Account t7 on v1.FAcctID=t7.FAccountID \r\n where v1.FBillID<@X" +
          plain + " and CharIndex('3',t7.FRightUserID)>0 \r\n"};
  // Left as written: a right that need not hold, a join that may leave the
  // base row out, an item column or bill table without its index, a right
  // that reads the bill too, an alias named twice, no aggregate of the key.
  const std::string last = " SELECT ISNULL(Max(v1.FInterID),0) From ";
  for (const std::string& kept :
       {last + stock + " where 1=1 or CharIndex('3',t1.FRightUserID)>0",
        last + "ICStockBill v1 left join t_Organization t1 on v1.FCustID=t1.FItemID and t1.FItemID>0 where 1=1" +
            customer,
        last + "ICStockBill v1 left join t_Organization t1 on v1.FSupplyID=t1.FItemID where 1=1" + customer,
        last + "ICApportionFee v1 left join t_Organization t2 on v1.FBillerID=t2.FItemID where 1=1" + plain,
        last + sale + " where 1=1 and (t2.FItemID=0 OR v1.FCustID=0)",
        last + sale + " left join t_supplier t2 on v1.FInterID=t2.FItemID where 1=1" + plain,
        " SELECT ISNULL(Max(v1.FInterID)+1,0) From " + sale + " where 1=1" + plain,
        " SELECT Count(*) From " + sale + " where 1=1" + plain})
    EXPECT_THAT(TranslateStatement(kept, kPinned), Not(HasSubstr("zet_item"))) << kept;
  const auto with_key = [](std::string text, const std::string& key) {
    for (size_t at = text.find("@X"); at != std::string::npos; at = text.find("@X")) text.replace(at, 2, key);
    return text;
  };
  for (const std::string& text : staged)
    EXPECT_THAT(TranslateStatement(with_key(text, "5"), kPinned), HasSubstr("zet_item")) << text;

  Host host;
  const char* items[] = {"NULL", "0", "1", "2", "3", "4", "'x'", "2.5"};
  const char* rights[] = {"NULL", "''", "'3'", "'13'", "'3'", "'13'", "'1,2'", "'x'"};
  const char* stocks[] = {"NULL", "0", "1", "2"};
  std::mt19937 random(21);
  auto pick = [&](const auto& values) { return std::string(values[random() % std::size(values)]); };
  for (int round = 0; round < 60; ++round) {
    // Few bills, or past either probe; in a sparse round every bill holds
    // an item the user may not see, the lowest or the highest, but some
    // among the first or the last quarter, which hold any item and lie
    // beyond the probes.
    const int bills = std::array{3, 30, 400, 1000, 1000, 1000}[random() % 6];
    const bool sparse = random() % 3 != 0;
    std::string fill =
        "DELETE FROM ICStockBill; DELETE FROM ICStockBillEntry; DELETE FROM ICSale; DELETE FROM t_Organization; "
        "DELETE FROM t_supplier; DELETE FROM t_Stock; DELETE FROM t_RP_RBill; DELETE FROM t_Account;";
    for (const char* base :
         {"t_Organization (FItemID", "t_supplier (FItemID", "t_Stock (FItemID", "t_Account (FAccountID"})
      for (int item = -1; item < 10; ++item)
        if (item == -1 || item == 9 || (item < 5 && random() % 3 != 0))
          fill += std::string("INSERT INTO ") + base + ", FRightUserID) VALUES (" + std::to_string(item) + ", " +
                  (item == -1 || item == 9 ? "'2'" : pick(rights)) + ");";
    const std::string hidden = random() % 2 ? "-1" : "9";
    const bool low = random() % 2;
    for (int bill = 1; bill <= bills; ++bill) {
      // All items of a bill are drawn or none, so that a bill the first
      // right lets through is often hidden by the others.
      const bool drawn = !sparse || ((low ? bill <= bills / 4 : bill > bills * 3 / 4) && random() % 8 == 0);
      const auto item = [&] { return drawn ? pick(items) : hidden; };
      const std::string id = std::to_string(bill * 2 + static_cast<int>(random() % 2));
      const std::string type = random() % 4 == 0 ? "1" : random() % 2 ? "21" : "80";
      fill += "INSERT OR IGNORE INTO " + std::string(type == "80" ? "ICSale" : "ICStockBill") +
              " (FInterID, FTranType, FBillerID, FCustID" + (type == "80" ? "" : ", FSupplyID") + ") VALUES (" + id +
              ", " + type + ", " + (random() % 2 ? "16" : "2") + ", " + item() + (type == "80" ? "" : ", " + item()) +
              ");";
      if (random() % 2)
        fill += "INSERT INTO t_RP_RBill (FBillID, FCustomerID, FAcctID) VALUES (" + id + ", " + item() + ", " + item() +
                ");";
      if (random() % 3 != 0)
        fill += "INSERT INTO ICStockBillEntry (FInterID, FDCStockID) VALUES (" + (random() % 40 ? id : "0") + ", " +
                (sparse ? "0" : pick(stocks)) + ");";
    }
    // Without its index (a file of an older build, only read) the items are
    // not walked, and the statement answers as written.
    if (round == 50) fill += "DROP INDEX ix_ICSale_Cust;";
    host.Exec("BEGIN;" + fill + "COMMIT;");
    // A walk from past either end, or from anywhere.
    const std::string key =
        std::to_string(std::array{2 * bills + 2, 0, static_cast<int>(random() % (2 * bills + 3))}[random() % 3]);
    for (const std::string& written : staged) {
      const std::string text = with_key(written, key);
      std::string reference = text;
      for (const char* spelled : {"ISNULL", "IsNull"})
        for (size_t at = reference.find(spelled); at != std::string::npos; at = reference.find(spelled))
          reference.replace(at, 6, "ifnull");
      const ResultSet expected = host.db().Query(reference);
      const ResultSet got = host.db().RunQuery(text, kPinned);
      ASSERT_EQ(got.rows, expected.rows) << text << "\nround " << round;
      ASSERT_EQ(got.columns, expected.columns) << text;
    }
  }
}

}  // namespace
}  // namespace zet::embedded::testing
