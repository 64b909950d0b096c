#include "embedded/host_objects.hpp"

#include <array>
#include <cstdio>
#include <optional>
#include <stdexcept>

#include "host/error.hpp"
#include "host/gateway.hpp"
#include "host/login_context.hpp"
#include "host/member_table.hpp"
#include "host/service_factory.hpp"
#include "host/text.hpp"

namespace zet::embedded {

namespace {

void ExpectArgs(std::span<Argument> args, size_t least, size_t most) {
  if (args.size() < least || args.size() > most) RaiseRuntimeError(err::kWrongArgumentCount);
}
void ExpectArgs(std::span<Argument> args, size_t count) {
  ExpectArgs(args, count, count);
}

// The host's own objects answer to no interface name but their own; only
// recordsets claim _Recordset.
class HostObject : public Dispatch {
 public:
  bool Supports(std::string_view) override { return false; }
};

// ---------------------------------------------------------------------------
// Recordsets: every row read at once, so RecordCount is true and a clone
// shares the rows.

struct Cursor {
  std::shared_ptr<const ResultSet> rows;
  size_t position = 0;
  bool open = true;

  void RequireOpen() const {
    if (!open) RaiseRuntimeError(err::kObjectClosed);
  }
  bool AtEnd() const { return position >= rows->rows.size(); }
};

[[noreturn]] void ItemNotFound() {
  RaiseRuntimeError(err::kItemNotFound);
}

class FieldObject : public HostObject {
 public:
  FieldObject(std::shared_ptr<Cursor> cursor, size_t column) : cursor_(std::move(cursor)), column_(column) {}

  Variant Invoke(std::string_view member, CallKind kind, std::span<Argument> args) override {
    static constexpr Member<FieldObject> kMembers[] = {
        {"Value", Reach::Any, -1,
         [](FieldObject& field, std::span<Argument>) {
           // The field reads the record current at the time of the read.
           const Cursor& cursor = *field.cursor_;
           if (cursor.AtEnd()) RaiseRuntimeError(err::kNoCurrentRecord);
           return cursor.rows->rows[cursor.position][field.column_];
         }},
        {"Name", Reach::Any, -1,
         [](FieldObject& field, std::span<Argument>) {
           return Variant::String(field.cursor_->rows->columns[field.column_]);
         }},
    };
    cursor_->RequireOpen();
    if (kind == CallKind::PropertyPut) RaiseRuntimeError(err::kWrongArgumentCount);
    ExpectArgs(args, 0);
    const Member<FieldObject>* found = FindMember(kMembers, member, kind, args.size());
    if (found == nullptr) RaiseRuntimeError(err::kMemberNotFound);
    return found->run(*this, args);
  }

 private:
  std::shared_ptr<Cursor> cursor_;
  size_t column_;
};

class FieldsObject : public HostObject {
 public:
  explicit FieldsObject(std::shared_ptr<Cursor> cursor) : cursor_(std::move(cursor)) {}

  Variant Invoke(std::string_view member, CallKind kind, std::span<Argument> args) override {
    static constexpr Member<FieldsObject> kMembers[] = {
        {"Item", Reach::Any, -1,
         [](FieldsObject& fields, std::span<Argument> given) {
           ExpectArgs(given, 1);
           return fields.Item(given[0].Value());
         }},
        {"Count", Reach::Any, -1,
         [](FieldsObject& fields, std::span<Argument> given) {
           ExpectArgs(given, 0);
           return Variant::Long(static_cast<int32_t>(fields.cursor_->rows->columns.size()));
         }},
    };
    cursor_->RequireOpen();
    if (kind == CallKind::PropertyPut) RaiseRuntimeError(err::kWrongArgumentCount);
    const Member<FieldsObject>* found = FindMember(kMembers, member, kind, args.size());
    if (found == nullptr) RaiseRuntimeError(err::kMemberNotFound);
    return found->run(*this, args);
  }

  Variant Item(const Variant& key) {
    const auto& columns = cursor_->rows->columns;
    if (key.IsString()) {
      for (size_t i = 0; i < columns.size(); ++i) {
        if (EqualsIgnoreCase(columns[i], key.AsString()))
          return Variant::Object(std::make_shared<FieldObject>(cursor_, i));
      }
      ItemNotFound();
    }
    const int32_t index = CLng(key);
    if (index < 0 || static_cast<size_t>(index) >= columns.size()) ItemNotFound();
    return Variant::Object(std::make_shared<FieldObject>(cursor_, static_cast<size_t>(index)));
  }

 private:
  std::shared_ptr<Cursor> cursor_;
};

class RecordsetObject : public Dispatch {
 public:
  explicit RecordsetObject(std::shared_ptr<Cursor> cursor) : cursor_(std::move(cursor)) {}

  bool Supports(std::string_view interface_name) override { return EqualsIgnoreCase(interface_name, "_Recordset"); }

  Variant Invoke(std::string_view member, CallKind kind, std::span<Argument> args) override {
    using Self = RecordsetObject;
    static constexpr Member<Self> kMembers[] = {
        // Answered on a closed recordset too, and to an assignment: the one
        // member a caller may ask after Close.
        {"State", Reach::Any, -1,
         [](Self& self, std::span<Argument> given) {
           ExpectArgs(given, 0);
           return Variant::Long(self.cursor_->open ? 1 : 0);
         }},
        {"EOF", Reach::Any, -1,
         [](Self& self, std::span<Argument> given) {
           ExpectArgs(given, 0);
           return Variant::Boolean(self.cursor_->AtEnd());
         }},
        {"BOF", Reach::Any, -1,
         [](Self& self, std::span<Argument> given) {
           ExpectArgs(given, 0);
           return Variant::Boolean(self.cursor_->rows->rows.empty());
         }},
        {"RecordCount", Reach::Any, -1,
         [](Self& self, std::span<Argument> given) {
           ExpectArgs(given, 0);
           return Variant::Long(static_cast<int32_t>(self.cursor_->rows->rows.size()));
         }},
        {"Fields", Reach::Any, -1,
         [](Self& self, std::span<Argument> given) {
           // rs.Fields(i) is rs.Fields.Item(i). One collection serves every
           // read of the recordset's fields.
           ExpectArgs(given, 0, 1);
           if (!self.fields_) self.fields_ = std::make_shared<FieldsObject>(self.cursor_);
           if (given.size() == 1) return self.fields_->Item(given[0].Value());
           return Variant::Object(self.fields_);
         }},
        {"MoveNext", Reach::Any, -1,
         [](Self& self, std::span<Argument> given) {
           ExpectArgs(given, 0);
           if (self.cursor_->AtEnd()) RaiseRuntimeError(err::kNoCurrentRecord);
           ++self.cursor_->position;
           return Variant();
         }},
        {"MoveFirst", Reach::Any, -1,
         [](Self& self, std::span<Argument> given) {
           ExpectArgs(given, 0);
           if (self.cursor_->rows->rows.empty()) RaiseRuntimeError(err::kNoCurrentRecord);
           self.cursor_->position = 0;
           return Variant();
         }},
        {"Clone", Reach::Any, -1,
         [](Self& self, std::span<Argument> given) {
           ExpectArgs(given, 0, 1);  // the lock type, which a materialized copy ignores
           auto copy = std::make_shared<Cursor>();
           copy->rows = self.cursor_->rows;
           return Variant::Object(std::make_shared<RecordsetObject>(std::move(copy)));
         }},
        {"Close", Reach::Any, -1,
         [](Self& self, std::span<Argument> given) {
           ExpectArgs(given, 0);
           self.cursor_->open = false;
           return Variant();
         }},
    };
    const Member<Self>* found = FindMember(kMembers, member, kind, args.size());
    if (found != &kMembers[0]) {
      cursor_->RequireOpen();
      if (kind == CallKind::PropertyPut) RaiseRuntimeError(err::kWrongArgumentCount);
      if (found == nullptr) RaiseRuntimeError(err::kMemberNotFound);
    }
    return found->run(*this, args);
  }

 private:
  std::shared_ptr<Cursor> cursor_;
  std::shared_ptr<FieldsObject> fields_;
};

// ---------------------------------------------------------------------------
// The suite's services.

class Service : public HostObject {
 public:
  explicit Service(HostState& state) : state_(state) {}

 protected:
  // The read services run reads only; UpdateBatch is the one way to write.
  Variant Query(const Variant& sql) {
    if (sql.IsString()) return Variant::Object(MakeRecordset(state_.Conn().RunQuery(sql.AsString(), state_.Options())));
    return Variant::Object(MakeRecordset(state_.Conn().RunQuery(CStr(sql), state_.Options())));
  }
  [[noreturn]] static void Unknown() { RaiseRuntimeError(err::kMemberNotFound); }

  // Whoever holds the service holds the state too (see HostState::CreateObject).
  HostState& state_;
};

// The three read services differ only in the member's name and where the
// statement stands: AppConnection.Execute(sql), ClassInfo.GetData(props, sql)
// and GetData.ExecuteSQL(props, sql).
class ReadService : public Service {
 public:
  ReadService(HostState& state, std::string_view member, size_t sql_at)
      : Service(state), member_(member), sql_at_(sql_at) {}
  Variant Invoke(std::string_view member, CallKind, std::span<Argument> args) override {
    if (!EqualsIgnoreCase(member, member_)) Unknown();
    ExpectArgs(args, sql_at_ + 1);
    return Query(args[sql_at_].Value());
  }

 private:
  std::string_view member_;
  size_t sql_at_;
};

// ZetMClass.ClassUpdate: UpdateBatch(props, string array). Every statement of
// every element runs in one transaction.
class ClassUpdate : public Service {
 public:
  using Service::Service;
  Variant Invoke(std::string_view member, CallKind, std::span<Argument> args) override {
    if (!EqualsIgnoreCase(member, "UpdateBatch")) Unknown();
    ExpectArgs(args, 2);
    const Variant& batch = args[1].Value();
    if (!batch.IsArray()) RaiseRuntimeError(err::kTypeMismatch);
    std::vector<std::string> texts;
    for (const Variant& item : batch.AsArray().items) texts.push_back(CStr(item));
    state_.Conn().RunBatch(texts, state_.Options());
    return {};
  }
};

// ZetPropsMgr.ShareProps: GetProperty(pid, name). Publishes the property
// string; every other property is unset.
class ShareProps : public Service {
 public:
  using Service::Service;
  Variant Invoke(std::string_view member, CallKind, std::span<Argument> args) override {
    if (!EqualsIgnoreCase(member, "GetProperty")) Unknown();
    ExpectArgs(args, 2);
    const Variant& name = args[1].Value();
    if (name.IsString() ? EqualsIgnoreCase(name.AsString(), "PropsString")
                        : EqualsIgnoreCase(CStr(name), "PropsString"))
      return Variant::String(state_.Props());
    return {};
  }
};

// ZetBillDataAccess.SysInfo: GetSysValue(props, category, key[, default]).
// A key that is not set answers the default when the caller gives one, and
// "0" otherwise: every parameter the component reads is a count or a switch.
class SysInfo : public Service {
 public:
  using Service::Service;
  Variant Invoke(std::string_view member, CallKind, std::span<Argument> args) override {
    if (!EqualsIgnoreCase(member, "GetSysValue")) Unknown();
    ExpectArgs(args, 3, 4);
    const ResultSet rows =
        state_.Conn().Lookup("SELECT FValue FROM t_SystemProfile WHERE FCategory=? AND FKey=?",
                             {Variant::String(CStr(args[1].Value())), Variant::String(CStr(args[2].Value()))});
    if (rows.rows.empty()) return Variant::String(args.size() == 4 ? CStr(args[3].Value()) : "0");
    const Variant& value = rows.rows.front().front();
    return Variant::String(value.IsNull() ? std::string() : CStr(value));
  }
};

// ZetEBSBase.SecurityInfo: AccessCheck(props, type, id, right, flag, name).
// The user holds a right on an object when one row of the user, or of a
// group of the user, carries every bit of it; administrators hold all.
class SecurityInfo : public Service {
 public:
  using Service::Service;
  Variant Invoke(std::string_view member, CallKind, std::span<Argument> args) override {
    if (!EqualsIgnoreCase(member, "AccessCheck")) Unknown();
    ExpectArgs(args, 6);
    const std::string user_text = FindPropValue(CStr(args[0].Value()), "UserID");
    const int32_t object_type = CLng(args[1].Value());
    const int32_t object_id = CLng(args[2].Value());
    const int32_t right = CLng(args[3].Value());
    const std::string object_name = CStr(args[5].Value());

    const std::optional<int32_t> user = ParseUserId(user_text);
    if (!user) Deny("no user is logged in", right, object_type, object_id, object_name);
    Connection& db = state_.Conn();
    if (!db.Lookup("SELECT 1 FROM t_Group WHERE FUserID=? AND FGroupID=1", {Variant::Long(*user)}).rows.empty()) {
      return Variant::Boolean(true);
    }
    const ResultSet masks = db.Lookup(
        "SELECT FAccessMask FROM t_AccessControl WHERE FObjectType=? AND FObjectID=? "
        "AND (FUserID=? OR FUserID IN (SELECT FGroupID FROM t_Group WHERE FUserID=?))",
        {Variant::Long(object_type), Variant::Long(object_id), Variant::Long(*user), Variant::Long(*user)});
    for (const auto& row : masks.rows) {
      if (row.front().IsNull()) continue;
      const int64_t mask = static_cast<int64_t>(CDbl(row.front()));
      if ((mask & right) == right) return Variant::Boolean(true);
    }
    Deny("user " + std::to_string(*user), right, object_type, object_id, object_name);
  }

 private:
  static std::optional<int32_t> ParseUserId(const std::string& text) {
    if (text.empty()) return std::nullopt;
    try {
      return CLng(Variant::String(text));
    } catch (const AutomationError&) {
      return std::nullopt;
    }
  }

  [[noreturn]] static void Deny(const std::string& who, int32_t right, int32_t object_type, int32_t object_id,
                                const std::string& object_name) {
    throw AutomationError(err::kAccessDenied, "Access denied: " + who + " does not hold right " +
                                                  std::to_string(right) + " on object " + std::to_string(object_type) +
                                                  "/" + std::to_string(object_id) +
                                                  (object_name.empty() ? "" : " (" + object_name + ")"));
  }
};

// The foundation library's creation class: CreateService(progid[, option]).
// Objects are made through the platform, so they are traced like any other.
class ServiceFactory : public Service {
 public:
  using Service::Service;
  Variant Invoke(std::string_view member, CallKind, std::span<Argument> args) override {
    if (!EqualsIgnoreCase(member, "CreateService")) Unknown();
    ExpectArgs(args, 1, 2);
    const Variant& prog_id = args[0].Value();
    if (prog_id.IsString()) return Variant::Object(state_.CreateObject(prog_id.AsString()));
    return Variant::Object(state_.CreateObject(CStr(prog_id)));
  }
};

// The foundation library's list class: Add(v), Item(n) from 1, Count.
class ValueList : public HostObject {
 public:
  Variant Invoke(std::string_view member, CallKind kind, std::span<Argument> args) override {
    static constexpr Member<ValueList> kMembers[] = {
        {"Add", Reach::Any, -1,
         [](ValueList& list, std::span<Argument> given) {
           ExpectArgs(given, 1);
           list.items_.push_back(given[0].Value());
           return Variant();
         }},
        {"Item", Reach::Any, -1,
         [](ValueList& list, std::span<Argument> given) {
           ExpectArgs(given, 1);
           const int32_t position = CLng(given[0].Value());
           if (position < 1 || static_cast<size_t>(position) > list.items_.size())
             RaiseRuntimeError(err::kSubscriptOutOfRange);
           return list.items_[static_cast<size_t>(position) - 1];
         }},
        {"Count", Reach::Any, -1,
         [](ValueList& list, std::span<Argument> given) {
           ExpectArgs(given, 0);
           return Variant::Long(static_cast<int32_t>(list.items_.size()));
         }},
    };
    if (kind == CallKind::PropertyPut) RaiseRuntimeError(err::kWrongArgumentCount);
    const Member<ValueList>* found = FindMember(kMembers, member, kind, args.size());
    if (found == nullptr) RaiseRuntimeError(err::kMemberNotFound);
    return found->run(*this, args);
  }

 private:
  std::vector<Variant> items_;
};

// A service and the trace of the calls on it in one object, its ProgID
// kept as the constant it is.
template <class Object>
class TracedService final : public Object {
 public:
  template <class... Args>
  TracedService(HostState& state, std::string_view prog_id, Args&&... args)
      : Object(state, std::forward<Args>(args)...), prog_id_(prog_id) {}

  Variant Invoke(std::string_view member, CallKind kind, std::span<Argument> args) override {
    // Recorded before the call, as for any traced object.
    this->state_.Trace(prog_id_, member, args);
    return Object::Invoke(member, kind, args);
  }

 private:
  std::string_view prog_id_;
};

// The ProgIDs of the services, in the order HostState keeps them.
std::array<std::string_view, 8> ServiceProgIds() {
  return {kAppConnectionProgId, kClassInfoProgId, kBillDataProgId,     kClassUpdateProgId,
          kSharePropsProgId,    kSysInfoProgId,   kSecurityInfoProgId, ServiceFactoryProgId()};
}

class TracedObject : public Dispatch {
 public:
  TracedObject(std::shared_ptr<HostState> state, ObjectRef inner, std::string name, bool follow)
      : state_(std::move(state)), inner_(std::move(inner)), name_(std::move(name)), follow_(follow) {}

  bool Supports(std::string_view interface_name) override { return inner_->Supports(interface_name); }

  Variant Invoke(std::string_view member, CallKind kind, std::span<Argument> args) override {
    // Recorded before the call: the arguments as passed, and a call that
    // fails is still part of the story.
    state_->Trace(name_, member, args);
    Variant result = inner_->Invoke(member, kind, args);
    if (follow_ && result.IsObject() && result.AsObject()) {
      return Variant::Object(MakeTraced(state_, result.AsObject(), name_ + "." + std::string(member), true));
    }
    return result;
  }

 private:
  std::shared_ptr<HostState> state_;
  ObjectRef inner_;
  std::string name_;
  bool follow_;
};

}  // namespace

HostState::HostState(std::unique_ptr<Connection> connection, Database* db)
    : db_(db), connection_(std::move(connection)) {
  const auto ids = ServiceProgIds();
  services_ = {std::make_unique<TracedService<ReadService>>(*this, ids[0], "Execute", size_t{0}),
               std::make_unique<TracedService<ReadService>>(*this, ids[1], "GetData", size_t{1}),
               std::make_unique<TracedService<ReadService>>(*this, ids[2], "ExecuteSQL", size_t{1}),
               std::make_unique<TracedService<ClassUpdate>>(*this, ids[3]),
               std::make_unique<TracedService<ShareProps>>(*this, ids[4]),
               std::make_unique<TracedService<SysInfo>>(*this, ids[5]),
               std::make_unique<TracedService<SecurityInfo>>(*this, ids[6]),
               std::make_unique<TracedService<ServiceFactory>>(*this, ids[7])};
}

HostState::~HostState() = default;

Database& HostState::Db() {
  if (!db_) throw std::logic_error("the host runs over ODBC, not over an embedded file");
  return *db_;
}

std::string HostState::Props() const {
  std::lock_guard lock(mutex_);
  return props_;
}

void HostState::SetProps(std::string props) {
  std::lock_guard lock(mutex_);
  props_ = std::move(props);
}

TSqlOptions HostState::Options() const {
  std::lock_guard lock(mutex_);
  return options_;
}

void HostState::SetToday(std::string day) {
  std::lock_guard lock(mutex_);
  options_.today = std::move(day);
}

void HostState::SetTraceSink(TraceSink sink) {
  std::lock_guard lock(mutex_);
  tracing_.store(static_cast<bool>(sink), std::memory_order_release);
  trace_ = std::move(sink);
}

void HostState::SetMessageSink(MessageSink sink) {
  std::lock_guard lock(mutex_);
  messages_ = std::move(sink);
}

void HostState::Trace(std::string_view object, std::string_view member, std::span<Argument> args) const {
  // Asked at every call on a host object: without a sink, that is all.
  if (!tracing_.load(std::memory_order_acquire)) return;
  TraceSink sink;
  {
    std::lock_guard lock(mutex_);
    sink = trace_;
  }
  if (!sink) return;
  TraceRecord record{std::string(object), std::string(member), {}};
  for (const Argument& arg : args) record.args.push_back(arg.Value());
  sink(record);
}

void HostState::ShowMessage(std::string_view text) const noexcept {
  try {
    MessageSink sink;
    {
      std::lock_guard lock(mutex_);
      sink = messages_;
    }
    if (sink) {
      sink(text);
    } else {
      std::fprintf(stderr, "message: %.*s\n", static_cast<int>(text.size()), text.data());
    }
  } catch (...) {
    // A message box that cannot be shown is not the caller's failure.
  }
}

ObjectRef HostState::CreateObject(std::string_view prog_id) {
  // A service holds nothing of its own between calls, so one object of each
  // serves every creation, made with the state. What CreateObject hands out
  // shares the ownership of the state: the service answers from it.
  auto self = shared_from_this();
  const auto ids = ServiceProgIds();
  for (size_t i = 0; i < ids.size(); ++i) {
    if (EqualsIgnoreCase(prog_id, ids[i])) return ObjectRef(self, services_[i].get());
  }
  // A list holds what is added to it: a new one each time.
  if (EqualsIgnoreCase(prog_id, ValueListProgId()))
    return MakeTraced(std::move(self), std::make_shared<ValueList>(), std::string(ValueListProgId()), false);
  RaiseRuntimeError(err::kCannotCreateObject);
}

ObjectRef MakeTraced(std::shared_ptr<HostState> state, ObjectRef inner, std::string name, bool follow) {
  return std::make_shared<TracedObject>(std::move(state), std::move(inner), std::move(name), follow);
}

ObjectRef MakeRecordset(ResultSet rows) {
  auto cursor = std::make_shared<Cursor>();
  cursor->rows = std::make_shared<const ResultSet>(std::move(rows));
  return std::make_shared<RecordsetObject>(std::move(cursor));
}

}  // namespace zet::embedded
