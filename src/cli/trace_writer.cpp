#include "cli/trace_writer.hpp"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>

#include "cli/usage_error.hpp"
#include "cli/value_json.hpp"

namespace zet::cli {

std::string TraceLine(const embedded::TraceRecord& record) {
  Json args = Json::array();
  for (const Variant& arg : record.args) args.push_back(TraceValue(arg));
  Json line;
  line["object"] = record.object;
  line["member"] = record.member;
  line["args"] = std::move(args);
  return Dump(line);
}

TraceWriter::TraceWriter(const std::string& path, std::ostream& standard_error)
    : out_(&standard_error), name_(path == "-" ? "standard error" : "'" + path + "'") {
  if (path == "-") return;
  // Opening a FIFO for writing waits for a reader, for ever if none comes:
  // a FIFO that no process reads is refused instead.
  [[maybe_unused]] int probe = -1;
#ifndef _WIN32
  struct stat file {};
  if (::stat(path.c_str(), &file) == 0 && S_ISFIFO(file.st_mode)) {
    probe = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (probe < 0) throw UsageError("cannot open the trace file '" + path + "' for writing: no process reads it");
  }
#endif
  errno = 0;
  file_.open(path, std::ios::out | std::ios::app | std::ios::binary);
  const int error = errno;
#ifndef _WIN32
  if (probe >= 0) ::close(probe);
#endif
  if (!file_)
    throw UsageError("cannot open the trace file '" + path + "' for writing" +
                     (error ? std::string(": ") + std::strerror(error) : ""));
  out_ = &file_;
}

void TraceWriter::Write(const embedded::TraceRecord& record) {
  if (paused_ || !failure_.empty()) return;
  errno = 0;
  *out_ << TraceLine(record) << '\n';
  out_->flush();
  if (!*out_) failure_ = "cannot write the trace to " + name_ + ": " + (errno ? std::strerror(errno) : "write failed");
}

}  // namespace zet::cli
