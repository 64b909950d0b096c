#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace zet::embedded {

class Database;

// The users of the demo database. Groups: 1 administrators (16394, 16395),
// 2 sales (16, 17, 25), 3 purchasing (26, 28, 29, 30), 4 warehouse (27, 31).
//
// Base data and who may see it (FRightUserID):
//   customers  1 Northwind "25,29,30"   2 Contoso "25,30"   3 Fabrikam "29"   4 Adatum ""
//   suppliers  1 Litware "26,29,30"     2 Proseware "26"    3 Tailspin "29,30"
//   stocks     1 Main "27,30,31"        2 Spare parts "27,31"                 3 Bonded "30"
//   accounts   1001 Cash "28,30,31"     1002 Bank "28,31"   1122 Receivables "28,30,31"
//              2202 Payables "30"
//
// Bills (internal ids by kind): stock bills 1001-1005 (type 1), 1006 (type 2),
// 1010-1013 (type 21), one each of the other stock types from 1020; bills of
// materials 5001-5003; reconciliations 5101-5103; purchase orders 7101-7106;
// purchase invoices 7501-7506 (7504 is type 76); sales invoices 8001-8007
// (8004 is type 86); sales orders 8101-8105; quotations 8401-8402; production
// orders 8501-8502; apportionments 8701-8702; vouchers 201-206; receipts
// 20101-20103; payments 20201-20202; other receivables 20501-20504; other
// payables 20601-20603; change orders 70001-70002.
//
// Dates are counted from the day the database is made, with the alarm days
// set to 7 (purchase, sales) and 5 (payables, receivables), so that every
// to-do position has bills due for the administrator, and the restricted
// users see fewer of them. Positions granted through t_AccessControl: group
// 2 holds 4, 5 and 6; group 3 holds 2, 3 and 7; users 28, 30 and 31 hold the
// voucher positions 8 and 9 (31 may only check, not sign as cashier).
struct DemoUser {
  int32_t id;
  const char* name;
  const char* scope;
};

inline constexpr std::array<DemoUser, 11> kDemoUsers = {{
    {16394, "admin", "administrator (group 1): sees everything"},
    {16395, "auditor", "administrator (group 1) although t_User says own bills and all data rights"},
    {16, "lily", "own bills only (group right 2), no data rights; sales group"},
    {17, "tom", "bills of the sales group (group right 1), no data rights"},
    {25, "mary", "all preparers, customers 1 and 2 only (data right 1); sales group"},
    {26, "peter", "all preparers, suppliers 1 and 2 only (data right 2); purchasing group"},
    {27, "susan", "all preparers, stocks 1 and 2 only (data right 4); warehouse group"},
    {28, "ken", "all preparers, accounts 1001, 1002, 1122 only (data right 8); own vouchers"},
    {29, "joe", "purchasing group's bills (group right 1), customers 1, 3 and suppliers 1, 3 (data right 3)"},
    {30, "ann", "own bills only (group right 2), every data right restricted (15); all vouchers"},
    {31, "bob", "all preparers, stocks and accounts restricted (data right 12); warehouse group's vouchers"},
}};

inline constexpr int32_t kDemoAdministrator = 16394;

// Fills an empty database of this schema with the demo data, dates counted
// from `today` ("YYYY-MM-DD").
void FillDemoData(Database& db, const std::string& today);

}  // namespace zet::embedded
