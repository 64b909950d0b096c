#pragma once

#include <cstdint>
#include <string>

#include "host/platform.hpp"

namespace zet {

// The desktop's nine counters of pending work as a list object of the
// foundation library, or Nothing after a failure ("取数错误" is shown).
ObjectRef GetToDoThingCount(Platform& platform) noexcept;

// The due-date condition of to-do position 2 to 7; "" for any other position.
// Errors (a day count that is no number) pass to the caller.
std::string GetAlarmCondition(Platform& platform, int32_t position);

// Vouchers waiting for the checker (kind 1) or the cashier (kind 2). Failures
// before the voucher statement give 0; a failure of the voucher statement
// itself passes to the caller.
int32_t GetVoucherToDoCount(Platform& platform, int32_t kind);

// Whether a non-administrator may see to-do position `position`. Shows the
// error and answers False when the lookup fails.
bool CheckToDoAccess(Platform& platform, int32_t position) noexcept;

// The bit of an access mask that grants a to-do position, and the rows of
// t_AccessControl that speak for a user: the user's own and those of every
// group the user belongs to.
inline constexpr int32_t kToDoAccessBit = 131072;
std::string ToDoHolderCondition(const std::string& user);

inline constexpr const char* kToDoErrorMessage = "取数错误";

}  // namespace zet
