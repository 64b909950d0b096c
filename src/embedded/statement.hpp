#pragma once

#include <sqlite3.h>

#include <utility>

namespace zet::embedded {

// A prepared statement and the duty to finalize it: whoever holds one owns
// it, and it moves but never copies, so that no statement is finalized twice
// or left to hold the schema after its owner is gone.
class Statement {
 public:
  Statement() = default;
  explicit Statement(sqlite3_stmt* raw) : raw_(raw) {}
  Statement(Statement&& other) noexcept : raw_(std::exchange(other.raw_, nullptr)) {}
  Statement& operator=(Statement&& other) noexcept {
    if (this != &other) {
      sqlite3_finalize(raw_);
      raw_ = std::exchange(other.raw_, nullptr);
    }
    return *this;
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  ~Statement() { sqlite3_finalize(raw_); }

  sqlite3_stmt* get() const { return raw_; }
  // Where sqlite3_prepare_* puts the statement it makes; one held before is
  // finalized first.
  sqlite3_stmt** Receive() {
    sqlite3_finalize(std::exchange(raw_, nullptr));
    return &raw_;
  }

 private:
  sqlite3_stmt* raw_ = nullptr;
};

}  // namespace zet::embedded
