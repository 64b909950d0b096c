#pragma once

#include <mutex>  // std::lock_guard, in either thread model

#ifdef _WIN32
#include <windows.h>
#endif

namespace zet::embedded {

// The lock of the host's shared state, usable with std::lock_guard. The
// Windows tool is built with the win32 thread model, whose standard library
// has no std::mutex; a slim reader/writer lock serves there.
#ifdef _WIN32
class HostLock {
 public:
  HostLock() = default;
  HostLock(const HostLock&) = delete;
  HostLock& operator=(const HostLock&) = delete;
  void lock() { AcquireSRWLockExclusive(&lock_); }
  void unlock() { ReleaseSRWLockExclusive(&lock_); }

 private:
  SRWLOCK lock_ = SRWLOCK_INIT;
};
#else
using HostLock = std::mutex;
#endif

}  // namespace zet::embedded
