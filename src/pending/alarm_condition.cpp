#include "host/gateway.hpp"
#include "pending/pending.hpp"

namespace zet {

std::string GetAlarmCondition(Platform& platform, int32_t position) {
  const char* key = nullptr;
  switch (position) {
    case 2:
      key = "PurchaseAlarmDateCount";
      break;
    case 3:
    case 7:
      key = "APAlarmDateCount";
      break;
    case 4:
      key = "SaleAlarmDateCount";
      break;
    case 5:
    case 6:
      key = "ARAlarmDateCount";
      break;
    default:
      return "";
  }
  const std::string days = std::to_string(CLng(Variant::String(ReadSysValue(platform, "IC", key, "0"))));

  switch (position) {
    case 2:
    case 4:
      return " and datediff(day,getdate(),u1.FDate)<=" + days +
             " and u1.FQty>u1.FStockQty and (v1.FStatus=1 or v1.FStatus=2) and v1.FCancellation=0 ";
    case 3:
      return " and datediff(day,getdate(),v1.FPayDate)<=" + days +
             " and v1.FStatus=1 and v1.FPOStyle<>251 and v1.FROB*(vrp.FRPAmountFor-v1.FPurchaseAmountFor)<0 "
             "\r\n"
             " and v1.FHookInterID not in ( select FGroupNo From ICHookRelations Where FEquityHook=1 ) ";
    case 5:
      return " and datediff(day,getdate(),v1.FPayDate)<=" + days +
             " and v1.FStatus=1 and v1.FSaleStyle<>100 and v1.FROB*(vrp.FRPAmountFor-v1.FInvoiceAmountFor)<0 "
             "\r\n"
             " and v1.FHookInterID not in ( select FGroupNo From ICHookRelations Where FEquityHook=1 ) ";
    case 6:
      return " and datediff(day,getdate(),v1.FLimitDate)<=" + days +
             " and v1.FStatus=1 and v1.FBillTypeID=1006 and ISNULL(vrp.FRPAmountFor,0)-v1.FAmountFor<0 ";
    default:  // 7
      return " and datediff(day,getdate(),v1.FLimitDate)<=" + days +
             " and v1.FStatus=1 and v1.FBillTypeID=1008 and ISNULL(vrp.FRPAmountFor,0)-v1.FAmountFor<0 ";
  }
}

}  // namespace zet
