// Any text through the T-SQL adapter: statements or AutomationError, nothing else.
#include <cstddef>
#include <cstdint>

#include "embedded/tsql_adapter.hpp"
#include "host/error.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    zet::embedded::TranslateBatch({reinterpret_cast<const char*>(data), size}, {"2026-12-05"});
  } catch (const zet::AutomationError&) {
  }
  return 0;
}
