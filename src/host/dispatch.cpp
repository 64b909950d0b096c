#include "host/dispatch.hpp"

#include "host/error.hpp"

namespace zet {

ObjectRef RequireObject(const Variant& v) {
  if (!v.IsObject()) RaiseRuntimeError(err::kTypeMismatch);
  if (!v.AsObject()) RaiseRuntimeError(err::kObjectNotSet);
  return v.AsObject();
}

}  // namespace zet
