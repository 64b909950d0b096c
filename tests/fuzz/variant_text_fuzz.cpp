// Any text converted to the numbers and the Boolean of automation: a value or
// AutomationError, nothing else.
#include <cstddef>
#include <cstdint>

#include "host/error.hpp"
#include "host/variant.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const zet::Variant text = zet::Variant::String({reinterpret_cast<const char*>(data), size});
  const auto attempt = [](auto convert) {
    try {
      convert();
    } catch (const zet::AutomationError&) {
    }
  };
  attempt([&] { return zet::CDbl(text); });
  attempt([&] { return zet::CLng(text); });
  attempt([&] { return zet::CInt(text); });
  attempt([&] { return zet::CBool(text); });
  attempt([&] { return zet::Val(text); });
  return 0;
}
