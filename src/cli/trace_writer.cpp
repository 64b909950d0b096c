#include "cli/trace_writer.hpp"

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

TraceWriter::TraceWriter(const std::string& path, std::ostream& standard_error) : out_(&standard_error) {
  if (path == "-") return;
  file_.open(path, std::ios::out | std::ios::app | std::ios::binary);
  if (!file_) throw UsageError("cannot open the trace file '" + path + "' for writing");
  out_ = &file_;
}

void TraceWriter::Write(const embedded::TraceRecord& record) {
  if (paused_) return;
  *out_ << TraceLine(record) << '\n';
  out_->flush();
}

}  // namespace zet::cli
