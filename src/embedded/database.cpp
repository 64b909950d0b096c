#include "embedded/database.hpp"

#include <fcntl.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <mutex>
#include <sstream>
#include <stdexcept>

#include "embedded/file_locks.hpp"
#include "embedded/open_errors.hpp"
#include "embedded/schema.hpp"
#include "embedded/schema_mark.hpp"
#include "host/error.hpp"
#include "host/text.hpp"

namespace zet::embedded {

namespace {

// A code point starts at every byte that is not a UTF-8 continuation byte.
int64_t CodePoints(const unsigned char* text, size_t bytes) {
  int64_t count = 0;
  for (size_t i = 0; i < bytes; ++i) {
    if ((text[i] & 0xC0) != 0x80) ++count;
  }
  return count;
}

// CHARINDEX(needle, haystack[, start]) as SQL Server answers it under its
// default case-insensitive collation: the 1-based character position of the
// first occurrence, 0 when there is none (or the needle is empty), NULL when
// either text is NULL.
void CharIndex(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    sqlite3_result_null(context);
    return;
  }
  const unsigned char* needle = sqlite3_value_text(argv[0]);
  const auto needle_size = static_cast<size_t>(sqlite3_value_bytes(argv[0]));
  const unsigned char* haystack = sqlite3_value_text(argv[1]);
  const auto haystack_size = static_cast<size_t>(sqlite3_value_bytes(argv[1]));
  if (needle == nullptr || haystack == nullptr) {
    sqlite3_result_error_nomem(context);
    return;
  }
  int64_t start = 1;
  if (argc == 3 && sqlite3_value_type(argv[2]) != SQLITE_NULL) start = sqlite3_value_int64(argv[2]);

  // Byte offset of the character where the search begins.
  size_t from = 0;
  for (int64_t position = 1; position < start && from < haystack_size; ++position) {
    ++from;
    while (from < haystack_size && (haystack[from] & 0xC0) == 0x80) ++from;
  }
  const std::string_view text(reinterpret_cast<const char*>(haystack), haystack_size);
  const std::string_view pattern(reinterpret_cast<const char*>(needle), needle_size);
  const size_t at = needle_size == 0 ? std::string_view::npos : FindIgnoreCase(text, pattern, from);
  sqlite3_result_int64(context, at == std::string_view::npos ? 0 : CodePoints(haystack, at) + 1);
}

Variant ColumnValue(sqlite3_stmt* statement, int column) {
  switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER: {
      const sqlite3_int64 value = sqlite3_column_int64(statement, column);
      if (value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max())
        return Variant::Long(static_cast<int32_t>(value));
      return Variant::Double(static_cast<double>(value));
    }
    case SQLITE_FLOAT:
      return Variant::Double(sqlite3_column_double(statement, column));
    case SQLITE_NULL:
      return Variant::Null();
    default: {
      // An integer column holds integers only, as on the suite's server:
      // text that another client stored in one (SQLite keeps what will not
      // convert) fails the read instead of reaching a statement that is
      // built from the values read, a list of user ids say.
      const char* declared = sqlite3_column_decltype(statement, column);
      if (declared != nullptr && FindIgnoreCase(declared, "INT") != std::string_view::npos) {
        const char* name = sqlite3_column_name(statement, column);
        throw AutomationError(err::kDatabaseError,
                              std::string("Conversion failed: the integer column ") + (name ? name : "") +
                                  " holds text '" +
                                  reinterpret_cast<const char*>(sqlite3_column_text(statement, column)) + "'");
      }
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
      const int bytes = sqlite3_column_bytes(statement, column);
      return Variant::String(text ? std::string(text, static_cast<size_t>(bytes)) : std::string());
    }
  }
}

// SQLite gives each statement that needs a temporary table (a count of
// distinct values, a sort) a page cache of its own and frees it when the
// statement ends. glibc hands such a free at the top of the heap straight
// back to the kernel and takes it again on the next statement: a system
// call and fresh page faults each time, a fifth of a to-do count's time.
// Freed memory up to this much stays in the process instead.
void KeepFreedHeap() {
#if defined(__GLIBC__)
  static std::once_flag once;
  std::call_once(once, [] { mallopt(M_TRIM_THRESHOLD, 64 << 20); });
#endif
}

sqlite3* OpenConnection(const std::string& name, const std::string& path, int flags) {
  KeepFreedHeap();
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(name.c_str(), &db, flags | SQLITE_OPEN_FULLMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    const std::string reason = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close(db);
    throw DatabaseUnavailable("cannot open " + path + ": " + reason);
  }
  sqlite3_extended_result_codes(db, 1);
  const int flags_fn = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
  if (sqlite3_create_function(db, "charindex", 2, flags_fn, nullptr, CharIndex, nullptr, nullptr) != SQLITE_OK ||
      sqlite3_create_function(db, "charindex", 3, flags_fn, nullptr, CharIndex, nullptr, nullptr) != SQLITE_OK) {
    const std::string reason = sqlite3_errmsg(db);
    sqlite3_close(db);
    throw std::runtime_error("cannot prepare " + path + ": " + reason);
  }
  return db;
}

}  // namespace

namespace {

std::atomic<bool> leave_idle_connections{false};

// Whether closing the connection would leave the file as it is now: no
// transaction is open and its log holds nothing to fold into the file.
bool Idle(sqlite3* db) {
  if (sqlite3_get_autocommit(db) == 0) return false;
  const char* file = sqlite3_db_filename(db, "main");
  if (file == nullptr || *file == '\0') return false;
  struct stat log {};
  if (::stat(sqlite3_filename_wal(file), &log) == 0) return log.st_size == 0;
  return errno == ENOENT;
}

}  // namespace

void LeaveIdleConnectionsToExit() {
  // A leak checker would count what is left as lost.
#if !defined(__SANITIZE_ADDRESS__)
  leave_idle_connections = true;
#endif
}

void SkipMemoryStatistics() {
  sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
}

void VerifyDatabaseFile(const std::string& path) {
  sqlite3* db = OpenConnection(ImmutableUri(path), path, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
  auto first_value = [&](const char* sql) {
    Statement read;
    if (sqlite3_prepare_v2(db, sql, -1, read.Receive(), nullptr) == SQLITE_OK &&
        sqlite3_step(read.get()) == SQLITE_ROW) {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(read.get(), 0));
      return std::string(text ? text : "");
    }
    return std::string(sqlite3_errmsg(db));
  };
  const std::string integrity = first_value("PRAGMA integrity_check(1)");
  const std::string version = first_value("SELECT FVersion FROM t_ZetSchemaInfo");
  sqlite3_close(db);
  if (integrity != "ok") throw DatabaseUnavailable(path + " did not pass the integrity check: " + integrity);
  if (version != std::to_string(kSchemaVersion)) throw DatabaseUnavailable(path + " lacks its schema version");
}

Database::Database(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) {
  sqlite3_busy_handler(db_, WaitForLock, &waited_);
  // A page cache that holds the pages a to-do count or a walk of a large
  // table touches: SQLite's default of 2 MiB is re-read through the
  // operating system on every call once the bills number in the millions.
  // Pages are only taken as they are read, so a small file costs no more.
  sqlite3_exec(db_, "PRAGMA cache_size=-65536", nullptr, nullptr, nullptr);
}

Database::~Database() {
  begin_ = Statement();
  commit_ = Statement();
  exact_.clear();
  cache_.clear();
  own_statements_.clear();
  if (!opened_ || !leave_idle_connections || !Idle(db_)) sqlite3_close_v2(db_);
  if (shared_lock_fd_ >= 0) ::close(shared_lock_fd_);
}

std::unique_ptr<Database> Database::Open(const std::string& path, bool any_version) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) throw std::runtime_error(path + " is a directory, not a database file");
  // A FIFO or a device: init would not replace it either.
  if (std::filesystem::exists(path, ec) && !std::filesystem::is_regular_file(path, ec))
    throw std::runtime_error(path + " is not a regular file, so not a database file");
  if (std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec)) && !std::filesystem::exists(path, ec))
    throw std::runtime_error(path + " is a link to nothing");
  if (!std::filesystem::is_regular_file(path, ec))
    throw std::runtime_error("no database file at " + path + " (create one with init)");
  // SQLite follows a link to the file and keeps the log beside the file, so
  // whether this process may write is a question about that file and its
  // folder, not the link's.
  std::string file = path;
  if (std::filesystem::is_symlink(path, ec)) file = std::filesystem::canonical(path, ec).string();
  if (ec) file = path;
  const std::string read_only = ReadOnlyReason(file);
  std::unique_ptr<Database> db;
  if (read_only.empty()) {
    db.reset(new Database(OpenConnection(path, path, SQLITE_OPEN_READWRITE), path));
  } else if (std::filesystem::exists(file + "-wal", ec) && std::filesystem::exists(file + "-shm", ec)) {
    // A writer has the log open: read through it, creating nothing.
    db.reset(new Database(OpenConnection(path, path, SQLITE_OPEN_READONLY), path));
  } else if (std::filesystem::file_size(file + "-wal", ec) > 0 && !ec) {
    // Writes that were never folded into the file, with no index of the log
    // to read them by: the file alone would answer from before them, and
    // this user may not make the index.
    throw DatabaseUnavailable("cannot read " + path + ": its log " + file +
                              "-wal holds changes not yet in the file and its -shm file is missing; " + read_only);
  } else {
    // No writer has it open. A read-only connection would make a log and a
    // shared-memory file owned by this user, which the owner could then not
    // write; read the file as it stands instead, holding off a writer's
    // rewrite of it while this connection lives.
    const int lock = HoldSharedLock(file);
    db.reset(new Database(OpenConnection(ImmutableUri(file), path, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI), path));
    db->shared_lock_fd_ = lock;
  }
  db->read_only_reason_ = read_only;
  db->opened_ = true;

  Statement version_read;
  const int rc =
      sqlite3_prepare_v2(db->db_, "SELECT FVersion FROM t_ZetSchemaInfo", -1, version_read.Receive(), nullptr);
  if (rc != SQLITE_OK) FailToRead(db->db_, path, read_only);
  sqlite3_stmt* raw = version_read.get();
  const int step = sqlite3_step(raw);
  if (step != SQLITE_ROW && step != SQLITE_DONE) FailToRead(db->db_, path, read_only);
  if (step != SQLITE_ROW) throw std::runtime_error(path + " is not a database of this schema (no schema version)");
  const sqlite3_int64 version = sqlite3_column_int64(raw, 0);
  // Done with it: a statement left open would hold the schema against the
  // index refresh below.
  sqlite3_reset(raw);
  // A later build's file is that build's to check and repair: read by this
  // one, its newer objects would count as drift and a repair would drop them.
  if (version > kSchemaVersion || (version != kSchemaVersion && !any_version)) {
    throw std::runtime_error(path + " has schema version " + std::to_string(version) + ", this build reads version " +
                             std::to_string(kSchemaVersion) +
                             (version < kSchemaVersion ? "; 'zetmovebill verify --repair' upgrades it in place" : ""));
  }
  // Not a journal setting: how often a commit waits for the disk, which is
  // each connection's own choice. In write-ahead-log mode a commit is then
  // one append to the log, and recording a recent bill stays quick.
  if (read_only.empty()) {
    // The log and shared-memory files stay when the connection closes:
    // making and removing them again is a good part of a short run's cost.
    // The log is emptied at the close instead, so it never holds more
    // than the last run wrote.
    int persist = 1;
    sqlite3_file_control(db->db_, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
    db->Execute("PRAGMA synchronous=NORMAL; PRAGMA journal_size_limit=0");
    if (!any_version) db->RefreshIndexes();
  }
  return db;
}

uint32_t BuiltScriptMark() {
  return kBuiltScriptMark;
}

void Database::RefreshIndexes() {
  // A file made by an earlier build of this schema version may hold an index,
  // view or trigger in an older form, or a trigger that this build no longer
  // makes, and any client may have dropped one: each one that is missing or
  // written otherwise than the schema now makes it is made again, and the
  // triggers of this schema's naming ("tr_") that it does not make are
  // dropped, all in one transaction. Tables and their rows are left to
  // `verify --repair`. When this cannot be done now (another writer holds
  // the file), the file is used as it is and the next open tries again.
  //
  // Comparing means reading every object's text and building this build's
  // schema in memory, several times the cost of a short run. So once a
  // file's schema is found right, the file keeps a mark (user_version) of
  // this build's script (its mark worked out when the build was made) and
  // of the file's schema cookie, which SQLite changes with every change of
  // the schema, whoever makes it: an open that finds the same mark is done
  // after reading two numbers of the file's header.
  try {
    const auto number = [&](const char* pragma) {
      Statement read;
      if (sqlite3_prepare_v2(db_, pragma, -1, read.Receive(), nullptr) != SQLITE_OK ||
          sqlite3_step(read.get()) != SQLITE_ROW)
        Fail();
      return sqlite3_column_int64(read.get(), 0);
    };
    const auto mark = [&] {
      return static_cast<int32_t>(
          ScriptMark(std::to_string(BuiltScriptMark()) + " " + std::to_string(number("PRAGMA schema_version"))));
    };
    if (number("PRAGMA user_version") == mark()) return;
    std::map<std::string, std::pair<std::string, std::string>> stored;  // name: type, text
    for (const auto& row : Query("SELECT name, type, sql FROM sqlite_master WHERE sql IS NOT NULL").rows)
      stored.emplace(CStr(row[0]), std::pair{CStr(row[1]), CStr(row[2])});
    std::string script;
    const auto& made = SchemaObjects();
    for (const auto& [name, object] : stored) {
      if (object.first != "trigger" || !name.starts_with("tr_")) continue;
      const std::string& trigger = name;  // clang 14 cannot capture a structured binding
      if (std::none_of(made.begin(), made.end(), [&](const SchemaObject& o) { return o.name == trigger; }))
        script += "DROP TRIGGER IF EXISTS \"" + trigger + "\";\n";
    }
    for (const SchemaObject& object : made) {
      if (object.type == "table") continue;
      const auto found = stored.find(object.name);
      if (found != stored.end() && found->second.second == object.sql) continue;
      script += "DROP " + object.type + " IF EXISTS " + object.name + ";\n" + object.sql + ";\n";
    }
    // Taken only if free now: a command that only reads must not wait for
    // another process's write for this.
    sqlite3_busy_handler(db_, nullptr, nullptr);
    if (!script.empty()) Execute("BEGIN IMMEDIATE;\n" + script + "COMMIT;");
    Execute("PRAGMA user_version=" + std::to_string(mark()));
    sqlite3_busy_handler(db_, WaitForLock, &waited_);
  } catch (const AutomationError&) {
    sqlite3_busy_handler(db_, WaitForLock, &waited_);
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }
}

std::unique_ptr<Database> Database::Create(const std::string& path) {
  const std::string folder = Folder(path);
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) throw DatabaseUnavailable("there is no folder " + folder);
  if (!Writable(folder))
    throw DatabaseUnavailable("its folder " + folder + " is not writable by this user (uid " +
                              std::to_string(::geteuid()) + ")");
  std::unique_ptr<Database> db(
      new Database(OpenConnection(path, path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE), path));
  // Readers and the writer do not block each other. The mode is kept in the
  // file, so it is set here once: a reader that set it on every open would
  // need to write a file it may only read.
  try {
    db->Execute("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
  } catch (const AutomationError&) {
    db->ThrowIfUnavailable();
    throw;
  }
  return db;
}

void Database::ThrowIfUnavailable() const {
  zet::embedded::ThrowIfUnavailable(db_, path_, read_only_reason_);
}

std::string Database::WriteBlocker() const {
  if (!read_only_reason_.empty()) return read_only_reason_;
  const std::string holder = LockHolder(path_);
  return holder.empty() ? "" : path_ + " is locked: " + holder;
}

void Database::Fail() const {
  const int rc = sqlite3_extended_errcode(db_) & 0xFF;
  if (damage_.empty() && (rc == SQLITE_CORRUPT || rc == SQLITE_NOTADB || rc == SQLITE_IOERR)) {
    try {
      ThrowIfUnavailable();
    } catch (const PassingReadFailure& e) {
      damage_ = e.what();
      passing_read_ = true;
    } catch (const DatabaseUnavailable& e) {
      damage_ = e.what();
    }
  }
  // A page that failed to read is reported as malformed; when the file checks
  // out whole (the classification above looked again), say what it was.
  if (rc == SQLITE_CORRUPT && passing_read_)
    throw AutomationError(err::kDatabaseError, std::string("disk I/O error: ") + kPassingReadFailure);
  throw AutomationError(err::kDatabaseError, sqlite3_errmsg(db_));
}

void Database::Execute(std::string_view script) {
  std::lock_guard lock(mutex_);
  waited_ = {};
  EndCallTransaction();
  char* message = nullptr;
  const std::string text(script);
  if (sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    const std::string reason = message ? message : sqlite3_errmsg(db_);
    sqlite3_free(message);
    throw AutomationError(err::kDatabaseError, reason);
  }
}

namespace {

void Bind(sqlite3_stmt* statement, int index, const Variant& value, int& rc) {
  switch (value.Type()) {
    case VarType::Null:
    case VarType::Empty:
      rc = sqlite3_bind_null(statement, index);
      break;
    case VarType::Integer:
    case VarType::Long:
    case VarType::Boolean:
      rc = sqlite3_bind_int64(statement, index, CLng(value));
      break;
    case VarType::Double:
      rc = sqlite3_bind_double(statement, index, value.AsDouble());
      break;
    default: {
      const std::string text = CStr(value);
      rc = sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
      break;
    }
  }
}

// A statement goes back to its start however its run ends, so that a
// cached statement holds no read snapshot between calls.
struct ResetGuard {
  sqlite3_stmt* statement;
  ~ResetGuard() {
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
  }
};

// More shapes than any session of the component makes; past it the cache
// starts over rather than grow with texts that are never repeated.
constexpr size_t kCacheLimit = 512;
// Texts differ by their values too: a user stepping through bills sends a
// new one each time, so these are many more, and cheap to forget.
constexpr size_t kExactLimit = 4096;

const std::vector<Variant> kNoValues;

}  // namespace

ResultSet Database::Run(const Prepared& prepared, const std::vector<Variant>& values) {
  sqlite3_stmt* raw = prepared.statement.get();
  ResetGuard reset{raw};
  for (size_t i = 0; i < prepared.value_of_parameter.size(); ++i) {
    const int value = prepared.value_of_parameter[i];
    if (value < 0 || static_cast<size_t>(value) >= values.size()) continue;
    int rc = SQLITE_OK;
    Bind(raw, static_cast<int>(i) + 1, values[static_cast<size_t>(value)], rc);
    if (rc != SQLITE_OK) Fail();
  }
  return Collect(raw);
}

ResultSet Database::Collect(sqlite3_stmt* raw) {
  ResultSet result;
  const int columns = sqlite3_column_count(raw);
  for (int c = 0; c < columns; ++c) {
    const char* name = sqlite3_column_name(raw, c);
    result.columns.emplace_back(name ? name : "");
  }
  for (;;) {
    const int rc = sqlite3_step(raw);
    if (rc == SQLITE_DONE) break;
    if (rc != SQLITE_ROW) {
      last_steps_ = sqlite3_stmt_status(raw, SQLITE_STMTSTATUS_VM_STEP, 1);
      total_steps_ += last_steps_;
      Fail();
    }
    std::vector<Variant> row;
    row.reserve(static_cast<size_t>(columns));
    for (int c = 0; c < columns; ++c) row.push_back(ColumnValue(raw, c));
    result.rows.push_back(std::move(row));
  }
  last_steps_ = sqlite3_stmt_status(raw, SQLITE_STMTSTATUS_VM_STEP, 1);
  total_steps_ += last_steps_;
  return result;
}

std::shared_ptr<Database::PreparedText> Database::PrepareStatements(const std::vector<std::string>& statements,
                                                                    bool& failed) {
  auto text = std::make_shared<PreparedText>();
  failed = false;
  for (const std::string& sql : statements) {
    Statement statement;
    const char* tail = nullptr;
    if (sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                           statement.Receive(), &tail) != SQLITE_OK) {
      failed = true;
      return text;
    }
    sqlite3_stmt* raw = statement.get();
    if (raw == nullptr) throw AutomationError(err::kDatabaseError, "there is no statement to run");
    text->statements.push_back(Prepared{std::move(statement), {}});
    for (const char* p = tail; p != nullptr && p < sql.data() + sql.size(); ++p) {
      if (*p != ' ' && *p != '\t' && *p != '\r' && *p != '\n' && *p != ';')
        throw AutomationError(err::kDatabaseError, "more than one statement where one was expected");
    }
    const int count = sqlite3_bind_parameter_count(raw);
    for (int i = 1; i <= count; ++i) {
      const char* name = sqlite3_bind_parameter_name(raw, i);
      // The shape numbers its values "?1", "?2" ...; SQLite gives a
      // numbered parameter the slot of its number.
      text->statements.back().value_of_parameter.push_back(name && name[0] == '?' ? std::atoi(name + 1) - 1 : -1);
    }
  }
  return text;
}

Database::ReadyText Database::PrepareText(std::string_view tsql, const TSqlOptions& options) {
  // A text sent before is found as it stands: taking it apart into shape
  // and values would cost more than running its statement.
  if (exact_day_ != options.today) {
    exact_.clear();
    exact_day_ = options.today;
  }
  if (auto found = exact_.find(tsql); found != exact_.end()) return found->second;
  ParameterizedText shaped = Parameterize(tsql);
  std::string key = options.today;
  key += '\n';
  key += shaped.shape;
  ReadyText ready;
  if (auto found = cache_.find(key); found != cache_.end()) {
    ready.prepared = found->second;
  } else {
    // Translating the shape raises what translating the text would: the
    // values taken out are plain literals, which the adapter never refuses.
    bool failed = false;
    std::shared_ptr<const PreparedText> prepared = PrepareStatements(TranslateBatch(shaped.shape, options), failed);
    if (failed) {
      ready.prepared = PrepareStatements(TranslateBatch(tsql, options), failed);
      if (failed) Fail();
      return ready;
    }
    ready.prepared = prepared;
    cache_.emplace(std::move(key), std::move(prepared));
  }
  ready.values = std::make_shared<const std::vector<Variant>>(std::move(shaped.values));
  if (exact_.size() >= kExactLimit) exact_.clear();
  exact_.emplace(std::string(tsql), ready);
  return ready;
}

void Database::TrimCache() {
  if (cache_.size() >= kCacheLimit) {
    exact_.clear();
    cache_.clear();
  }
  if (own_statements_.size() >= kCacheLimit) own_statements_.clear();
}

ResultSet Database::Query(std::string_view sql, const std::vector<Variant>& params) {
  std::lock_guard lock(mutex_);
  waited_ = {};
  TrimCache();
  auto found = own_statements_.find(sql);
  if (found == own_statements_.end()) {
    bool failed = false;
    const std::shared_ptr<PreparedText> text = PrepareStatements({std::string(sql)}, failed);
    if (failed) Fail();
    found = own_statements_.emplace(std::string(sql), std::move(text->statements.front().statement)).first;
  }
  sqlite3_stmt* raw = found->second.get();
  if (sqlite3_stmt_readonly(raw)) {
    JoinCallTransaction();
  } else {
    EndCallTransaction();
  }
  ResetGuard reset{raw};
  for (size_t i = 0; i < params.size(); ++i) {
    int rc = SQLITE_OK;
    Bind(raw, static_cast<int>(i) + 1, params[i], rc);
    if (rc != SQLITE_OK) Fail();
  }
  return Collect(raw);
}

ResultSet Database::RunQuery(std::string_view tsql, const TSqlOptions& options) {
  std::lock_guard lock(mutex_);
  waited_ = {};
  TrimCache();
  const ReadyText ready = PrepareText(tsql, options);
  const std::vector<Prepared>& statements = ready.prepared->statements;
  if (statements.size() != 1) {
    throw AutomationError(err::kDatabaseError, "A read runs one statement; refused a text of " +
                                                   std::to_string(statements.size()) +
                                                   " statements: " + std::string(tsql));
  }
  if (!sqlite3_stmt_readonly(statements.front().statement.get()))
    throw AutomationError(err::kDatabaseError, "A read cannot change the database; refused: " + std::string(tsql));
  JoinCallTransaction();
  return Run(statements.front(), ready.values ? *ready.values : kNoValues);
}

void Database::RunBatch(const std::vector<std::string>& tsql_texts, const TSqlOptions& options) {
  std::lock_guard lock(mutex_);
  waited_ = {};
  TrimCache();
  // Everything is translated and prepared first: a text the adapter or
  // SQLite refuses runs nothing at all.
  std::vector<ReadyText> texts;
  size_t count = 0;
  for (const std::string& text : tsql_texts) {
    texts.push_back(PrepareText(text, options));
    count += texts.back().prepared->statements.size();
  }
  if (count == 0) throw AutomationError(err::kDatabaseError, "there is no statement to run");
  // A read transaction cannot be made a write one while another writer holds
  // the file, nor wait for it: the write takes its own, waiting as usual.
  EndCallTransaction();
  const bool several = count > 1;
  if (several && sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) Fail();
  try {
    for (const ReadyText& text : texts) {
      for (const Prepared& statement : text.prepared->statements)
        Run(statement, text.values ? *text.values : kNoValues);
    }
  } catch (...) {
    if (several) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
  if (several && sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
    const AutomationError error(err::kDatabaseError, sqlite3_errmsg(db_));
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    throw error;
  }
}

void Database::BeginCall() {
  mutex_.lock();
  ++call_depth_;
}

void Database::EndCall() noexcept {
  if (--call_depth_ == 0) EndCallTransaction();
  mutex_.unlock();
}

void Database::JoinCallTransaction() {
  // Outside a call, or inside a transaction the caller opened itself, each
  // statement runs as it would anyway. A transaction that SQLite rolled back
  // after an error is begun again by the next read.
  if (call_depth_ == 0 || !sqlite3_get_autocommit(db_)) return;
  if (!begin_.get() &&
      sqlite3_prepare_v3(db_, "BEGIN", -1, SQLITE_PREPARE_PERSISTENT, begin_.Receive(), nullptr) != SQLITE_OK)
    return;
  const int rc = sqlite3_step(begin_.get());
  sqlite3_reset(begin_.get());
  call_transaction_ = rc == SQLITE_DONE;
}

void Database::EndCallTransaction() noexcept {
  if (!call_transaction_) return;
  call_transaction_ = false;
  if (sqlite3_get_autocommit(db_)) return;
  bool ended = false;
  if (commit_.get() != nullptr ||
      sqlite3_prepare_v3(db_, "COMMIT", -1, SQLITE_PREPARE_PERSISTENT, commit_.Receive(), nullptr) == SQLITE_OK) {
    ended = sqlite3_step(commit_.get()) == SQLITE_DONE;
    sqlite3_reset(commit_.get());
  }
  if (!ended) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

int64_t Database::LastStatementSteps() const {
  std::lock_guard lock(mutex_);
  return last_steps_;
}

int64_t Database::TotalSteps() const {
  std::lock_guard lock(mutex_);
  return total_steps_;
}

}  // namespace zet::embedded
