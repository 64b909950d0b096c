#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cli/value_json.hpp"
#include "host/dispatch.hpp"

namespace zet::cli {

// The host's toolbar as the command line plays it: one band, "mnuRecBill",
// holding the 20 tools of the recent-bills menu. Bands(name) gives the band,
// the band's Tools(index) a tool (0 to 19), and each tool has Visible, Caption
// and Text to set and read. An index the band does not hold raises 35600
// "Index out of bounds" and an unknown band 35601 "Element not found", as a
// host toolbar does.
class ConsoleToolbar : public Dispatch {
 public:
  static constexpr int kToolCount = 20;
  static constexpr const char* kBandName = "mnuRecBill";
  static constexpr int32_t kIndexOutOfBounds = 35600;
  static constexpr int32_t kElementNotFound = 35601;

  struct Tool {
    bool visible = false;
    std::string caption;
    std::string text;
  };

  ConsoleToolbar();

  Variant Invoke(std::string_view member, CallKind kind, std::span<Argument> args) override;

  const std::vector<Tool>& Tools() const { return *tools_; }

  // The visible tools, one line each: the place in the list (index + 1), the
  // caption and, in brackets, the text the host would act on.
  void Print(std::ostream& out) const;
  // The visible tools as [{"place": 1, "caption": "...", "text": "..."}].
  Json VisibleToolsJson() const;

 private:
  std::shared_ptr<std::vector<Tool>> tools_;
};

}  // namespace zet::cli
