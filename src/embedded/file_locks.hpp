#pragma once

#include <string>

namespace zet::embedded {

// How long one operation waits in all for other connections' locks before
// it gives up and names the holder.
constexpr int kBusyTimeoutMs = 5000;

// The connection that holds a lock on the database at `path` (or on its
// write-ahead log) and what kind of lock it is, as one phrase ("process 42
// holds the log's write lock: a write is under way"); "" when no other process
// holds one. Read from the system's lock table, so that no file of the
// database is opened (closing one would drop this process's own locks).
std::string LockHolder(const std::string& path);

// "process 42 has it open" when another process has the file at `path`, its
// log or its shared-memory file open, as far as this process can see: any
// process that holds a lock on one of them, and any whose descriptors this
// user may read (all of them for root); "" when none is seen.
std::string OpenElsewhere(const std::string& path);

// A descriptor of the file at `path` holding a read lock on the range where
// SQLite's readers hold theirs, so that a writer cannot take the exclusive
// lock it needs to fold its log into the file; -1 when the file cannot be
// opened. DatabaseUnavailable, naming the holder, when a writer has it now.
int HoldSharedLock(const std::string& path);

// SQLite's busy handler: `budget` is the connection's
// std::chrono::steady_clock::duration waited so far in the current operation,
// which the caller sets to zero as each operation starts.
int WaitForLock(void* budget, int attempt);

}  // namespace zet::embedded
