#include "host/recordset.hpp"

#include "host/error.hpp"

namespace zet {

Dispatch& Recordset::Target() const {
  if (!object_) RaiseRuntimeError(err::kObjectNotSet);
  return *object_;
}

bool Recordset::Eof() const {
  return CBool(Target().Get("EOF"));
}

int32_t Recordset::RecordCount() const {
  return CLng(Target().Get("RecordCount"));
}

Variant Recordset::FieldValue(Variant key) const {
  ObjectRef fields = RequireObject(Target().Get("Fields"));
  Argument args[] = {Argument::ByVal(std::move(key))};
  ObjectRef field = RequireObject(fields->Get("Item", args));
  return field->Get("Value");
}

Variant Recordset::Field(int32_t index) const {
  return FieldValue(Variant::Long(index));
}

Variant Recordset::Field(std::string_view name) const {
  return FieldValue(Variant::String(std::string(name)));
}

void Recordset::MoveNext() const {
  Target().Call("MoveNext");
}

ObjectRef Recordset::Clone() const {
  return RequireObject(Target().Call("Clone"));
}

void Recordset::Close() const {
  Target().Call("Close");
}

}  // namespace zet
