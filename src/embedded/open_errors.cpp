#include "embedded/open_errors.hpp"

#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string_view>

#include "embedded/file_locks.hpp"
#include "embedded/result_set.hpp"
#include "embedded/statement.hpp"

namespace zet::embedded {

std::string Folder(const std::string& path) {
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  return parent.empty() ? std::string(".") : parent.string();
}

bool Writable(const std::string& path) {
  return ::access(path.c_str(), W_OK) == 0;
}

std::string ReadOnlyReason(const std::string& path) {
  // Root passes every permission check, and anyone may be stopped by the
  // mount: that is no permission a user could be given.
  struct statvfs mount {};
  if (::statvfs(path.c_str(), &mount) == 0 && (mount.f_flag & ST_RDONLY) != 0)
    return path + " is on a read-only file system; writing needs it mounted read-write";
  const std::string uid = std::to_string(::geteuid());
  if (!Writable(path))
    return path + " is read-only for this user (uid " + uid + "); writing needs write permission on it and on " +
           Folder(path);
  if (Writable(path + "-wal") && Writable(path + "-shm")) return "";
  if (!Writable(Folder(path)))
    return path + " cannot be written by this user (uid " + uid + "): its folder " + Folder(path) +
           " is read-only, and a writer makes " + path + "-wal and -shm there";
  return "";
}

// `path` as an SQLite URI ("file:...?immutable=1"): '%', '?' and '#' would be
// read as URI syntax, so they are escaped.
std::string ImmutableUri(const std::string& path) {
  std::string uri = "file:";
  for (const char c : path) {
    if (c == '%' || c == '?' || c == '#') {
      static const char* kHex = "0123456789ABCDEF";
      uri += '%';
      uri += kHex[(static_cast<unsigned char>(c) >> 4) & 0xF];
      uri += kHex[static_cast<unsigned char>(c) & 0xF];
    } else {
      uri += c;
    }
  }
  return uri + "?immutable=1";
}

namespace {

// Whether the file-size limit of this process (ulimit -f) is what stopped a
// write: a file of the database within a page or so of it. SQLite keeps no
// errno that says so reliably.
bool AtFileSizeLimit(const std::string& path) {
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return false;
  for (const char* suffix : {"", "-wal", "-journal"}) {
    struct stat file {};
    if (::stat((path + suffix).c_str(), &file) == 0 && static_cast<rlim_t>(file.st_size) + 65536 > limit.rlim_cur)
      return true;
  }
  return false;
}

// SQLite takes a page it could not read for a damaged one; a second look
// with a fresh connection tells a read that failed from a file that is
// damaged. Read as the connection that failed read it, creating nothing.
bool ChecksOut(const std::string& path, const std::string& read_only_reason) {
  sqlite3* db = nullptr;
  const std::string name = read_only_reason.empty() ? path : ImmutableUri(path);
  bool whole = false;
  if (sqlite3_open_v2(name.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) == SQLITE_OK) {
    Statement check;
    whole = sqlite3_prepare_v2(db, "PRAGMA quick_check(1)", -1, check.Receive(), nullptr) == SQLITE_OK &&
            sqlite3_step(check.get()) == SQLITE_ROW &&
            std::string_view(reinterpret_cast<const char*>(sqlite3_column_text(check.get(), 0))) == "ok";
  }
  sqlite3_close(db);
  return whole;
}

}  // namespace

void ThrowIfUnavailable(sqlite3* db, const std::string& path, const std::string& read_only_reason) {
  const int rc = sqlite3_extended_errcode(db);
  const int system_errno = sqlite3_system_errno(db);
  const std::string message = sqlite3_errmsg(db);
  const std::string system = system_errno ? std::string(" (") + std::strerror(system_errno) + ")" : "";
  switch (rc & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED: {
      std::string holder = LockHolder(path);
      if (holder.empty()) holder = "another connection holds a lock on it";
      throw DatabaseUnavailable(path + " is locked: " + holder + " (gave up after " +
                                std::to_string(kBusyTimeoutMs / 1000) + " s)");
    }
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN:
      throw DatabaseUnavailable(read_only_reason.empty() ? "cannot open " + path + ": " + message + system
                                                         : read_only_reason);
    case SQLITE_IOERR:
    case SQLITE_FULL:
      if (system_errno == EFBIG || AtFileSizeLimit(path))
        throw DatabaseUnavailable(path + " would grow past the file-size limit of this process (ulimit -f)");
      throw DatabaseUnavailable("I/O error on " + path + ": " + message + system);
    case SQLITE_CORRUPT:
      if (ChecksOut(path, read_only_reason))
        throw PassingReadFailure("I/O error on " + path + ": " + kPassingReadFailure);
      throw DatabaseUnavailable(path + " is damaged: " + message);
    default:
      return;
  }
}

[[noreturn]] void FailToRead(sqlite3* db, const std::string& path, const std::string& read_only_reason) {
  ThrowIfUnavailable(db, path, read_only_reason);
  if ((sqlite3_extended_errcode(db) & 0xFF) == SQLITE_NOTADB)
    throw std::runtime_error(path + " is not an SQLite database");
  throw std::runtime_error(path + " is not a database of this schema (" + sqlite3_errmsg(db) + ")");
}

}  // namespace zet::embedded
