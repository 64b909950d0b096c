#include "embedded/database.hpp"

#include <sqlite3.h>

#include <filesystem>
#include <limits>
#include <stdexcept>

#include "embedded/schema.hpp"
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
  if (needle_size == 0 || needle_size > haystack_size) {
    sqlite3_result_int64(context, 0);
    return;
  }
  for (size_t at = from; at + needle_size <= haystack_size; ++at) {
    size_t k = 0;
    while (k < needle_size && AsciiLower(static_cast<char>(haystack[at + k])) == AsciiLower(static_cast<char>(needle[k]))) ++k;
    if (k == needle_size) {
      sqlite3_result_int64(context, CodePoints(haystack, at) + 1);
      return;
    }
  }
  sqlite3_result_int64(context, 0);
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
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
      const int bytes = sqlite3_column_bytes(statement, column);
      return Variant::String(text ? std::string(text, static_cast<size_t>(bytes)) : std::string());
    }
  }
}

struct StatementGuard {
  sqlite3_stmt* statement = nullptr;
  ~StatementGuard() { sqlite3_finalize(statement); }
};

sqlite3* OpenConnection(const std::string& path, int flags) {
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_FULLMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    const std::string reason = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close(db);
    throw std::runtime_error("cannot open " + path + ": " + reason);
  }
  sqlite3_extended_result_codes(db, 1);
  // Two command-line runs on one file wait for each other instead of failing.
  sqlite3_busy_timeout(db, 5000);
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

Database::Database(sqlite3* db) : db_(db) {}

Database::~Database() {
  sqlite3_close_v2(db_);
}

std::unique_ptr<Database> Database::Open(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec))
    throw std::runtime_error("no database file at " + path + " (create one with init)");
  std::unique_ptr<Database> db(new Database(OpenConnection(path, SQLITE_OPEN_READWRITE)));

  sqlite3_stmt* raw = nullptr;
  const int rc = sqlite3_prepare_v2(db->db_, "SELECT FVersion FROM t_ZetSchemaInfo", -1, &raw, nullptr);
  StatementGuard guard{raw};
  if (rc == SQLITE_NOTADB) throw std::runtime_error(path + " is not an SQLite database");
  if (rc != SQLITE_OK) {
    // A file that is no database at all may only show when it is read.
    if (sqlite3_errcode(db->db_) == SQLITE_NOTADB) throw std::runtime_error(path + " is not an SQLite database");
    throw std::runtime_error(path + " is not a database of this schema (no t_ZetSchemaInfo)");
  }
  const int step = sqlite3_step(raw);
  if (step != SQLITE_ROW) throw std::runtime_error(path + " is not a database of this schema (no schema version)");
  const sqlite3_int64 version = sqlite3_column_int64(raw, 0);
  if (version != kSchemaVersion) {
    throw std::runtime_error(path + " has schema version " + std::to_string(version) + ", this build reads version " +
                             std::to_string(kSchemaVersion));
  }
  guard.statement = nullptr;
  sqlite3_finalize(raw);
  db->UseWriteAheadLog();
  return db;
}

std::unique_ptr<Database> Database::Create(const std::string& path) {
  std::unique_ptr<Database> db(new Database(OpenConnection(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)));
  db->UseWriteAheadLog();
  return db;
}

void Database::UseWriteAheadLog() {
  // Readers and the writer do not block each other, and a commit is one
  // append to the log instead of a synchronous rewrite: recording a recent
  // bill stays quick. The log is folded back into the file when the last
  // connection closes.
  Execute("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
}

void Database::Fail() const {
  throw AutomationError(err::kDatabaseError, sqlite3_errmsg(db_));
}

void Database::Execute(std::string_view script) {
  std::lock_guard lock(mutex_);
  char* message = nullptr;
  const std::string text(script);
  if (sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    const std::string reason = message ? message : sqlite3_errmsg(db_);
    sqlite3_free(message);
    throw AutomationError(err::kDatabaseError, reason);
  }
}

ResultSet Database::RunStatement(std::string_view sql, const std::vector<Variant>& params, bool& returned_columns) {
  sqlite3_stmt* raw = nullptr;
  const char* tail = nullptr;
  if (sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &raw, &tail) != SQLITE_OK) Fail();
  StatementGuard guard{raw};
  if (raw == nullptr) throw AutomationError(err::kDatabaseError, "there is no statement to run");
  for (const char* p = tail; p != nullptr && p < sql.data() + sql.size(); ++p) {
    if (*p != ' ' && *p != '\t' && *p != '\r' && *p != '\n' && *p != ';')
      throw AutomationError(err::kDatabaseError, "more than one statement where one was expected");
  }
  for (size_t i = 0; i < params.size(); ++i) {
    const int index = static_cast<int>(i) + 1;
    const Variant& value = params[i];
    int rc = SQLITE_OK;
    switch (value.Type()) {
      case VarType::Null:
      case VarType::Empty:
        rc = sqlite3_bind_null(raw, index);
        break;
      case VarType::Integer:
      case VarType::Long:
      case VarType::Boolean:
        rc = sqlite3_bind_int64(raw, index, CLng(value));
        break;
      case VarType::Double:
        rc = sqlite3_bind_double(raw, index, value.AsDouble());
        break;
      default: {
        const std::string text = CStr(value);
        rc = sqlite3_bind_text(raw, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        break;
      }
    }
    if (rc != SQLITE_OK) Fail();
  }

  ResultSet result;
  const int columns = sqlite3_column_count(raw);
  returned_columns = columns > 0;
  for (int c = 0; c < columns; ++c) {
    const char* name = sqlite3_column_name(raw, c);
    result.columns.emplace_back(name ? name : "");
  }
  for (;;) {
    const int rc = sqlite3_step(raw);
    if (rc == SQLITE_DONE) break;
    if (rc != SQLITE_ROW) Fail();
    std::vector<Variant> row;
    row.reserve(static_cast<size_t>(columns));
    for (int c = 0; c < columns; ++c) row.push_back(ColumnValue(raw, c));
    result.rows.push_back(std::move(row));
  }
  last_steps_ = sqlite3_stmt_status(raw, SQLITE_STMTSTATUS_VM_STEP, 0);
  return result;
}

ResultSet Database::Query(std::string_view sql, const std::vector<Variant>& params) {
  std::lock_guard lock(mutex_);
  bool returned_columns = false;
  return RunStatement(sql, params, returned_columns);
}

void Database::RunInTransaction(const std::vector<std::string>& statements, std::optional<ResultSet>* first_result) {
  if (statements.empty()) throw AutomationError(err::kDatabaseError, "there is no statement to run");
  const bool several = statements.size() > 1;
  if (several && sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) Fail();
  try {
    for (const std::string& statement : statements) {
      bool returned_columns = false;
      ResultSet rows = RunStatement(statement, {}, returned_columns);
      if (first_result && returned_columns && !first_result->has_value()) *first_result = std::move(rows);
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

std::optional<ResultSet> Database::RunQuery(std::string_view tsql, const TSqlOptions& options) {
  // Rewriting comes first: a text the adapter refuses runs nothing at all.
  const std::vector<std::string> statements = TranslateBatch(tsql, options);
  std::lock_guard lock(mutex_);
  std::optional<ResultSet> result;
  RunInTransaction(statements, &result);
  return result;
}

void Database::RunBatch(const std::vector<std::string>& tsql_texts, const TSqlOptions& options) {
  std::vector<std::string> statements;
  for (const std::string& text : tsql_texts) {
    for (std::string& statement : TranslateBatch(text, options)) statements.push_back(std::move(statement));
  }
  std::lock_guard lock(mutex_);
  RunInTransaction(statements, nullptr);
}

int64_t Database::LastStatementSteps() const {
  std::lock_guard lock(mutex_);
  return last_steps_;
}

}  // namespace zet::embedded
