#include "cli/value_json.hpp"

namespace zet::cli {

namespace {

Variant GetWithIndex(Dispatch& object, const char* member, Variant index) {
  Argument args[] = {Argument::ByVal(std::move(index))};
  return object.Get(member, args);
}

Json ObjectValue(const Variant& value, ObjectShape shape) {
  const ObjectRef& object = value.AsObject();
  if (!object) return nullptr;
  switch (shape) {
    case ObjectShape::List: {
      Json items = Json::array();
      for (const Variant& item : ReadList(*object)) items.push_back(TypedValue(item));
      return items;
    }
    case ObjectShape::Recordset: {
      const RecordsetTable table = ReadRecordset(*object);
      Json rows = Json::array();
      for (const auto& row : table.rows) {
        Json cells = Json::array();
        for (const Variant& cell : row) cells.push_back(TypedValue(cell));
        rows.push_back(std::move(cells));
      }
      return {{"fields", table.fields}, {"rows", std::move(rows)}};
    }
    case ObjectShape::Unknown:
      break;
  }
  return "<object>";
}

}  // namespace

RecordsetTable ReadRecordset(Dispatch& recordset) {
  RecordsetTable table;
  const ObjectRef fields = RequireObject(recordset.Get("Fields"));
  const int32_t count = CLng(fields->Get("Count"));
  for (int32_t i = 0; i < count; ++i) {
    const ObjectRef field = RequireObject(GetWithIndex(*fields, "Item", Variant::Long(i)));
    table.fields.push_back(CStr(field->Get("Name")));
  }
  // Fields is asked anew for every row, as the component itself reads it.
  while (!CBool(recordset.Get("EOF"))) {
    const ObjectRef row_fields = RequireObject(recordset.Get("Fields"));
    std::vector<Variant> row;
    for (int32_t i = 0; i < count; ++i)
      row.push_back(RequireObject(GetWithIndex(*row_fields, "Item", Variant::Long(i)))->Get("Value"));
    table.rows.push_back(std::move(row));
    recordset.Call("MoveNext");
  }
  return table;
}

std::vector<Variant> ReadList(Dispatch& list) {
  std::vector<Variant> items;
  const int32_t count = CLng(list.Get("Count"));
  for (int32_t position = 1; position <= count; ++position) {
    Argument args[] = {Argument::ByVal(Variant::Long(position))};
    items.push_back(list.Call("Item", args));
  }
  return items;
}

Json TypedValue(const Variant& value, ObjectShape shape) {
  Json inner;
  switch (value.Type()) {
    case VarType::Empty:
    case VarType::Null:
      inner = nullptr;
      break;
    case VarType::Integer:
      inner = value.AsInteger();
      break;
    case VarType::Long:
      inner = value.AsLong();
      break;
    case VarType::Double:
      inner = value.AsDouble();
      break;
    case VarType::Boolean:
      inner = value.AsBoolean();
      break;
    case VarType::String:
      inner = value.AsString();
      break;
    case VarType::Object:
      inner = ObjectValue(value, shape);
      break;
    case VarType::Array: {
      inner = Json::array();
      for (const Variant& item : value.AsArray().items) inner.push_back(TypedValue(item));
      break;
    }
    case VarType::Variant:
      break;
  }
  return {{"type", VarTypeName(value.Type())}, {"value", std::move(inner)}};
}

Json TraceValue(const Variant& value) {
  switch (value.Type()) {
    case VarType::Integer:
      return value.AsInteger();
    case VarType::Long:
      return value.AsLong();
    case VarType::Double:
      return value.AsDouble();
    case VarType::Boolean:
      return value.AsBoolean();
    case VarType::String:
      return value.AsString();
    case VarType::Object:
      return "<object>";
    case VarType::Array: {
      Json items = Json::array();
      for (const Variant& item : value.AsArray().items) items.push_back(TraceValue(item));
      return items;
    }
    default:
      return nullptr;
  }
}

std::string PlainText(const Variant& value) {
  switch (value.Type()) {
    case VarType::Null:
      return "Null";
    case VarType::Object:
      return value.AsObject() ? "<object>" : "Nothing";
    case VarType::Array: {
      std::string text = "(";
      for (const Variant& item : value.AsArray().items) text += (text.size() > 1 ? ", " : "") + PlainText(item);
      return text + ")";
    }
    default:
      return CStr(value);
  }
}

std::string Dump(const Json& json) {
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace zet::cli
