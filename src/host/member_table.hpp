#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "host/dispatch.hpp"
#include "host/text.hpp"

namespace zet {

// Which calls reach a member of an object that answers from a table: late
// binding may read a property as a method call, so reads are one reach.
enum class Reach { Any, Read, Put };

// One member of such an object: its name, which late binding matches without
// regard to case; the calls that reach it; how many arguments it takes (-1:
// it checks them itself), a call with another count reaching no member; and
// what it does for `self`.
template <class Self>
struct Member {
  std::string_view name;
  Reach reach;
  int arguments;
  Variant (*run)(Self& self, std::span<Argument> args);
};

// The member of `table` that a call of `name` as `kind` with `arguments`
// arguments reaches; nullptr when none does, so that each object raises its
// own error for an unknown member.
template <class Self, std::size_t N>
const Member<Self>* FindMember(const Member<Self> (&table)[N], std::string_view name, CallKind kind,
                               std::size_t arguments) {
  for (const Member<Self>& member : table) {
    if (!EqualsIgnoreCase(member.name, name)) continue;
    if (member.reach != Reach::Any && (member.reach == Reach::Put) != (kind == CallKind::PropertyPut)) continue;
    if (member.arguments >= 0 && static_cast<std::size_t>(member.arguments) != arguments) continue;
    return &member;
  }
  return nullptr;
}

}  // namespace zet
