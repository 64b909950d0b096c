#include "host/platform.hpp"

#include "host/service_factory.hpp"

namespace zet {

namespace {

class Watched : public Dispatch {
 public:
  Watched(ForwardingPlatform& platform, ObjectRef inner, std::string prog_id)
      : platform_(platform), inner_(std::move(inner)), prog_id_(std::move(prog_id)) {}

  Variant Invoke(std::string_view member, CallKind kind, std::span<Argument> args) override {
    platform_.Watch(prog_id_, member, args);
    Variant result = inner_->Invoke(member, kind, args);
    if (result.IsObject() && result.AsObject())
      return Variant::Object(std::make_shared<Watched>(platform_, result.AsObject(), prog_id_));
    return result;
  }
  bool Supports(std::string_view interface_name) override { return inner_->Supports(interface_name); }

 private:
  ForwardingPlatform& platform_;
  ObjectRef inner_;
  std::string prog_id_;
};

}  // namespace

ForwardingPlatform::~ForwardingPlatform() {
  // The creation service was made through this platform; it goes with it.
  ReleaseServiceFactory(this);
}

ObjectRef ForwardingPlatform::CreateObject(std::string_view prog_id) {
  return std::make_shared<Watched>(*this, inner_.CreateObject(prog_id), std::string(prog_id));
}

}  // namespace zet
