#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/platform.hpp"
#include "host/recordset.hpp"

namespace zet {

inline constexpr std::string_view kClassInfoProgId = "ZetMClass.ClassInfo";
inline constexpr std::string_view kClassUpdateProgId = "ZetMClass.ClassUpdate";
inline constexpr std::string_view kSysInfoProgId = "ZetBillDataAccess.SysInfo";
inline constexpr std::string_view kSecurityInfoProgId = "ZetEBSBase.SecurityInfo";
inline constexpr std::string_view kBillDataProgId = "ZetBillDataAccess.GetData";
inline constexpr std::string_view kAppConnectionProgId = "ZetConnection.AppConnection";

// The rows of one SELECT statement, through the host's class-information
// service. Errors pass to the caller.
Recordset QueryData(Platform& platform, const std::string& sql);

// One or more statements sent as one batch through the host's update service.
void UpdateData(Platform& platform, const std::string& sql);

// A system parameter as text; `default_value` when the service is missing or
// fails. Never raises.
std::string ReadSysValue(Platform& platform, const std::string& category, const std::string& key,
                         const std::string& default_value) noexcept;

// The security service's answer for a right on an object. A refusal is raised
// as the error 0x80044010, not returned as False.
bool CheckAccess(Platform& platform, int32_t object_type, int32_t object_id, int32_t right,
                 const std::string& object_name);

// A recordset the host handed back, taken as ADO's _Recordset.
Recordset AsRecordset(const Variant& value);

}  // namespace zet
