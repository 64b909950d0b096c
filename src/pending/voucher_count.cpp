#include <optional>

#include "host/error.hpp"
#include "host/gateway.hpp"
#include "host/login_context.hpp"
#include "pending/pending.hpp"
#include "rights/rights.hpp"

namespace zet {

namespace {

constexpr int32_t kVoucherObjectType = 4;
constexpr int32_t kVoucherObjectId = 0;
constexpr int32_t kCheckerBit = 1;
constexpr int32_t kCashierBit = 32;
constexpr int32_t kAccountRights = 8;
constexpr int32_t kAllPreparersRight = 8;
constexpr int32_t kGroupPreparersRight = 16;
constexpr const char* kJournalObject = "ZetEBSGL.VoucherInfo.GetJournal";

// The error number of a security answer; 0 when the right was answered
// without an error, whatever the answer.
int32_t AccessErrorNumber(Platform& platform, int32_t right) {
  try {
    CheckAccess(platform, kVoucherObjectType, kVoucherObjectId, right, kJournalObject);
    return 0;
  } catch (const AutomationError& e) {
    return e.Number();
  } catch (...) {
    return err::kInvalidProcedureCall;
  }
}

// The voucher statement without its preparer condition, or nullopt when the
// count is 0 without asking.
std::optional<std::string> VoucherStatement(Platform& platform, int32_t kind, const std::string& user) {
  std::string account_condition;

  if (!IsAdminUser(platform)) {
    const Recordset access = QueryData(
        platform, " SELECT FAccessMask FROM t_AccessControl WHERE FObjectType=" + std::to_string(kVoucherObjectType) +
                      " AND FObjectID=" + std::to_string(kVoucherObjectId) +
                      " AND FUserID=" + GetPropValue(platform, "UserID"));
    if (access.Eof()) return std::nullopt;
    const int32_t mask = RoundToLong(Val(access.Field(0)));
    const int32_t needed = kind == 1 ? kCheckerBit : kCashierBit;
    if ((mask & needed) != needed) return std::nullopt;

    int32_t group_right = 0;
    int32_t data_right = 0;
    GetUserRights(platform, group_right, data_right);
    if ((data_right & kAccountRights) == kAccountRights) {
      account_condition =
          " and v1.FVoucherID not in (Select t1.FVoucherID from t_VoucherEntry t1 left join t_Account t2 "
          "\r\n"
          " on t1.FAccountID=t2.FAccountID where CHARINDEX('" +
          user + "',t2.FRightUserID)=0) ";
    }
  }

  if (kind == 1) return " select * from t_Voucher v1 where v1.FCheckerID=-1 and v1.FPosted=0 " + account_condition;

  const Recordset setting =
      QueryData(platform, " select FValue from t_SystemProfile where FCategory='GL' and FKey='CashBeforePost' ");
  const int32_t cash_before_post = setting.Eof() ? 0 : RoundToLong(Val(setting.Field(0)));
  if (cash_before_post != 1) return std::nullopt;
  return " select * from t_Voucher v1 where v1.FCashierID=-1 and v1.FPosted=0 " + account_condition;
}

}  // namespace

int32_t GetVoucherToDoCount(Platform& platform, int32_t kind) {
  std::string sql;
  try {
    const std::string user = std::to_string(CLng(Variant::String(GetPropValue(platform, "UserID"))));
    auto statement = VoucherStatement(platform, kind, user);
    if (!statement) return 0;
    sql = std::move(*statement);

    // Two security answers choose whose vouchers count; a refusal is the
    // only answer that narrows the count.
    if (AccessErrorNumber(platform, kAllPreparersRight) == err::kAccessDenied) {
      if (AccessErrorNumber(platform, kGroupPreparersRight) == err::kAccessDenied) {
        sql += " AND v1.FPreparerID=" + user;
      } else {
        sql +=
            " AND v1.FPreparerID IN (Select DISTINCT FUserID From t_Group Where FGroupID IN(Select FGroupID "
            "From t_Group Where FGroupID <> 0 And FUserID=" +
            user + " ) ) ";
      }
    }
  } catch (...) {
    return 0;
  }

  // The voucher statement itself is not trapped here: its failure is the
  // to-do counter's.
  const Recordset vouchers = QueryData(platform, sql);
  return vouchers.Eof() ? 0 : vouchers.RecordCount();
}

}  // namespace zet
