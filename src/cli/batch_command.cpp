#include "cli/batch_command.hpp"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "cli/argument_syntax.hpp"
#include "cli/commands.hpp"
#include "cli/method_table.hpp"
#include "cli/usage_error.hpp"
#include "cli/value_json.hpp"
#include "embedded/host_objects.hpp"

namespace zet::cli {

namespace {

struct BatchLine {
  CallRequest request;
  std::string props;
};

std::string TextOf(const Json& value, const char* what) {
  if (!value.is_string()) throw UsageError(std::string(what) + " must be a string");
  return value.get<std::string>();
}

BatchLine ReadLine(const std::string& line, const std::string& default_props) {
  const Json json = Json::parse(line, nullptr, false);
  // A NUL byte is no JSON, though the parser would stop at it and take the
  // line for what comes before.
  if (json.is_discarded() || !json.is_object() || line.find('\0') != std::string::npos)
    throw UsageError("a line must be one JSON object");
  BatchLine read;
  read.props = default_props;
  for (const auto& [key, value] : json.items()) {
    if (key == "method") {
      read.request.method = TextOf(value, "\"method\"");
    } else if (key == "args") {
      if (!value.is_array()) throw UsageError("\"args\" must be an array of strings");
      for (const Json& arg : value) read.request.args.push_back(TextOf(arg, "each of \"args\""));
    } else if (key == "toolbar") {
      if (!value.is_boolean()) throw UsageError("\"toolbar\" must be true or false");
      read.request.toolbar = value.get<bool>();
    } else if (key == "user") {
      // A number as `--user` takes it, written either way; one that is not
      // whole is refused by the same check.
      const std::string user = value.is_number() ? value.dump() : TextOf(value, "\"user\"");
      read.props = "UserID=" + std::to_string(ParseLong(user, "\"user\"")) + ";";
    } else if (key == "props") {
      read.props = TextOf(value, "\"props\"");
    } else {
      throw UsageError("unknown key \"" + key + "\"");
    }
  }
  if (!json.contains("props") || !json.contains("user")) return read;
  // Both given: the property string wins, as --props does over --user.
  read.props = json["props"].get<std::string>();
  return read;
}

}  // namespace

int RunBatch(const GlobalOptions& options, std::istream& in, std::ostream& out, std::ostream& err) {
#ifndef _WIN32
  // A closed standard input reads as an empty one, and the next file opened
  // would take its number: asked before anything is opened.
  if (&in == &std::cin && ::fcntl(STDIN_FILENO, F_GETFD) == -1 && errno == EBADF)
    throw UsageError("cannot read standard input: it is closed");
#endif
  Session session(options, err);
  const std::string default_props = options.PropsString();
  std::string current_props = default_props;
  bool bad_line = false;
  bool message = false;
  // Input that cannot be read (a folder, a closed descriptor) would look like
  // its end: the run would claim every call answered.
  errno = 0;
  for (std::string line; std::getline(in, line); errno = 0) {
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    Json answer;
    try {
      const BatchLine read = ReadLine(line, default_props);
      const PreparedCall call = PrepareCall(read.request.method, read.request.args, read.request.toolbar);
      VouchForContext(read.props);
      if (read.props != current_props) {
        session.SetProps(read.props);
        current_props = read.props;
      }
      session.ClearMessages();
      Session::Toolbar toolbar;
      if (read.request.toolbar) toolbar = session.MakeToolbar();
      const CallOutcome outcome = call.method->invoke(session.Component(), call.values, toolbar.passed);
      session.Untraced([&] {
        answer["result"] = TypedValue(outcome.result, call.method->result_shape);
        Json byref = Json::object();
        for (const auto& [name, value] : outcome.byref) byref[name] = TypedValue(value);
        answer["byref"] = std::move(byref);
        answer["messages"] = session.Messages();
        if (toolbar.console) answer["toolbar"] = toolbar.console->VisibleToolsJson();
      });
      // Answers read from a file that proved damaged are not given as true;
      // those given before were read while it was whole.
      if (const std::string damage = session.Platform().Conn().Damage(); !damage.empty())
        throw embedded::DatabaseUnavailable(damage);
      message = message || session.MessageCount() > 0;
    } catch (const UsageError& e) {
      bad_line = true;
      answer = Json{{"error", e.what()}};
    }
    out << Dump(answer) << '\n';
    // A script that waits for each answer before it writes the next line
    // gets it at once; a file read in one go is written in large blocks.
    if (in.rdbuf()->in_avail() <= 0) out.flush();
    if (!out) throw OutputError("cannot write standard output");
  }
  if (errno != 0) throw UsageError(std::string("cannot read standard input: ") + std::strerror(errno));
  session.ClearMessages();
  session.ExitCode();  // raises OutputError when a trace line was lost
  return bad_line ? kExitUsage : message ? kExitMessage : kExitOk;
}

}  // namespace zet::cli
