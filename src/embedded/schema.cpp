#include "embedded/schema.hpp"

namespace zet::embedded {

// Conventions of the tables below:
// - ids are INTEGER, amounts and quantities REAL, texts and dates TEXT
//   COLLATE NOCASE (dates as 'YYYY-MM-DD', which the date functions read);
// - every column has a default, so a row needs only the columns that matter;
// - the id columns that NOT IN sub-selects read are NOT NULL: one NULL there
//   would make every NOT IN unknown and hide every bill;
// - entry and base-data tables have no FTranType and ICBomChild has no
//   FCheckID, because the statements name those columns without an alias.
std::string_view SchemaScript() {
  return R"sql(
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
-- First/last/previous/next of one type: a seek on (type, id).
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

CREATE VIEW vw_BillRPMoney AS
  SELECT FInterID, FTranType, SUM(FAmountFor) AS FRPAmountFor
  FROM t_RP_Settlement
  GROUP BY FInterID, FTranType;

-- Invoices hooked together; FEquityHook=1 groups are settled against each
-- other and fall out of the due lists.
CREATE TABLE ICHookRelations (
  FID INTEGER PRIMARY KEY,
  FGroupNo INTEGER NOT NULL DEFAULT 0,
  FInterID INTEGER DEFAULT 0,
  FTranType INTEGER DEFAULT 0,
  FEquityHook INTEGER DEFAULT 0
);

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

-- Every bill of every kind the catalogue knows, with its kind's name. Tables
-- that hold one kind give it the catalogue's code.
CREATE VIEW vw_BillList AS
  SELECT b.FInterID AS FInterID, b.FBillNo AS FBillNo, b.FTranType AS FTranType,
         COALESCE(k.FName, 'Type ' || b.FTranType) AS FName
  FROM (
    SELECT FInterID, FBillNo, FTranType FROM ICStockBill
    UNION ALL SELECT FInterID, FBillNo, 50 FROM ICBom
    UNION ALL SELECT FInterID, FBillNo, 51 FROM t_RP_CheckInfo
    UNION ALL SELECT FInterID, FBillNo, 71 FROM POOrder
    UNION ALL SELECT FInterID, FBillNo, FTranType FROM ICPurchase
    UNION ALL SELECT FInterID, FBillNo, FTranType FROM ICSale
    UNION ALL SELECT FInterID, FBillNo, 81 FROM SEOrder
    UNION ALL SELECT FInterID, FBillNo, 84 FROM PORFQ
    UNION ALL SELECT FInterID, FBillNo, 85 FROM ICMO
    UNION ALL SELECT FInterID, FBillNo, 87 FROM ICApportionFee
    UNION ALL SELECT FVoucherID, FNumber, 1125 FROM t_Voucher
    UNION ALL SELECT FBillID, FBillNo, 1000201 FROM t_RP_RBill
    UNION ALL SELECT FBillID, FBillNo, 1000202 FROM t_RP_PBill
    UNION ALL SELECT FBillID, FBillNo, 1000205 FROM t_RP_ROtherBill
    UNION ALL SELECT FBillID, FBillNo, 1000206 FROM t_RP_POtherBill
    UNION ALL SELECT FID, FBillNo, 1007000 FROM ICChange
  ) b
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
}

}  // namespace zet::embedded
