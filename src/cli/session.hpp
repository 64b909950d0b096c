#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/console_toolbar.hpp"
#include "cli/trace_writer.hpp"
#include "component/cls_move_bill.hpp"
#include "embedded/embedded_host.hpp"

namespace zet::cli {

// The options every command takes.
struct GlobalOptions {
  std::string db = "zetmovebill.db";
  // An ODBC connection string: the commands run on that database instead.
  std::optional<std::string> odbc;
  std::optional<std::string> user;
  std::optional<std::string> props;
  std::optional<std::string> trace;
  bool json = false;
  // Where `--trace -` writes, as it goes: the process's standard error, not
  // the command's own, which is held until the command ends.
  std::ostream* trace_to = nullptr;

  // The context property string the host publishes: --props as given, else
  // "UserID=<--user>;", else nothing.
  std::string PropsString() const;
};

// Why the database of the last session that ended proved unusable during
// its calls ("" when it did not), and forgets it.
std::string TakeDamage();

// Raises UsageError when the context names no user: the friendly commands
// need one, and without it every statement would fail on its own.
void RequireUser(const GlobalOptions& options);

// Raises UsageError when the context is not empty and the user id the
// component reads from it (with the component's own reader) is not a whole
// number that fits a Long: the component splices that id into its
// statements, reads and writes alike, as it stands.
void VouchForContext(const std::string& props);

// One run against an existing database: the embedded host, the component,
// the trace and the messages the component shows.
class Session {
 public:
  // Opens --db (never creating it), or connects to --odbc, and the trace.
  // Raises UsageError with the host's one-line reason when the file is
  // missing or no database of this schema, when the connection string holds
  // a password, or when the trace file cannot be opened;
  // DatabaseUnavailable when the database cannot be reached.
  Session(const GlobalOptions& options, std::ostream& err);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  embedded::EmbeddedPlatform& Platform() { return *platform_; }
  clsMoveBill& Component() { return component_; }

  // Logs on as another user for the calls that follow.
  void SetProps(std::string props) { platform_->SetProps(std::move(props)); }

  // A fresh console toolbar and the reference the component is handed, traced
  // under the name "ABar".
  struct Toolbar {
    std::shared_ptr<ConsoleToolbar> console;
    ObjectRef passed;
  };
  Toolbar MakeToolbar();

  // Shows a message as the component's message box is shown: on standard
  // error as "message: TEXT", and kept for the machine output.
  void ShowMessage(std::string_view text);
  const std::vector<std::string>& Messages() const { return messages_; }
  size_t MessageCount() const { return messages_.size(); }
  // Forgets the messages shown so far: a batch reports each call's own.
  void ClearMessages() { messages_.clear(); }
  // 1 when any message was shown, else 0. Raises OutputError when a trace
  // line could not be written.
  int ExitCode() const;

  // Runs `read` (the tool's own reading of a result) with the trace paused.
  template <class Read>
  auto Untraced(Read&& read) {
    struct Resume {
      TraceWriter* trace;
      ~Resume() {
        if (trace) trace->Resume();
      }
    } resume{trace_.get()};
    if (trace_) trace_->Pause();
    return read();
  }

 private:
  std::ostream& err_;
  std::unique_ptr<embedded::EmbeddedPlatform> platform_;
  clsMoveBill component_;
  std::unique_ptr<TraceWriter> trace_;
  std::vector<std::string> messages_;
};

}  // namespace zet::cli
