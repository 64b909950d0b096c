#include "embedded/embedded_host.hpp"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "embedded/host_objects.hpp"
#include "host/error.hpp"
#include "host/service_factory.hpp"

// ZET_ODBC_ONLY: a build without SQLite (the Windows tool), whose only
// connection is ODBC.
#ifdef ZET_ODBC_ONLY
#include <windows.h>
#else
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include "embedded/database.hpp"
#include "embedded/demo_data.hpp"
#include "embedded/file_locks.hpp"
#include "embedded/open_errors.hpp"
#include "embedded/schema.hpp"
#endif

namespace zet::embedded {

#ifndef ZET_ODBC_ONLY
namespace {

// The embedded file as the connection the host objects run over.
class SqliteFile : public Connection {
 public:
  explicit SqliteFile(std::unique_ptr<Database> db) : db_(std::move(db)) {}
  Database& Db() { return *db_; }
  ResultSet RunQuery(std::string_view tsql, const TSqlOptions& options) override {
    return db_->RunQuery(tsql, options);
  }
  void RunBatch(const std::vector<std::string>& tsql_texts, const TSqlOptions& options) override {
    db_->RunBatch(tsql_texts, options);
  }
  ResultSet Lookup(std::string_view sql, const std::vector<Variant>& params) override {
    return db_->Query(sql, params);
  }
  void MethodBegins() noexcept override { db_->BeginCall(); }
  void MethodEnds() noexcept override { db_->EndCall(); }
  std::string WriteBlocker() const override { return db_->WriteBlocker(); }
  std::string Damage() const override { return db_->Damage(); }

 private:
  std::unique_ptr<Database> db_;
};

}  // namespace
#endif

struct EmbeddedPlatform::Impl {
  std::shared_ptr<HostState> state;
};

EmbeddedPlatform::EmbeddedPlatform(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

EmbeddedPlatform::~EmbeddedPlatform() {
  // This thread's creation service goes with the platform; those of other
  // threads hold the shared state and go with their threads.
  ReleaseServiceFactory(this);
}

#ifndef ZET_ODBC_ONLY
std::unique_ptr<EmbeddedPlatform> EmbeddedPlatform::Open(const std::string& path, std::string props) {
  auto impl = std::make_unique<Impl>();
  auto file = std::make_unique<SqliteFile>(Database::Open(path));
  Database& db = file->Db();
  impl->state = std::make_shared<HostState>(std::move(file), &db);
  impl->state->SetProps(std::move(props));
  return std::unique_ptr<EmbeddedPlatform>(new EmbeddedPlatform(std::move(impl)));
}
#endif

std::unique_ptr<EmbeddedPlatform> EmbeddedPlatform::Over(std::unique_ptr<Connection> connection, std::string props) {
  auto impl = std::make_unique<Impl>();
  impl->state = std::make_shared<HostState>(std::move(connection));
  impl->state->SetProps(std::move(props));
  return std::unique_ptr<EmbeddedPlatform>(new EmbeddedPlatform(std::move(impl)));
}

ObjectRef EmbeddedPlatform::CreateObject(std::string_view prog_id) {
  return impl_->state->CreateObject(prog_id);
}

int32_t EmbeddedPlatform::CurrentProcessId() {
  // Asked on every property read; a system call each time is a measurable
  // share of a method call.
#ifdef ZET_ODBC_ONLY
  static const auto pid = static_cast<int32_t>(GetCurrentProcessId());
#else
  static const auto pid = static_cast<int32_t>(::getpid());
#endif
  return pid;
}

void EmbeddedPlatform::ShowMessage(std::string_view text) noexcept {
  impl_->state->ShowMessage(text);
}

void EmbeddedPlatform::MethodBegins() noexcept {
  impl_->state->Conn().MethodBegins();
}

void EmbeddedPlatform::MethodEnds() noexcept {
  impl_->state->Conn().MethodEnds();
}

void EmbeddedPlatform::SetTraceSink(TraceSink sink) {
  impl_->state->SetTraceSink(std::move(sink));
}

void EmbeddedPlatform::SetMessageSink(MessageSink sink) {
  impl_->state->SetMessageSink(std::move(sink));
}

void EmbeddedPlatform::SetProps(std::string props) {
  impl_->state->SetProps(std::move(props));
}

void EmbeddedPlatform::SetToday(std::string day) {
  if (!day.empty()) {
    // Checked here so that a bad day fails where it is given, not in the
    // middle of a statement.
    auto digits = [&](size_t from, size_t count) {
      int value = 0;
      for (size_t i = from; i < from + count; ++i) {
        if (day[i] < '0' || day[i] > '9') return -1;
        value = value * 10 + (day[i] - '0');
      }
      return value;
    };
    const bool shaped = day.size() == 10 && day[4] == '-' && day[7] == '-' && digits(0, 4) >= 0;
    const int month = shaped ? digits(5, 2) : -1;
    const int month_day = shaped ? digits(8, 2) : -1;
    if (month < 1 || month > 12 || month_day < 1 || month_day > 31)
      throw std::invalid_argument("not a YYYY-MM-DD date: " + day);
  }
  impl_->state->SetToday(std::move(day));
}

ObjectRef EmbeddedPlatform::Traced(ObjectRef object, std::string name) {
  if (!object) return object;
  return MakeTraced(impl_->state, std::move(object), std::move(name), true);
}

Database& EmbeddedPlatform::Db() {
  return impl_->state->Db();
}

Connection& EmbeddedPlatform::Conn() {
  return impl_->state->Conn();
}

#ifdef ZET_ODBC_ONLY
std::unique_ptr<EmbeddedPlatform> EmbeddedPlatform::Open(const std::string&, std::string) {
  throw std::runtime_error("this build has no database file: reach a database with --odbc CONNECTION");
}

void CreateDatabase(const std::string& path, bool demo, bool overwrite) {
  CreateDatabase(path, demo, overwrite, "");
}

void CreateDatabase(const std::string&, bool, bool, const std::string&) {
  throw std::runtime_error("this build has no database file: reach a database with --odbc CONNECTION");
}
#else
namespace {

std::string LocalDay() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[16];
  std::strftime(text, sizeof text, "%Y-%m-%d", &local);
  return text;
}

void RemoveDatabaseFiles(const std::string& path) {
  std::error_code ec;
  for (const char* suffix : {"", "-journal", "-wal", "-shm"}) std::filesystem::remove(path + suffix, ec);
}

// The file `path` names: a link is written through, as any other writer of
// the file would, and anything but a regular file is refused.
std::string Target(const std::string& path, bool overwrite) {
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (!std::filesystem::exists(status)) {
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec)))
      throw std::runtime_error(path + " is a link to nothing");
    return path;
  }
  if (!overwrite) throw std::runtime_error(path + " already exists");
  if (!std::filesystem::is_regular_file(status)) throw std::runtime_error(path + " is not a regular file");
  return std::filesystem::canonical(path).string();
}

// Whether the old file may be replaced now: asked before the build, so that
// no work is wasted, and again just before the old file goes.
void RequireReplaceable(const std::string& path, const std::string& target) {
  // A process that has the old file open would go on reading and writing it
  // after it is replaced, unlinked and out of everyone else's sight: what it
  // writes then is lost.
  const std::string opener = OpenElsewhere(target);
  if (!opener.empty())
    throw DatabaseUnavailable("cannot replace " + path + ": " + opener +
                              " and would go on with the old file; close it first");
  // Replacing is a rename in the folder, which a user who may not write the
  // file itself (a reader of a shared folder) could still do: it would be
  // the one write he may not make. Named as given, unless a link names
  // another file.
  const std::string file = std::filesystem::is_symlink(path) ? target : path;
  if (std::string reason = std::filesystem::exists(target) ? ReadOnlyReason(file) : ""; !reason.empty())
    throw DatabaseUnavailable("cannot replace " + path + ": " + reason);
}

void SyncFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 || ::fsync(fd) != 0) {
    const int error = errno;
    if (fd >= 0) ::close(fd);
    throw DatabaseUnavailable("cannot write " + path + " to the disk: " + std::strerror(error));
  }
  ::close(fd);
}

// Ctrl-C, a hang-up or a kill while the new file is built would leave it
// beside the old one, and while the old file's log is set aside, that log
// would stay there. These signals wait while a replacement runs: one that
// came before the old file is touched undoes the build, and the process then
// ends by it as it would have; one that comes later ends the process once
// the new file is in place.
class HeldSignals {
 public:
  HeldSignals() {
    sigemptyset(&held_);
    for (const int signal : kHeld) sigaddset(&held_, signal);
    pthread_sigmask(SIG_BLOCK, &held_, &before_);
  }
  ~HeldSignals() { pthread_sigmask(SIG_SETMASK, &before_, nullptr); }
  HeldSignals(const HeldSignals&) = delete;
  HeldSignals& operator=(const HeldSignals&) = delete;

  // Whether one came that will end the process (an ignored one, under
  // nohup say, will not).
  bool Came() const {
    sigset_t pending;
    sigpending(&pending);
    for (const int signal : kHeld) {
      struct sigaction action {};
      if (sigismember(&pending, signal) == 1 && sigaction(signal, nullptr, &action) == 0 &&
          action.sa_handler != SIG_IGN)
        return true;
    }
    return false;
  }

 private:
  static constexpr int kHeld[] = {SIGINT, SIGTERM, SIGHUP};
  sigset_t held_{};
  sigset_t before_{};
};

}  // namespace

void CreateDatabase(const std::string& path, bool demo, bool overwrite) {
  CreateDatabase(path, demo, overwrite, LocalDay());
}

void CreateDatabase(const std::string& path, bool demo, bool overwrite, const std::string& today) {
  const std::string target = Target(path, overwrite);
  RequireReplaceable(path, target);
  // Built aside, complete and checked, then moved into place in one step:
  // a failure at any point leaves the old file as it was and nothing beside.
  const std::string building = target + ".building-" + std::to_string(::getpid());
  // The old file's journal and log go aside with it until the new file is
  // in place: replayed into the new file they would damage it, and lost
  // while the old one stays they would take its last commits with them.
  const std::string aside = building + "-old";
  std::vector<std::string> moved;
  const HeldSignals held;
  RemoveDatabaseFiles(building);
  try {
    std::unique_ptr<Database> db;
    try {
      db = Database::Create(building);
      // One transaction: one write to the disk instead of one per table.
      db->Execute("BEGIN");
      db->Execute(SchemaScript());
      db->Query("INSERT INTO t_ZetSchemaInfo (FVersion, FCreated) VALUES (?, ?)",
                {Variant::Long(kSchemaVersion), Variant::String(today)});
      if (demo) FillDemoData(*db, today);
      db->Execute("COMMIT");
      db->RefreshIndexes();
      // Everything into the file itself, so that the file alone is the
      // database: the log is not moved with it.
      const ResultSet folded = db->Query("PRAGMA wal_checkpoint(TRUNCATE)");
      if (folded.rows.empty() || CLng(folded.rows[0][0]) != 0)
        throw DatabaseUnavailable("cannot create " + path + ": its log could not be folded into it");
    } catch (const AutomationError& e) {
      if (db) db->ThrowIfUnavailable();
      throw DatabaseUnavailable("cannot create " + path + ": " + e.Description());
    }
    db.reset();
    std::error_code ec;
    if (std::filesystem::file_size(building + "-wal", ec) > 0 && !ec)
      throw DatabaseUnavailable("cannot create " + path + ": its log could not be folded into it");
    SyncFile(building);
    VerifyDatabaseFile(building);
    RequireReplaceable(path, target);
    if (held.Came()) throw DatabaseUnavailable("cannot create " + path + ": interrupted");
    for (const char* suffix : {"-shm", "-wal"}) std::filesystem::remove(building + suffix);
    std::filesystem::remove(target + "-shm");
    for (const char* suffix : {"-journal", "-wal"}) {
      if (!std::filesystem::exists(target + suffix)) continue;
      std::filesystem::rename(target + suffix, aside + suffix);
      moved.push_back(suffix);
    }
    std::filesystem::rename(building, target);
    moved.clear();
    for (const char* suffix : {"-journal", "-wal"}) std::filesystem::remove(aside + suffix, ec);
    // The rename itself reaches the disk with the folder; the new file is in
    // place either way, so a failure here changes nothing that was said.
    const int folder = ::open(std::filesystem::path(target).parent_path().c_str(), O_RDONLY | O_CLOEXEC);
    if (folder >= 0) {
      ::fsync(folder);
      ::close(folder);
    }
  } catch (...) {
    std::error_code ec;
    for (const std::string& suffix : moved) std::filesystem::rename(aside + suffix, target + suffix, ec);
    RemoveDatabaseFiles(building);
    try {
      throw;
    } catch (const DatabaseUnavailable& e) {
      // The file being built is this one, under another name for a moment.
      std::string cause = e.what();
      for (size_t at = cause.find(building); at != std::string::npos; at = cause.find(building, at + path.size()))
        cause.replace(at, building.size(), path);
      if (cause.rfind("cannot create ", 0) != 0) cause = "cannot create " + path + ": " + cause;
      throw DatabaseUnavailable(cause);
    } catch (const std::filesystem::filesystem_error& e) {
      throw DatabaseUnavailable("cannot create " + path + ": " + e.code().message());
    }
  }
}

#endif

}  // namespace zet::embedded
