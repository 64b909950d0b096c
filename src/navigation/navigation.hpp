#pragma once

#include <cstdint>
#include <string>

#include "host/platform.hpp"
#include "host/variant.hpp"

namespace zet {

// The first (lType 1) or last (any other lType) bill of a transaction type
// that the current user may see; 0 when there is none or on failure.
int32_t GetMaxMinInterID(Platform& platform, int32_t lTransType, int32_t lType) noexcept;

// The neighbouring bill of lBillID in direction lMoveType; lBillID itself at
// either end; 0 when the direction means nothing or on failure.
int32_t GetMoveInterID(Platform& platform, const Variant& lBillID, int32_t lMoveType, int32_t lTransType) noexcept;

// Whether the bill still exists and the current user may open it; sInfo gets
// the reason when it may not.
bool CheckSearchBill(Platform& platform, int32_t lTransType, int32_t lInterID, std::string& sInfo) noexcept;

// Vouchers carry no data rights, and a missing voucher is reported as one.
inline constexpr int32_t kVoucherTranType = 1125;

// The texts CheckSearchBill answers with.
inline constexpr const char* kVoucherDeletedMessage = "凭证显示错误，所选凭证可能已经被删除！";
inline constexpr const char* kBillDeletedMessage = "单据显示错误，所选单据可能已经被删除！";
inline constexpr const char* kNoRightMessage = "单据上存在您没有权限的基础资料，请联系系统管理员！";

}  // namespace zet
