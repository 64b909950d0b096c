#pragma once

#include <cstdint>
#include <vector>

#include "support/fake_platform.hpp"

namespace zet::testing {

// Scripts the rights lookups of the current user. Rules match by fragment,
// first rule first, so script these before broader rules.

// The user is in group 1.
inline void ScriptAdministrator(FakePlatform& host) {
  host.Answer(" AND FGroupID=1", Scalar(Variant::Long(1)));
}

// A non-administrator whose t_User row carries the given rights.
inline void ScriptUser(FakePlatform& host, int32_t group_right, int32_t data_right) {
  host.Answer("FROM t_User",
              Table{{"FUserGroupRight", "FDataRight"}, {{Variant::Long(group_right), Variant::Long(data_right)}}});
}

// The users who share a group with the current user, in the database's order.
inline void ScriptGroupUsers(FakePlatform& host, const std::vector<int32_t>& users) {
  Table table{{"FUserID"}, {}};
  for (int32_t user : users) table.rows.push_back({Variant::Long(user)});
  host.Answer("from t_group tt1", std::move(table));
}

}  // namespace zet::testing
