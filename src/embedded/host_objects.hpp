#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "embedded/embedded_host.hpp"
#include "embedded/host_lock.hpp"
#include "embedded/result_set.hpp"
#include "embedded/tsql_adapter.hpp"
#include "host/dispatch.hpp"

namespace zet::embedded {

// The database the host objects run over: the embedded SQLite file, or one
// reached through ODBC. Every failure of a statement raises AutomationError,
// with the text the suite shows for it.
class Connection {
 public:
  virtual ~Connection() = default;
  // A read in the component's dialect: exactly one statement that cannot
  // change the database, refused before anything runs otherwise.
  virtual ResultSet RunQuery(std::string_view tsql, const TSqlOptions& options) = 0;
  // Every statement of every text, in one transaction: all of them or none.
  virtual void RunBatch(const std::vector<std::string>& tsql_texts, const TSqlOptions& options) = 0;
  // The host's own lookups: one plain SELECT that both dialects read alike,
  // its "?" placeholders bound to `params` in order.
  virtual ResultSet Lookup(std::string_view sql, const std::vector<Variant>& params) = 0;
  // A method of the component begins and ends (see Platform::MethodBegins):
  // the reads in between may share one snapshot, let go at the end.
  virtual void MethodBegins() noexcept {}
  virtual void MethodEnds() noexcept {}
  // Why a write cannot succeed now, as one line; "" when that is not known.
  virtual std::string WriteBlocker() const { return ""; }
  // What a statement found wrong with the database itself (a damaged page,
  // an I/O error), as one line; "" while nothing was.
  virtual std::string Damage() const { return ""; }
};

// What every object of one embedded platform shares: the database, the
// published property string, the pinned day and the sinks. Host objects hold
// it by shared pointer, so one that outlives its platform (the per-thread
// creation service of another thread) stays valid.
class HostState : public std::enable_shared_from_this<HostState> {
 public:
  // `db`: the embedded file `connection` runs over, if it is one.
  explicit HostState(std::unique_ptr<Connection> connection, Database* db = nullptr);
  ~HostState();

  // The embedded file; std::logic_error over any other connection.
  Database& Db();
  Connection& Conn() { return *connection_; }

  std::string Props() const;
  void SetProps(std::string props);
  TSqlOptions Options() const;
  void SetToday(std::string day);
  void SetTraceSink(TraceSink sink);
  void SetMessageSink(MessageSink sink);

  void Trace(std::string_view object, std::string_view member, std::span<Argument> args) const;
  void ShowMessage(std::string_view text) const noexcept;

  // An object of the class registered under `prog_id`, traced under that
  // ProgID (a new list each time; a service, which keeps nothing between
  // calls, is the same object each time); error 429 for a ProgID that names
  // no class here.
  ObjectRef CreateObject(std::string_view prog_id);

 private:
  Database* db_;
  std::unique_ptr<Connection> connection_;
  mutable HostLock mutex_;
  std::string props_;
  TSqlOptions options_;
  TraceSink trace_;
  std::atomic<bool> tracing_{false};  // trace_ is set
  // One object of each service (see CreateObject).
  std::array<std::unique_ptr<Dispatch>, 8> services_;
  MessageSink messages_;
};

// Wraps `inner` so that every call on it is traced under `name`; with
// `follow`, the objects its calls return are wrapped too, under
// "<name>.<member>".
ObjectRef MakeTraced(std::shared_ptr<HostState> state, ObjectRef inner, std::string name, bool follow);

// A materialized recordset over `rows`, open and at its first row.
ObjectRef MakeRecordset(ResultSet rows);

}  // namespace zet::embedded
