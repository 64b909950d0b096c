#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/dispatch.hpp"
#include "host/error.hpp"
#include "host/platform.hpp"

namespace zet::testing {

// The number and text of the error `body` raised; "0" when none.
template <class Body>
std::string Error(Body&& body) {
  try {
    body();
  } catch (const AutomationError& e) {
    return std::to_string(e.Number()) + " " + e.Description();
  }
  return "0";
}

// The rows a scripted statement answers with.
struct Table {
  std::vector<std::string> fields;
  std::vector<std::vector<Variant>> rows;
};
// One column, one row: the answer of an aggregate or a probe.
inline Table Scalar(Variant value) {
  return Table{{"F0"}, {{std::move(value)}}};
}

// One late-bound call on an object the platform made or on the toolbar.
struct RecordedCall {
  std::string object, member;
  std::vector<Variant> args;
};

// The scripted host: every ProgID the component uses, answering statements
// from rules and recording every call.
class FakePlatform : public Platform {
 public:
  ~FakePlatform() override;
  ObjectRef CreateObject(std::string_view prog_id) override;
  int32_t CurrentProcessId() override { return 4242; }
  void ShowMessage(std::string_view text) noexcept override { messages.emplace_back(text); }

  // Statements containing `fragment` answer with `table` (first rule wins),
  // with `record_count` as its RecordCount when given; the others, no rows.
  void Answer(std::string fragment, Table table, std::optional<int32_t> record_count = {}) {
    rules_.push_back({std::move(fragment), std::move(table), record_count});
  }
  // The rights of the current user: an administrator, or a user with the
  // given t_User row whose groups hold `group_users`.
  void Administrator() { Answer(" AND FGroupID=1", Scalar(Variant::Long(1))); }
  void User(int32_t group_right, int32_t data_right, std::vector<int32_t> group_users = {16, 17});

  // The SQL texts sent through any data service, in order.
  const std::vector<std::string>& Statements() const { return statements_; }
  // ProgIDs of the objects made that someone still holds.
  std::vector<std::string> Alive() const;

  std::string props = "UserID=16;";
  std::map<std::string, Variant> sys_values;  // "IC/APAlarmDateCount" -> value
  std::map<int32_t, int32_t> access_errors;   // AccessCheck: right -> error raised
  std::vector<std::string> messages;
  std::vector<RecordedCall> calls;

 private:
  friend class FakeObject;
  Variant Handle(const std::string& prog_id, std::string_view member, std::span<Argument> args);
  struct Rule {
    std::string fragment;
    Table table;
    std::optional<int32_t> record_count;
  };
  std::vector<Rule> rules_;
  std::vector<std::string> statements_;
  std::vector<std::pair<std::string, std::weak_ptr<Dispatch>>> objects_;
};

// The host's toolbar: band "mnuRecBill" of 20 tools; any other index raises.
// Tools start visible with a stale caption, so a test sees what changed.
class FakeToolbar : public Dispatch {
 public:
  struct Tool {
    bool visible = true;
    std::string caption = "stale", text = "stale";
  };
  Variant Invoke(std::string_view member, CallKind kind, std::span<Argument> args) override;
  // The visible tools as "index:caption:text".
  std::vector<std::string> VisibleTools() const;
  std::vector<Tool> tools = std::vector<Tool>(20);
};

// Wraps a platform so that every host call (creating an object, and any
// call on an object it made or on what such a call returned) is counted,
// and the `fail_at`-th one raises. Works over any platform.
class FailingPlatform : public ForwardingPlatform {
 public:
  using ForwardingPlatform::ForwardingPlatform;
  ObjectRef CreateObject(std::string_view prog_id) override {
    Tick("new " + std::string(prog_id));
    return ForwardingPlatform::CreateObject(prog_id);
  }
  void Watch(const std::string& prog_id, std::string_view member, std::span<Argument>) override {
    Tick(prog_id + "." + std::string(member));
  }

  int fail_at = 0;          // 0: nothing fails
  int count = 0;            // host calls so far
  std::string failed_call;  // "ProgID.member" of the call made to fail

 private:
  void Tick(const std::string& what);
};

}  // namespace zet::testing
