#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace zet {

// An automation error: what a late-bound call or a runtime conversion raises.
// The number is the runtime error number (6, 13, 94 ...) or an HRESULT
// (negative) for errors that come from a host service or the database; the
// description is what the error convention shows to the user.
class AutomationError : public std::runtime_error {
 public:
  AutomationError(int32_t number, std::string description, std::string source = {})
      : std::runtime_error(description),
        number_(number),
        description_(std::move(description)),
        source_(std::move(source)) {}

  int32_t Number() const noexcept { return number_; }
  const std::string& Description() const noexcept { return description_; }
  const std::string& Source() const noexcept { return source_; }

 private:
  int32_t number_;
  std::string description_;
  std::string source_;
};

// Runtime errors with the numbers and texts an automation client knows them by.
namespace err {
inline constexpr int32_t kInvalidProcedureCall = 5;
inline constexpr int32_t kOverflow = 6;
inline constexpr int32_t kOutOfMemory = 7;
inline constexpr int32_t kSubscriptOutOfRange = 9;
inline constexpr int32_t kTypeMismatch = 13;
inline constexpr int32_t kObjectNotSet = 91;
inline constexpr int32_t kInvalidUseOfNull = 94;
inline constexpr int32_t kCannotCreateObject = 429;
inline constexpr int32_t kMemberNotFound = 438;
inline constexpr int32_t kWrongArgumentCount = 450;
// ADO's "no current record", raised when a field is read at end of file.
inline constexpr int32_t kNoCurrentRecord = 3021;
// ADO's recordset errors: a field name or ordinal the recordset does not
// have, and any use of a closed recordset.
inline constexpr int32_t kItemNotFound = 3265;
inline constexpr int32_t kObjectClosed = 3704;
// The suite's security service reports a refused right with this HRESULT.
inline constexpr int32_t kAccessDenied = static_cast<int32_t>(0x80044010u);
// HRESULT of a statement the database rejected (DB_E_ERRORSINCOMMAND).
inline constexpr int32_t kDatabaseError = static_cast<int32_t>(0x80040E14u);
}  // namespace err

// Raises the runtime error `number` with its usual description.
[[noreturn]] void RaiseRuntimeError(int32_t number);

// The usual description of a runtime error number ("Type mismatch" for 13).
std::string RuntimeErrorText(int32_t number);

}  // namespace zet
