#include "cli/console_toolbar.hpp"

#include <iomanip>

#include "host/error.hpp"
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
    ConsoleToolbar::Tool& tool = (*tools_)[index_];
    if (kind == CallKind::PropertyPut) {
      if (args.size() != 1) RaiseRuntimeError(err::kWrongArgumentCount);
      const Variant& value = args[0].Value();
      if (EqualsIgnoreCase(member, "Visible")) {
        tool.visible = CBool(value);
      } else if (EqualsIgnoreCase(member, "Caption")) {
        tool.caption = CStr(value);
      } else if (EqualsIgnoreCase(member, "Text")) {
        tool.text = CStr(value);
      } else {
        NoSuchMember(member);
      }
      return {};
    }
    if (!IsRead(kind) || !args.empty()) NoSuchMember(member);
    if (EqualsIgnoreCase(member, "Visible")) return Variant::Boolean(tool.visible);
    if (EqualsIgnoreCase(member, "Caption")) return Variant::String(tool.caption);
    if (EqualsIgnoreCase(member, "Text")) return Variant::String(tool.text);
    NoSuchMember(member);
  }

 private:
  std::shared_ptr<ToolList> tools_;
  size_t index_;
};

class BandObject : public Dispatch {
 public:
  explicit BandObject(std::shared_ptr<ToolList> tools) : tools_(std::move(tools)) {}

  Variant Invoke(std::string_view member, CallKind kind, std::span<Argument> args) override {
    if (!IsRead(kind)) NoSuchMember(member);
    if (EqualsIgnoreCase(member, "Count") && args.empty()) return Variant::Long(ConsoleToolbar::kToolCount);
    if (!EqualsIgnoreCase(member, "Tools")) NoSuchMember(member);
    if (args.size() != 1) RaiseRuntimeError(err::kWrongArgumentCount);
    const int32_t index = CLng(args[0].Value());
    if (index < 0 || index >= ConsoleToolbar::kToolCount)
      throw AutomationError(ConsoleToolbar::kIndexOutOfBounds, "Index out of bounds");
    return Variant::Object(std::make_shared<ToolObject>(tools_, static_cast<size_t>(index)));
  }

 private:
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
