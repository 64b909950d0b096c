#include "rights/rights.hpp"

#include <algorithm>
#include <array>

#include "host/error.hpp"
#include "host/gateway.hpp"
#include "host/login_context.hpp"
#include "host/trap.hpp"

namespace zet {

bool IsAdminUser(Platform& platform) noexcept {
  bool result = false;
  RunTrapped(platform, [&] {
    const std::string sql =
        "SELECT TOP 1 1 FROM t_Group WHERE FUserID=" + GetPropValue(platform, "UserID") + " AND FGroupID=1";
    result = !QueryData(platform, sql).Eof();
  });
  return result;
}

void GetUserRights(Platform& platform, int32_t& FUserGroupRight, int32_t& FDataRight) noexcept {
  RunTrapped(platform, [&] {
    if (IsAdminUser(platform)) {
      FUserGroupRight = 0;
      FDataRight = 0;
      return;
    }
    const std::string sql =
        "SELECT FUserGroupRight,FDataRight FROM t_User WHERE FUserID= " + GetPropValue(platform, "UserID");
    const Recordset rs = QueryData(platform, sql);
    // No test for an empty answer: reading at end of file fails, and the
    // trap leaves both outputs as they stood.
    FUserGroupRight = CLng(rs.Field(0));
    FDataRight = CLng(rs.Field(1));
  });
}

std::string GetGroupUserList(Platform& platform) noexcept {
  std::string result;
  RunTrapped(platform, [&] {
    const std::string sql =
        "select distinct tt1.FUserID from t_group tt1 where tt1.FGroupID in (select tt2.FGroupID from "
        " t_group tt2 where tt2.FUserID=" +
        GetPropValue(platform, "UserID") + " and tt2.FGroupID>0)";
    const Recordset rs = QueryData(platform, sql);
    std::string list = "(";
    while (!rs.Eof()) {
      list += CStr(rs.Field(0));
      list += ",";
      rs.MoveNext();
    }
    // A user in no group would get ")" from dropping the last character of
    // "(", which no statement survives. Such a user is a group of one: the
    // list holds the user alone.
    if (list.size() == 1) {
      result = "(" + GetPropValue(platform, "UserID") + ")";
      return;
    }
    list.pop_back();
    result = list + ")";
  });
  return result;
}

bool IsInArray(const Variant& value, const Variant& values) {
  if (!values.IsArray()) RaiseRuntimeError(err::kTypeMismatch);
  for (const Variant& element : values.AsArray().items) {
    if (VariantEquals(value, element)) return true;
  }
  return false;
}

namespace {
constexpr std::array<int16_t, 18> kSharedTableTranTypes = {1,  2,  5,  10, 21, 24, 28,  29,  40,
                                                           41, 43, 75, 76, 80, 86, 100, 101, 102};
}  // namespace

Variant SharedTableTranTypes() {
  VariantArray list;
  for (int16_t type : kSharedTableTranTypes) list.items.push_back(Variant::Integer(type));
  return Variant::Array(std::move(list));
}

bool IsSharedTableTranType(int32_t lTransType) {
  // What IsInArray over SharedTableTranTypes() answers for a Long, without
  // building the list at every statement.
  return std::find(kSharedTableTranTypes.begin(), kSharedTableTranTypes.end(), lTransType) !=
         kSharedTableTranTypes.end();
}

}  // namespace zet
