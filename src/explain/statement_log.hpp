#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "host/platform.hpp"

namespace zet::explain {

// A platform that hands every call through to another and writes down each
// statement sent on the way (the text argument of GetData, ExecuteSQL and
// Execute), so that an explanation can show what was asked, exactly.
class StatementLog : public Platform {
 public:
  explicit StatementLog(Platform& inner) : inner_(inner) {}
  ~StatementLog() override;

  ObjectRef CreateObject(std::string_view prog_id) override;
  int32_t CurrentProcessId() override { return inner_.CurrentProcessId(); }
  void ShowMessage(std::string_view text) noexcept override { inner_.ShowMessage(text); }

  size_t Size() const { return statements_.size(); }
  // The statements sent since `mark` (a Size() taken earlier).
  std::vector<std::string> Since(size_t mark) const;

  void Record(std::string statement) { statements_.push_back(std::move(statement)); }

 private:
  Platform& inner_;
  std::vector<std::string> statements_;
};

}  // namespace zet::explain
