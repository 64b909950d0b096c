#pragma once

#include <string>

#include "embedded/result_set.hpp"

struct sqlite3;

namespace zet::embedded {

// The folder a file of the database at `path` lives in ("." for a bare name).
std::string Folder(const std::string& path);
// Whether this process may write `path` (a file or a folder).
bool Writable(const std::string& path);

// Why this process cannot write the database at `path`, naming what would have
// to be writable; "" when it can. Besides the file, SQLite needs its log and
// shared-memory files: an existing pair is used, else they are made in the
// folder.
std::string ReadOnlyReason(const std::string& path);

// `path` as an SQLite URI that reads the file as it stands, without locks and
// without any file beside it ("file:...?immutable=1").
std::string ImmutableUri(const std::string& path);

// What a statement reports when SQLite took a page it could not read for a
// damaged one and a second look finds the file whole.
inline constexpr const char* kPassingReadFailure =
    "a read failed, yet the file checks out whole (a fault of the disk or its link)";

// The file is unusable now because a read failed, though the file itself is
// whole: told apart by its type, so that a statement's error can say so.
class PassingReadFailure : public DatabaseUnavailable {
 public:
  using DatabaseUnavailable::DatabaseUnavailable;
};

// Raises DatabaseUnavailable with the cause, as one line, when the
// connection's last failure says that the file cannot be used now: locked
// (naming the holder), read-only, past the file-size limit, an I/O error, or
// damaged. Returns for any other failure.
void ThrowIfUnavailable(sqlite3* db, const std::string& path, const std::string& read_only_reason);

// Why the schema marker could not be read: bad input (no SQLite database, not
// this schema) as std::runtime_error, else as ThrowIfUnavailable says.
[[noreturn]] void FailToRead(sqlite3* db, const std::string& path, const std::string& read_only_reason);

}  // namespace zet::embedded
