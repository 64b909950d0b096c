#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/platform.hpp"

namespace zet {

// Carriage return and line feed: the catalogue ends every join and every
// rights condition with it.
inline constexpr std::string_view kCrLf = "\r\n";

// The SQL pieces of one bill kind.
struct BillTableInfo {
  std::string FromClause;
  std::string KeyField;
  std::string PreparerField;
  std::string RightsFilter;
};

// Looks a transaction type up in the bill catalogue. Writes the caller's
// variables in place, in the order the lookup sets them, so that a failure
// part-way leaves the rest as the caller had them: a user id that is not a
// number fails before anything is written; lowering MoveType below the
// smallest 32-bit value raises Overflow after RightsFilter and KeyField.
void GetBillTableInfo(Platform& platform, int32_t lTransType, int32_t DataRightMask, std::string& FromClause,
                      std::string& KeyField, int32_t& MoveType, std::string& PreparerField, std::string& RightsFilter,
                      bool WithMoneyView);

// The same lookup with the user id given, for callers and tests that have it.
void LookUpBillTable(std::string_view user_id, int32_t lTransType, int32_t DataRightMask, std::string& FromClause,
                     std::string& KeyField, int32_t& MoveType, std::string& PreparerField, std::string& RightsFilter,
                     bool WithMoneyView);

// The record form, for callers that want the four strings together.
BillTableInfo GetBillTableInfo(Platform& platform, int32_t lTransType, int32_t DataRightMask, int32_t& MoveType,
                               bool WithMoneyView);

}  // namespace zet
