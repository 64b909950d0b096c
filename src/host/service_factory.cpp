#include "host/service_factory.hpp"

#include <cstdint>
#include <unordered_map>

namespace zet {

// The build defines both; there is deliberately no default here, so that a
// build that forgets them fails rather than naming the wrong class.
std::string_view ServiceFactoryProgId() {
  return ZET_SERVICE_FACTORY_PROGID;
}
std::string_view ValueListProgId() {
  return ZET_VALUE_LIST_PROGID;
}

namespace {
// One slot per thread and platform: a process normally has one platform, the
// tests have many, one after the other.
std::unordered_map<uint64_t, ObjectRef>& ThreadFactories() {
  thread_local std::unordered_map<uint64_t, ObjectRef> factories;
  return factories;
}
}  // namespace

ObjectRef CreateService(Platform& platform, std::string_view prog_id) {
  ObjectRef& factory = ThreadFactories()[platform.Serial()];
  if (!factory) factory = platform.CreateObject(ServiceFactoryProgId());
  Argument args[] = {Argument::ByVal(Variant::String(std::string(prog_id)))};
  return RequireObject(factory->Call("CreateService", args));
}

bool HasServiceFactory(const Platform& platform) {
  const auto& factories = ThreadFactories();
  const auto it = factories.find(platform.Serial());
  return it != factories.end() && it->second != nullptr;
}

void ReleaseServiceFactory(const Platform* platform) {
  auto& factories = ThreadFactories();
  if (platform == nullptr) {
    factories.clear();
  } else {
    factories.erase(platform->Serial());
  }
}

}  // namespace zet
