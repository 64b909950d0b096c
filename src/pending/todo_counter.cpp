#include <cstdint>

#include "catalogue/catalogue.hpp"
#include "host/gateway.hpp"
#include "host/login_context.hpp"
#include "host/service_factory.hpp"
#include "host/text.hpp"
#include "host/trap.hpp"
#include "pending/pending.hpp"
#include "pending/todo_positions.hpp"
#include "rights/rights.hpp"

namespace zet {

namespace {

// The transaction type of a position as the list holds it: 16-bit where it
// fits, 32-bit for the large codes.
Variant PositionType(const ToDoPosition& entry) {
  return entry.trans_type <= INT16_MAX ? Variant::Integer(static_cast<int16_t>(entry.trans_type))
                                       : Variant::Long(entry.trans_type);
}

void Add(Dispatch& list, Variant value) {
  Argument args[] = {Argument::ByVal(std::move(value))};
  list.Call("Add", args);
}

Variant Item(Dispatch& list, int32_t position) {
  Argument args[] = {Argument::ByVal(Variant::Long(position))};
  return list.Call("Item", args);
}

}  // namespace

ObjectRef GetToDoThingCount(Platform& platform) noexcept {
  ObjectRef result;
  const bool ok = RunTrapped(
      platform,
      [&] {
        const ObjectRef types = platform.CreateObject(ValueListProgId());
        const ObjectRef counts = platform.CreateObject(ValueListProgId());
        int32_t scope = 0;
        int32_t data_right = 0;
        GetUserRights(platform, scope, data_right);
        for (const ToDoPosition& entry : kToDoPositions) Add(*types, PositionType(entry));
        const bool admin = IsAdminUser(platform);

        for (const ToDoPosition& entry : kToDoPositions) {
          const int32_t position = entry.position;
          if (position == 1 || (!admin && !CheckToDoAccess(platform, position))) {
            Add(*counts, Variant::Integer(0));
            continue;
          }
          const int32_t trans_type = CLng(Item(*types, position));
          if (entry.voucher_kind != 0) {
            Add(*counts, Variant::Long(GetVoucherToDoCount(platform, entry.voucher_kind)));
            continue;
          }

          int32_t scratch = 0;
          const BillTableInfo info = GetBillTableInfo(platform, trans_type, data_right, scratch, true);
          std::string where = " where 1=1 ";
          if (scope == kOwnBills) {
            where += " and " + info.PreparerField + "=" + GetPropValue(platform, "UserID");
          } else if (scope == kGroupBills) {
            // One term for both alternatives, so the conditions below
            // restrict the user's own bills as well as the group's.
            const std::string group = GetGroupUserList(platform);
            where += " and (" + info.PreparerField + "=" + GetPropValue(platform, "UserID") + " OR " +
                     info.PreparerField + " in " + group + ")";
          }
          where += std::string(kCrLf) + GetAlarmCondition(platform, position);
          if (data_right > 0) where += std::string(kCrLf) + info.RightsFilter;

          const std::string sql = " SELECT Count(distinct " + info.KeyField + ") From " + info.FromClause + where;
          const Recordset rs = QueryData(platform, sql);
          Add(*counts, rs.Eof() ? Variant::Integer(0) : Variant::Double(Val(rs.Field(0))));
        }
        result = counts;
      },
      kToDoErrorMessage);
  return ok ? result : nullptr;
}

}  // namespace zet
