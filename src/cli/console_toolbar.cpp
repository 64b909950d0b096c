#include "cli/console_toolbar.hpp"

#include <iomanip>

#include "host/error.hpp"
#include "host/member_table.hpp"
#include "host/text.hpp"

namespace zet::cli {

namespace {

using ToolList = std::vector<ConsoleToolbar::Tool>;

// Toolbar members answer both to a method call and to a property read, as
// late binding asks for either.
bool IsRead(CallKind kind) {
  return kind == CallKind::Method || kind == CallKind::PropertyGet;
}

[[noreturn]] void NoSuchMember(std::string_view member) {
  throw AutomationError(err::kMemberNotFound, RuntimeErrorText(err::kMemberNotFound), std::string(member));
}

class ToolObject : public Dispatch {
 public:
  ToolObject(std::shared_ptr<ToolList> tools, size_t index) : tools_(std::move(tools)), index_(index) {}

  Variant Invoke(std::string_view member, CallKind kind, std::span<Argument> args) override {
    using Tool = ConsoleToolbar::Tool;
    static constexpr Member<Tool> kMembers[] = {
        {"Visible", Reach::Read, 0, [](Tool& tool, std::span<Argument>) { return Variant::Boolean(tool.visible); }},
        {"Caption", Reach::Read, 0, [](Tool& tool, std::span<Argument>) { return Variant::String(tool.caption); }},
        {"Text", Reach::Read, 0, [](Tool& tool, std::span<Argument>) { return Variant::String(tool.text); }},
        {"Visible", Reach::Put, 1,
         [](Tool& tool, std::span<Argument> given) {
           tool.visible = CBool(given[0].Value());
           return Variant();
         }},
        {"Caption", Reach::Put, 1,
         [](Tool& tool, std::span<Argument> given) {
           tool.caption = CStr(given[0].Value());
           return Variant();
         }},
        {"Text", Reach::Put, 1,
         [](Tool& tool, std::span<Argument> given) {
           tool.text = CStr(given[0].Value());
           return Variant();
         }},
    };
    // An assignment takes one value, whatever it assigns to.
    if (kind == CallKind::PropertyPut && args.size() != 1) RaiseRuntimeError(err::kWrongArgumentCount);
    const Member<Tool>* found = FindMember(kMembers, member, kind, args.size());
    if (found == nullptr) NoSuchMember(member);
    return found->run((*tools_)[index_], args);
  }

 private:
  std::shared_ptr<ToolList> tools_;
  size_t index_;
};

class BandObject : public Dispatch {
 public:
  explicit BandObject(std::shared_ptr<ToolList> tools) : tools_(std::move(tools)) {}

  Variant Invoke(std::string_view member, CallKind kind, std::span<Argument> args) override {
    static constexpr Member<BandObject> kMembers[] = {
        {"Count", Reach::Read, 0,
         [](BandObject&, std::span<Argument>) { return Variant::Long(ConsoleToolbar::kToolCount); }},
        {"Tools", Reach::Read, -1, [](BandObject& band, std::span<Argument> given) { return band.Tool(given); }},
    };
    const Member<BandObject>* found = FindMember(kMembers, member, kind, args.size());
    if (found == nullptr) NoSuchMember(member);
    return found->run(*this, args);
  }

 private:
  Variant Tool(std::span<Argument> args) {
    if (args.size() != 1) RaiseRuntimeError(err::kWrongArgumentCount);
    const int32_t index = CLng(args[0].Value());
    if (index < 0 || index >= ConsoleToolbar::kToolCount)
      throw AutomationError(ConsoleToolbar::kIndexOutOfBounds, "Index out of bounds");
    return Variant::Object(std::make_shared<ToolObject>(tools_, static_cast<size_t>(index)));
  }

  std::shared_ptr<ToolList> tools_;
};

}  // namespace

ConsoleToolbar::ConsoleToolbar() : tools_(std::make_shared<ToolList>(kToolCount)) {}

Variant ConsoleToolbar::Invoke(std::string_view member, CallKind kind, std::span<Argument> args) {
  if (!IsRead(kind) || !EqualsIgnoreCase(member, "Bands")) NoSuchMember(member);
  if (args.size() != 1) RaiseRuntimeError(err::kWrongArgumentCount);
  if (CStr(args[0].Value()) != kBandName) throw AutomationError(kElementNotFound, "Element not found");
  return Variant::Object(std::make_shared<BandObject>(tools_));
}

void ConsoleToolbar::Print(std::ostream& out) const {
  bool any = false;
  for (size_t index = 0; index < tools_->size(); ++index) {
    const Tool& tool = (*tools_)[index];
    if (!tool.visible) continue;
    any = true;
    out << std::setw(4) << index + 1 << "  " << tool.caption << "  [" << tool.text << "]\n";
  }
  if (!any) out << "   (no recent bills)\n";
}

Json ConsoleToolbar::VisibleToolsJson() const {
  Json tools = Json::array();
  for (size_t index = 0; index < tools_->size(); ++index) {
    const Tool& tool = (*tools_)[index];
    if (tool.visible) tools.push_back({{"place", index + 1}, {"caption", tool.caption}, {"text", tool.text}});
  }
  return tools;
}

}  // namespace zet::cli
