#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "host/platform.hpp"
#include "host/variant.hpp"

namespace zet {

// Preparer scope values of FUserGroupRight.
inline constexpr int32_t kOwnBills = 2;
inline constexpr int32_t kGroupBills = 1;

// Whether the current user belongs to the administrators' group (group 1).
// Shows the error and answers False when the lookup fails.
bool IsAdminUser(Platform& platform) noexcept;

// The current user's preparer scope and data-right mask. An administrator's
// scope is (0, 0). On failure shows the error; an output not yet read keeps
// what the caller passed in.
void GetUserRights(Platform& platform, int32_t& FUserGroupRight, int32_t& FDataRight) noexcept;

// "(3,5,25)": the users who share a group above 0 with the current user. On
// failure shows the error and returns the text as it stood ("").
std::string GetGroupUserList(Platform& platform) noexcept;

// Whether `value` equals an element of `values` (Variant comparison). An
// argument that is no array raises.
bool IsInArray(const Variant& value, const Variant& values);

// The transaction types whose tables hold several kinds, as a fresh array of
// Variants for IsInArray.
Variant SharedTableTranTypes();

// Shorthand for the navigation statements: IsInArray over that list.
bool IsSharedTableTranType(int32_t lTransType);

}  // namespace zet
