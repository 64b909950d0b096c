#pragma once

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "embedded/database.hpp"
#include "embedded/embedded_host.hpp"

namespace zet::embedded::testing {

// The day every date-dependent test pins getdate() to.
inline constexpr const char* kToday = "2026-12-05";

// A directory of its own under the temporary directory, removed afterwards
// with everything in it: a test's database and the files SQLite puts beside it.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zet-test-XXXXXX").string();
    dir_ = ::mkdtemp(pattern.data());
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string Path(const std::string& name = "test.db") const { return (dir_ / name).string(); }

 private:
  std::filesystem::path dir_;
};

// A fresh database of this schema (with the demo data when asked) and a
// platform over it whose messages are collected instead of printed.
class Host {
 public:
  explicit Host(bool demo = false, std::string props = "") {
    CreateDatabase(dir_.Path(), demo, false, kToday);
    platform_ = EmbeddedPlatform::Open(dir_.Path(), std::move(props));
    platform_->SetToday(kToday);
    platform_->SetMessageSink([this](std::string_view text) { messages.emplace_back(text); });
  }

  EmbeddedPlatform& platform() { return *platform_; }
  Database& db() { return platform_->Db(); }
  std::string path() const { return dir_.Path(); }

  // Statements in SQLite's own dialect, to set a test's data up.
  void Exec(const std::string& sql) { db().Execute(sql); }
  // Logs the given user in.
  void As(int32_t user) { platform_->SetProps("UserID=" + std::to_string(user) + ";"); }

  std::vector<std::string> messages;

 private:
  TempDir dir_;
  std::unique_ptr<EmbeddedPlatform> platform_;
};

}  // namespace zet::embedded::testing
