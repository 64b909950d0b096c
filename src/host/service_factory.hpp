#pragma once

#include <string_view>

#include "host/platform.hpp"

namespace zet {

// ProgIDs of the foundation library's classes, as the build configured them
// (CMake's ZET_SERVICE_FACTORY_PROGID and ZET_VALUE_LIST_PROGID). Ask these,
// never the build's definitions: only the core library is compiled with them.
std::string_view ServiceFactoryProgId();
std::string_view ValueListProgId();

// The per-thread creation service: made on the first request of a thread and
// kept until that thread's module data goes (or ReleaseServiceFactory).
// Returns the new host object for `prog_id`; every failure raises.
ObjectRef CreateService(Platform& platform, std::string_view prog_id);

// Whether this thread already holds a creation service for `platform`.
bool HasServiceFactory(const Platform& platform);

// Drops this thread's creation service for `platform` (all platforms when
// null): the module data's teardown.
void ReleaseServiceFactory(const Platform* platform = nullptr);

}  // namespace zet
