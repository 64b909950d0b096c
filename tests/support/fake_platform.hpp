#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "host/dispatch.hpp"
#include "host/platform.hpp"

namespace zet::testing {

// The rows a scripted statement answers with.
struct Table {
  std::vector<std::string> fields;
  std::vector<std::vector<Variant>> rows;
};

// A table of one column and one row: the answer of an aggregate or a probe.
Table Scalar(Variant value);
// A table with no rows.
Table NoRows(std::vector<std::string> fields = {"F"});

// A recordset over a fixed table: EOF, RecordCount, Fields.Item(i|name).Value,
// MoveNext, Clone (sharing the rows, at the first row) and Close.
ObjectRef MakeRecordset(Table table);

// One late-bound call the component made on an object it created by ProgID.
struct RecordedCall {
  std::string object;
  std::string member;
  CallKind kind;
  std::vector<Variant> args;
  std::vector<bool> by_ref;
};

// The scripted platform: every host ProgID the component uses, answering
// statements from rules and recording every call. Any call can be made to
// fail on demand.
class FakePlatform : public Platform {
 public:
  FakePlatform();
  ~FakePlatform() override;

  ObjectRef CreateObject(std::string_view prog_id) override;
  int32_t CurrentProcessId() override { return process_id; }
  void ShowMessage(std::string_view text) noexcept override { messages.emplace_back(text); }

  // Statements whose text contains `fragment` answer with `table`; the first
  // rule that matches wins. Unmatched statements answer with NoRows().
  void Answer(std::string fragment, Table table);
  // Statements whose text contains `fragment` are rejected with `description`.
  void Reject(std::string fragment, std::string description);
  // Calls of `member` on `prog_id` raise `number` with `description`.
  void FailCall(std::string prog_id, std::string member, int32_t number, std::string description);
  // The ProgID cannot be created.
  void Unregister(std::string prog_id) { unregistered_.insert(std::move(prog_id)); }

  // The SQL texts sent, in order, through any of the data services (the
  // element of an UpdateBatch array included).
  std::vector<std::string> Statements() const;
  // The calls recorded on objects of `prog_id` (all when empty).
  std::vector<RecordedCall> CallsOn(std::string_view prog_id = {}) const;
  int CreatedCount(std::string_view prog_id) const;

  // What the host publishes and answers.
  std::string props = "UserID=16;";
  int32_t process_id = 4242;
  std::map<std::string, Variant> sys_values;  // "IC/APAlarmDateCount" -> value
  // AccessCheck answers by right: absent = granted (True); a number = raised.
  std::map<int32_t, int32_t> access_errors;

  std::vector<std::string> messages;
  std::vector<RecordedCall> calls;

 private:
  friend class FakeObject;
  Variant Handle(const std::string& prog_id, std::string_view member, CallKind kind, std::span<Argument> args);
  Variant RunStatement(const std::string& sql);

  struct Rule {
    std::string fragment;
    Table table;
    bool reject = false;
    std::string description;
  };
  struct Failure {
    std::string prog_id, member;
    int32_t number;
    std::string description;
  };
  std::vector<Rule> rules_;
  std::vector<Failure> failures_;
  std::set<std::string> unregistered_;
  std::map<std::string, int> created_;
};

}  // namespace zet::testing
