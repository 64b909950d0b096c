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

}  // namespace zet::explain
