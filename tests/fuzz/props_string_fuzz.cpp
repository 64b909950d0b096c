// Any property string, and any key (the text after its first NUL), read as the
// login context reads them. It never raises.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "host/login_context.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t nul = input.find('\0');
  zet::FindPropValue(input.substr(0, nul), nul == std::string_view::npos ? "UserID" : input.substr(nul + 1));
  return 0;
}
