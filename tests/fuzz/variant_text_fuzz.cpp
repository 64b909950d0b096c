// Any text converted to the numbers and the Boolean of automation: a value or
// AutomationError, nothing else.
#include <cstddef>
#include <cstdint>

#include "host/error.hpp"
#include "host/variant.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const zet::Variant text = zet::Variant::String({reinterpret_cast<const char*>(data), size});
  for (auto convert : {+[](const zet::Variant& v) { return zet::CDbl(v); },
                       +[](const zet::Variant& v) { return double(zet::CLng(v)); },
                       +[](const zet::Variant& v) { return double(zet::CInt(v)); },
                       +[](const zet::Variant& v) { return double(zet::CBool(v)); },
                       +[](const zet::Variant& v) { return zet::Val(v); }}) {
    try {
      convert(text);
    } catch (const zet::AutomationError&) {
    }
  }
  return 0;
}
