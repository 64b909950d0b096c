#include "embedded/file_locks.hpp"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <vector>

#include "embedded/result_set.hpp"

namespace zet::embedded {

namespace {

// SQLite's lock bytes in a database file: the pending byte at 1 GiB, the
// reserved byte after it, then the 510 bytes of the shared range.
constexpr int64_t kPendingByte = 0x40000000;
constexpr int64_t kReservedByte = kPendingByte + 1;
constexpr int64_t kSharedFirst = kPendingByte + 2;
constexpr int64_t kSharedLast = kSharedFirst + 509;

}  // namespace

// A file as /proc/locks names it: "major:minor:inode", the device in hex.
std::string LockId(const struct stat& file) {
  char id[64];
  std::snprintf(id, sizeof id, "%02x:%02x:%llu", ::major(file.st_dev), ::minor(file.st_dev),
                static_cast<unsigned long long>(file.st_ino));
  return id;
}

std::string LockHolder(const std::string& path) {
  struct Range {
    const char* suffix;
    int64_t first;
    int64_t last;
    const char* write_lock;
    const char* read_lock;
  };
  // SQLite's lock bytes in the database file and in its shared-memory file.
  // Every connection to a database in write-ahead-log mode holds a shared
  // lock, so a write lock is looked for first.
  static const Range kRanges[] = {
      {"", kSharedFirst, kSharedLast, "an exclusive lock: it is writing the file, or keeps it to itself", nullptr},
      {"", kPendingByte, kPendingByte, "a pending lock: it waits to write", nullptr},
      {"", kReservedByte, kReservedByte, "a reserved lock: a write is under way", nullptr},
      {"-shm", 120, 120, "the log's write lock: a write is under way", nullptr},
      {"-shm", 121, 121, "the log's checkpoint lock: it is folding the log into the file", nullptr},
      {"-shm", 122, 122, "the log's recovery lock: it is rebuilding the log's index", nullptr},
      {"", kSharedFirst, kSharedLast, nullptr, "a shared lock: it is reading"},
  };
  std::ifstream table("/proc/locks");
  std::vector<std::string> lines;
  for (std::string line; std::getline(table, line);) lines.push_back(line);
  for (const Range& range : kRanges) {
    struct stat file {};
    if (::stat((path + range.suffix).c_str(), &file) != 0) continue;
    const std::string id = LockId(file);
    for (const std::string& line : lines) {
      // "1: POSIX  ADVISORY  WRITE 4242 08:01:131 1073741826 1073742335"
      std::istringstream fields(line);
      std::string number, kind, advisory, mode, pid, inode, first, last;
      fields >> number >> kind >> advisory >> mode >> pid >> inode >> first >> last;
      if (kind == "->" || inode != id || pid == std::to_string(::getpid())) continue;
      const int64_t from = std::strtoll(first.c_str(), nullptr, 10);
      const int64_t to = last == "EOF" ? std::numeric_limits<int64_t>::max() : std::strtoll(last.c_str(), nullptr, 10);
      if (to < range.first || from > range.last) continue;
      const char* what = mode == "WRITE" ? range.write_lock : range.read_lock;
      if (what == nullptr) continue;
      return (pid == "-1" ? std::string("a process") : "process " + pid) + " holds " + what;
    }
  }
  return "";
}

std::string OpenElsewhere(const std::string& path) {
  std::vector<struct stat> files;
  for (const char* suffix : {"", "-wal", "-shm"}) {
    struct stat file {};
    if (::stat((path + suffix).c_str(), &file) == 0) files.push_back(file);
  }
  if (files.empty()) return "";
  const std::string own = std::to_string(::getpid());
  // Locks first: the lock table lists every process's, whoever asks, and
  // every SQLite connection in write-ahead-log mode holds one for as long as
  // it is open.
  std::ifstream table("/proc/locks");
  for (std::string line; std::getline(table, line);) {
    std::istringstream fields(line);
    std::string number, kind, advisory, mode, pid, inode;
    fields >> number >> kind >> advisory >> mode >> pid >> inode;
    if (kind == "->" || pid == own || pid == "-1") continue;
    for (const struct stat& file : files)
      if (inode == LockId(file)) return "process " + pid + " has it open";
  }
  // Then the descriptors of the processes this user may look into: a
  // connection between transactions in rollback-journal mode, or any other
  // program, holds no lock.
  // Stepped with error codes: a process may end while its descriptors are
  // read, and that is no failure of this check.
  using std::filesystem::directory_iterator;
  std::error_code ec;
  for (directory_iterator process("/proc", ec), end; !ec && process != end; process.increment(ec)) {
    const std::string pid = process->path().filename().string();
    if (pid == own || pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::error_code fd_ec;
    for (directory_iterator fd(process->path() / "fd", fd_ec); !fd_ec && fd != end; fd.increment(fd_ec)) {
      struct stat file {};
      if (::stat(fd->path().c_str(), &file) != 0) continue;
      for (const struct stat& mine : files)
        if (file.st_dev == mine.st_dev && file.st_ino == mine.st_ino) return "process " + pid + " has it open";
    }
  }
  return "";
}

int HoldSharedLock(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct flock lock {};
  lock.l_type = F_RDLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = kSharedFirst;
  lock.l_len = kSharedLast - kSharedFirst + 1;
  if (::fcntl(fd, F_SETLK, &lock) != 0) {
    ::close(fd);
    throw DatabaseUnavailable(path + " is locked: " + LockHolder(path));
  }
  return fd;
}

// Two command-line runs on one file wait for each other instead of failing,
// up to kBusyTimeoutMs of waiting in all per operation: opening the file
// reads its schema more than once, and a wait per read would double the wait
// that the refusal then names.
int WaitForLock(void* budget, int attempt) {
  auto& waited = *static_cast<std::chrono::steady_clock::duration*>(budget);
  const auto limit = std::chrono::milliseconds(kBusyTimeoutMs);
  if (waited >= limit) return 0;
  const auto step = std::min<std::chrono::steady_clock::duration>(
      std::chrono::milliseconds(attempt < 6 ? 1 << attempt : 50), limit - waited);
  const auto before = std::chrono::steady_clock::now();
  sqlite3_sleep(static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(step).count()));
  waited += std::chrono::steady_clock::now() - before;
  return 1;
}

}  // namespace zet::embedded
