#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "host/dispatch.hpp"
#include "host/variant.hpp"

namespace zet::cli {

// JSON whose objects keep their keys in the order written, so that machine
// output reads {"result", "byref", "messages"} as documented.
using Json = nlohmann::ordered_json;

// What an object result is known to be. Late binding cannot ask an object
// what it is, so the caller says it from the method's declared result.
enum class ObjectShape { Unknown, List, Recordset };

// The rows of a recordset as read through its late-bound members (Fields,
// Count, Item, Name, Value, EOF, MoveNext), from its current row to its end.
struct RecordsetTable {
  std::vector<std::string> fields;
  std::vector<std::vector<Variant>> rows;
};
RecordsetTable ReadRecordset(Dispatch& recordset);

// The items of a list object, Item(1) to Item(Count).
std::vector<Variant> ReadList(Dispatch& list);

// A value as machine output: {"type": "<subtype>", "value": ...}. Nothing has
// the value null; a list object the array of its items, a recordset
// {"fields": [...], "rows": [[...]]}, any other object the text "<object>".
Json TypedValue(const Variant& value, ObjectShape shape = ObjectShape::Unknown);

// A value as the trace shows an argument: strings, numbers and Booleans as
// themselves, arrays as arrays, Empty and Null as null, objects "<object>".
Json TraceValue(const Variant& value);

// A scalar as a person reads it: numbers in their automation text form,
// True/False, Null, Nothing, "<object>"; Empty as the empty text.
std::string PlainText(const Variant& value);

// Serialises without failing on text that is not valid UTF-8: such bytes
// become U+FFFD, every other character stays as it is.
std::string Dump(const Json& json);

}  // namespace zet::cli
