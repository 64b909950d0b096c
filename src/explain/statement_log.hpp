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

  // While muted, messages are kept instead of shown: the explainer's own
  // reads repeat calls whose messages the method shows when it runs.
  void Mute(bool muted) { muted_ = muted; }
  void ShowMessage(std::string_view text) noexcept override;
  size_t HeldCount() const { return held_.size(); }
  // The messages kept since `mark` (a HeldCount() taken earlier).
  std::vector<std::string> HeldSince(size_t mark) const;

 private:
  std::vector<std::string> statements_;
  std::vector<std::string> held_;
  bool muted_ = false;
};

}  // namespace zet::explain
