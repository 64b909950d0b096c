#include "support/fake_platform.hpp"

#include <gtest/gtest.h>

#include "host/service_factory.hpp"
#include "host/text.hpp"

namespace zet::testing {

namespace {

// A recordset over a fixed table; `count` stands in for what RecordCount
// reports (ADO says -1 when it does not know).
class FakeRecordset : public Dispatch, public std::enable_shared_from_this<FakeRecordset> {
 public:
  FakeRecordset(Table table, std::optional<int32_t> count) : table_(std::move(table)), count_(count) {}
  Variant Invoke(std::string_view member, CallKind, std::span<Argument> args) override {
    const Table& t = table_;
    if (closed_) RaiseRuntimeError(err::kObjectClosed);
    if (member == "EOF") return Variant::Boolean(row_ >= t.rows.size());
    if (member == "RecordCount") return Variant::Long(count_.value_or(static_cast<int32_t>(t.rows.size())));
    if (member == "MoveNext" && row_ < t.rows.size()) return ++row_, Variant();
    if (member == "Clone") return Variant::Object(std::make_shared<FakeRecordset>(table_, count_));
    if (member == "Close") return closed_ = true, Variant();
    if (member == "Fields") return Variant::Object(shared_from_this());
    if (member == "Item" && args.size() == 1) {  // Fields.Item(i|name), answering with a field
      size_t column = t.fields.size();
      const Variant& key = args[0].Value();
      for (size_t i = 0; i < t.fields.size(); ++i)
        if (key.IsString() ? EqualsIgnoreCase(t.fields[i], key.AsString()) : CLng(key) == static_cast<int32_t>(i))
          column = i;
      if (column >= t.fields.size()) RaiseRuntimeError(err::kItemNotFound);
      if (row_ >= t.rows.size()) RaiseRuntimeError(err::kNoCurrentRecord);
      value_ = t.rows[row_][column];
      return Variant::Object(shared_from_this());
    }
    if (member == "Value") return value_;
    RaiseRuntimeError(member == "MoveNext" ? err::kNoCurrentRecord : err::kMemberNotFound);
  }

 private:
  const Table table_;
  std::optional<int32_t> count_;
  size_t row_ = 0;
  bool closed_ = false;
  Variant value_;
};

class FakeValueList : public Dispatch {
 public:
  Variant Invoke(std::string_view member, CallKind, std::span<Argument> args) override {
    if (member == "Add") return items_.push_back(args[0].Value()), Variant();
    if (member == "Count") return Variant::Long(static_cast<int32_t>(items_.size()));
    if (member != "Item" || args.size() != 1) RaiseRuntimeError(err::kMemberNotFound);
    const int32_t at = CLng(args[0].Value());
    if (at < 1 || at > static_cast<int32_t>(items_.size())) RaiseRuntimeError(err::kSubscriptOutOfRange);
    return items_[static_cast<size_t>(at) - 1];
  }

 private:
  std::vector<Variant> items_;
};

class ToolbarPart : public Dispatch {
 public:
  ToolbarPart(FakeToolbar* bar, int index) : bar_(bar), index_(index) {}
  Variant Invoke(std::string_view member, CallKind kind, std::span<Argument> args) override {
    if (index_ < 0) {  // the band
      const int32_t index = CLng(args[0].Value());
      if (member != "Tools" || index < 0 || index >= static_cast<int32_t>(bar_->tools.size()))
        throw AutomationError(35600, "Index out of bounds");
      return Variant::Object(std::make_shared<ToolbarPart>(bar_, index));
    }
    FakeToolbar::Tool& tool = bar_->tools[static_cast<size_t>(index_)];
    if (kind != CallKind::PropertyPut) RaiseRuntimeError(err::kMemberNotFound);
    if (member == "Visible")
      tool.visible = CBool(args[0].Value());
    else if (member == "Caption")
      tool.caption = CStr(args[0].Value());
    else if (member == "Text")
      tool.text = CStr(args[0].Value());
    else
      RaiseRuntimeError(err::kMemberNotFound);
    return {};
  }

 private:
  FakeToolbar* bar_;
  int index_;
};

}  // namespace

class FakeObject : public Dispatch {
 public:
  FakeObject(FakePlatform& platform, std::string prog_id) : platform_(platform), prog_id_(std::move(prog_id)) {}
  Variant Invoke(std::string_view member, CallKind, std::span<Argument> args) override {
    return platform_.Handle(prog_id_, member, args);
  }

 private:
  FakePlatform& platform_;
  std::string prog_id_;
};

FakePlatform::~FakePlatform() {
  ReleaseServiceFactory(this);
}

ObjectRef FakePlatform::CreateObject(std::string_view prog_id) {
  const std::string id(prog_id);
  calls.push_back({id, "new", {}});
  ObjectRef object;
  if (id == ValueListProgId())
    object = std::make_shared<FakeValueList>();
  else
    object = std::make_shared<FakeObject>(*this, id);
  objects_.emplace_back(id, object);
  return object;
}

void FakePlatform::User(int32_t group_right, int32_t data_right, std::vector<int32_t> group_users) {
  Answer("FROM t_User",
         Table{{"FUserGroupRight", "FDataRight"}, {{Variant::Long(group_right), Variant::Long(data_right)}}});
  Table users{{"FUserID"}, {}};
  for (int32_t user : group_users) users.rows.push_back({Variant::Long(user)});
  Answer("from t_group tt1", std::move(users));
}

std::vector<std::string> FakePlatform::Alive() const {
  std::vector<std::string> alive;
  for (const auto& [id, object] : objects_)
    if (!object.expired() && id != ServiceFactoryProgId()) alive.push_back(id);
  return alive;
}

// How the suite's services take their arguments: the property string fetched
// for the call and flags by value, the rest by reference.
// clang-format off
const std::map<std::string_view, std::vector<bool>> kByRef = {
    {"CreateService", {false}},           {"GetProperty", {true, true}},
    {"GetData", {false, true}},           {"ExecuteSQL", {false, true}},
    {"UpdateBatch", {false, true}},       {"Execute", {true}},
    {"GetSysValue", {false, true, true}}, {"AccessCheck", {false, true, true, true, false, true}}};
// clang-format on

Variant FakePlatform::Handle(const std::string& prog_id, std::string_view member, std::span<Argument> args) {
  RecordedCall& call = calls.emplace_back(RecordedCall{prog_id, std::string(member), {}});
  std::vector<bool> by_ref;
  for (const Argument& arg : args) call.args.push_back(arg.Value()), by_ref.push_back(arg.IsByRef());
  const auto text = [&](size_t i) { return CStr(args[i].Value()); };
  if (const auto it = kByRef.find(member); it != kByRef.end()) {
    EXPECT_EQ(by_ref, it->second) << prog_id << "." << member;
    if (it->second.size() > 1 && !it->second[0]) {
      EXPECT_EQ(text(0), props) << prog_id << "." << member;
    }
  }
  if (member == "CreateService") return Variant::Object(CreateObject(text(0)));
  if (member == "GetProperty")
    return CLng(args[0].Value()) == CurrentProcessId() && text(1) == "PropsString" ? Variant::String(props) : Variant();
  if (member == "GetSysValue") {
    const auto it = sys_values.find(text(1) + "/" + text(2));
    return it == sys_values.end() ? Variant::String("0") : it->second;
  }
  if (member == "AccessCheck") {
    if (const auto it = access_errors.find(CLng(args[3].Value())); it != access_errors.end())
      throw AutomationError(it->second, "Access denied");
    return Variant::Boolean(true);
  }
  // A batch travels as the one element of a string array.
  if (member == "UpdateBatch") {
    EXPECT_EQ(args[1].Value().AsArray().items.size(), 1u);
  }
  const std::string sql = member == "Execute"       ? text(0)
                          : member == "UpdateBatch" ? CStr(args[1].Value().AsArray().items.at(0))
                                                    : text(1);
  statements_.push_back(sql);
  for (const Rule& rule : rules_)
    if (sql.find(rule.fragment) != std::string::npos)
      return Variant::Object(std::make_shared<FakeRecordset>(rule.table, rule.record_count));
  return Variant::Object(std::make_shared<FakeRecordset>(Table{{"F0"}, {}}, std::nullopt));
}

Variant FakeToolbar::Invoke(std::string_view member, CallKind, std::span<Argument> args) {
  if (member != "Bands" || CStr(args[0].Value()) != "mnuRecBill") RaiseRuntimeError(err::kSubscriptOutOfRange);
  return Variant::Object(std::make_shared<ToolbarPart>(this, -1));
}

std::vector<std::string> FakeToolbar::VisibleTools() const {
  std::vector<std::string> out;
  for (size_t i = 0; i < tools.size(); ++i)
    if (tools[i].visible) out.push_back(std::to_string(i) + ":" + tools[i].caption + ":" + tools[i].text);
  return out;
}

void FailingPlatform::Tick(const std::string& what) {
  if (++count != fail_at) return;
  failed_call = what;
  throw AutomationError(err::kDatabaseError, "host call " + std::to_string(count) + " failed");
}

}  // namespace zet::testing
