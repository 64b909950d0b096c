#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "host/platform.hpp"

namespace zet::explain {

// A platform that hands every call through to another and writes down each
// statement sent on the way (the text argument of GetData, ExecuteSQL and
// Execute), so that an explanation can show what was asked, exactly.
class StatementLog : public ForwardingPlatform {
 public:
  using ForwardingPlatform::ForwardingPlatform;

  size_t Size() const { return statements_.size(); }
  // The statements sent since `mark` (a Size() taken earlier).
  std::vector<std::string> Since(size_t mark) const;

  void Watch(const std::string& prog_id, std::string_view member, std::span<Argument> args) override;

 private:
  std::vector<std::string> statements_;
};

}  // namespace zet::explain
