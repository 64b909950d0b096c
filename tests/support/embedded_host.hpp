#pragma once

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "embedded/database.hpp"
#include "embedded/embedded_host.hpp"

namespace zet::embedded::testing {

// The day every date-dependent test pins getdate() to.
inline constexpr const char* kToday = "2026-12-05";

// A database file of its own under the temporary directory, removed again
// with every file SQLite put beside it.
class TempFile {
 public:
  TempFile() {
    static std::atomic<int> counter{0};
    path_ = (std::filesystem::temp_directory_path() /
             ("zet-embedded-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".db"))
                .string();
  }
  ~TempFile() {
    std::error_code ec;
    for (const char* suffix : {"", "-journal", "-wal", "-shm"}) std::filesystem::remove(path_ + suffix, ec);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// A fresh database of this schema (with the demo data when asked) and a
// platform over it whose messages are collected instead of printed.
class Host {
 public:
  explicit Host(bool demo = false, std::string props = "") {
    CreateDatabase(file_.path(), demo, false, kToday);
    platform_ = EmbeddedPlatform::Open(file_.path(), std::move(props));
    platform_->SetToday(kToday);
    platform_->SetMessageSink([this](std::string_view text) { messages.emplace_back(text); });
  }

  EmbeddedPlatform& platform() { return *platform_; }
  Database& db() { return platform_->Db(); }

  // Statements in SQLite's own dialect, to set a test's data up.
  void Exec(const std::string& sql) { db().Execute(sql); }
  // Logs the given user in.
  void As(int32_t user) { platform_->SetProps("UserID=" + std::to_string(user) + ";"); }

  std::vector<std::string> messages;

 private:
  TempFile file_;
  std::unique_ptr<EmbeddedPlatform> platform_;
};

}  // namespace zet::embedded::testing
