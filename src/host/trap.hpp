#pragma once

#include <exception>
#include <new>
#include <string>

#include "host/error.hpp"
#include "host/platform.hpp"

namespace zet {

// The error trap of the component's operations: runs `body`; when anything
// fails inside it, shows the failure's description (or `fixed_message` when
// given) through the platform's message box and returns false. Nothing
// escapes, whatever the body throws.
template <class Body>
bool RunTrapped(Platform& platform, Body&& body, const char* fixed_message = nullptr) noexcept {
  std::string description;
  try {
    body();
    return true;
  } catch (const AutomationError& e) {
    description = e.Description();
  } catch (const std::bad_alloc&) {
    description = RuntimeErrorText(err::kOutOfMemory);
  } catch (const std::exception& e) {
    description = e.what();
  } catch (...) {
    description = RuntimeErrorText(0);
  }
  platform.ShowMessage(fixed_message ? std::string(fixed_message) : description);
  return false;
}

// The same trap without a message: for operations whose failures are answers.
template <class Body>
bool RunSilently(Body&& body) noexcept {
  try {
    body();
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace zet
