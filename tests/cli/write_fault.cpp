// Preloaded under a command to make one call on a file fail with EIO: the
// ZET_FAIL_AT-th write or sync, or the ZET_FAIL_READ_AT-th read (counted over
// files, not standard streams). With ZET_FAULT_REPORT set the counts are
// printed at exit, so that a sweep knows how many calls there are to fail.
#include <dlfcn.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

long calls[2] = {};

long FailAt(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::atol(value) : 0;
}

bool FailNow(int fd, bool read = false) {
  if (fd <= 2) return false;
  static const long fail_at[2] = {FailAt("ZET_FAIL_AT"), FailAt("ZET_FAIL_READ_AT")};
  if (++calls[read] != fail_at[read]) return false;
  errno = EIO;
  return true;
}

template <class Fn>
Fn Next(const char* name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

struct Report {
  ~Report() {
    if (std::getenv("ZET_FAULT_REPORT")) std::fprintf(stderr, "%ld %ld\n", calls[0], calls[1]);
  }
} report;

}  // namespace

extern "C" {

ssize_t write(int fd, const void* data, size_t size) {
  return FailNow(fd) ? -1 : Next<ssize_t (*)(int, const void*, size_t)>("write")(fd, data, size);
}
ssize_t pwrite(int fd, const void* data, size_t size, off_t at) {
  return FailNow(fd) ? -1 : Next<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite")(fd, data, size, at);
}
ssize_t pwrite64(int fd, const void* data, size_t size, off64_t at) {
  return FailNow(fd) ? -1 : Next<ssize_t (*)(int, const void*, size_t, off64_t)>("pwrite64")(fd, data, size, at);
}
ssize_t writev(int fd, const struct iovec* parts, int count) {
  return FailNow(fd) ? -1 : Next<ssize_t (*)(int, const struct iovec*, int)>("writev")(fd, parts, count);
}
ssize_t read(int fd, void* data, size_t size) {
  return FailNow(fd, true) ? -1 : Next<ssize_t (*)(int, void*, size_t)>("read")(fd, data, size);
}
ssize_t pread(int fd, void* data, size_t size, off_t at) {
  return FailNow(fd, true) ? -1 : Next<ssize_t (*)(int, void*, size_t, off_t)>("pread")(fd, data, size, at);
}
ssize_t pread64(int fd, void* data, size_t size, off64_t at) {
  return FailNow(fd, true) ? -1 : Next<ssize_t (*)(int, void*, size_t, off64_t)>("pread64")(fd, data, size, at);
}
int fsync(int fd) {
  return FailNow(fd) ? -1 : Next<int (*)(int)>("fsync")(fd);
}
int fdatasync(int fd) {
  return FailNow(fd) ? -1 : Next<int (*)(int)>("fdatasync")(fd);
}
}
