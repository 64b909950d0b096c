#include "embedded/schema.hpp"

#include <sqlite3.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>

namespace zet::embedded {

namespace {

// Conventions of the tables below:
// - ids are INTEGER, amounts and quantities REAL, texts and dates TEXT
//   COLLATE NOCASE (dates as 'YYYY-MM-DD', which the date functions read);
// - amounts are kept to the four decimals of a money type (triggers round
//   every write), so that equal amounts subtract to exactly 0;
// - every column has a default, so a row needs only the columns that matter;
// - the id columns that NOT IN sub-selects read are NOT NULL: one NULL there
//   would make every NOT IN unknown and hide every bill;
// - entry and base-data tables have no FTranType and ICBomChild has no
//   FCheckID, because the statements name those columns without an alias.
constexpr std::string_view kTables = R"sql(
CREATE TABLE t_ZetSchemaInfo (
  FVersion INTEGER NOT NULL,
  FCreated TEXT COLLATE NOCASE DEFAULT ''
);

-- Users, groups and rights ------------------------------------------------

CREATE TABLE t_User (
  FUserID INTEGER PRIMARY KEY,
  FName TEXT COLLATE NOCASE DEFAULT '',
  FUserGroupRight INTEGER DEFAULT 0,
  FDataRight INTEGER DEFAULT 0
);

-- One row per user and group. Group ids share the id space of users:
-- t_AccessControl.FUserID holds either.
CREATE TABLE t_Group (
  FUserID INTEGER NOT NULL DEFAULT 0,
  FGroupID INTEGER NOT NULL DEFAULT 0,
  PRIMARY KEY (FUserID, FGroupID)
);
CREATE INDEX ix_Group_Group ON t_Group (FGroupID, FUserID);

CREATE TABLE t_AccessControl (
  FUserID INTEGER NOT NULL DEFAULT 0,
  FObjectType INTEGER NOT NULL DEFAULT 0,
  FObjectID INTEGER NOT NULL DEFAULT 0,
  FAccessMask INTEGER DEFAULT 0
);
CREATE INDEX ix_AccessControl_Object ON t_AccessControl (FObjectType, FObjectID, FUserID);

CREATE TABLE t_SystemProfile (
  FCategory TEXT COLLATE NOCASE NOT NULL DEFAULT '',
  FKey TEXT COLLATE NOCASE NOT NULL DEFAULT '',
  FValue TEXT COLLATE NOCASE DEFAULT '',
  PRIMARY KEY (FCategory, FKey)
);

-- Base data: FRightUserID lists the ids of the users who may see the row -----

CREATE TABLE t_Organization (
  FItemID INTEGER PRIMARY KEY,
  FNumber TEXT COLLATE NOCASE DEFAULT '',
  FName TEXT COLLATE NOCASE DEFAULT '',
  FRightUserID TEXT COLLATE NOCASE DEFAULT ''
);

CREATE TABLE t_supplier (
  FItemID INTEGER PRIMARY KEY,
  FNumber TEXT COLLATE NOCASE DEFAULT '',
  FName TEXT COLLATE NOCASE DEFAULT '',
  FRightUserID TEXT COLLATE NOCASE DEFAULT ''
);

CREATE TABLE t_Stock (
  FItemID INTEGER PRIMARY KEY,
  FNumber TEXT COLLATE NOCASE DEFAULT '',
  FName TEXT COLLATE NOCASE DEFAULT '',
  FRightUserID TEXT COLLATE NOCASE DEFAULT ''
);

CREATE TABLE t_Account (
  FAccountID INTEGER PRIMARY KEY,
  FNumber TEXT COLLATE NOCASE DEFAULT '',
  FName TEXT COLLATE NOCASE DEFAULT '',
  FRightUserID TEXT COLLATE NOCASE DEFAULT ''
);

-- Stock bills: one table for many transaction types -----------------------

CREATE TABLE ICStockBill (
  FInterID INTEGER PRIMARY KEY,
  FTranType INTEGER NOT NULL DEFAULT 0,
  FBillNo TEXT COLLATE NOCASE DEFAULT '',
  FDate TEXT COLLATE NOCASE DEFAULT NULL,
  FBillerID INTEGER DEFAULT 0,
  FCustID INTEGER DEFAULT 0,
  FSupplyID INTEGER DEFAULT 0,
  FStatus INTEGER DEFAULT 0
);
-- First/last/previous/next of one type: a seek on (type, id) (and see
-- the preparer indexes below).
CREATE INDEX ix_ICStockBill_Type ON ICStockBill (FTranType, FInterID);

CREATE TABLE ICStockBillEntry (
  FInterID INTEGER NOT NULL DEFAULT 0,
  FEntryID INTEGER NOT NULL DEFAULT 0,
  FItemID INTEGER DEFAULT 0,
  FQty REAL DEFAULT 0,
  FDCStockID INTEGER DEFAULT 0,
  FSCStockID INTEGER DEFAULT 0
);
CREATE INDEX ix_ICStockBillEntry_Bill ON ICStockBillEntry (FInterID, FEntryID);

-- Bills of materials -------------------------------------------------------

CREATE TABLE ICBom (
  FInterID INTEGER PRIMARY KEY,
  FBillNo TEXT COLLATE NOCASE DEFAULT '',
  FItemID INTEGER DEFAULT 0,
  FBillerID INTEGER DEFAULT 0,
  FCheckID INTEGER DEFAULT 0,
  FStatus INTEGER DEFAULT 0
);

CREATE TABLE ICBomChild (
  FInterID INTEGER NOT NULL DEFAULT 0,
  FEntryID INTEGER NOT NULL DEFAULT 0,
  FItemID INTEGER DEFAULT 0,
  FQty REAL DEFAULT 0,
  FStockID INTEGER DEFAULT 0
);
CREATE INDEX ix_ICBomChild_Bill ON ICBomChild (FInterID, FEntryID);

-- Reconciliations ----------------------------------------------------------

CREATE TABLE t_RP_CheckInfo (
  FInterID INTEGER PRIMARY KEY,
  FBillNo TEXT COLLATE NOCASE DEFAULT '',
  FDate TEXT COLLATE NOCASE DEFAULT NULL,
  FPreparer INTEGER DEFAULT 0,
  FCustomerID INTEGER DEFAULT 0,
  FVendorID INTEGER DEFAULT 0,
  FOutCustID INTEGER DEFAULT 0,
  FInCustID INTEGER DEFAULT 0,
  FOutVendorID INTEGER DEFAULT 0,
  FInVendorID INTEGER DEFAULT 0
);

-- Purchasing ---------------------------------------------------------------

CREATE TABLE POOrder (
  FInterID INTEGER PRIMARY KEY,
  FBillNo TEXT COLLATE NOCASE DEFAULT '',
  FDate TEXT COLLATE NOCASE DEFAULT NULL,
  FBillerID INTEGER DEFAULT 0,
  FSupplyID INTEGER DEFAULT 0,
  FStatus INTEGER DEFAULT 0,
  FCancellation INTEGER DEFAULT 0
);

CREATE TABLE POOrderEntry (
  FInterID INTEGER NOT NULL DEFAULT 0,
  FEntryID INTEGER NOT NULL DEFAULT 0,
  FItemID INTEGER DEFAULT 0,
  FDate TEXT COLLATE NOCASE DEFAULT NULL,
  FQty REAL DEFAULT 0,
  FStockQty REAL DEFAULT 0
);
CREATE INDEX ix_POOrderEntry_Bill ON POOrderEntry (FInterID, FEntryID);

CREATE TABLE ICPurchase (
  FInterID INTEGER PRIMARY KEY,
  FTranType INTEGER NOT NULL DEFAULT 75,
  FBillNo TEXT COLLATE NOCASE DEFAULT '',
  FDate TEXT COLLATE NOCASE DEFAULT NULL,
  FBillerID INTEGER DEFAULT 0,
  FSupplyID INTEGER DEFAULT 0,
  FPayDate TEXT COLLATE NOCASE DEFAULT NULL,
  FStatus INTEGER DEFAULT 0,
  FPOStyle INTEGER DEFAULT 0,
  -- sign factor: 1 for an ordinary invoice, -1 for a reversing one
  FROB INTEGER DEFAULT 1,
  FPurchaseAmountFor REAL DEFAULT 0,
  FHookInterID INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX ix_ICPurchase_Type ON ICPurchase (FTranType, FInterID);

CREATE TABLE PORFQ (
  FInterID INTEGER PRIMARY KEY,
  FBillNo TEXT COLLATE NOCASE DEFAULT '',
  FDate TEXT COLLATE NOCASE DEFAULT NULL,
  FBillerID INTEGER DEFAULT 0,
  FCustID INTEGER DEFAULT 0
);

-- Sales --------------------------------------------------------------------

CREATE TABLE ICSale (
  FInterID INTEGER PRIMARY KEY,
  FTranType INTEGER NOT NULL DEFAULT 80,
  FBillNo TEXT COLLATE NOCASE DEFAULT '',
  FDate TEXT COLLATE NOCASE DEFAULT NULL,
  FBillerID INTEGER DEFAULT 0,
  FCustID INTEGER DEFAULT 0,
  FPayDate TEXT COLLATE NOCASE DEFAULT NULL,
  FStatus INTEGER DEFAULT 0,
  FSaleStyle INTEGER DEFAULT 0,
  FROB INTEGER DEFAULT 1,
  FInvoiceAmountFor REAL DEFAULT 0,
  FHookInterID INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX ix_ICSale_Type ON ICSale (FTranType, FInterID);

CREATE TABLE SEOrder (
  FInterID INTEGER PRIMARY KEY,
  FBillNo TEXT COLLATE NOCASE DEFAULT '',
  FDate TEXT COLLATE NOCASE DEFAULT NULL,
  FBillerID INTEGER DEFAULT 0,
  FCustID INTEGER DEFAULT 0,
  FStatus INTEGER DEFAULT 0,
  FCancellation INTEGER DEFAULT 0
);

CREATE TABLE SEOrderEntry (
  FInterID INTEGER NOT NULL DEFAULT 0,
  FEntryID INTEGER NOT NULL DEFAULT 0,
  FItemID INTEGER DEFAULT 0,
  FDate TEXT COLLATE NOCASE DEFAULT NULL,
  FQty REAL DEFAULT 0,
  FStockQty REAL DEFAULT 0
);
CREATE INDEX ix_SEOrderEntry_Bill ON SEOrderEntry (FInterID, FEntryID);

-- Production ---------------------------------------------------------------

CREATE TABLE ICMO (
  FInterID INTEGER PRIMARY KEY,
  FBillNo TEXT COLLATE NOCASE DEFAULT '',
  FDate TEXT COLLATE NOCASE DEFAULT NULL,
  FBillerID INTEGER DEFAULT 0,
  FStatus INTEGER DEFAULT 0
);

CREATE TABLE ICMOEntry (
  FInterID INTEGER NOT NULL DEFAULT 0,
  FEntryID INTEGER NOT NULL DEFAULT 0,
  FItemID INTEGER DEFAULT 0,
  FQty REAL DEFAULT 0,
  FStockID INTEGER DEFAULT 0
);
CREATE INDEX ix_ICMOEntry_Bill ON ICMOEntry (FInterID, FEntryID);

CREATE TABLE ICApportionFee (
  FInterID INTEGER PRIMARY KEY,
  FBillNo TEXT COLLATE NOCASE DEFAULT '',
  FDate TEXT COLLATE NOCASE DEFAULT NULL,
  FBillerID INTEGER DEFAULT 0,
  FAmount REAL DEFAULT 0
);

CREATE TABLE ICChange (
  FID INTEGER PRIMARY KEY,
  FBillNo TEXT COLLATE NOCASE DEFAULT '',
  FDate TEXT COLLATE NOCASE DEFAULT NULL,
  FBillerID INTEGER DEFAULT 0
);

CREATE TABLE ICChangeEntry (
  FID INTEGER NOT NULL DEFAULT 0,
  FEntryID INTEGER NOT NULL DEFAULT 0,
  FItemID INTEGER DEFAULT 0,
  FDCStockID INTEGER DEFAULT 0
);
CREATE INDEX ix_ICChangeEntry_Bill ON ICChangeEntry (FID, FEntryID);

-- General ledger -----------------------------------------------------------

-- A new voucher is waiting: nobody (-1) has checked or signed it yet.
CREATE TABLE t_Voucher (
  FVoucherID INTEGER PRIMARY KEY,
  FNumber TEXT COLLATE NOCASE DEFAULT '',
  FDate TEXT COLLATE NOCASE DEFAULT NULL,
  FPreparerID INTEGER DEFAULT 0,
  FCheckerID INTEGER DEFAULT -1,
  FCashierID INTEGER DEFAULT -1,
  FPosted INTEGER DEFAULT 0
);

CREATE TABLE t_VoucherEntry (
  FVoucherID INTEGER NOT NULL DEFAULT 0,
  FEntryID INTEGER NOT NULL DEFAULT 0,
  FAccountID INTEGER DEFAULT 0,
  FAmount REAL DEFAULT 0
);
CREATE INDEX ix_VoucherEntry_Voucher ON t_VoucherEntry (FVoucherID, FEntryID);

-- Receivables and payables -------------------------------------------------

CREATE TABLE t_RP_RBill (
  FBillID INTEGER PRIMARY KEY,
  FBillNo TEXT COLLATE NOCASE DEFAULT '',
  FDate TEXT COLLATE NOCASE DEFAULT NULL,
  FPreparer INTEGER DEFAULT 0,
  FCustomerID INTEGER DEFAULT 0,
  FAcctID INTEGER DEFAULT 0,
  FAmountFor REAL DEFAULT 0
);

CREATE TABLE t_RP_PBill (
  FBillID INTEGER PRIMARY KEY,
  FBillNo TEXT COLLATE NOCASE DEFAULT '',
  FDate TEXT COLLATE NOCASE DEFAULT NULL,
  FPreparer INTEGER DEFAULT 0,
  FSupplyID INTEGER DEFAULT 0,
  FAcctID INTEGER DEFAULT 0,
  FAmountFor REAL DEFAULT 0
);

-- FBillTypeID 1006: receivable side; 1008: payable side.
CREATE TABLE t_RP_ROtherBill (
  FBillID INTEGER PRIMARY KEY,
  FBillNo TEXT COLLATE NOCASE DEFAULT '',
  FDate TEXT COLLATE NOCASE DEFAULT NULL,
  FPreparer INTEGER DEFAULT 0,
  FCustomerID INTEGER DEFAULT 0,
  FAcctID INTEGER DEFAULT 0,
  FLimitDate TEXT COLLATE NOCASE DEFAULT NULL,
  FStatus INTEGER DEFAULT 0,
  FBillTypeID INTEGER DEFAULT 1006,
  FAmountFor REAL DEFAULT 0
);

CREATE TABLE t_RP_ROtherBillEntry (
  FBillID INTEGER NOT NULL DEFAULT 0,
  FEntryID INTEGER NOT NULL DEFAULT 0,
  FAmountFor REAL DEFAULT 0
);
CREATE INDEX ix_RP_ROtherBillEntry_Bill ON t_RP_ROtherBillEntry (FBillID, FEntryID);

CREATE TABLE t_RP_POtherBill (
  FBillID INTEGER PRIMARY KEY,
  FBillNo TEXT COLLATE NOCASE DEFAULT '',
  FDate TEXT COLLATE NOCASE DEFAULT NULL,
  FPreparer INTEGER DEFAULT 0,
  FSupplyID INTEGER DEFAULT 0,
  FAcctID INTEGER DEFAULT 0,
  FLimitDate TEXT COLLATE NOCASE DEFAULT NULL,
  FStatus INTEGER DEFAULT 0,
  FBillTypeID INTEGER DEFAULT 1008,
  FAmountFor REAL DEFAULT 0
);

CREATE TABLE t_RP_POtherBillEntry (
  FBillID INTEGER NOT NULL DEFAULT 0,
  FEntryID INTEGER NOT NULL DEFAULT 0,
  FAmountFor REAL DEFAULT 0
);
CREATE INDEX ix_RP_POtherBillEntry_Bill ON t_RP_POtherBillEntry (FBillID, FEntryID);

-- What has been settled on a bill: one row per payment or receipt applied
-- to it. An invoice with no row here counts as never looked at, not as
-- unpaid; record a row of 0 to show it open.
CREATE TABLE t_RP_Settlement (
  FID INTEGER PRIMARY KEY,
  FInterID INTEGER NOT NULL DEFAULT 0,
  FTranType INTEGER NOT NULL DEFAULT 0,
  FDate TEXT COLLATE NOCASE DEFAULT NULL,
  FAmountFor REAL DEFAULT 0
);
CREATE INDEX ix_RP_Settlement_Bill ON t_RP_Settlement (FInterID, FTranType);

-- What is settled per bill, kept current by the triggers below: the sum
-- of a bill's settlement rows, exact to four decimals, and no row for a
-- bill without any. A due list then reads one row per bill instead of
-- summing every settlement first.
CREATE TABLE t_ZetBillRPMoney (
  FInterID INTEGER NOT NULL,
  FTranType INTEGER NOT NULL,
  FRPAmountFor REAL,
  PRIMARY KEY (FInterID, FTranType)
) WITHOUT ROWID;

-- The bill of each settlement row, by id, kept by the same triggers: what
-- they read to find the bill of a row that a REPLACE conflict displaced.
CREATE TABLE t_ZetSettlementBill (
  FID INTEGER PRIMARY KEY,
  FInterID INTEGER NOT NULL,
  FTranType INTEGER NOT NULL
);

-- The bills a due list may count as open, kept by the triggers below: an
-- invoice whose settled sum, times its sign, falls short of its amount; an
-- other bill whose settled sum (0 without one) falls short of its amount.
-- The due lists then read the few open bills instead of years of settled
-- ones.
CREATE TABLE t_ZetOpenBill (
  FTranType INTEGER NOT NULL,
  FInterID INTEGER NOT NULL,
  PRIMARY KEY (FTranType, FInterID)
) WITHOUT ROWID;

CREATE VIEW vw_BillRPMoney AS
  SELECT FInterID, FTranType, FRPAmountFor FROM t_ZetBillRPMoney;

-- Invoices hooked together; FEquityHook=1 groups are settled against each
-- other and fall out of the due lists.
CREATE TABLE ICHookRelations (
  FID INTEGER PRIMARY KEY,
  FGroupNo INTEGER NOT NULL DEFAULT 0,
  FInterID INTEGER DEFAULT 0,
  FTranType INTEGER DEFAULT 0,
  FEquityHook INTEGER DEFAULT 0
);
CREATE INDEX ix_ICHookRelations_Equity ON ICHookRelations (FEquityHook, FGroupNo);

-- Recent bills -------------------------------------------------------------

-- No unique key on the place: the shift "FNo=FNo+1" passes through
-- duplicate places row by row.
CREATE TABLE ICClassRecentBills (
  FUserID INTEGER DEFAULT 0,
  FBillID INTEGER DEFAULT 0,
  FClassTypeID INTEGER DEFAULT 0,
  FNo INTEGER DEFAULT 0,
  FBigType INTEGER DEFAULT 0
);
CREATE INDEX ix_ICClassRecentBills_User ON ICClassRecentBills (FUserID, FBigType, FNo);

-- Display names of the bill kinds, by transaction type.
CREATE TABLE t_ZetBillKind (
  FTranType INTEGER PRIMARY KEY,
  FName TEXT COLLATE NOCASE DEFAULT ''
);

-- Every bill of every kind the catalogue knows (FSource: its table, see
-- the triggers below), kept current by those triggers, so that the recent
-- bills of a user are 20 seeks, not a read of every bill table.
CREATE TABLE t_ZetBillRegister (
  FSource INTEGER NOT NULL,
  FInterID INTEGER NOT NULL,
  FBillNo TEXT COLLATE NOCASE,
  FTranType INTEGER,
  PRIMARY KEY (FSource, FInterID)
);
CREATE INDEX ix_ZetBillRegister_Bill ON t_ZetBillRegister (FInterID, FTranType);

-- Every bill with its kind's name. Tables that hold one kind give it the
-- catalogue's code.
CREATE VIEW vw_BillList AS
  SELECT b.FInterID AS FInterID, b.FBillNo AS FBillNo, b.FTranType AS FTranType,
         COALESCE(k.FName, 'Type ' || b.FTranType) AS FName
  FROM t_ZetBillRegister b
  LEFT JOIN t_ZetBillKind k ON k.FTranType = b.FTranType;

INSERT INTO t_ZetBillKind (FTranType, FName) VALUES
  (1, 'Stock bill 1'), (2, 'Stock bill 2'), (5, 'Stock bill 5'), (10, 'Stock bill 10'),
  (21, 'Stock bill 21'), (24, 'Stock bill 24'), (28, 'Stock bill 28'), (29, 'Stock bill 29'),
  (40, 'Stock bill 40'), (41, 'Stock bill 41'), (43, 'Stock bill 43'), (100, 'Stock bill 100'),
  (101, 'Stock bill 101'), (102, 'Stock bill 102'),
  (50, 'Bill of materials'), (51, 'Reconciliation'), (71, 'Purchase order'),
  (75, 'Purchase invoice'), (76, 'Purchase invoice 76'), (80, 'Sales invoice'), (86, 'Sales invoice 86'),
  (81, 'Sales order'), (84, 'Request for quotation'), (85, 'Production order'),
  (87, 'Cost apportionment'), (1125, 'Voucher'), (1000201, 'Receipt'), (1000202, 'Payment'),
  (1000205, 'Other receivable'), (1000206, 'Other payable'), (1007000, 'Change order');
)sql";

// The sixteen bill tables in the order of their FSource.
constexpr BillTable kBillTables[] = {
    {"ICStockBill", "FInterID", "FBillNo", "FTranType", "FBillerID"},
    {"ICBom", "FInterID", "FBillNo", "50", "FCheckID"},
    {"t_RP_CheckInfo", "FInterID", "FBillNo", "51", "FPreparer"},
    {"POOrder", "FInterID", "FBillNo", "71", "FBillerID"},
    {"ICPurchase", "FInterID", "FBillNo", "FTranType", "FBillerID"},
    {"ICSale", "FInterID", "FBillNo", "FTranType", "FBillerID"},
    {"SEOrder", "FInterID", "FBillNo", "81", "FBillerID"},
    {"PORFQ", "FInterID", "FBillNo", "84", "FBillerID"},
    {"ICMO", "FInterID", "FBillNo", "85", "FBillerID"},
    {"ICApportionFee", "FInterID", "FBillNo", "87", "FBillerID"},
    {"t_Voucher", "FVoucherID", "FNumber", "1125", "FPreparerID"},
    {"t_RP_RBill", "FBillID", "FBillNo", "1000201", "FPreparer"},
    {"t_RP_PBill", "FBillID", "FBillNo", "1000202", "FPreparer"},
    {"t_RP_ROtherBill", "FBillID", "FBillNo", "1000205", "FPreparer"},
    {"t_RP_POtherBill", "FBillID", "FBillNo", "1000206", "FPreparer"},
    {"ICChange", "FID", "FBillNo", "1007000", "FBillerID"},
};

constexpr MoneyColumn kMoneyColumns[] = {
    {"ICPurchase", "FPurchaseAmountFor"},   {"ICSale", "FInvoiceAmountFor"},        {"ICApportionFee", "FAmount"},
    {"t_VoucherEntry", "FAmount"},          {"t_RP_RBill", "FAmountFor"},           {"t_RP_PBill", "FAmountFor"},
    {"t_RP_ROtherBill", "FAmountFor"},      {"t_RP_ROtherBillEntry", "FAmountFor"}, {"t_RP_POtherBill", "FAmountFor"},
    {"t_RP_POtherBillEntry", "FAmountFor"}, {"t_RP_Settlement", "FAmountFor"},
};

// clang-format off
constexpr OpenBillKind kOpenBillKinds[] = {
    {"ICPurchase",      "FInterID", "75",      "b.FROB*(m.FRPAmountFor-b.FPurchaseAmountFor)<0"},
    {"ICSale",          "FInterID", "80",      "b.FROB*(m.FRPAmountFor-b.FInvoiceAmountFor)<0"},
    {"t_RP_ROtherBill", "FBillID",  "1000205", "ifnull(m.FRPAmountFor,0)-b.FAmountFor<0"},
    {"t_RP_POtherBill", "FBillID",  "1000206", "ifnull(m.FRPAmountFor,0)-b.FAmountFor<0"},
};
// clang-format on

std::string Replace(std::string text, std::string_view from, std::string_view to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// The statements, for a trigger body, that keep the money columns of
// `table` to four decimals once the row NEW is written. A binary fraction
// is kept as the decimal amount it stands for, so that 0.7 + 0.1 and 0.8
// are the same number once stored. The rounding goes through whole
// ten-thousandths: round(x, 4) works through 16 significant digits and
// drops the fourth decimal above about 1e11. Beyond 2^39 a double no longer
// tells every ten-thousandth apart, so such an amount is refused rather
// than kept wrong. They come first in a body, so that what the body then
// derives reads the amount as kept.
std::string KeepMoney(std::string_view table) {
  std::string sql;
  for (const MoneyColumn& m : kMoneyColumns) {
    if (m.table != table) continue;
    std::string pattern =
        R"sql(  SELECT RAISE(ABORT, '@T.@C: an amount must lie between -@L and @L to be kept to four decimals')
  WHERE typeof(NEW.@C) = 'real' AND abs(NEW.@C) >= @L;
  UPDATE @T SET @C = round(@C * 10000) / 10000
  WHERE rowid = NEW.rowid AND typeof(@C) = 'real' AND @C <> round(@C * 10000) / 10000;
)sql";
    pattern = Replace(pattern, "@T", m.table);
    pattern = Replace(pattern, "@C", m.column);
    sql += Replace(pattern, "@L", kMoneyLimit);
  }
  return sql;
}

const OpenBillKind* OpenKindOf(std::string_view table) {
  for (const OpenBillKind& k : kOpenBillKinds)
    if (k.table == table) return &k;
  return nullptr;
}

std::string BuildScript() {
  std::string script(kTables);
  // Every bill that a due list may count as open, worked out from the bill
  // and its settled sum: what the triggers below keep t_ZetOpenBill equal
  // to, one bill at a time (SQLite reads just the bills a trigger names).
  script += "\nCREATE VIEW vw_ZetOpenBill AS\n";
  for (const OpenBillKind& k : kOpenBillKinds)
    script += (&k == kOpenBillKinds ? "  " : "  UNION ALL ") + OpenBills(k, "1") + "\n";
  script += ";\n";
  // A table has one trigger an event, doing all that its rows derive: each
  // trigger is read by every connection that opens the file. A new row of a
  // table whose update trigger does more than the register is derived as an
  // updated one: its insert trigger only sets its id to itself.
  int source = 0;
  for (const BillTable& t : kBillTables) {
    ++source;
    const bool kind_column = t.kind == "FTranType";
    // The register's key is the bill table's own, so a row that a REPLACE
    // conflict displaces is overwritten by the new row's entry. The update
    // trigger names no columns: "UPDATE ... SET rowid=" changes the id
    // without naming it, and a column list would not fire. Bill numbers are
    // kept exactly, so that a change of case reaches the register.
    std::string pattern = R"sql(
CREATE INDEX ix_@T_Preparer ON @T (@K@P, @I);
CREATE TRIGGER tr_@T_Register AFTER INSERT ON @T BEGIN
@A
END;
CREATE TRIGGER tr_@T_Reregister AFTER UPDATE ON @T BEGIN
@M  DELETE FROM t_ZetBillRegister WHERE FSource = @S AND FInterID = OLD.@I;
  REPLACE INTO t_ZetBillRegister VALUES (@S, NEW.@I, NEW.@N, @V);
@B
END;
CREATE TRIGGER tr_@T_Unregister AFTER DELETE ON @T BEGIN
  DELETE FROM t_ZetBillRegister WHERE FSource = @S AND FInterID = OLD.@I;
@C
END;
)sql";
    // An open bill is listed again from its row whenever the row changes (a
    // REPLACE conflict may have displaced a listed bill of the same id
    // without its delete trigger); one that goes is unlisted.
    std::string insert = "  REPLACE INTO t_ZetBillRegister VALUES (@S, NEW.@I, NEW.@N, @V);", open_update, open_delete;
    if (const OpenBillKind* k = OpenKindOf(t.table)) {
      const std::string listed = "t_ZetOpenBill WHERE FTranType = " + std::string(k->type) + " AND FInterID";
      open_update = "  DELETE FROM " + listed + " IN (OLD.@I, NEW.@I);\n  INSERT INTO t_ZetOpenBill SELECT * FROM " +
                    "vw_ZetOpenBill WHERE FTranType = " + std::string(k->type) + " AND FInterID IN (OLD.@I, NEW.@I);";
      open_delete = "  DELETE FROM " + listed + " = OLD.@I;";
    }
    const std::string money = KeepMoney(t.table);
    if (!money.empty() || !open_update.empty()) insert = "  UPDATE @T SET @I = NEW.@I WHERE rowid = NEW.rowid;";
    pattern = Replace(pattern, "@M", money);
    pattern = Replace(pattern, "@A", insert);
    pattern = Replace(pattern, "@B", open_update);
    pattern = Replace(pattern, "@C", open_delete);
    pattern = Replace(pattern, "\n\nEND;", "\nEND;");
    pattern = Replace(pattern, "@K", kind_column ? "FTranType, " : "");
    pattern = Replace(pattern, "@V", kind_column ? "NEW.FTranType" : t.kind);
    pattern = Replace(pattern, "@T", t.table);
    pattern = Replace(pattern, "@I", t.id);
    pattern = Replace(pattern, "@N", t.number);
    pattern = Replace(pattern, "@P", t.preparer);
    pattern = Replace(pattern, "@S", std::to_string(source));
    script += pattern;
  }
  // The money columns of tables that have no other trigger.
  for (const MoneyColumn& m : kMoneyColumns) {
    const std::string table(m.table), column(m.column);
    if (table == "t_RP_Settlement" || std::any_of(std::begin(kBillTables), std::end(kBillTables),
                                                  [&](const BillTable& t) { return t.table == table; }))
      continue;
    script += "CREATE TRIGGER tr_" + table + "_" + column + "_Money AFTER INSERT ON " + table + " BEGIN\n  UPDATE " +
              table + " SET " + column + " = " + column + " WHERE rowid = NEW.rowid AND typeof(" + column +
              ") = 'real';\nEND;\n";
    script += "CREATE TRIGGER tr_" + table + "_" + column + "_MoneyChange AFTER UPDATE OF " + column + " ON " + table +
              " BEGIN\n" + KeepMoney(table) + "END;\n";
  }
  // A user who sees few of the customers, suppliers or accounts, or none, is
  // answered by walking the distinct ones a bill table holds, one seek each,
  // and for each visible one the bills that hold it (of the type), another
  // seek.
  script += "\n";
  for (const ItemColumn& c : ItemColumns()) {
    script += "CREATE INDEX " + std::string(c.index) + " ON " + std::string(c.table) + " (" + std::string(c.item) +
              (c.typed ? ", FTranType);\n" : ");\n");
  }
  // The due lists compare these dates with today: an index on the day each
  // stands for makes that a range (the adapter writes the comparison in
  // this form). A stored 'now' would not be a day, and is refused. Each
  // index also carries the columns its count tests (the date itself among
  // them, which the day is computed from), so that counting a due bill
  // reads the index alone; a rights filter on other columns still works,
  // through the table.
  script += R"sql(
CREATE INDEX ix_ICPurchase_PayDay ON ICPurchase
  (julianday(date(FPayDate)), FStatus, FPOStyle, FROB, FPurchaseAmountFor, FHookInterID, FPayDate);
CREATE INDEX ix_ICSale_PayDay ON ICSale
  (julianday(date(FPayDate)), FStatus, FSaleStyle, FROB, FInvoiceAmountFor, FHookInterID, FPayDate);
CREATE INDEX ix_RP_ROtherBill_LimitDay ON t_RP_ROtherBill
  (julianday(date(FLimitDate)), FStatus, FBillTypeID, FAmountFor, FLimitDate);
CREATE INDEX ix_RP_POtherBill_LimitDay ON t_RP_POtherBill
  (julianday(date(FLimitDate)), FStatus, FBillTypeID, FAmountFor, FLimitDate);
-- An order line is due only while it is not fully delivered: the index
-- holds those lines alone, so that counting them does not read the years of
-- delivered lines before them. The count's own "FQty>FStockQty" is what
-- lets SQLite use it.
CREATE INDEX ix_POOrderEntry_Day ON POOrderEntry (julianday(date(FDate)), FInterID, FDate, FQty, FStockQty)
  WHERE FQty>FStockQty;
CREATE INDEX ix_SEOrderEntry_Day ON SEOrderEntry (julianday(date(FDate)), FInterID, FDate, FQty, FStockQty)
  WHERE FQty>FStockQty;
-- Vouchers waiting for a check or a cashier: few among many, read whole.
CREATE INDEX ix_Voucher_Checker ON t_Voucher
  (FCheckerID, FPosted, FNumber, FDate, FPreparerID, FCashierID);
CREATE INDEX ix_Voucher_Cashier ON t_Voucher
  (FCashierID, FPosted, FNumber, FDate, FPreparerID, FCheckerID);
)sql";
  // The settled sums: a bill's row is summed again from its own settlement
  // rows whenever one of them comes, changes or goes. A REPLACE conflict
  // removes the displaced row without its delete trigger (unless the writer
  // turned recursive triggers on), so the bill that row belonged to is found
  // through t_ZetSettlementBill, which remembers the bill of every
  // settlement id: the displaced row always had the id of the row written.
  const auto resum = [](const std::string& id, const std::string& type) {
    return "  DELETE FROM t_ZetBillRPMoney WHERE FInterID = " + id + " AND FTranType = " + type +
           ";\n"
           "  INSERT INTO t_ZetBillRPMoney (FInterID, FTranType, FRPAmountFor)\n"
           "  SELECT FInterID, FTranType, " +
           std::string(kSettledSum) + " FROM t_RP_Settlement\n  WHERE FInterID = " + id + " AND FTranType = " + type +
           " GROUP BY FInterID, FTranType;\n";
  };
  const auto row = [&](const std::string& name) { return resum(name + ".FInterID", name + ".FTranType"); };
  const std::string displaced = resum("(SELECT FInterID FROM t_ZetSettlementBill WHERE FID = NEW.FID)",
                                      "(SELECT FTranType FROM t_ZetSettlementBill WHERE FID = NEW.FID)");
  const std::string remember =
      "  INSERT OR REPLACE INTO t_ZetSettlementBill (FID, FInterID, FTranType) VALUES (NEW.FID, NEW.FInterID, "
      "NEW.FTranType);\n";
  const std::string forget = "  DELETE FROM t_ZetSettlementBill WHERE FID = OLD.FID;\n";
  script +=
      "CREATE TRIGGER tr_Settlement_Add AFTER INSERT ON t_RP_Settlement BEGIN\n"
      "  UPDATE t_RP_Settlement SET FID = NEW.FID WHERE rowid = NEW.rowid;\nEND;\n";
  script += "CREATE TRIGGER tr_Settlement_Change AFTER UPDATE ON t_RP_Settlement BEGIN\n" +
            KeepMoney("t_RP_Settlement") + displaced + forget + remember + row("OLD") + row("NEW") + "END;\n";
  script +=
      "CREATE TRIGGER tr_Settlement_Drop AFTER DELETE ON t_RP_Settlement BEGIN\n" + forget + row("OLD") + "END;\n";
  // A bill's openness is worked out again whenever its settled sum comes
  // or goes (the settled sums change only by delete and insert).
  const auto reopen = [](const std::string& bill) {
    const std::string which = " WHERE FTranType = " + bill + ".FTranType AND FInterID = " + bill + ".FInterID;\n";
    return "  DELETE FROM t_ZetOpenBill" + which + "  INSERT INTO t_ZetOpenBill SELECT * FROM vw_ZetOpenBill" + which;
  };
  script += "CREATE TRIGGER tr_ZetBillRPMoney_Open AFTER INSERT ON t_ZetBillRPMoney BEGIN\n" + reopen("NEW") + "END;\n";
  script +=
      "CREATE TRIGGER tr_ZetBillRPMoney_Close AFTER DELETE ON t_ZetBillRPMoney BEGIN\n" + reopen("OLD") + "END;\n";
  return script;
}

}  // namespace

std::span<const BillTable> BillTables() {
  return kBillTables;
}

std::span<const OpenBillKind> OpenBillKinds() {
  return kOpenBillKinds;
}

std::string OpenBills(const OpenBillKind& kind, std::string_view which) {
  const std::string type(kind.type), id(kind.id);
  return "SELECT " + type + " AS FTranType, b." + id + " AS FInterID FROM " + std::string(kind.table) +
         " b LEFT JOIN t_ZetBillRPMoney m ON m.FInterID = b." + id + " AND m.FTranType = " + type + " WHERE (" +
         std::string(which) + ") AND " + std::string(kind.open);
}

std::span<const MoneyColumn> MoneyColumns() {
  return kMoneyColumns;
}

uint32_t ScriptMark(std::string_view script) {
  uint32_t hash = 2166136261u;
  for (const char c : script) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  return hash;
}

std::string_view SchemaScript() {
  static const std::string script = BuildScript();
  return script;
}

const std::vector<SchemaObject>& SchemaObjects() {
  static const std::vector<SchemaObject> objects = [] {
    sqlite3* raw = nullptr;
    sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE, nullptr);
    const std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(raw, sqlite3_close);
    const std::string script(SchemaScript());
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_exec(raw, script.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(raw,
                           "SELECT type, name, tbl_name, sql FROM sqlite_master WHERE sql IS NOT NULL ORDER BY rowid",
                           -1, &statement, nullptr) != SQLITE_OK)
      throw std::logic_error(std::string("the schema does not build: ") + sqlite3_errmsg(raw));
    std::vector<SchemaObject> found;
    while (sqlite3_step(statement) == SQLITE_ROW) {
      SchemaObject& object = found.emplace_back();
      for (auto [column, field] : {std::pair{0, &object.type}, {1, &object.name}, {2, &object.table}, {3, &object.sql}})
        *field = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    }
    sqlite3_finalize(statement);
    return found;
  }();
  return objects;
}

}  // namespace zet::embedded
