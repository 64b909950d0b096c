#include "host/gateway.hpp"
#include "host/login_context.hpp"
#include "host/trap.hpp"
#include "pending/pending.hpp"
#include "pending/todo_positions.hpp"

namespace zet {

std::string ToDoHolderCondition(const std::string& user) {
  return " AND (FUserID=" + user + " OR FUserID in (Select FGroupID from t_Group where FUserID=" + user + "))";
}

bool CheckToDoAccess(Platform& platform, int32_t position) noexcept {
  bool result = false;
  RunTrapped(platform, [&] {
    const std::string user = std::to_string(CLng(Variant::String(GetPropValue(platform, "UserID"))));
    // A position outside 1 to 9 asks about object (0, 0), which no row holds.
    const ToDoPosition* entry = FindToDoPosition(position);
    const AccessObject granting = entry ? entry->granting : AccessObject{};
    const AccessObject masked = entry ? entry->masked : AccessObject{};

    const std::string first_sql = "select 1 from t_AccessControl where FObjectType=" + std::to_string(granting.type) +
                                  " and FObjectID=" + std::to_string(granting.id) + ToDoHolderCondition(user);
    const bool holds_first = !QueryData(platform, first_sql).Eof();

    const std::string second_sql =
        "select FAccessMask from t_AccessControl where FObjectType=" + std::to_string(masked.type) +
        " and FObjectID=" + std::to_string(masked.id) + ToDoHolderCondition(user);
    const Recordset masks = QueryData(platform, second_sql);
    // Only the first row is tested; masks of several rows are not combined.
    const bool holds_bit = !masks.Eof() && (CLng(masks.Field(0)) & kToDoAccessBit) == kToDoAccessBit;

    result = holds_first && holds_bit;
  });
  return result;
}

}  // namespace zet
