// Preloaded under a command to make one call on a file fail with EIO: the
// ZET_FAIL_AT-th write or sync, or the ZET_FAIL_READ_AT-th read (counted over
// files, not standard streams), or with ZET_SIGNAL the process sent that signal
// there instead. With ZET_FAULT_REPORT set the counts are
// printed at exit, so that a sweep knows how many calls there are to fail.
#include <dlfcn.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

long calls[2] = {};

bool FailNow(int fd, bool read) {
  static const char* const kNames[2] = {"ZET_FAIL_AT", "ZET_FAIL_READ_AT"};
  if (fd <= 2 || ++calls[read] != std::atol(std::getenv(kNames[read]) ? std::getenv(kNames[read]) : "0")) return false;
  // With ZET_SIGNAL the call goes through, just after that signal (Ctrl-C, a kill) came.
  if (const char* signal = std::getenv("ZET_SIGNAL")) return std::raise(std::atoi(signal)), false;
  errno = EIO;
  return true;
}

struct Report {
  ~Report() {
    if (std::getenv("ZET_FAULT_REPORT")) std::fprintf(stderr, "%ld %ld\n", calls[0], calls[1]);
  }
} report;

}  // namespace

#define ZET_FAULT(type, name, read, params, ...)                                                            \
  extern "C" type name params {                                                                             \
    return FailNow(fd, read) ? -1 : reinterpret_cast<type(*) params>(dlsym(RTLD_NEXT, #name))(__VA_ARGS__); \
  }
ZET_FAULT(ssize_t, write, false, (int fd, const void* p, size_t n), fd, p, n)
ZET_FAULT(ssize_t, pwrite, false, (int fd, const void* p, size_t n, off_t at), fd, p, n, at)
ZET_FAULT(ssize_t, pwrite64, false, (int fd, const void* p, size_t n, off64_t at), fd, p, n, at)
ZET_FAULT(ssize_t, writev, false, (int fd, const struct iovec* v, int n), fd, v, n)
ZET_FAULT(int, fsync, false, (int fd), fd)
ZET_FAULT(int, fdatasync, false, (int fd), fd)
ZET_FAULT(ssize_t, read, true, (int fd, void* p, size_t n), fd, p, n)
ZET_FAULT(ssize_t, pread, true, (int fd, void* p, size_t n, off_t at), fd, p, n, at)
ZET_FAULT(ssize_t, pread64, true, (int fd, void* p, size_t n, off64_t at), fd, p, n, at)
