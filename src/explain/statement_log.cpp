#include "explain/statement_log.hpp"

#include "host/text.hpp"

namespace zet::explain {

void StatementLog::Watch(const std::string&, std::string_view member, std::span<Argument> args) {
  const bool sends = EqualsIgnoreCase(member, "GetData") || EqualsIgnoreCase(member, "ExecuteSQL") ||
                     EqualsIgnoreCase(member, "Execute");
  if (sends && !args.empty() && args.back().Value().IsString()) statements_.push_back(args.back().Value().AsString());
}

std::vector<std::string> StatementLog::Since(size_t mark) const {
  if (mark >= statements_.size()) return {};
  return {statements_.begin() + static_cast<std::ptrdiff_t>(mark), statements_.end()};
}

void StatementLog::ShowMessage(std::string_view text) noexcept {
  if (!muted_) return ForwardingPlatform::ShowMessage(text);
  try {
    held_.emplace_back(text);
  } catch (...) {  // a message that cannot be kept is only not explained
  }
}

std::vector<std::string> StatementLog::HeldSince(size_t mark) const {
  if (mark >= held_.size()) return {};
  return {held_.begin() + static_cast<std::ptrdiff_t>(mark), held_.end()};
}

}  // namespace zet::explain
