#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace zet {

// An object of the access-control table: its type and id.
struct AccessObject {
  int32_t type = 0;
  int32_t id = 0;
};

// One of the desktop's nine to-do positions: what it counts and what guards it.
struct ToDoPosition {
  int32_t position;
  int32_t trans_type;           // the kind counted; 0 for the reserved first position
  int32_t voucher_kind;         // 1 waiting for the checker, 2 for the cashier; 0 a bill count
  AccessObject granting;        // any row on it grants ...
  AccessObject masked;          // ... and its mask must carry the to-do bit
  std::string_view alarm_key;   // the system parameter of category IC with the alarm days
  std::string_view alarm_head;  // the due-date condition: head, the days, tail
  std::string_view alarm_tail;
  std::string_view label;  // for people
};

namespace todo_detail {
inline constexpr std::string_view kOrderHead = " and datediff(day,getdate(),u1.FDate)<=";
inline constexpr std::string_view kOrderTail =
    " and u1.FQty>u1.FStockQty and (v1.FStatus=1 or v1.FStatus=2) and v1.FCancellation=0 ";
inline constexpr std::string_view kInvoiceHead = " and datediff(day,getdate(),v1.FPayDate)<=";
inline constexpr std::string_view kOtherBillHead = " and datediff(day,getdate(),v1.FLimitDate)<=";
}  // namespace todo_detail

// clang-format off
inline constexpr std::array<ToDoPosition, 9> kToDoPositions{{
    {1, 0, 0, {}, {}, "", "", "", "reserved (always 0)"},
    {2, 71, 0, {1088, 2}, {1089, 1}, "PurchaseAlarmDateCount", todo_detail::kOrderHead, todo_detail::kOrderTail,
     "purchase orders due for receipt"},
    {3, 75, 0, {1088, 4}, {1010, 1000202}, "APAlarmDateCount", todo_detail::kInvoiceHead,
     " and v1.FStatus=1 and v1.FPOStyle<>251 and v1.FROB*(vrp.FRPAmountFor-v1.FPurchaseAmountFor)<0 \r\n"
     " and v1.FHookInterID not in ( select FGroupNo From ICHookRelations Where FEquityHook=1 ) ",
     "purchase invoices due for payment"},
    {4, 81, 0, {1088, 21}, {1090, 1}, "SaleAlarmDateCount", todo_detail::kOrderHead, todo_detail::kOrderTail,
     "sales orders due for delivery"},
    {5, 80, 0, {1088, 23}, {1010, 1000201}, "ARAlarmDateCount", todo_detail::kInvoiceHead,
     " and v1.FStatus=1 and v1.FSaleStyle<>100 and v1.FROB*(vrp.FRPAmountFor-v1.FInvoiceAmountFor)<0 \r\n"
     " and v1.FHookInterID not in ( select FGroupNo From ICHookRelations Where FEquityHook=1 ) ",
     "sales invoices due for collection"},
    {6, 1000205, 0, {1010, 1000205}, {1010, 1000201}, "ARAlarmDateCount", todo_detail::kOtherBillHead,
     " and v1.FStatus=1 and v1.FBillTypeID=1006 and ISNULL(vrp.FRPAmountFor,0)-v1.FAmountFor<0 ",
     "other receivables due"},
    {7, 1000206, 0, {1010, 1000206}, {1010, 1000202}, "APAlarmDateCount", todo_detail::kOtherBillHead,
     " and v1.FStatus=1 and v1.FBillTypeID=1008 and ISNULL(vrp.FRPAmountFor,0)-v1.FAmountFor<0 ",
     "other payables due"},
    {8, 1125, 1, {4, 0}, {}, "", "", "", "vouchers awaiting check"},
    {9, 1127, 2, {4, 0}, {}, "", "", "", "vouchers awaiting cashier sign-off"},
}};
// clang-format on

// The entry of a position from 1 to 9; nullptr for any other number.
constexpr const ToDoPosition* FindToDoPosition(int32_t position) {
  if (position < 1 || position > static_cast<int32_t>(kToDoPositions.size())) return nullptr;
  return &kToDoPositions[static_cast<size_t>(position - 1)];
}

}  // namespace zet
