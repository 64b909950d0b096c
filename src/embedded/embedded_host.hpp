#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/platform.hpp"

namespace zet::embedded {

class Connection;
class Database;

// One late-bound call the component made on a host service object or on a
// traced object (the toolbar), with its arguments as passed.
struct TraceRecord {
  std::string object;  // the ProgID, or the name the object was traced under
  std::string member;
  std::vector<Variant> args;
};
using TraceSink = std::function<void(const TraceRecord&)>;
using MessageSink = std::function<void(std::string_view)>;

// The suite's services over one SQLite database file: every host ProgID the
// component uses, the foundation library's creation and list classes, the
// shared-properties service that publishes `props` as the context property
// string, and a message box that goes to the message sink (without one, to
// standard error as "message: TEXT"). Objects made by CreateObject are traced
// under their ProgID; recordsets and their fields are not traced.
class EmbeddedPlatform : public Platform {
 public:
  // Opens an existing database of this schema. Throws std::runtime_error with
  // a one-line reason when the file is missing or is not such a database, and
  // DatabaseUnavailable (embedded/database.hpp) when it cannot be used now.
  static std::unique_ptr<EmbeddedPlatform> Open(const std::string& path, std::string props);
  // The same services over another connection (embedded/host_objects.hpp):
  // one reached through ODBC. Db() is then unavailable.
  static std::unique_ptr<EmbeddedPlatform> Over(std::unique_ptr<Connection> connection, std::string props);
  ~EmbeddedPlatform() override;

  ObjectRef CreateObject(std::string_view prog_id) override;
  int32_t CurrentProcessId() override;
  void ShowMessage(std::string_view text) noexcept override;
  void MethodBegins() noexcept override;
  void MethodEnds() noexcept override;

  void SetTraceSink(TraceSink sink);
  void SetMessageSink(MessageSink sink);
  void SetProps(std::string props);

  // Pins the day that getdate() answers in statements ("YYYY-MM-DD", at
  // midnight), so that due-date answers do not depend on the clock; an empty
  // text goes back to the clock. std::invalid_argument for any other text.
  void SetToday(std::string day);

  // Wraps an object so that every call on it (and on the objects reached
  // through it) is traced under `name`. An object returned by a call on it
  // is traced as "<name>.<member>": for the toolbar passed as "ABar", the
  // band is "ABar.Bands" and its tools "ABar.Bands.Tools".
  ObjectRef Traced(ObjectRef object, std::string name);

  // The database itself (embedded/database.hpp): statements in SQLite's own
  // dialect for set-up, and the rows of a query.
  Database& Db();
  // The connection every service runs over.
  Connection& Conn();

 private:
  struct Impl;
  explicit EmbeddedPlatform(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// Creates the schema in a new database file (which must not exist unless
// `overwrite`), and the demo data when `demo` is set. Throws
// std::runtime_error with a one-line reason on failure: DatabaseUnavailable
// when the file could not be made (a read-only folder, the file-size limit).
void CreateDatabase(const std::string& path, bool demo, bool overwrite);
// The same, with the demo data's dates counted from `today` ("YYYY-MM-DD")
// instead of the local date.
void CreateDatabase(const std::string& path, bool demo, bool overwrite, const std::string& today);

}  // namespace zet::embedded
