#include "host/error.hpp"

namespace zet {

std::string RuntimeErrorText(int32_t number) {
  switch (number) {
    case err::kInvalidProcedureCall:
      return "Invalid procedure call or argument";
    case err::kOverflow:
      return "Overflow";
    case err::kOutOfMemory:
      return "Out of memory";
    case err::kSubscriptOutOfRange:
      return "Subscript out of range";
    case err::kTypeMismatch:
      return "Type mismatch";
    case err::kObjectNotSet:
      return "Object variable or With block variable not set";
    case err::kInvalidUseOfNull:
      return "Invalid use of Null";
    case err::kCannotCreateObject:
      return "ActiveX component can't create object";
    case err::kMemberNotFound:
      return "Object doesn't support this property or method";
    case err::kWrongArgumentCount:
      return "Wrong number of arguments or invalid property assignment";
    case err::kNoCurrentRecord:
      return "Either BOF or EOF is True, or the current record has been deleted. "
             "Requested operation requires a current record.";
    case err::kItemNotFound:
      return "Item cannot be found in the collection corresponding to the requested name or ordinal.";
    case err::kObjectClosed:
      return "Operation is not allowed when the object is closed.";
    default:
      return "Application-defined or object-defined error";
  }
}

void RaiseRuntimeError(int32_t number) {
  throw AutomationError(number, RuntimeErrorText(number));
}

}  // namespace zet
