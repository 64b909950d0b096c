#pragma once

#include <fstream>
#include <ostream>
#include <string>

#include "embedded/embedded_host.hpp"

namespace zet::cli {

// One trace line: {"object":"<ProgID>","member":"<name>","args":[...]}.
std::string TraceLine(const embedded::TraceRecord& record);

// Where --trace writes: appended to a file, or standard error for "-". Lines
// are flushed one by one so that a trace read while the tool runs, or after it
// fails, holds every call made so far.
class TraceWriter {
 public:
  // Raises UsageError when the file cannot be opened for appending.
  TraceWriter(const std::string& path, std::ostream& standard_error);

  // A line that cannot be written ends the trace; Failure() then says why.
  // It is not raised here: the write happens inside the component's call,
  // whose error handling would report it as the component's own failure.
  void Write(const embedded::TraceRecord& record);
  const std::string& Failure() const { return failure_; }

  // The tool's own reading of results (a recordset printed after the call) is
  // no call of the component's and stays out of the trace.
  void Pause() { paused_ = true; }
  void Resume() { paused_ = false; }

 private:
  std::ofstream file_;
  std::ostream* out_;
  std::string name_;
  std::string failure_;
  bool paused_ = false;
};

}  // namespace zet::cli
