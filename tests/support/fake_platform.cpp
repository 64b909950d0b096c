#include "support/fake_platform.hpp"

#include <memory>

#include "host/error.hpp"
#include "host/service_factory.hpp"
#include "host/text.hpp"

namespace zet::testing {

namespace {

class FakeField : public Dispatch {
 public:
  explicit FakeField(Variant value) : value_(std::move(value)) {}
  Variant Invoke(std::string_view member, CallKind, std::span<Argument>) override {
    if (member == "Value") return value_;
    RaiseRuntimeError(err::kMemberNotFound);
  }

 private:
  Variant value_;
};

struct RecordsetState {
  std::shared_ptr<const Table> table;
  RecordsetQuirks quirks;
  size_t row = 0;
  std::shared_ptr<bool> closed = std::make_shared<bool>(false);
};

class FakeRecordset;

class FakeFields : public Dispatch {
 public:
  explicit FakeFields(std::shared_ptr<RecordsetState> state) : state_(std::move(state)) {}
  Variant Invoke(std::string_view member, CallKind, std::span<Argument> args) override {
    if (member != "Item" || args.size() != 1) RaiseRuntimeError(err::kMemberNotFound);
    const Table& t = *state_->table;
    size_t column = t.fields.size();
    const Variant& key = args[0].Value();
    if (key.IsString()) {
      for (size_t i = 0; i < t.fields.size(); ++i) {
        if (EqualsIgnoreCase(t.fields[i], key.AsString())) column = i;
      }
    } else {
      const int32_t index = CLng(key);
      if (index >= 0) column = static_cast<size_t>(index);
    }
    if (column >= t.fields.size())
      RaiseRuntimeError(err::kItemNotFound);
    if (state_->row >= t.rows.size()) RaiseRuntimeError(err::kNoCurrentRecord);
    return Variant::Object(std::make_shared<FakeField>(t.rows[state_->row][column]));
  }

 private:
  std::shared_ptr<RecordsetState> state_;
};

class FakeRecordset : public Dispatch {
 public:
  FakeRecordset(std::shared_ptr<const Table> table, RecordsetQuirks quirks)
      : state_(std::make_shared<RecordsetState>()) {
    state_->table = std::move(table);
    state_->quirks = std::move(quirks);
  }
  Variant Invoke(std::string_view member, CallKind, std::span<Argument>) override {
    if (*state_->closed && member != "Close")
      RaiseRuntimeError(err::kObjectClosed);
    if (member == state_->quirks.failing_member)
      throw AutomationError(err::kDatabaseError, "Recordset." + std::string(member) + " failed");
    const Table& t = *state_->table;
    if (member == "EOF") return Variant::Boolean(state_->row >= t.rows.size());
    if (member == "RecordCount")
      return Variant::Long(state_->quirks.record_count.value_or(static_cast<int32_t>(t.rows.size())));
    if (member == "Fields") return Variant::Object(std::make_shared<FakeFields>(state_));
    if (member == "MoveNext") {
      if (state_->row >= t.rows.size()) RaiseRuntimeError(err::kNoCurrentRecord);
      ++state_->row;
      return {};
    }
    if (member == "Clone") return Variant::Object(std::make_shared<FakeRecordset>(state_->table, state_->quirks));
    if (member == "Close") {
      *state_->closed = true;
      return {};
    }
    RaiseRuntimeError(err::kMemberNotFound);
  }
  std::shared_ptr<const bool> Closed() const { return state_->closed; }

 private:
  std::shared_ptr<RecordsetState> state_;
};

class FakeValueList : public Dispatch {
 public:
  Variant Invoke(std::string_view member, CallKind, std::span<Argument> args) override {
    if (member == "Add" && args.size() == 1) {
      items_.push_back(args[0].Value());
      return {};
    }
    if (member == "Item" && args.size() == 1) {
      const int32_t position = CLng(args[0].Value());
      if (position < 1 || static_cast<size_t>(position) > items_.size()) RaiseRuntimeError(err::kSubscriptOutOfRange);
      return items_[static_cast<size_t>(position) - 1];
    }
    if (member == "Count") return Variant::Long(static_cast<int32_t>(items_.size()));
    RaiseRuntimeError(err::kMemberNotFound);
  }

 private:
  std::vector<Variant> items_;
};

}  // namespace

class FakeObject : public Dispatch {
 public:
  FakeObject(FakePlatform& platform, std::string prog_id) : platform_(platform), prog_id_(std::move(prog_id)) {}
  Variant Invoke(std::string_view member, CallKind kind, std::span<Argument> args) override {
    return platform_.Handle(prog_id_, member, kind, args);
  }

 private:
  FakePlatform& platform_;
  std::string prog_id_;
};

Table Scalar(Variant value) {
  return Table{{"F0"}, {{std::move(value)}}};
}
Table NoRows(std::vector<std::string> fields) {
  return Table{std::move(fields), {}};
}
ObjectRef MakeRecordset(Table table, RecordsetQuirks quirks) {
  return std::make_shared<FakeRecordset>(std::make_shared<const Table>(std::move(table)), std::move(quirks));
}

FakePlatform::FakePlatform() = default;
FakePlatform::~FakePlatform() {
  ReleaseServiceFactory(this);
}

ObjectRef FakePlatform::CreateObject(std::string_view prog_id) {
  const std::string id(prog_id);
  events.push_back("new " + id);
  if (unregistered_.count(id)) RaiseRuntimeError(err::kCannotCreateObject);
  ++created_[id];
  ObjectRef object;
  if (id == ValueListProgId()) {
    object = std::make_shared<FakeValueList>();
  } else {
    object = std::make_shared<FakeObject>(*this, id);
  }
  objects_.emplace_back(id, object);
  return object;
}

void FakePlatform::Answer(std::string fragment, Table table, RecordsetQuirks quirks) {
  rules_.push_back(Rule{std::move(fragment), std::move(table), std::move(quirks), false, {}});
}

void FakePlatform::Reject(std::string fragment, std::string description) {
  rules_.push_back(Rule{std::move(fragment), {}, {}, true, std::move(description)});
}

void FakePlatform::FailCall(std::string prog_id, std::string member, int32_t number, std::string description) {
  failures_.push_back(Failure{std::move(prog_id), std::move(member), number, std::move(description)});
}

std::vector<std::string> FakePlatform::Statements() const {
  std::vector<std::string> out;
  for (const RecordedCall& call : calls) {
    if (call.member == "GetData" || call.member == "ExecuteSQL") out.push_back(call.args.at(1).AsString());
    if (call.member == "Execute") out.push_back(call.args.at(0).AsString());
    if (call.member == "UpdateBatch") out.push_back(call.args.at(1).AsArray().items.at(0).AsString());
  }
  return out;
}

std::vector<RecordedCall> FakePlatform::CallsOn(std::string_view prog_id) const {
  std::vector<RecordedCall> out;
  for (const RecordedCall& call : calls) {
    if (prog_id.empty() || call.object == prog_id) out.push_back(call);
  }
  return out;
}

int FakePlatform::CreatedCount(std::string_view prog_id) const {
  const auto it = created_.find(std::string(prog_id));
  return it == created_.end() ? 0 : it->second;
}

int FakePlatform::Alive(std::string_view prog_id) const {
  int alive = 0;
  for (const auto& [id, object] : objects_) {
    if (id == prog_id && !object.expired()) ++alive;
  }
  return alive;
}

std::vector<std::string> FakePlatform::AliveObjects() const {
  std::vector<std::string> alive;
  for (const auto& [id, object] : objects_) {
    if (!object.expired()) alive.push_back(id);
  }
  return alive;
}

Variant FakePlatform::RunStatement(const std::string& sql) {
  Table table = NoRows();
  RecordsetQuirks quirks;
  for (const Rule& rule : rules_) {
    if (sql.find(rule.fragment) == std::string::npos) continue;
    if (rule.reject) throw AutomationError(err::kDatabaseError, rule.description);
    table = rule.table;
    quirks = rule.quirks;
    break;
  }
  auto recordset = std::make_shared<FakeRecordset>(std::make_shared<const Table>(std::move(table)), std::move(quirks));
  recordsets.push_back(IssuedRecordset{sql, recordset, recordset->Closed()});
  return Variant::Object(recordset);
}

Variant FakePlatform::Handle(const std::string& prog_id, std::string_view member, CallKind kind,
                             std::span<Argument> args) {
  RecordedCall call{prog_id, std::string(member), kind, {}, {}};
  for (const Argument& arg : args) {
    call.args.push_back(arg.Value());
    call.by_ref.push_back(arg.IsByRef());
  }
  calls.push_back(call);
  events.push_back(prog_id + "." + std::string(member));
  for (const Failure& f : failures_) {
    if (f.prog_id == prog_id && f.member == member) throw AutomationError(f.number, f.description);
  }

  if (prog_id == ServiceFactoryProgId() && member == "CreateService") {
    return Variant::Object(CreateObject(CStr(args[0].Value())));
  }
  if (prog_id == "ZetPropsMgr.ShareProps" && member == "GetProperty") {
    const std::string name = CStr(args[1].Value());
    if (const auto it = share_props.find(name); it != share_props.end()) return it->second;
    if (name == "PropsString") return Variant::String(props);
    return {};
  }
  if (member == "GetData" || member == "ExecuteSQL") return RunStatement(CStr(args[1].Value()));
  if (member == "Execute") return RunStatement(CStr(args[0].Value()));
  if (member == "UpdateBatch") {
    RunStatement(CStr(args[1].Value().AsArray().items.at(0)));
    return {};
  }
  if (member == "GetSysValue") {
    const auto it = sys_values.find(CStr(args[1].Value()) + "/" + CStr(args[2].Value()));
    return it == sys_values.end() ? Variant::String("0") : it->second;
  }
  if (member == "AccessCheck") {
    const auto it = access_errors.find(CLng(args[3].Value()));
    if (it != access_errors.end()) throw AutomationError(it->second, "Access denied");
    return Variant::Boolean(true);
  }
  RaiseRuntimeError(err::kMemberNotFound);
}

// ---------------------------------------------------------------------------
// Toolbar

class FakeTool : public Dispatch {
 public:
  FakeTool(FakeToolbar* bar, size_t index) : bar_(bar), index_(index) {}
  Variant Invoke(std::string_view member, CallKind kind, std::span<Argument> args) override {
    bar_->Record("Tool " + std::to_string(index_), member, kind, args);
    if (kind != CallKind::PropertyPut || args.size() != 1) RaiseRuntimeError(err::kMemberNotFound);
    FakeToolbar::Tool& tool = bar_->tools[index_];
    const Variant& value = args[0].Value();
    if (member == "Visible") {
      tool.visible = CBool(value);
    } else if (member == "Caption") {
      tool.caption = CStr(value);
    } else if (member == "Text") {
      tool.text = CStr(value);
    } else {
      RaiseRuntimeError(err::kMemberNotFound);
    }
    return {};
  }

 private:
  FakeToolbar* bar_;
  size_t index_;
};

class FakeBand : public Dispatch {
 public:
  // The test owns the bar and keeps it for longer than any call.
  explicit FakeBand(FakeToolbar* bar) : bar_(bar) {}
  Variant Invoke(std::string_view member, CallKind kind, std::span<Argument> args) override {
    bar_->Record(bar_->band_name, member, kind, args);
    if (member != "Tools" || args.size() != 1) RaiseRuntimeError(err::kMemberNotFound);
    const int32_t index = CLng(args[0].Value());
    if (index < 0 || static_cast<size_t>(index) >= bar_->tools.size())
      throw AutomationError(FakeToolbar::kBadToolIndex, "Invalid tool index " + std::to_string(index));
    return Variant::Object(std::make_shared<FakeTool>(bar_, static_cast<size_t>(index)));
  }

 private:
  FakeToolbar* bar_;
};

FakeToolbar::FakeToolbar(std::string band, int tool_count)
    : band_name(std::move(band)), tools(static_cast<size_t>(tool_count)) {}

void FakeToolbar::Record(std::string object, std::string_view member, CallKind kind, std::span<Argument> args) {
  RecordedCall call{std::move(object), std::string(member), kind, {}, {}};
  for (const Argument& arg : args) {
    call.args.push_back(arg.Value());
    call.by_ref.push_back(arg.IsByRef());
  }
  calls.push_back(std::move(call));
}

Variant FakeToolbar::Invoke(std::string_view member, CallKind kind, std::span<Argument> args) {
  Record("ABar", member, kind, args);
  if (member != "Bands" || args.size() != 1) RaiseRuntimeError(err::kMemberNotFound);
  if (CStr(args[0].Value()) != band_name) RaiseRuntimeError(err::kSubscriptOutOfRange);
  return Variant::Object(std::make_shared<FakeBand>(this));
}

std::vector<std::string> FakeToolbar::VisibleTools() const {
  std::vector<std::string> out;
  for (size_t i = 0; i < tools.size(); ++i) {
    if (tools[i].visible) out.push_back(std::to_string(i) + ":" + tools[i].caption + ":" + tools[i].text);
  }
  return out;
}

}  // namespace zet::testing
