#include "explain/statement_log.hpp"

#include "host/service_factory.hpp"
#include "host/text.hpp"

namespace zet::explain {

namespace {

// Passes every call on; objects handed back are wrapped in turn, so that a
// service made by the creation service is watched too.
class Watched : public Dispatch {
 public:
  Watched(ObjectRef inner, StatementLog& log) : inner_(std::move(inner)), log_(log) {}

  Variant Invoke(std::string_view member, CallKind kind, std::span<Argument> args) override {
    const bool sends = EqualsIgnoreCase(member, "GetData") || EqualsIgnoreCase(member, "ExecuteSQL") ||
                       EqualsIgnoreCase(member, "Execute");
    if (sends && !args.empty() && args.back().Value().IsString()) log_.Record(args.back().Value().AsString());
    Variant result = inner_->Invoke(member, kind, args);
    if (result.IsObject() && result.AsObject()) return Variant::Object(std::make_shared<Watched>(result.AsObject(), log_));
    return result;
  }
  bool Supports(std::string_view interface_name) override { return inner_->Supports(interface_name); }

 private:
  ObjectRef inner_;
  StatementLog& log_;
};

}  // namespace

StatementLog::~StatementLog() {
  ReleaseServiceFactory(this);
}

ObjectRef StatementLog::CreateObject(std::string_view prog_id) {
  return std::make_shared<Watched>(inner_.CreateObject(prog_id), *this);
}

std::vector<std::string> StatementLog::Since(size_t mark) const {
  if (mark >= statements_.size()) return {};
  return {statements_.begin() + static_cast<std::ptrdiff_t>(mark), statements_.end()};
}

}  // namespace zet::explain
