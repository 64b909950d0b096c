#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "embedded/tsql_adapter.hpp"
#include "host/variant.hpp"

struct sqlite3;

namespace zet::embedded {

// The rows of one statement, read to the end: column names and values
// (INTEGER as Long, or Double beyond 32 bits; REAL as Double; TEXT as String;
// NULL as Null).
struct ResultSet {
  std::vector<std::string> columns;
  std::vector<std::vector<Variant>> rows;
};

// One SQLite connection, shared by every host object of a platform. Each
// call holds the connection's lock for its whole run, so that a batch in one
// thread never interleaves with statements of another. Every failure raises
// AutomationError(err::kDatabaseError) with SQLite's own message.
class Database {
 public:
  // An existing file of this schema; std::runtime_error with a one-line
  // reason when the file is missing, is no SQLite database, or lacks the
  // schema marker. Never creates a file.
  static std::unique_ptr<Database> Open(const std::string& path);
  // A new database file; the caller has made sure that none is there.
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

  // Text in the component's dialect, rewritten by the T-SQL adapter. The
  // result is that of the first statement that returns columns; nullopt when
  // none does. Several statements run in one transaction.
  std::optional<ResultSet> RunQuery(std::string_view tsql, const TSqlOptions& options);
  // Every statement of every text, in one transaction: all of them or none.
  void RunBatch(const std::vector<std::string>& tsql_texts, const TSqlOptions& options);

  // Virtual-machine steps of the last statement run: small for an index
  // seek, growing with the table for a scan.
  int64_t LastStatementSteps() const;

  sqlite3* Handle() { return db_; }

 private:
  explicit Database(sqlite3* db);
  void UseWriteAheadLog();
  ResultSet RunStatement(std::string_view sql, const std::vector<Variant>& params, bool& returned_columns);
  void RunInTransaction(const std::vector<std::string>& statements, std::optional<ResultSet>* first_result);
  [[noreturn]] void Fail() const;

  sqlite3* db_;
  mutable std::mutex mutex_;
  int64_t last_steps_ = 0;
};

}  // namespace zet::embedded
