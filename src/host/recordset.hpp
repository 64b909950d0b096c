#pragma once

#include <cstdint>
#include <string_view>

#include "host/dispatch.hpp"

namespace zet {

// A typed view of an ADO recordset reached late-bound: what the algorithms
// read of it, and nothing more.
class Recordset {
 public:
  Recordset() = default;
  explicit Recordset(ObjectRef object) : object_(std::move(object)) {}

  bool Eof() const;
  int32_t RecordCount() const;
  // The Value of a field, by index (0 is the first) or by name.
  Variant Field(int32_t index) const;
  Variant Field(std::string_view name) const;
  void MoveNext() const;
  ObjectRef Clone() const;
  void Close() const;

  const ObjectRef& Object() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  Variant FieldValue(Variant key) const;
  Dispatch& Target() const;
  ObjectRef object_;
};

}  // namespace zet
