#include "host/gateway.hpp"
#include "host/login_context.hpp"
#include "host/trap.hpp"
#include "pending/pending.hpp"

namespace zet {

namespace {

struct AccessObject {
  int32_t type;
  int32_t id;
};

struct PositionObjects {
  AccessObject first;   // any row on it grants
  AccessObject second;  // its mask must carry the to-do bit
};

PositionObjects ObjectsOf(int32_t position) {
  switch (position) {
    case 2:
      return {{1088, 2}, {1089, 1}};
    case 3:
      return {{1088, 4}, {1010, 1000202}};
    case 4:
      return {{1088, 21}, {1090, 1}};
    case 5:
      return {{1088, 23}, {1010, 1000201}};
    case 6:
      return {{1010, 1000205}, {1010, 1000201}};
    case 7:
      return {{1010, 1000206}, {1010, 1000202}};
    case 8:
    case 9:
      return {{4, 0}, {0, 0}};
    default:
      return {{0, 0}, {0, 0}};
  }
}

constexpr int32_t kToDoBit = 131072;

// The user's own rows and those of every group the user belongs to.
std::string HolderCondition(const std::string& user) {
  return " AND (FUserID=" + user + " OR FUserID in (Select FGroupID from t_Group where FUserID=" + user + "))";
}

}  // namespace

bool CheckToDoAccess(Platform& platform, int32_t position) noexcept {
  bool result = false;
  RunTrapped(platform, [&] {
    const std::string user = std::to_string(CLng(Variant::String(GetPropValue(platform, "UserID"))));
    const PositionObjects objects = ObjectsOf(position);

    const std::string first_sql =
        "select 1 from t_AccessControl where FObjectType=" + std::to_string(objects.first.type) +
        " and FObjectID=" + std::to_string(objects.first.id) + HolderCondition(user);
    const bool holds_first = !QueryData(platform, first_sql).Eof();

    const std::string second_sql =
        "select FAccessMask from t_AccessControl where FObjectType=" + std::to_string(objects.second.type) +
        " and FObjectID=" + std::to_string(objects.second.id) + HolderCondition(user);
    const Recordset masks = QueryData(platform, second_sql);
    // Only the first row is tested; masks of several rows are not combined.
    const bool holds_bit = !masks.Eof() && (CLng(masks.Field(0)) & kToDoBit) == kToDoBit;

    result = holds_first && holds_bit;
  });
  return result;
}

}  // namespace zet
