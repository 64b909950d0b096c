#include "odbc/odbc_connection.hpp"

#include <sys/stat.h>
#if !defined(_WIN32)
#include <dlfcn.h>
#endif

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>
#include <limits>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <vector>

#include "embedded/host_lock.hpp"
#include "embedded/result_set.hpp"
#include "embedded/schema.hpp"
#include "embedded/tsql_adapter.hpp"
#include "host/error.hpp"
#include "host/text.hpp"
#include "odbc/odbc_values.hpp"

namespace zet::odbc {

namespace {

using embedded::ResultSet;
using embedded::Token;
using embedded::TokenKind;
using embedded::TSqlOptions;

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "SQLWCHAR holds UTF-16");

// The driver manager's entry points. On Linux the driver manager is loaded
// when the first connection is made, so that a run on a database file does
// not pay for loading and relocating it and its dependencies at each start;
// on Windows odbc32 is a system library, linked as usual.
// clang-format off
#define ZET_ODBC_ENTRIES(X)                                                                      \
  X(SQLAllocHandle) X(SQLFreeHandle) X(SQLGetDiagRecW) X(SQLSetEnvAttr) X(SQLDriverConnectW)     \
  X(SQLGetInfoW) X(SQLDisconnect) X(SQLEndTran) X(SQLSetConnectAttrW) X(SQLExecDirectW)          \
  X(SQLPrepareW) X(SQLBindParameter) X(SQLExecute) X(SQLMoreResults) X(SQLNumResultCols)         \
  X(SQLDescribeColW) X(SQLFetch) X(SQLGetData)
// clang-format on
struct DriverManager {
#define ZET_ODBC_MEMBER(name) decltype(&::name) name = nullptr;
  ZET_ODBC_ENTRIES(ZET_ODBC_MEMBER)
#undef ZET_ODBC_MEMBER
};

const DriverManager& Odbc() {
#if defined(_WIN32)
  static const DriverManager linked = {
#define ZET_ODBC_LINKED(name) &::name,
      ZET_ODBC_ENTRIES(ZET_ODBC_LINKED)
#undef ZET_ODBC_LINKED
  };
  return linked;
#else
  struct Loaded {
    DriverManager entries;
    std::string failure;
  };
  static const Loaded loaded = [] {
    constexpr const char* kLibrary = "libodbc.so.2";
    Loaded result;
    // Global, as when linked: a driver may call back into the manager.
    void* library = ::dlopen(kLibrary, RTLD_NOW | RTLD_GLOBAL);
    if (library == nullptr) {
      const char* why = ::dlerror();
      result.failure = std::string("the ODBC driver manager (") + kLibrary +
                       ", unixODBC) cannot be loaded: " + (why ? why : "no reason given");
      return result;
    }
#define ZET_ODBC_LOAD(name)                                                                       \
  if (result.failure.empty()) {                                                                   \
    result.entries.name = reinterpret_cast<decltype(&::name)>(::dlsym(library, #name));           \
    if (result.entries.name == nullptr) result.failure = std::string(kLibrary) + " lacks " #name; \
  }
    ZET_ODBC_ENTRIES(ZET_ODBC_LOAD)
#undef ZET_ODBC_LOAD
    return result;
  }();
  if (!loaded.failure.empty()) throw embedded::DatabaseUnavailable("cannot connect through ODBC: " + loaded.failure);
  return loaded.entries;
#endif
}

SQLWCHAR* Wide(std::u16string& text) {
  return reinterpret_cast<SQLWCHAR*>(text.data());
}

// An ODBC handle, freed with its owner.
class Handle {
 public:
  Handle(SQLSMALLINT type, SQLHANDLE parent) : type_(type) {
    if (!SQL_SUCCEEDED(Odbc().SQLAllocHandle(type, parent, &handle_))) handle_ = SQL_NULL_HANDLE;
  }
  ~Handle() {
    if (handle_ != SQL_NULL_HANDLE) Odbc().SQLFreeHandle(type_, handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  SQLHANDLE get() const { return handle_; }
  SQLSMALLINT type() const { return type_; }

 private:
  SQLSMALLINT type_;
  SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

// The driver's first diagnostic on a handle: its SQLSTATE and its text.
struct Diagnostic {
  std::string state;
  std::string text;
  int32_t native = 0;  // the database's own error code
};

Diagnostic Diagnose(SQLSMALLINT type, SQLHANDLE handle) {
  Diagnostic diagnostic;
  if (handle == SQL_NULL_HANDLE) return {"HY001", "the driver manager could not allocate a handle"};
  std::u16string state(6, u'\0');
  std::u16string text(1024, u'\0');
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  const SQLRETURN rc = Odbc().SQLGetDiagRecW(type, handle, 1, Wide(state), &native, Wide(text),
                                             static_cast<SQLSMALLINT>(text.size()), &length);
  if (!SQL_SUCCEEDED(rc)) return {"HY000", "the driver gave no reason"};
  state.resize(5);
  text.resize(std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)), text.size() - 1));
  return {Utf16ToUtf8(state), Utf16ToUtf8(text), native};
}

// The text with every occurrence of the password blotted out: a driver may
// quote the connection string back in its message.
std::string Hide(std::string text, const std::string& secret) {
  if (secret.empty()) return text;
  for (size_t at = text.find(secret); at != std::string::npos; at = text.find(secret, at + 3))
    text.replace(at, secret.size(), "***");
  return text;
}

bool IsWord(const Token& token, std::string_view word) {
  return token.kind == TokenKind::Word && EqualsIgnoreCase(token.text, word);
}

bool Significant(const Token& token) {
  return token.kind != TokenKind::Space && token.kind != TokenKind::Comment;
}

// Words that begin or make a statement other than a plain SELECT; none has a
// place in a read.
constexpr std::array<std::string_view, 36> kNotInARead = {
    "INSERT",      "UPDATE", "DELETE",     "MERGE",     "DROP",           "CREATE",  "ALTER",    "TRUNCATE", "EXEC",
    "EXECUTE",     "INTO",   "GRANT",      "REVOKE",    "DENY",           "DECLARE", "SET",      "BEGIN",    "COMMIT",
    "ROLLBACK",    "SAVE",   "USE",        "DBCC",      "BACKUP",         "RESTORE", "SHUTDOWN", "KILL",     "WAITFOR",
    "RECONFIGURE", "BULK",   "OPENROWSET", "OPENQUERY", "OPENDATASOURCE", "ATTACH",  "DETACH",   "PRAGMA",   "VACUUM"};

// The arguments of the call whose "(" is at tokens[open]: each as its text,
// and the index of the closing ")"; false when it never closes.
bool SplitArguments(const std::vector<Token>& tokens, size_t open, std::vector<std::string>& args, size_t& close) {
  int depth = 0;
  std::string current;
  for (size_t i = open; i < tokens.size(); ++i) {
    const Token& token = tokens[i];
    if (token.kind == TokenKind::Symbol && token.text == "(") {
      if (depth++ == 0) continue;
    } else if (token.kind == TokenKind::Symbol && token.text == ")") {
      if (--depth == 0) {
        args.push_back(current);
        close = i;
        return true;
      }
    } else if (depth == 1 && token.kind == TokenKind::Symbol && token.text == ",") {
      args.push_back(current);
      current.clear();
      continue;
    }
    current += token.text;
  }
  return false;
}

std::string CharIndexExpression(const std::vector<std::string>& args) {
  const std::string needle = "(" + RewriteCharIndex(args[0]) + ")";
  const std::string haystack = "(" + RewriteCharIndex(args[1]) + ")";
  // SQLite's lower() folds ASCII letters only, as the embedded function does.
  const std::string found_in = "lower(" + haystack + ")";
  const std::string sought = "lower(" + needle + ")";
  std::string text =
      "(CASE WHEN " + needle + " IS NULL OR " + haystack + " IS NULL THEN NULL WHEN length(" + needle + ")=0 THEN 0 ";
  if (args.size() == 2) return text + "ELSE instr(" + found_in + "," + sought + ") END)";
  // A start before the first character (or NULL) searches from the first.
  const std::string start = "max(coalesce((" + RewriteCharIndex(args[2]) + "),1),1)";
  const std::string hit = "instr(substr(" + found_in + "," + start + ")," + sought + ")";
  return text + "WHEN " + hit + "=0 THEN 0 ELSE " + hit + "+" + start + "-1 END)";
}

// The system's clock as the file system reads it for a file's change time.
struct FileClock {
  using time_point = std::pair<int64_t, int64_t>;  // seconds, nanoseconds
  static time_point Now() {
#if defined(__linux__)
    // A file's times come from the coarse clock, which may lag the fine one
    // by a tick: read against the fine one, a file made a moment later could
    // seem older.
    timespec now{};
    clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return {now.tv_sec, now.tv_nsec};
#else
    return {std::numeric_limits<int64_t>::max(), 0};  // nothing counts as made now
#endif
  }
  // When the file at `path` last changed, if it is empty.
  static std::optional<time_point> ChangedIfEmpty(const std::string& path) {
#if defined(__linux__)
    struct stat file {};
    if (!path.empty() && ::stat(path.c_str(), &file) == 0 && S_ISREG(file.st_mode) && file.st_size == 0)
      return time_point{file.st_ctim.tv_sec, file.st_ctim.tv_nsec};
#else
    (void)path;
#endif
    return std::nullopt;
  }
};

class OdbcConnection : public embedded::Connection {
 public:
  OdbcConnection(std::string_view connection, const std::string& password) : secret_(password) {
    if (env_.get() == SQL_NULL_HANDLE) Unreachable(env_);
    Odbc().SQLSetEnvAttr(env_.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    dbc_ = std::make_unique<Handle>(SQL_HANDLE_DBC, env_.get());
    if (dbc_->get() == SQL_NULL_HANDLE) Unreachable(env_);
    std::string full(connection);
    if (!password.empty()) {
      if (!full.empty() && full.back() != ';') full += ';';
      std::string escaped;
      for (const char c : password) escaped += c == '}' ? std::string("}}") : std::string(1, c);
      full += "PWD={" + escaped + "}";
    }
    const FileClock::time_point before = FileClock::Now();
    std::u16string wide = Utf8ToUtf16(full);
    std::u16string out(1024, u'\0');
    SQLSMALLINT out_length = 0;
    const SQLRETURN rc =
        Odbc().SQLDriverConnectW(dbc_->get(), nullptr, Wide(wide), static_cast<SQLSMALLINT>(wide.size()), Wide(out),
                                 static_cast<SQLSMALLINT>(out.size()), &out_length, SQL_DRIVER_NOPROMPT);
    std::fill(wide.begin(), wide.end(), u'\0');
    std::fill(out.begin(), out.end(), u'\0');
    if (!SQL_SUCCEEDED(rc)) Unreachable(*dbc_);
    connected_ = true;

    std::u16string name(256, u'\0');
    SQLSMALLINT name_length = 0;
    if (SQL_SUCCEEDED(Odbc().SQLGetInfoW(dbc_->get(), SQL_DBMS_NAME, name.data(),
                                         static_cast<SQLSMALLINT>(name.size() * sizeof(char16_t)), &name_length))) {
      name.resize(static_cast<size_t>(name_length) / sizeof(char16_t));
      sqlite_ = FindIgnoreCase(Utf16ToUtf8(name), "SQLite") != std::string::npos;
    }
    if (!sqlite_) return;
    name_ = Hide(std::string(connection), secret_);
    try {
      RequireThisSchema(connection);
      RequireTables(before);
    } catch (...) {
      Odbc().SQLDisconnect(dbc_->get());
      connected_ = false;
      if (!made_.empty()) std::remove(made_.c_str());
      throw;
    }
  }

  // SQLite's ODBC driver opens a path that names no file by making an empty
  // one there; every statement would then fail on a missing table, and the
  // file would stay. An SQLite database without a single table is no file of
  // this project, whoever made it; one that the driver made during this
  // connection (empty, and changed no earlier) is removed again. Any driver
  // whose database calls itself SQLite is read this way; no other makes
  // files.
  void RequireTables(FileClock::time_point before) {
    if (CLng(Lookup("SELECT count(*) FROM sqlite_master", {}).rows.at(0).at(0)) != 0) return;
    const ResultSet main = Lookup("SELECT file FROM pragma_database_list WHERE name='main'", {});
    const std::string file = main.rows.empty() ? "" : CStr(main.rows[0][0]);
    const std::optional<FileClock::time_point> changed = FileClock::ChangedIfEmpty(file);
    if (changed && *changed >= before) {
      made_ = file;
      throw std::runtime_error("no database file at " + file +
                               " (SQLite's ODBC driver made an empty one there, removed again)");
    }
    throw std::runtime_error((file.empty() ? std::string("the database") : file) +
                             " holds no tables: it is not a database of this schema");
  }

  // A file of this project's made by another build lacks tables or columns
  // the adapter's texts rely on: say so once, as the file host does, rather
  // than fail every count. A file that is not the project's is left to fail
  // statement by statement.
  void RequireThisSchema(std::string_view connection) {
    // The driver opens any file, even one that is no database, which would
    // then answer "none" with a message per statement.
    try {
      Lookup("SELECT count(*) FROM sqlite_master", {});
    } catch (const AutomationError& e) {
      const std::string why = Hide(std::string(connection), secret_) + " cannot be read through ODBC: " + e.what();
      if (std::string_view(e.what()).find("not a database") != std::string_view::npos) throw std::runtime_error(why);
      throw embedded::DatabaseUnavailable(why);
    }
    int32_t version = embedded::kSchemaVersion;
    try {
      const ResultSet kept = Lookup("SELECT FVersion FROM t_ZetSchemaInfo", {});
      if (kept.rows.empty() || kept.rows[0].empty()) return;
      version = CLng(kept.rows[0][0]);
    } catch (const std::exception&) {
      return;
    }
    if (version != embedded::kSchemaVersion)
      throw std::runtime_error(
          Hide(std::string(connection), secret_) + " has schema version " + std::to_string(version) +
          ", this build reads version " + std::to_string(embedded::kSchemaVersion) +
          (version < embedded::kSchemaVersion ? "; 'zetmovebill --db FILE verify --repair' upgrades it in place" : ""));
  }

  ~OdbcConnection() override {
    if (connected_) Odbc().SQLDisconnect(dbc_->get());
    dbc_.reset();
  }

  ResultSet RunQuery(std::string_view tsql, const TSqlOptions& options) override {
    std::lock_guard lock(mutex_);
    RequireOneRead(tsql);
    // The adapter splits a text where the check above does: one statement.
    return Execute(ForDatabase(tsql, options).front(), {}, false);
  }

  void RunBatch(const std::vector<std::string>& tsql_texts, const TSqlOptions& options) override {
    std::lock_guard lock(mutex_);
    // Every text is translated first: one the adapter refuses runs nothing.
    std::vector<std::string> statements;
    for (const std::string& text : tsql_texts) {
      for (std::string& statement : ForDatabase(text, options)) statements.push_back(std::move(statement));
    }
    if (statements.empty()) throw AutomationError(err::kDatabaseError, "there is no statement to run");
    SetAutocommit(false);
    try {
      for (const std::string& statement : statements) Execute(statement, {}, true);
    } catch (...) {
      Odbc().SQLEndTran(SQL_HANDLE_DBC, dbc_->get(), SQL_ROLLBACK);
      SetAutocommit(true);
      throw;
    }
    if (!SQL_SUCCEEDED(Odbc().SQLEndTran(SQL_HANDLE_DBC, dbc_->get(), SQL_COMMIT))) {
      const AutomationError error = Failure(*dbc_);
      Odbc().SQLEndTran(SQL_HANDLE_DBC, dbc_->get(), SQL_ROLLBACK);
      SetAutocommit(true);
      throw error;
    }
    SetAutocommit(true);
  }

  std::string Damage() const override { return damage_; }

  ResultSet Lookup(std::string_view sql, const std::vector<Variant>& params) override {
    std::lock_guard lock(mutex_);
    return Execute(std::string(sql), params, false);
  }

 private:
  [[noreturn]] void Unreachable(const Handle& handle) const {
    const Diagnostic why = Diagnose(handle.type(), handle.get());
    throw embedded::DatabaseUnavailable(
        Hide("cannot connect through ODBC: SQLSTATE " + why.state + ": " + why.text, secret_));
  }

  AutomationError Failure(const Handle& handle) const {
    const Diagnostic why = Diagnose(handle.type(), handle.get());
    // SQLite's driver gives SQLite's own code: a damaged file (11) or one
    // that is no database (26) ends the command in one line, as the file
    // host's does, instead of a message per statement or an explanation cut
    // short.
    if (sqlite_ && damage_.empty() && (why.native == 11 || why.native == 26))
      damage_ = name_ + " is damaged: " + Hide(why.text, secret_);
    return AutomationError(err::kDatabaseError, Hide(why.text, secret_));
  }

  void SetAutocommit(bool on) {
    const auto value = on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF;
    if (!SQL_SUCCEEDED(
            Odbc().SQLSetConnectAttrW(dbc_->get(), SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(value), 0)))
      throw Failure(*dbc_);
  }

  // The statements to send for one of the component's texts: SQLite's
  // through the adapter, one by one; a server that speaks T-SQL gets the
  // text as written.
  std::vector<std::string> ForDatabase(std::string_view tsql, const TSqlOptions& options) const {
    if (!sqlite_) {
      if (embedded::SplitBatch(tsql).empty()) return {};
      return {std::string(tsql)};
    }
    std::vector<std::string> statements = embedded::TranslateBatch(tsql, options);
    for (std::string& statement : statements) statement = RewriteCharIndex(statement);
    return statements;
  }

  ResultSet Execute(const std::string& sql, const std::vector<Variant>& params, bool all_results) {
    Handle statement(SQL_HANDLE_STMT, dbc_->get());
    if (statement.get() == SQL_NULL_HANDLE) throw Failure(*dbc_);
    std::u16string text = Utf8ToUtf16(sql);
    SQLRETURN rc = SQL_SUCCESS;
    // Kept until the statement has run: the driver reads the values then.
    std::vector<std::u16string> strings(params.size());
    std::vector<int32_t> longs(params.size());
    std::vector<double> doubles(params.size());
    std::vector<SQLLEN> indicators(params.size());
    if (params.empty()) {
      rc = Odbc().SQLExecDirectW(statement.get(), Wide(text), static_cast<SQLINTEGER>(text.size()));
    } else {
      rc = Odbc().SQLPrepareW(statement.get(), Wide(text), static_cast<SQLINTEGER>(text.size()));
      for (size_t i = 0; SQL_SUCCEEDED(rc) && i < params.size(); ++i) {
        const Variant& value = params[i];
        const auto number = static_cast<SQLUSMALLINT>(i + 1);
        if (value.IsNull()) {
          indicators[i] = SQL_NULL_DATA;
          rc = Odbc().SQLBindParameter(statement.get(), number, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, 1, 0,
                                       nullptr, 0, &indicators[i]);
        } else if (value.Type() == VarType::Long || value.Type() == VarType::Integer ||
                   value.Type() == VarType::Boolean) {
          longs[i] = CLng(value);
          rc = Odbc().SQLBindParameter(statement.get(), number, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0,
                                       &longs[i], 0, nullptr);
        } else if (value.Type() == VarType::Double) {
          doubles[i] = CDbl(value);
          rc = Odbc().SQLBindParameter(statement.get(), number, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0,
                                       &doubles[i], 0, nullptr);
        } else {
          strings[i] = Utf8ToUtf16(CStr(value));
          indicators[i] = static_cast<SQLLEN>(strings[i].size() * sizeof(char16_t));
          rc = Odbc().SQLBindParameter(statement.get(), number, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR,
                                       std::max<SQLULEN>(strings[i].size(), 1), 0, Wide(strings[i]), indicators[i],
                                       &indicators[i]);
        }
      }
      if (SQL_SUCCEEDED(rc)) rc = Odbc().SQLExecute(statement.get());
    }
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) throw Failure(statement);
    ResultSet result = ReadRows(statement);
    // A T-SQL batch reports each of its statements in turn; an error in a
    // later one shows only when the driver is asked for it.
    while (all_results) {
      rc = Odbc().SQLMoreResults(statement.get());
      if (rc == SQL_NO_DATA) break;
      if (!SQL_SUCCEEDED(rc)) throw Failure(statement);
    }
    return result;
  }

  ResultSet ReadRows(const Handle& statement) const {
    ResultSet result;
    SQLSMALLINT count = 0;
    if (!SQL_SUCCEEDED(Odbc().SQLNumResultCols(statement.get(), &count))) throw Failure(statement);
    std::vector<Fetched> columns(static_cast<size_t>(std::max<SQLSMALLINT>(count, 0)));
    for (SQLUSMALLINT c = 1; c <= columns.size(); ++c) {
      std::u16string name(256, u'\0');
      SQLSMALLINT name_length = 0;
      SQLSMALLINT type = 0;
      SQLULEN size = 0;
      SQLSMALLINT scale = 0;
      SQLSMALLINT nullable = 0;
      if (!SQL_SUCCEEDED(Odbc().SQLDescribeColW(statement.get(), c, Wide(name), static_cast<SQLSMALLINT>(name.size()),
                                                &name_length, &type, &size, &scale, &nullable)))
        throw Failure(statement);
      name.resize(std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(name_length, 0)), name.size() - 1));
      result.columns.push_back(Utf16ToUtf8(name));
      columns[c - 1].sql_type = type;
      columns[c - 1].scale = scale;
    }
    if (columns.empty()) return result;
    for (;;) {
      const SQLRETURN rc = Odbc().SQLFetch(statement.get());
      if (rc == SQL_NO_DATA) break;
      if (!SQL_SUCCEEDED(rc)) throw Failure(statement);
      std::vector<Variant> row;
      row.reserve(columns.size());
      for (SQLUSMALLINT c = 1; c <= columns.size(); ++c) {
        Fetched& value = columns[c - 1];
        Read(statement, c, value);
        row.push_back(ToVariant(value));
      }
      result.rows.push_back(std::move(row));
    }
    return result;
  }

  void Read(const Handle& statement, SQLUSMALLINT column, Fetched& value) const {
    SQLLEN indicator = 0;
    SQLRETURN rc = SQL_SUCCESS;
    switch (FetchKindOf(value.sql_type)) {
      case FetchKind::Integer:
        rc = Odbc().SQLGetData(statement.get(), column, SQL_C_SBIGINT, &value.integer, 0, &indicator);
        break;
      case FetchKind::Real:
        rc = Odbc().SQLGetData(statement.get(), column, SQL_C_DOUBLE, &value.real, 0, &indicator);
        break;
      case FetchKind::Stamp:
        rc = Odbc().SQLGetData(statement.get(), column, SQL_C_TYPE_TIMESTAMP, &value.stamp, sizeof value.stamp,
                               &indicator);
        break;
      case FetchKind::Text: {
        // Read in pieces: a driver tells the whole length late or never.
        value.text.clear();
        std::u16string piece(2048, u'\0');
        for (;;) {
          rc = Odbc().SQLGetData(statement.get(), column, SQL_C_WCHAR, Wide(piece),
                                 static_cast<SQLLEN>(piece.size() * sizeof(char16_t)), &indicator);
          if (rc == SQL_NO_DATA) break;
          if (!SQL_SUCCEEDED(rc) || indicator == SQL_NULL_DATA) break;
          const size_t room = piece.size() - 1;
          const size_t got =
              indicator == SQL_NO_TOTAL ? room : std::min(room, static_cast<size_t>(indicator) / sizeof(char16_t));
          value.text.append(piece, 0, got);
          if (rc == SQL_SUCCESS) break;
        }
        if (rc == SQL_NO_DATA) rc = SQL_SUCCESS;
        break;
      }
    }
    if (!SQL_SUCCEEDED(rc)) throw Failure(statement);
    value.null = indicator == SQL_NULL_DATA;
  }

  Handle env_{SQL_HANDLE_ENV, SQL_NULL_HANDLE};
  std::unique_ptr<Handle> dbc_;
  bool connected_ = false;
  bool sqlite_ = false;
  std::string made_;  // a file the driver made empty during the connection
  std::string name_;  // the connection string, its password hidden
  mutable std::string damage_;
  std::string secret_;
  embedded::HostLock mutex_;
};

}  // namespace

bool CarriesPassword(std::string_view connection) {
  size_t at = 0;
  while (at < connection.size()) {
    const size_t equals = connection.find('=', at);
    if (equals == std::string_view::npos) break;
    std::string_view key = connection.substr(at, equals - at);
    while (!key.empty() && (key.front() == ' ' || key.front() == '\t')) key.remove_prefix(1);
    while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.remove_suffix(1);
    if (EqualsIgnoreCase(key, "PWD") || EqualsIgnoreCase(key, "PASSWORD")) return true;
    // The value runs to the next ";", or past a braced part that may hold one.
    size_t end = equals + 1;
    while (end < connection.size() && connection[end] == ' ') ++end;
    if (end < connection.size() && connection[end] == '{') {
      for (++end; end < connection.size(); ++end) {
        if (connection[end] != '}') continue;
        if (end + 1 < connection.size() && connection[end + 1] == '}') {
          ++end;
          continue;
        }
        break;
      }
    }
    const size_t semicolon = connection.find(';', end);
    if (semicolon == std::string_view::npos) break;
    at = semicolon + 1;
  }
  return false;
}

std::unique_ptr<embedded::Connection> Connect(std::string_view connection, const std::string& password) {
  return std::make_unique<OdbcConnection>(connection, password);
}

void RequireOneRead(std::string_view tsql) {
  const std::vector<std::string> statements = embedded::SplitBatch(tsql);
  if (statements.size() != 1) {
    throw AutomationError(err::kDatabaseError, "A read runs one statement; refused a text of " +
                                                   std::to_string(statements.size()) +
                                                   " statements: " + std::string(tsql));
  }
  const std::vector<Token> tokens = embedded::Tokenize(statements.front());
  const auto first = std::find_if(tokens.begin(), tokens.end(), Significant);
  bool reads = first != tokens.end() && IsWord(*first, "SELECT");
  for (const Token& token : tokens) {
    if (token.kind == TokenKind::Symbol && token.text == ";") reads = false;
    for (const std::string_view word : kNotInARead) {
      if (IsWord(token, word)) reads = false;
    }
  }
  if (!reads)
    throw AutomationError(err::kDatabaseError, "A read cannot change the database; refused: " + std::string(tsql));
}

std::string RewriteCharIndex(std::string_view statement) {
  const std::vector<Token> tokens = embedded::Tokenize(statement);
  std::string out;
  for (size_t i = 0; i < tokens.size(); ++i) {
    size_t open = i + 1;
    while (open < tokens.size() && !Significant(tokens[open])) ++open;
    std::vector<std::string> args;
    size_t close = 0;
    if (IsWord(tokens[i], "CharIndex") && open < tokens.size() && tokens[open].text == "(" &&
        SplitArguments(tokens, open, args, close) && (args.size() == 2 || args.size() == 3)) {
      out += CharIndexExpression(args);
      i = close;
      continue;
    }
    out += tokens[i].text;
  }
  return out;
}

}  // namespace zet::odbc
