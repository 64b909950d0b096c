#include "component/cls_move_bill.hpp"

#include "navigation/navigation.hpp"
#include "pending/pending.hpp"
#include "recent/recent.hpp"

namespace zet {

bool clsMoveBill::CheckSearchBill(int32_t lTransType, int32_t lInterID, std::string& sInfo) noexcept {
  const MethodScope scope(platform_);
  return zet::CheckSearchBill(platform_, lTransType, lInterID, sInfo);
}

ObjectRef clsMoveBill::GetToDoThingCount() noexcept {
  const MethodScope scope(platform_);
  return zet::GetToDoThingCount(platform_);
}

int32_t clsMoveBill::GetMaxMinInterID(int32_t lTransType, int32_t lType) noexcept {
  const MethodScope scope(platform_);
  return zet::GetMaxMinInterID(platform_, lTransType, lType);
}

int32_t clsMoveBill::GetMoveInterID(const Variant& lBillID, int32_t lMoveType, int32_t lTransType) noexcept {
  const MethodScope scope(platform_);
  return zet::GetMoveInterID(platform_, lBillID, lMoveType, lTransType);
}

ObjectRef clsMoveBill::LoadRecentBills(int32_t m_ClassTypeID, ObjectRef& ABar) noexcept {
  const MethodScope scope(platform_);
  return zet::LoadRecentBills(platform_, m_ClassTypeID, ABar);
}

void clsMoveBill::SaveRecentBills(int32_t lBillID, int32_t m_ClassTypeID, ObjectRef& ABar) noexcept {
  const MethodScope scope(platform_);
  zet::SaveRecentBills(platform_, lBillID, m_ClassTypeID, ABar);
}

}  // namespace zet
