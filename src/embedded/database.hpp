#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "embedded/result_set.hpp"
#include "embedded/statement.hpp"
#include "embedded/tsql_adapter.hpp"
#include "host/variant.hpp"

namespace zet::embedded {

// Raises DatabaseUnavailable unless the file at `path`, read on its own
// (without any log beside it), passes SQLite's integrity check and holds
// this schema's version.
void VerifyDatabaseFile(const std::string& path);

// SQLite counts every allocation, under a lock, for its memory statistics
// (a good part of the cost of reading a schema); a process that never reads
// them calls this before its first connection to have them not kept.
void SkipMemoryStatistics();

// For a process that ends when its command is done: a connection of an
// existing file (Database::Open) destroyed after this call, with no
// transaction open and nothing in its log to fold into the file, is left to
// the operating system rather than closed, which would free the whole parsed
// schema (a tenth of a short run). Closing it would change nothing on disk.
void LeaveIdleConnectionsToExit();

// The mark (ScriptMark) of this build's schema script, worked out when the
// build was made; a file opened for writing keeps it with its schema cookie.
uint32_t BuiltScriptMark();

// One SQLite connection, shared by every host object of a platform. Each
// call holds the connection's lock for its whole run, so that a batch in one
// thread never interleaves with statements of another. Every failure raises
// AutomationError(err::kDatabaseError) with SQLite's own message.
class Database {
 public:
  // An existing file of this schema; std::runtime_error with a one-line
  // reason when the file is missing, is no SQLite database, or lacks the
  // schema marker, DatabaseUnavailable when it cannot be used now. Never
  // creates a file. A file this process may not write (or whose folder it may
  // not write while no writer has the log open) is opened read-only, in a way
  // that creates no file beside it. With `any_version`, a file of an older
  // schema version is opened too, and its schema is left exactly as it is
  // (for verify); a newer one never is.
  static std::unique_ptr<Database> Open(const std::string& path, bool any_version = false);
  // A new database file in write-ahead-log mode, set here once for the file's
  // life; the caller has made sure that none is there. DatabaseUnavailable
  // when it cannot be made.
  static std::unique_ptr<Database> Create(const std::string& path);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // SQLite's own dialect, for the schema, the demo data and tests: a script
  // of statements separated by ";".
  void Execute(std::string_view script);
  // One statement in SQLite's dialect, with its rows; `params` bind to its
  // "?" placeholders in order (String, Long, Integer, Double, Boolean, Null).
  ResultSet Query(std::string_view sql, const std::vector<Variant>& params = {});

  // A read: text in the component's dialect, rewritten by the T-SQL
  // adapter, that must be exactly one statement that cannot change the
  // database (SQLite's own verdict on the prepared statement). Anything
  // else is refused before anything runs, with an AutomationError that
  // quotes what was refused: a value spliced into a statement must not turn
  // a read into a write.
  ResultSet RunQuery(std::string_view tsql, const TSqlOptions& options);
  // Every statement of every text, in one transaction: all of them or none.
  void RunBatch(const std::vector<std::string>& tsql_texts, const TSqlOptions& options);

  // A method of the component begins and ends on this thread (calls nest).
  // In between, the connection is this thread's alone, and its reads share
  // one read transaction, begun at the first of them: one snapshot, and the
  // file's locks taken and dropped once instead of at every statement. A
  // write (RunBatch, Execute, a Query that writes) ends it first and runs as
  // it would outside; a read after it begins another. EndCall ends it
  // whatever happened in between.
  void BeginCall();
  void EndCall() noexcept;

  // Virtual-machine steps of the last statement run: small for an index
  // seek, growing with the table for a scan.
  int64_t LastStatementSteps() const;
  // Virtual-machine steps of every statement run on this connection so far.
  int64_t TotalSteps() const;

  sqlite3* Handle() { return db_; }

  // Why a write cannot succeed now, as one line: the file is read-only for
  // this process (and what would make it writable), or another process holds
  // a lock on it. "" when neither is known.
  std::string WriteBlocker() const;
  // Raises DatabaseUnavailable, naming the cause as Open does, when this
  // connection's last failure says that the file cannot be used now.
  void ThrowIfUnavailable() const;
  // Why the file turned out unusable during a statement (a damaged page, an
  // I/O error), as ThrowIfUnavailable names it; "" when no statement met
  // such a failure. The component reports a failed statement as a message
  // and goes on, so a caller asks here whether its answers can be trusted.
  const std::string& Damage() const { return damage_; }

  // Makes again each index, view and trigger of the schema that this file
  // lacks or holds in another form, and marks the file as found right; run
  // when a file is opened for writing, and by init once the file is built,
  // so that its first open reads only the mark.
  void RefreshIndexes();

 private:
  Database(sqlite3* db, std::string path);
  [[noreturn]] void Fail() const;

  // The prepared statements of one text. The cache keeps them by shape (the
  // text with its varying values as parameters, see Parameterize) and pinned
  // day, so that a call repeated with other ids neither translates nor
  // prepares again.
  struct Prepared {
    Statement statement;
    std::vector<int> value_of_parameter;  // index into the values, or -1
  };
  struct PreparedText {
    std::vector<Prepared> statements;
  };
  // One text ready to run: its statements and the values they bind. Shared
  // with the caches, so that trimming them mid-batch frees nothing in use.
  struct ReadyText {
    std::shared_ptr<const PreparedText> prepared;
    std::shared_ptr<const std::vector<Variant>> values;  // none for a text prepared as written
  };
  // From the cache, or translated and prepared now. A shape that SQLite
  // will not prepare is prepared as written instead, uncached, so that its
  // error reads as the text that was sent.
  ReadyText PrepareText(std::string_view tsql, const TSqlOptions& options);
  std::shared_ptr<PreparedText> PrepareStatements(const std::vector<std::string>& statements, bool& failed);
  // Binds the values a statement takes and collects its rows.
  ResultSet Run(const Prepared& prepared, const std::vector<Variant>& values);
  // Steps a bound statement to its end, counting its steps.
  ResultSet Collect(sqlite3_stmt* statement);
  void TrimCache();
  // Under the lock: the read about to run joins the call's read transaction,
  // beginning it when none is open.
  void JoinCallTransaction();
  // Under the lock: ends the read transaction the call began, if it is open.
  void EndCallTransaction() noexcept;

  sqlite3* db_;
  std::string path_;
  // Why this process may not write the file; "" when it may.
  std::string read_only_reason_;
  bool opened_ = false;  // by Open, of an existing file
  mutable std::string damage_;
  // The damage is a read that failed on a file found whole.
  mutable bool passing_read_ = false;
  // A read lock held while the file is read without SQLite's locking (see
  // Open), so that a writer's final checkpoint does not rewrite it meanwhile.
  int shared_lock_fd_ = -1;
  // Recursive: a method call holds it from its beginning to its end, and its
  // statements take it again.
  mutable std::recursive_mutex mutex_;
  int call_depth_ = 0;
  // The open transaction is the one a call began.
  bool call_transaction_ = false;
  Statement begin_;
  Statement commit_;
  // Time spent waiting for other connections' locks in the current operation.
  std::chrono::steady_clock::duration waited_{};
  int64_t last_steps_ = 0;
  int64_t total_steps_ = 0;
  std::map<std::string, std::shared_ptr<const PreparedText>, std::less<>> cache_;
  // Texts already seen for the pinned day exact_day_, by their exact text:
  // their entry in cache_ and the values taken out of them. Cleared whenever
  // cache_ is, and when the day changes.
  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };
  std::unordered_map<std::string, ReadyText, TextHash, std::equal_to<>> exact_;
  std::string exact_day_;
  // Query's statements in SQLite's own dialect, by their text.
  std::map<std::string, Statement, std::less<>> own_statements_;
};

}  // namespace zet::embedded
