#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "embedded/database.hpp"
#include "embedded/embedded_host.hpp"
#include "host/dispatch.hpp"

namespace zet::embedded {

// What every object of one embedded platform shares: the database, the
// published property string, the pinned day and the sinks. Host objects hold
// it by shared pointer, so one that outlives its platform (the per-thread
// creation service of another thread) stays valid.
class HostState : public std::enable_shared_from_this<HostState> {
 public:
  explicit HostState(std::unique_ptr<Database> db) : db_(std::move(db)) {}

  Database& Db() { return *db_; }

  std::string Props() const;
  void SetProps(std::string props);
  TSqlOptions Options() const;
  void SetToday(std::string day);
  void SetTraceSink(TraceSink sink);
  void SetMessageSink(MessageSink sink);

  void Trace(const std::string& object, std::string_view member, std::span<Argument> args) const;
  void ShowMessage(std::string_view text) const noexcept;

  // A new object of the class registered under `prog_id`, traced under that
  // ProgID; error 429 for a ProgID that names no class here.
  ObjectRef CreateObject(std::string_view prog_id);

 private:
  std::unique_ptr<Database> db_;
  mutable std::mutex mutex_;
  std::string props_;
  TSqlOptions options_;
  TraceSink trace_;
  MessageSink messages_;
};

// Wraps `inner` so that every call on it is traced under `name`; with
// `follow`, the objects its calls return are wrapped too, under
// "<name>.<member>".
ObjectRef MakeTraced(std::shared_ptr<HostState> state, ObjectRef inner, std::string name, bool follow);

// A materialized recordset over `rows`, open and at its first row.
ObjectRef MakeRecordset(ResultSet rows);

}  // namespace zet::embedded
