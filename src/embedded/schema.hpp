#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zet::embedded {

// The version recorded in t_ZetSchemaInfo; Open refuses any other, and
// `verify --repair` brings an older file to it.
inline constexpr int32_t kSchemaVersion = 4;

// Every table and view the component's statements name, in SQLite's dialect.
// Each column has a default, so a row can be inserted with the columns that
// matter to a test or a demonstration; text compares case-insensitively, as
// on the suite's server. Triggers and indexes use built-in SQL only, so that
// any SQLite client may write the file.
std::string_view SchemaScript();

// A mark of a schema script (FNV-1a over its text): what a file keeps of the
// script that last found its schema right, not a defence against a writer
// who means to deceive.
uint32_t ScriptMark(std::string_view script);

// One object of the schema as SQLite records it in sqlite_master.
struct SchemaObject {
  std::string type, name, table, sql;
};
// Every table, view, index and trigger SchemaScript makes, read from a
// database in memory that ran it, in the order they were made.
const std::vector<SchemaObject>& SchemaObjects();

// A customer, supplier or account column of a bill table, and the base
// table and key it names. The schema indexes each (index, on the item and,
// in a table of several types, the type); the adapter walks these indexes
// for a user who sees few of the items, one seek per distinct item.
struct ItemColumn {
  std::string_view table, key, item, base, base_key, index;
  bool typed;  // the table holds bills of several types
};
// A table of its own in this header: the Windows tool's adapter reads it
// without the schema.
// clang-format off
inline constexpr ItemColumn kItemColumns[] = {
    {"ICStockBill",     "FInterID", "FCustID",     "t_Organization", "FItemID",    "ix_ICStockBill_Cust",     true},
    {"ICStockBill",     "FInterID", "FSupplyID",   "t_supplier",     "FItemID",    "ix_ICStockBill_Supply",   true},
    {"ICPurchase",      "FInterID", "FSupplyID",   "t_supplier",     "FItemID",    "ix_ICPurchase_Supply",    true},
    {"ICSale",          "FInterID", "FCustID",     "t_Organization", "FItemID",    "ix_ICSale_Cust",          true},
    {"t_RP_CheckInfo",  "FInterID", "FCustomerID", "t_Organization", "FItemID",    "ix_RP_CheckInfo_Cust",    false},
    {"t_RP_CheckInfo",  "FInterID", "FVendorID",   "t_supplier",     "FItemID",    "ix_RP_CheckInfo_Vendor",  false},
    {"POOrder",         "FInterID", "FSupplyID",   "t_supplier",     "FItemID",    "ix_POOrder_Supply",       false},
    {"SEOrder",         "FInterID", "FCustID",     "t_Organization", "FItemID",    "ix_SEOrder_Cust",         false},
    {"PORFQ",           "FInterID", "FCustID",     "t_Organization", "FItemID",    "ix_PORFQ_Cust",           false},
    {"t_RP_RBill",      "FBillID",  "FCustomerID", "t_Organization", "FItemID",    "ix_RP_RBill_Cust",        false},
    {"t_RP_RBill",      "FBillID",  "FAcctID",     "t_Account",      "FAccountID", "ix_RP_RBill_Acct",        false},
    {"t_RP_PBill",      "FBillID",  "FSupplyID",   "t_supplier",     "FItemID",    "ix_RP_PBill_Supply",      false},
    {"t_RP_PBill",      "FBillID",  "FAcctID",     "t_Account",      "FAccountID", "ix_RP_PBill_Acct",        false},
    {"t_RP_ROtherBill", "FBillID",  "FCustomerID", "t_Organization", "FItemID",    "ix_RP_ROtherBill_Cust",   false},
    {"t_RP_ROtherBill", "FBillID",  "FAcctID",     "t_Account",      "FAccountID", "ix_RP_ROtherBill_Acct",   false},
    {"t_RP_POtherBill", "FBillID",  "FSupplyID",   "t_supplier",     "FItemID",    "ix_RP_POtherBill_Supply", false},
    {"t_RP_POtherBill", "FBillID",  "FAcctID",     "t_Account",      "FAccountID", "ix_RP_POtherBill_Acct",   false},
};
// clang-format on
inline std::span<const ItemColumn> ItemColumns() {
  return kItemColumns;
}

// A table of bills, registered in t_ZetBillRegister under its place in
// BillTables() counted from 1 (FSource). `kind` is the column that holds the
// transaction type, or the one code every bill of the table has.
struct BillTable {
  std::string_view table, id, number, kind;
  std::string_view preparer;
};
std::span<const BillTable> BillTables();

// The columns that hold money, kept to four decimals.
struct MoneyColumn {
  std::string_view table, column;
};
std::span<const MoneyColumn> MoneyColumns();

// A kind of bill that a due list counts while it is open, and what makes
// one open, as SQL over the bill `b` and its settled-sum row `m` (NULL when
// nothing is settled): the due list's own test, so that a bill it counts is
// always in t_ZetOpenBill.
struct OpenBillKind {
  std::string_view table, id, type, open;
};
std::span<const OpenBillKind> OpenBillKinds();
// The open bills of a kind as (FTranType, FInterID), of those that `which`
// (SQL over `b`) picks.
std::string OpenBills(const OpenBillKind& kind, std::string_view which);

// An amount's magnitude must stay below 2^39: up to there a double holds
// every amount of four decimals as a number of its own.
inline constexpr std::string_view kMoneyLimit = "549755813888";

// What a bill's settlement rows add up to, exact to four decimals: each
// amount counted in whole ten-thousandths.
inline constexpr std::string_view kSettledSum = "SUM(CAST(round(FAmountFor * 10000) AS INTEGER)) / 10000.0";

}  // namespace zet::embedded
