#pragma once

#include <map>
#include <memory>
#include <optional>
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

// How a scripted recordset departs from a well-behaved one.
struct RecordsetQuirks {
  // What RecordCount reports instead of the number of rows (ADO says -1 when
  // it does not know).
  std::optional<int32_t> record_count;
  // A member ("Close", "EOF", "Clone" ...) that raises when called.
  std::string failing_member;

  static RecordsetQuirks Counting(int32_t count) {
    RecordsetQuirks quirks;
    quirks.record_count = count;
    return quirks;
  }
  static RecordsetQuirks Failing(std::string member) {
    RecordsetQuirks quirks;
    quirks.failing_member = std::move(member);
    return quirks;
  }
};

// A recordset over a fixed table: EOF, RecordCount, Fields.Item(i|name).Value,
// MoveNext, Clone (sharing the rows, at the first row) and Close.
ObjectRef MakeRecordset(Table table, RecordsetQuirks quirks = {});

// One late-bound call the component made on an object it created by ProgID.
struct RecordedCall {
  std::string object;
  std::string member;
  CallKind kind;
  std::vector<Variant> args;
  std::vector<bool> by_ref;
};

// A recordset the platform handed out, watched after the fact.
struct IssuedRecordset {
  std::string sql;
  std::weak_ptr<Dispatch> object;      // expired once nobody holds it
  std::shared_ptr<const bool> closed;  // set by its Close
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
  void Answer(std::string fragment, Table table, RecordsetQuirks quirks = {});
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
  // How many objects of `prog_id` the platform made are still referenced.
  int Alive(std::string_view prog_id) const;
  // The ProgIDs of every object the platform made that is still referenced.
  std::vector<std::string> AliveObjects() const;

  // What the host publishes and answers.
  std::string props = "UserID=16;";
  // Shared properties answered instead of the defaults ("PropsString" is
  // `props`, every other name Empty).
  std::map<std::string, Variant> share_props;
  int32_t process_id = 4242;
  std::map<std::string, Variant> sys_values;  // "IC/APAlarmDateCount" -> value
  // AccessCheck answers by right: absent = granted (True); a number = raised.
  std::map<int32_t, int32_t> access_errors;

  std::vector<std::string> messages;
  std::vector<RecordedCall> calls;
  // Creations ("new <ProgID>") and calls ("<ProgID>.<member>") in the order
  // they happened.
  std::vector<std::string> events;
  std::vector<IssuedRecordset> recordsets;

 private:
  friend class FakeObject;
  Variant Handle(const std::string& prog_id, std::string_view member, CallKind kind, std::span<Argument> args);
  Variant RunStatement(const std::string& sql);

  struct Rule {
    std::string fragment;
    Table table;
    RecordsetQuirks quirks;
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
  std::vector<std::pair<std::string, std::weak_ptr<Dispatch>>> objects_;
};

// The host's toolbar as the recent-bills menu sees it: bands by name, each
// with a number of tools whose Visible, Caption and Text can be set. An index
// the band does not hold raises kBadToolIndex. Tools start visible with a
// stale caption, so that a test sees what the component changed.
class FakeToolbar : public Dispatch {
 public:
  struct Tool {
    bool visible = true;
    std::string caption = "stale";
    std::string text = "stale";
  };
  static constexpr int32_t kBadToolIndex = -2147352565;  // DISP_E_BADINDEX

  explicit FakeToolbar(std::string band = "mnuRecBill", int tool_count = 20);
  Variant Invoke(std::string_view member, CallKind kind, std::span<Argument> args) override;

  // The visible tools as "index:caption:text".
  std::vector<std::string> VisibleTools() const;

  std::string band_name;
  std::vector<Tool> tools;
  // Every call on the bar, its band and its tools; objects are "ABar",
  // the band's name and "Tool <index>".
  std::vector<RecordedCall> calls;

 private:
  friend class FakeBand;
  friend class FakeTool;
  void Record(std::string object, std::string_view member, CallKind kind, std::span<Argument> args);
};

}  // namespace zet::testing
