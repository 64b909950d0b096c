#include <array>

#include "catalogue/catalogue.hpp"
#include "host/gateway.hpp"
#include "host/login_context.hpp"
#include "host/service_factory.hpp"
#include "host/trap.hpp"
#include "pending/pending.hpp"
#include "rights/rights.hpp"

namespace zet {

namespace {

constexpr int32_t kPositions = 9;
constexpr int32_t kCheckerVouchers = 1125;
constexpr int32_t kCashierVouchers = 1127;

// The transaction type of each position, with the subtype the list holds it
// in: 16-bit where it fits, 32-bit for the two large codes.
std::array<Variant, kPositions> PositionTypes() {
  return {Variant::Integer(0),    Variant::Integer(71),   Variant::Integer(75),
          Variant::Integer(81),   Variant::Integer(80),   Variant::Long(1000205),
          Variant::Long(1000206), Variant::Integer(1125), Variant::Integer(1127)};
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
        for (const Variant& type : PositionTypes()) Add(*types, type);
        const bool admin = IsAdminUser(platform);

        for (int32_t position = 1; position <= kPositions; ++position) {
          if (position == 1 || (!admin && !CheckToDoAccess(platform, position))) {
            Add(*counts, Variant::Integer(0));
            continue;
          }
          const int32_t trans_type = CLng(Item(*types, position));
          if (trans_type == kCheckerVouchers || trans_type == kCashierVouchers) {
            const int32_t kind = trans_type == kCheckerVouchers ? 1 : 2;
            Add(*counts, Variant::Long(GetVoucherToDoCount(platform, kind)));
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
