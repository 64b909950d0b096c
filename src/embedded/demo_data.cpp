#include "embedded/demo_data.hpp"

#include <cctype>
#include <stdexcept>
#include <string_view>

#include "embedded/database.hpp"

namespace zet::embedded {

namespace {

// The demo script, in SQLite's dialect. {n} stands for the day n days after
// the creation day.
constexpr std::string_view kDemoScript = R"sql(
INSERT INTO t_User (FUserID, FName, FUserGroupRight, FDataRight) VALUES
  (16394, 'admin', 0, 0), (16395, 'auditor', 2, 15),
  (16, 'lily', 2, 0), (17, 'tom', 1, 0), (25, 'mary', 0, 1), (26, 'peter', 0, 2),
  (27, 'susan', 0, 4), (28, 'ken', 0, 8), (29, 'joe', 1, 3), (30, 'ann', 2, 15), (31, 'bob', 0, 12);

INSERT INTO t_Group (FUserID, FGroupID) VALUES
  (16394, 1), (16395, 1),
  (16, 2), (17, 2), (25, 2),
  (26, 3), (28, 3), (29, 3), (30, 3),
  (27, 4), (31, 4);

INSERT INTO t_SystemProfile (FCategory, FKey, FValue) VALUES
  ('IC', 'PurchaseAlarmDateCount', '7'), ('IC', 'APAlarmDateCount', '5'),
  ('IC', 'SaleAlarmDateCount', '7'), ('IC', 'ARAlarmDateCount', '5'),
  ('GL', 'CashBeforePost', '1');

-- To-do positions: a row on the first object, bit 131072 on the second.
INSERT INTO t_AccessControl (FUserID, FObjectType, FObjectID, FAccessMask) VALUES
  (2, 1088, 21, 1), (2, 1090, 1, 131072),                   -- sales group: position 4
  (2, 1088, 23, 1), (2, 1010, 1000201, 131073),             -- position 5
  (2, 1010, 1000205, 1),                                    -- position 6
  (3, 1088, 2, 1), (3, 1089, 1, 131072),                    -- purchasing group: position 2
  (3, 1088, 4, 1), (3, 1010, 1000202, 131073),              -- position 3
  (3, 1010, 1000206, 1),                                    -- position 7
  -- vouchers (object 4/0): 1 check, 32 cashier, 8 all preparers, 16 group's
  (28, 4, 0, 33), (28, 0, 0, 131072),
  (30, 4, 0, 41), (30, 0, 0, 131072),
  (31, 4, 0, 17), (31, 0, 0, 131072);

INSERT INTO t_Organization (FItemID, FNumber, FName, FRightUserID) VALUES
  (1, 'C001', 'Northwind Traders', '25,29,30'), (2, 'C002', 'Contoso Retail', '25,30'),
  (3, 'C003', 'Fabrikam Stores', '29'), (4, 'C004', 'Adatum Wholesale', '');
INSERT INTO t_supplier (FItemID, FNumber, FName, FRightUserID) VALUES
  (1, 'S001', 'Litware Components', '26,29,30'), (2, 'S002', 'Proseware Metals', '26'),
  (3, 'S003', 'Tailspin Plastics', '29,30');
INSERT INTO t_Stock (FItemID, FNumber, FName, FRightUserID) VALUES
  (1, 'W01', 'Main warehouse', '27,30,31'), (2, 'W02', 'Spare parts store', '27,31'),
  (3, 'W03', 'Bonded store', '30');
INSERT INTO t_Account (FAccountID, FNumber, FName, FRightUserID) VALUES
  (1001, '1001', 'Cash', '28,30,31'), (1002, '1002', 'Bank', '28,31'),
  (1122, '1122', 'Receivables', '28,30,31'), (2202, '2202', 'Payables', '30');

-- Stock bills: several kinds in one table.
INSERT INTO ICStockBill (FInterID, FTranType, FBillNo, FDate, FBillerID, FCustID, FSupplyID) VALUES
  (1001, 1, 'STK-1001', {-20}, 16, 0, 1), (1002, 1, 'STK-1002', {-18}, 17, 0, 2),
  (1003, 1, 'STK-1003', {-15}, 25, 0, 3), (1004, 1, 'STK-1004', {-12}, 16394, 0, 1),
  (1005, 1, 'STK-1005', {-10}, 26, 0, 0), (1006, 2, 'STK-1006', {-9}, 16, 0, 1),
  (1010, 21, 'STK-1010', {-8}, 16, 1, 0), (1011, 21, 'STK-1011', {-7}, 17, 2, 0),
  (1012, 21, 'STK-1012', {-6}, 25, 3, 0), (1013, 21, 'STK-1013', {-5}, 29, 4, 0),
  (1020, 5, 'STK-1020', {-4}, 16394, 0, 0), (1021, 10, 'STK-1021', {-4}, 16394, 0, 0),
  (1022, 24, 'STK-1022', {-4}, 16394, 0, 0), (1023, 28, 'STK-1023', {-4}, 16394, 0, 0),
  (1024, 29, 'STK-1024', {-4}, 16394, 0, 0), (1025, 40, 'STK-1025', {-3}, 16394, 0, 0),
  (1026, 41, 'STK-1026', {-3}, 16394, 0, 0), (1027, 43, 'STK-1027', {-3}, 16394, 0, 0),
  (1028, 100, 'STK-1028', {-2}, 16394, 0, 0), (1029, 101, 'STK-1029', {-2}, 16394, 0, 0),
  (1030, 102, 'STK-1030', {-1}, 16394, 0, 0);
INSERT INTO ICStockBillEntry (FInterID, FEntryID, FQty, FDCStockID, FSCStockID) VALUES
  (1001, 1, 10, 1, 0), (1002, 1, 5, 2, 0), (1003, 1, 8, 3, 0), (1004, 1, 2, 1, 0),
  (1005, 1, 4, 1, 0), (1005, 2, 6, 0, 3), (1006, 1, 1, 2, 1),
  (1010, 1, 3, 0, 1), (1011, 1, 7, 0, 2), (1012, 1, 9, 0, 1), (1013, 1, 2, 0, 3);

INSERT INTO ICBom (FInterID, FBillNo, FBillerID, FCheckID) VALUES
  (5001, 'BOM-5001', 16394, 16), (5002, 'BOM-5002', 16394, 17), (5003, 'BOM-5003', 16394, 27);
INSERT INTO ICBomChild (FInterID, FEntryID, FQty, FStockID) VALUES
  (5001, 1, 2, 1), (5002, 1, 1, 3), (5003, 1, 4, 2);

INSERT INTO t_RP_CheckInfo (FInterID, FBillNo, FDate, FPreparer, FCustomerID, FVendorID, FOutCustID, FInVendorID) VALUES
  (5101, 'REC-5101', {-30}, 25, 1, 1, 0, 0), (5102, 'REC-5102', {-25}, 29, 3, 0, 4, 0),
  (5103, 'REC-5103', {-20}, 16, 0, 0, 0, 3);

-- Purchase orders: due entries within 7 days, a far one, a cancelled one, a
-- fully received one, and one with two due entries that counts once.
INSERT INTO POOrder (FInterID, FBillNo, FDate, FBillerID, FSupplyID, FStatus, FCancellation) VALUES
  (7101, 'PO-7101', {-10}, 26, 1, 1, 0), (7102, 'PO-7102', {-9}, 29, 3, 2, 0),
  (7103, 'PO-7103', {-8}, 26, 2, 1, 0), (7104, 'PO-7104', {-7}, 16394, 1, 1, 1),
  (7105, 'PO-7105', {-6}, 26, 2, 1, 0), (7106, 'PO-7106', {-5}, 28, 1, 1, 0);
INSERT INTO POOrderEntry (FInterID, FEntryID, FDate, FQty, FStockQty) VALUES
  (7101, 1, {3}, 10, 4), (7102, 1, {-2}, 5, 0), (7103, 1, {30}, 10, 0), (7104, 1, {1}, 10, 0),
  (7105, 1, {2}, 6, 0), (7105, 2, {4}, 6, 1), (7106, 1, {1}, 8, 8);

-- Purchase invoices: open and due, settled in part or not at all (a row of 0
-- says "looked at, nothing paid"), fully settled, hooked, and due later.
INSERT INTO ICPurchase (FInterID, FTranType, FBillNo, FDate, FBillerID, FSupplyID, FPayDate, FStatus,
                        FPurchaseAmountFor, FHookInterID) VALUES
  (7501, 75, 'PI-7501', {-10}, 26, 1, {2}, 1, 1000, 0), (7502, 75, 'PI-7502', {-20}, 29, 3, {-5}, 1, 500, 0),
  (7503, 75, 'PI-7503', {-8}, 26, 2, {1}, 1, 300, 0), (7504, 76, 'PI-7504', {-7}, 26, 1, {3}, 1, 200, 0),
  (7505, 75, 'PI-7505', {-6}, 28, 2, {3}, 1, 800, 9), (7506, 75, 'PI-7506', {-5}, 26, 2, {60}, 1, 400, 0);

INSERT INTO ICSale (FInterID, FTranType, FBillNo, FDate, FBillerID, FCustID, FPayDate, FStatus, FSaleStyle,
                    FInvoiceAmountFor) VALUES
  (8001, 80, 'SI-8001', {-10}, 16, 1, {1}, 1, 0, 1200), (8002, 80, 'SI-8002', {-15}, 17, 2, {-3}, 1, 0, 400),
  (8003, 80, 'SI-8003', {-9}, 25, 3, {2}, 1, 0, 900), (8004, 86, 'SI-8004', {-8}, 16, 1, {2}, 1, 0, 100),
  (8005, 80, 'SI-8005', {-7}, 16394, 4, {40}, 1, 0, 700), (8006, 80, 'SI-8006', {-6}, 25, 1, {1}, 1, 100, 500),
  (8007, 80, 'SI-8007', {-5}, 17, 2, {1}, 1, 0, 250);

INSERT INTO t_RP_Settlement (FInterID, FTranType, FDate, FAmountFor) VALUES
  (7501, 75, {-2}, 200), (7502, 75, {-10}, 0), (7503, 75, {-1}, 300), (7505, 75, {-1}, 0),
  (7506, 75, {-1}, 0),
  (8001, 80, {-5}, 0), (8002, 80, {-4}, 100), (8003, 80, {-3}, 0), (8005, 80, {-2}, 0),
  (8006, 80, {-2}, 0), (8007, 80, {-1}, 250),
  (20502, 1000205, {-1}, 100), (20503, 1000205, {-1}, 200);

INSERT INTO ICHookRelations (FGroupNo, FInterID, FTranType, FEquityHook) VALUES
  (9, 7505, 75, 1);

INSERT INTO SEOrder (FInterID, FBillNo, FDate, FBillerID, FCustID, FStatus, FCancellation) VALUES
  (8101, 'SO-8101', {-6}, 16, 1, 1, 0), (8102, 'SO-8102', {-5}, 17, 2, 2, 0),
  (8103, 'SO-8103', {-4}, 25, 3, 1, 0), (8104, 'SO-8104', {-3}, 16, 1, 0, 0),
  (8105, 'SO-8105', {-2}, 25, 1, 1, 0);
INSERT INTO SEOrderEntry (FInterID, FEntryID, FDate, FQty, FStockQty) VALUES
  (8101, 1, {2}, 5, 0), (8102, 1, {0}, 3, 1), (8103, 1, {1}, 4, 0), (8104, 1, {1}, 2, 0),
  (8105, 1, {30}, 6, 0);

INSERT INTO PORFQ (FInterID, FBillNo, FDate, FBillerID, FCustID) VALUES
  (8401, 'RFQ-8401', {-3}, 26, 1), (8402, 'RFQ-8402', {-2}, 29, 3);

INSERT INTO ICMO (FInterID, FBillNo, FDate, FBillerID) VALUES
  (8501, 'MO-8501', {-4}, 27), (8502, 'MO-8502', {-3}, 31);
INSERT INTO ICMOEntry (FInterID, FEntryID, FQty, FStockID) VALUES (8501, 1, 10, 1), (8502, 1, 5, 3);

INSERT INTO ICApportionFee (FInterID, FBillNo, FDate, FBillerID, FAmount) VALUES
  (8701, 'AF-8701', {-3}, 16394, 120), (8702, 'AF-8702', {-2}, 27, 80);

-- Vouchers: unchecked (-1) or checked, cashier signature missing (-1) or
-- given, one posted.
INSERT INTO t_Voucher (FVoucherID, FNumber, FDate, FPreparerID, FCheckerID, FCashierID, FPosted) VALUES
  (201, 'V-201', {-5}, 28, -1, -1, 0), (202, 'V-202', {-4}, 31, -1, -1, 0),
  (203, 'V-203', {-3}, 30, -1, 16394, 0), (204, 'V-204', {-3}, 16394, 16395, -1, 0),
  (205, 'V-205', {-2}, 28, -1, -1, 1), (206, 'V-206', {-1}, 16, -1, -1, 0);
INSERT INTO t_VoucherEntry (FVoucherID, FEntryID, FAccountID, FAmount) VALUES
  (201, 1, 1001, 100), (201, 2, 1122, -100), (202, 1, 1002, 50), (202, 2, 1001, -50),
  (203, 1, 2202, 70), (203, 2, 1001, -70), (204, 1, 1001, 30), (204, 2, 1122, -30),
  (205, 1, 1001, 10), (205, 2, 1002, -10), (206, 1, 1001, 20), (206, 2, 1122, -20);

INSERT INTO t_RP_RBill (FBillID, FBillNo, FDate, FPreparer, FCustomerID, FAcctID, FAmountFor) VALUES
  (20101, 'RB-20101', {-6}, 25, 1, 1122, 300), (20102, 'RB-20102', {-5}, 28, 2, 1001, 150),
  (20103, 'RB-20103', {-4}, 16, 3, 1002, 90);
INSERT INTO t_RP_PBill (FBillID, FBillNo, FDate, FPreparer, FSupplyID, FAcctID, FAmountFor) VALUES
  (20201, 'PB-20201', {-6}, 26, 1, 2202, 400), (20202, 'PB-20202', {-5}, 28, 2, 1002, 60);

INSERT INTO t_RP_ROtherBill (FBillID, FBillNo, FDate, FPreparer, FCustomerID, FAcctID, FLimitDate, FStatus,
                             FBillTypeID, FAmountFor) VALUES
  (20501, 'ROB-20501', {-8}, 25, 1, 1122, {3}, 1, 1006, 500),
  (20502, 'ROB-20502', {-7}, 28, 2, 1001, {-1}, 1, 1006, 300),
  (20503, 'ROB-20503', {-6}, 25, 3, 1122, {2}, 1, 1006, 200),
  (20504, 'ROB-20504', {-5}, 16, 1, 1122, {50}, 1, 1006, 100);
INSERT INTO t_RP_ROtherBillEntry (FBillID, FEntryID, FAmountFor) VALUES
  (20501, 1, 500), (20502, 1, 300), (20503, 1, 200), (20504, 1, 100);

INSERT INTO t_RP_POtherBill (FBillID, FBillNo, FDate, FPreparer, FSupplyID, FAcctID, FLimitDate, FStatus,
                             FBillTypeID, FAmountFor) VALUES
  (20601, 'POB-20601', {-8}, 26, 1, 2202, {1}, 1, 1008, 700),
  (20602, 'POB-20602', {-7}, 28, 2, 1002, {0}, 1, 1008, 150),
  (20603, 'POB-20603', {-6}, 26, 3, 2202, {5}, 0, 1008, 80);
INSERT INTO t_RP_POtherBillEntry (FBillID, FEntryID, FAmountFor) VALUES
  (20601, 1, 700), (20602, 1, 150), (20603, 1, 80);

INSERT INTO ICChange (FID, FBillNo, FDate, FBillerID) VALUES
  (70001, 'CHG-70001', {-2}, 27), (70002, 'CHG-70002', {-1}, 31);
INSERT INTO ICChangeEntry (FID, FEntryID, FDCStockID) VALUES (70001, 1, 1), (70002, 1, 3);

-- The administrator's recent stock, purchase and sales bills.
INSERT INTO ICClassRecentBills (FUserID, FBillID, FClassTypeID, FNo, FBigType) VALUES
  (16394, 8001, 80, 1, 2), (16394, 7101, 71, 2, 2), (16394, 1004, 1, 3, 2);
)sql";

bool IsDay(const std::string& day) {
  if (day.size() != 10 || day[4] != '-' || day[7] != '-') return false;
  for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
    if (!std::isdigit(static_cast<unsigned char>(day[i]))) return false;
  }
  return true;
}

// The script with every {n} replaced by SQLite's date of that day.
std::string WithDates(std::string_view script, const std::string& today) {
  std::string out;
  size_t i = 0;
  while (i < script.size()) {
    const size_t at = script.find('{', i);
    if (at == std::string_view::npos) break;
    const size_t close = script.find('}', at);
    out.append(script.substr(i, at - i));
    const std::string offset(script.substr(at + 1, close - at - 1));
    out += "date('" + today + "','" + (offset.starts_with('-') ? offset : "+" + offset) + " days')";
    i = close + 1;
  }
  out.append(script.substr(i));
  return out;
}

}  // namespace

void FillDemoData(Database& db, const std::string& today) {
  if (!IsDay(today)) throw std::runtime_error("the demo day is not a YYYY-MM-DD date: " + today);
  db.Execute(WithDates(kDemoScript, today));
}

}  // namespace zet::embedded
