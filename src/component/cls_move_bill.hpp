#pragma once

#include <cstdint>
#include <string>

#include "host/platform.hpp"
#include "host/variant.hpp"

namespace zet {

// The component's one creatable class. It holds nothing between calls: each
// method reads the login context and the rights anew, and no error ever
// leaves a method; a failure is shown through the platform's message box and
// the method returns its neutral result.
class clsMoveBill {
 public:
  explicit clsMoveBill(Platform& platform) : platform_(platform) {}

  bool CheckSearchBill(int32_t lTransType, int32_t lInterID, std::string& sInfo) noexcept;
  ObjectRef GetToDoThingCount() noexcept;
  int32_t GetMaxMinInterID(int32_t lTransType, int32_t lType) noexcept;
  int32_t GetMoveInterID(const Variant& lBillID, int32_t lMoveType, int32_t lTransType) noexcept;
  ObjectRef LoadRecentBills(int32_t m_ClassTypeID, ObjectRef& ABar) noexcept;
  void SaveRecentBills(int32_t lBillID, int32_t m_ClassTypeID, ObjectRef& ABar) noexcept;

 private:
  Platform& platform_;
};

}  // namespace zet
