#include "navigation/navigation.hpp"

#include "catalogue/catalogue.hpp"
#include "host/gateway.hpp"
#include "host/login_context.hpp"
#include "host/service_factory.hpp"
#include "host/text.hpp"
#include "host/trap.hpp"
#include "rights/rights.hpp"

namespace zet {

namespace {

// The preparer restriction of the user's scope, as all navigation writes it:
// the user id exactly as the login context spells it, or the group list.
std::string PreparerCondition(Platform& platform, int32_t group_right, const std::string& preparer_field) {
  if (group_right == kOwnBills) return " and " + preparer_field + "=" + GetPropValue(platform, "UserID");
  if (group_right == kGroupBills) return " and " + preparer_field + " in " + GetGroupUserList(platform);
  return "";
}

// The base-data restriction: a line of its own after the other conditions.
std::string DataRightCondition(int32_t data_right, const std::string& rights_filter) {
  if (data_right <= 0) return "";
  return std::string(kCrLf) + rights_filter;
}

// Runs a statement on the application connection, which takes no context.
Recordset Execute(Dispatch& connection, const std::string& sql) {
  Variant statement = Variant::String(sql);
  Argument args[] = {Argument::ByRef(statement)};
  return Recordset(RequireObject(connection.Call("Execute", args)));
}

}  // namespace

int32_t GetMaxMinInterID(Platform& platform, int32_t lTransType, int32_t lType) noexcept {
  int32_t result = 0;
  const bool ok = RunTrapped(platform, [&] {
    int32_t group_right = 0;
    int32_t data_right = 0;
    GetUserRights(platform, group_right, data_right);
    int32_t scratch = 0;
    const BillTableInfo info = GetBillTableInfo(platform, lTransType, data_right, scratch, false);

    std::string where = " where 1=1 ";
    if (IsSharedTableTranType(lTransType)) where += " and FTranType=" + std::to_string(lTransType);
    where += PreparerCondition(platform, group_right, info.PreparerField);
    where += DataRightCondition(data_right, info.RightsFilter);

    const std::string sql = std::string(lType == 1 ? " SELECT ISNULL(Min(" : " SELECT ISNULL(Max(") + info.KeyField +
                            "),0) as FInterID From " + info.FromClause + where;

    const ObjectRef connection = platform.CreateObject(kAppConnectionProgId);
    const Recordset rs = Execute(*connection, sql);
    result = rs.Eof() ? 0 : RoundToLong(Val(rs.Field(0)));
  });
  return ok ? result : 0;
}

int32_t GetMoveInterID(Platform& platform, const Variant& lBillID, int32_t lMoveType, int32_t lTransType) noexcept {
  int32_t result = 0;
  RunTrapped(platform, [&] {
    int32_t group_right = 0;
    int32_t data_right = 0;
    GetUserRights(platform, group_right, data_right);
    // The catalogue shifts the direction codes of some kinds; read it after.
    int32_t direction = lMoveType;
    const BillTableInfo info = GetBillTableInfo(platform, lTransType, data_right, direction, false);
    const bool shared = IsSharedTableTranType(lTransType);
    const bool no_current_bill = CompareWithNumber(lBillID, 0) == 0;
    const std::string trans_type = std::to_string(lTransType);

    std::string sql;
    if (no_current_bill) {
      if (direction == 1) {
        sql = "select ISNULL(max(" + info.KeyField + "),0) as FInterID from " + info.FromClause + " WHERE 1=1 ";
        if (shared) sql += " AND v1.FTranType=" + trans_type;
      }
    } else if (direction == 1 || direction == 2) {
      const bool previous = direction == 1;
      sql = std::string(previous ? " select ISNULL(max(" : " select ISNULL(min(") + info.KeyField + "),0) from " +
            info.FromClause;
      sql += shared ? " where v1.FTranType=" + trans_type + " and " : std::string(" where ");
      sql += info.KeyField + (previous ? "<" : ">") + CStr(lBillID);
    }
    if (sql.empty()) return;

    sql += PreparerCondition(platform, group_right, info.PreparerField);
    sql += DataRightCondition(data_right, info.RightsFilter);

    const ObjectRef service = CreateService(platform, kBillDataProgId);
    Variant statement = Variant::String(sql);
    Argument args[] = {Argument::ByVal(Variant::String(GetPropsString(platform))), Argument::ByRef(statement)};
    const Recordset rs = AsRecordset(service->Call("ExecuteSQL", args));
    const int32_t value = rs.RecordCount() > 0 ? CLng(rs.Field(0)) : 0;
    // At either end the editor stays on its own bill.
    result = (value == 0 && CompareWithNumber(lBillID, 0) == 1) ? CLng(lBillID) : value;
    rs.Close();
  });
  return result;
}

bool CheckSearchBill(Platform& platform, int32_t lTransType, int32_t lInterID, std::string& sInfo) noexcept {
  bool result = false;
  const bool ok = RunTrapped(platform, [&] {
    const std::string bill_id = std::to_string(lInterID);
    int32_t scratch = 0;
    const BillTableInfo bare = GetBillTableInfo(platform, lTransType, 0, scratch, false);
    const std::string exists_sql =
        " SELECT TOP 1 1 FROM " + bare.FromClause + " WHERE " + bare.KeyField + " = " + bill_id;

    const ObjectRef connection = platform.CreateObject(kAppConnectionProgId);
    if (Execute(*connection, exists_sql).Eof()) {
      sInfo = lTransType == kVoucherTranType ? kVoucherDeletedMessage : kBillDeletedMessage;
      result = false;
      return;
    }
    // Administrators see every bill, and vouchers carry no data rights.
    if (IsAdminUser(platform) || lTransType == kVoucherTranType) {
      result = true;
      return;
    }

    int32_t group_right = 0;
    int32_t data_right = 0;
    GetUserRights(platform, group_right, data_right);
    const BillTableInfo info = GetBillTableInfo(platform, lTransType, data_right, scratch, false);
    std::string where = " where 1=1 ";
    if (IsSharedTableTranType(lTransType)) where += " and FTranType=" + std::to_string(lTransType);
    where += PreparerCondition(platform, group_right, info.PreparerField);
    where += DataRightCondition(data_right, info.RightsFilter);
    where += " and " + info.KeyField + " = " + bill_id;

    const std::string rights_sql = " SELECT top 1 1 From " + info.FromClause + where;
    result = !Execute(*connection, rights_sql).Eof();
    if (!result) sInfo = kNoRightMessage;
  });
  return ok && result;
}

}  // namespace zet
