#include "host/gateway.hpp"

#include "host/error.hpp"
#include "host/login_context.hpp"
#include "host/service_factory.hpp"

namespace zet {

Recordset AsRecordset(const Variant& value) {
  if (!value.IsObject()) RaiseRuntimeError(err::kTypeMismatch);
  const ObjectRef& object = value.AsObject();
  // Nothing is a valid _Recordset reference; using it fails later with 91.
  if (object && !object->Supports("_Recordset")) RaiseRuntimeError(err::kTypeMismatch);
  return Recordset(object);
}

Recordset QueryData(Platform& platform, const std::string& sql) {
  ObjectRef service = CreateService(platform, kClassInfoProgId);
  Variant sql_text = Variant::String(sql);
  Argument args[] = {Argument::ByVal(Variant::String(GetPropsString(platform))), Argument::ByRef(sql_text)};
  return AsRecordset(service->Call("GetData", args));
}

void UpdateData(Platform& platform, const std::string& sql) {
  // The whole text travels as the one element of a string array, however
  // many statements it holds.
  VariantArray batch;
  batch.element = VarType::String;
  batch.items.push_back(Variant::String(sql));
  Variant statements = Variant::Array(std::move(batch));
  ObjectRef service = CreateService(platform, kClassUpdateProgId);
  Argument args[] = {Argument::ByVal(Variant::String(GetPropsString(platform))), Argument::ByRef(statements)};
  service->Call("UpdateBatch", args);
}

std::string ReadSysValue(Platform& platform, const std::string& category, const std::string& key,
                         const std::string& default_value) noexcept {
  try {
    ObjectRef service = CreateService(platform, kSysInfoProgId);
    Variant category_arg = Variant::String(category);
    Variant key_arg = Variant::String(key);
    Argument args[] = {Argument::ByVal(Variant::String(GetPropsString(platform))), Argument::ByRef(category_arg),
                       Argument::ByRef(key_arg)};
    return CStr(service->Call("GetSysValue", args));
  } catch (...) {
    return default_value;
  }
}

bool CheckAccess(Platform& platform, int32_t object_type, int32_t object_id, int32_t right,
                 const std::string& object_name) {
  ObjectRef service = CreateService(platform, kSecurityInfoProgId);
  Variant type_arg = Variant::Long(object_type);
  Variant id_arg = Variant::Long(object_id);
  Variant right_arg = Variant::Long(right);
  Variant name_arg = Variant::String(object_name);
  Argument args[] = {Argument::ByVal(Variant::String(GetPropsString(platform))),
                     Argument::ByRef(type_arg),
                     Argument::ByRef(id_arg),
                     Argument::ByRef(right_arg),
                     Argument::ByVal(Variant::Boolean(true)),
                     Argument::ByRef(name_arg)};
  return CBool(service->Call("AccessCheck", args));
}

}  // namespace zet
