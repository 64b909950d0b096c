#include "cli/session.hpp"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <utility>

#include "cli/argument_syntax.hpp"
#include "cli/usage_error.hpp"
#include "embedded/result_set.hpp"
#include "host/login_context.hpp"
#include "host/service_factory.hpp"
#include "odbc/odbc_connection.hpp"

namespace zet::cli {

namespace {

std::unique_ptr<embedded::EmbeddedPlatform> OpenPlatform(const GlobalOptions& options) {
  if (options.odbc && odbc::CarriesPassword(*options.odbc))
    throw UsageError(std::string("the connection string names a password: give it in ") + odbc::kPasswordVariable +
                     " or in the DSN instead");
  try {
    if (!options.odbc) return embedded::EmbeddedPlatform::Open(options.db, options.PropsString());
    const char* password = std::getenv(odbc::kPasswordVariable);
    return embedded::EmbeddedPlatform::Over(odbc::Connect(*options.odbc, password ? password : ""),
                                            options.PropsString());
  } catch (const embedded::DatabaseUnavailable&) {
    throw;
  } catch (const std::runtime_error& e) {
    // A file that is not what this build reads (another schema version, no
    // database at all) is bad input, whichever way it is reached.
    throw UsageError(e.what());
  }
}

// The trace is appended to whatever file it names: the database or one of
// its companions would take the lines into the file being traced.
void RefuseTraceOnto(const std::string& trace, const std::string& db) {
  namespace fs = std::filesystem;
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
    const fs::path file = db + suffix;
    std::error_code a, b;
    if (fs::equivalent(trace, file, a) || (fs::weakly_canonical(trace, a) == fs::weakly_canonical(file, b) && !a && !b))
      throw UsageError("the trace file '" + trace + "' is the database file " + file.string());
  }
}

}  // namespace

std::string GlobalOptions::PropsString() const {
  if (props) return *props;
  if (user) return "UserID=" + *user + ";";
  return "";
}

Session::Session(const GlobalOptions& options, std::ostream& err)
    : err_(err), platform_(OpenPlatform(options)), component_(*platform_) {
  if (options.trace) {
    if (*options.trace != "-" && !options.odbc) RefuseTraceOnto(*options.trace, options.db);
    trace_ = std::make_unique<TraceWriter>(*options.trace, options.trace_to ? *options.trace_to : err_);
    platform_->SetTraceSink([this](const embedded::TraceRecord& record) { trace_->Write(record); });
  }
  platform_->SetMessageSink([this](std::string_view text) { ShowMessage(text); });
}

namespace {
std::string g_damage;
}  // namespace

std::string TakeDamage() {
  return std::exchange(g_damage, {});
}

Session::~Session() {
  if (platform_ && !platform_->Conn().Damage().empty()) g_damage = platform_->Conn().Damage();
  // The thread's creation service is an object of this platform; it must not
  // outlive it.
  ReleaseServiceFactory(platform_.get());
}

Session::Toolbar Session::MakeToolbar() {
  Toolbar toolbar;
  toolbar.console = std::make_shared<ConsoleToolbar>();
  toolbar.passed = platform_->Traced(toolbar.console, "ABar");
  return toolbar;
}

void Session::ShowMessage(std::string_view text) {
  messages_.emplace_back(text);
  // Once the file proved damaged, the command ends with that one line
  // instead of a message for every statement that failed on it.
  if (!platform_->Conn().Damage().empty()) return;
  err_ << "message: " << text << '\n';
  err_.flush();
}

int Session::ExitCode() const {
  if (trace_ && !trace_->Failure().empty()) throw OutputError(trace_->Failure());
  return messages_.empty() ? kExitOk : kExitMessage;
}

void RequireUser(const GlobalOptions& options) {
  if (FindPropValue(options.PropsString(), "UserID").empty())
    throw UsageError("no user is logged in: give one with --user ID (or --props 'UserID=ID;')");
}

void VouchForContext(const std::string& props) {
  if (props.empty()) return;
  const std::string user = FindPropValue(props, "UserID");
  if (user.empty()) throw UsageError("no user is logged in: give one with --user ID (or --props 'UserID=ID;')");
  ParseLong(user, "UserID");
}

}  // namespace zet::cli
