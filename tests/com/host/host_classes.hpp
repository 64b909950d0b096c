#pragma once

namespace zet::testhost {

class HostObject;

// A class the host registers: its ProgID and how a new object of it (with
// one reference) is made.
struct HostClassEntry {
  const wchar_t* prog_id;
  HostObject* (*make)();
};
inline constexpr unsigned kHostClassCount = 11;
extern const HostClassEntry kHostClasses[kHostClassCount];

}  // namespace zet::testhost
