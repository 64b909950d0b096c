#pragma once

#include <cstdint>

#include "host/platform.hpp"

namespace zet {

// The family under which a class type's recent bills are kept; 0 for every
// class type not listed.
int32_t GetBigType(int32_t class_type_id);

// The user's recent bills of the family of m_ClassTypeID, in place order, as
// a clone of the queried recordset; fills the "mnuRecBill" band of ABar when
// given. Nothing after a failure.
ObjectRef LoadRecentBills(Platform& platform, int32_t m_ClassTypeID, ObjectRef& ABar) noexcept;

// Puts lBillID at place 1 of the user's list for its family, then refreshes
// the menu of ABar when given.
void SaveRecentBills(Platform& platform, int32_t lBillID, int32_t m_ClassTypeID, ObjectRef& ABar) noexcept;

inline constexpr int32_t kRecentBillsLimit = 20;
inline constexpr const char* kRecentBillsBand = "mnuRecBill";

}  // namespace zet
