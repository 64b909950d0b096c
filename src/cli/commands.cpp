#include "cli/commands.hpp"

#include <filesystem>
#include <iomanip>
#include <optional>
#include <stdexcept>

#include "catalogue/catalogue.hpp"
#include "cli/method_table.hpp"
#include "cli/usage_error.hpp"
#include "cli/value_json.hpp"
#include "embedded/host_objects.hpp"
#include "explain/explain.hpp"
#include "host/login_context.hpp"
#include "host/service_factory.hpp"
#include "host/text.hpp"
#include "pending/todo_positions.hpp"
#include "recent/recent.hpp"

namespace zet::cli {

namespace {

Json MessagesJson(const Session& session) {
  return session.Messages();
}

// The result of a call as a person reads it: a list one item per line, a
// recordset as tab-separated lines under its field names, a scalar as text.
void PrintResult(std::ostream& out, const Variant& result, ObjectShape shape) {
  if (result.IsObject() && result.AsObject() && shape == ObjectShape::List) {
    for (const Variant& item : ReadList(*result.AsObject())) out << PlainText(item) << '\n';
    return;
  }
  if (result.IsObject() && result.AsObject() && shape == ObjectShape::Recordset) {
    const RecordsetTable table = ReadRecordset(*result.AsObject());
    for (size_t i = 0; i < table.fields.size(); ++i) out << (i ? "\t" : "") << table.fields[i];
    out << '\n';
    for (const auto& row : table.rows) {
      for (size_t i = 0; i < row.size(); ++i) out << (i ? "\t" : "") << PlainText(row[i]);
      out << '\n';
    }
    return;
  }
  out << PlainText(result) << '\n';
}

// A call's machine output: {"result": V, "byref": {...}, "messages": [...]}.
Json CallJson(Session& session, const CallOutcome& outcome, ObjectShape shape) {
  Json byref = Json::object();
  for (const auto& [name, value] : outcome.byref) byref[name] = TypedValue(value);
  Json json;
  json["result"] = TypedValue(outcome.result, shape);
  json["byref"] = std::move(byref);
  json["messages"] = MessagesJson(session);
  return json;
}

void PrintMenu(std::ostream& out, const ConsoleToolbar& toolbar, int32_t trans_type) {
  out << "recent bills of family " << GetBigType(trans_type) << " (kind " << trans_type << "):\n";
  toolbar.Print(out);
}

// "1050", or "none" for the 0 that means no bill.
std::string BillText(int32_t bill) {
  return bill == 0 ? "none" : std::to_string(bill);
}

// The session's platform as the recording sees it: it notes whether the
// host's batch (the one write of SaveRecentBills) came back without an
// error, and holds the messages shown meanwhile, so that a failed recording
// reads as one line rather than as the method's message and then the line.
class RecordingWatch : public Platform {
 public:
  explicit RecordingWatch(Platform& inner) : inner_(inner) {}
  ~RecordingWatch() override { ReleaseServiceFactory(this); }

  ObjectRef CreateObject(std::string_view prog_id) override {
    return std::make_shared<Watched>(*this, inner_.CreateObject(prog_id));
  }
  int32_t CurrentProcessId() override { return inner_.CurrentProcessId(); }
  void MethodBegins() noexcept override { inner_.MethodBegins(); }
  void MethodEnds() noexcept override { inner_.MethodEnds(); }
  void ShowMessage(std::string_view text) noexcept override {
    try {
      held.emplace_back(text);
    } catch (...) {
      inner_.ShowMessage(text);
    }
  }
  // Shows the held messages after all.
  void Release() {
    for (const std::string& text : held) inner_.ShowMessage(text);
    held.clear();
  }

  bool batch_sent = false;
  std::optional<std::string> batch_error;  // the database's answer when it refused
  std::vector<std::string> held;

 private:
  class Watched : public Dispatch {
   public:
    Watched(RecordingWatch& watch, ObjectRef inner) : watch_(watch), inner_(std::move(inner)) {}
    Variant Invoke(std::string_view member, CallKind kind, std::span<Argument> args) override {
      const bool batch = EqualsIgnoreCase(member, "UpdateBatch");
      watch_.batch_sent |= batch;
      try {
        Variant result = inner_->Invoke(member, kind, args);
        if (result.IsObject() && result.AsObject())
          return Variant::Object(std::make_shared<Watched>(watch_, result.AsObject()));
        return result;
      } catch (const std::exception& e) {
        if (batch) watch_.batch_error = e.what();
        throw;
      }
    }
    bool Supports(std::string_view interface_name) override { return inner_->Supports(interface_name); }

   private:
    RecordingWatch& watch_;
    ObjectRef inner_;
  };

  Platform& inner_;
};

}  // namespace

void WarnUnknownKind(int32_t trans_type, std::ostream& err) {
  if (!explain::InCatalogue(trans_type)) err << "zetmovebill: " << explain::NotInCatalogue(trans_type) << '\n';
}

int32_t DirectionCode(int32_t trans_type, bool next) {
  // The catalogue lowers the caller's code for some kinds before the method
  // reads it; ask the kind's row by how much rather than keeping a second list.
  return (next ? 2 : 1) + FindBillKind(trans_type).move_type_shift;
}

int RunInit(const GlobalOptions& options, bool demo, bool force, std::ostream& out) {
  std::error_code ec;
  if (!force && std::filesystem::exists(options.db, ec))
    throw UsageError("'" + options.db + "' already exists; use --force to replace it");
  try {
    embedded::CreateDatabase(options.db, demo, force);
  } catch (const embedded::DatabaseUnavailable&) {
    throw;
  } catch (const std::filesystem::filesystem_error& e) {
    // A path the system will not take (too long, say), asked before anything is made.
    throw UsageError("cannot create " + options.db + ": " + e.code().message());
  } catch (const std::runtime_error& e) {
    throw UsageError(e.what());
  }
  if (options.json) {
    out << Dump({{"created", options.db}, {"demo", demo}}) << '\n';
  } else {
    out << "created " << options.db << (demo ? " with the demo data" : " (schema only)") << '\n';
  }
  return kExitOk;
}

int RunCall(const GlobalOptions& options, const CallRequest& request, std::ostream& out, std::ostream& err) {
  const PreparedCall call = PrepareCall(request.method, request.args, request.toolbar);
  Session session(options, err);
  Session::Toolbar toolbar;
  if (request.toolbar) toolbar = session.MakeToolbar();
  const CallOutcome outcome = call.method->invoke(session.Component(), call.values, toolbar.passed);

  const ObjectShape shape = call.method->result_shape;
  session.Untraced([&] {
    if (options.json) {
      Json json = CallJson(session, outcome, shape);
      if (toolbar.console) json["toolbar"] = toolbar.console->VisibleToolsJson();
      out << Dump(json) << '\n';
      return;
    }
    PrintResult(out, outcome.result, shape);
    for (const auto& [name, value] : outcome.byref) out << name << '=' << PlainText(value) << '\n';
    if (toolbar.console) toolbar.console->Print(out);
  });
  return session.ExitCode();
}

int RunFirstLast(const GlobalOptions& options, int32_t trans_type, bool last, std::ostream& out, std::ostream& err) {
  Session session(options, err);
  RequireUser(options);
  WarnUnknownKind(trans_type, err);
  const int32_t bill = session.Component().GetMaxMinInterID(trans_type, last ? 2 : 1);
  if (options.json) {
    out << Dump(CallJson(session, {Variant::Long(bill), {}}, ObjectShape::Unknown)) << '\n';
  } else {
    out << (last ? "last" : "first") << " bill of kind " << trans_type << ": " << BillText(bill) << '\n';
  }
  return session.ExitCode();
}

int RunStep(const GlobalOptions& options, int32_t trans_type, int32_t bill, bool next, std::ostream& out,
            std::ostream& err) {
  Session session(options, err);
  RequireUser(options);
  WarnUnknownKind(trans_type, err);
  const int32_t found =
      session.Component().GetMoveInterID(Variant::Long(bill), DirectionCode(trans_type, next), trans_type);
  if (options.json) {
    out << Dump(CallJson(session, {Variant::Long(found), {}}, ObjectShape::Unknown)) << '\n';
  } else {
    out << (next ? "next" : "previous") << " bill of kind " << trans_type << (next ? " after " : " before ") << bill
        << ": ";
    if (found == bill && bill != 0) {
      out << "none, stays on " << bill << '\n';
    } else {
      out << BillText(found) << '\n';
    }
  }
  return session.ExitCode();
}

int RunCheck(const GlobalOptions& options, int32_t trans_type, int32_t bill, std::ostream& out, std::ostream& err) {
  Session session(options, err);
  RequireUser(options);
  WarnUnknownKind(trans_type, err);
  std::string info;
  const bool answer = session.Component().CheckSearchBill(trans_type, bill, info);
  if (options.json) {
    out << Dump(CallJson(session, {Variant::Boolean(answer), {{"sInfo", Variant::String(info)}}}, ObjectShape::Unknown))
        << '\n';
  } else {
    out << "bill " << bill << " of kind " << trans_type << ": ";
    if (answer) {
      out << "yes, it may be opened\n";
    } else {
      out << "no" << (info.empty() ? "" : ": " + explain::WithMeaning(info)) << '\n';
    }
  }
  // A refusal is an answer a script tests with `if`, like the explainer's.
  return answer ? session.ExitCode() : kExitMessage;
}

int RunTodo(const GlobalOptions& options, std::ostream& out, std::ostream& err) {
  Session session(options, err);
  RequireUser(options);
  const ObjectRef list = session.Component().GetToDoThingCount();
  session.Untraced([&] {
    const std::vector<Variant> counts = list ? ReadList(*list) : std::vector<Variant>{};
    if (options.json) {
      Json positions = Json::array();
      for (size_t i = 0; i < counts.size(); ++i) {
        const auto position = static_cast<int32_t>(i + 1);
        const ToDoPosition* entry = FindToDoPosition(position);
        positions.push_back(
            {{"position", position}, {"label", entry ? entry->label : ""}, {"value", TypedValue(counts[i])}});
      }
      Json json;
      json["positions"] = list ? positions : Json(nullptr);
      json["messages"] = MessagesJson(session);
      out << Dump(json) << '\n';
      return;
    }
    if (!list) return;
    out << std::setw(3) << "#"
        << "  " << std::left << std::setw(36) << "pending work" << std::right << std::setw(6) << "count" << '\n';
    for (size_t i = 0; i < counts.size(); ++i) {
      const auto position = static_cast<int32_t>(i + 1);
      const ToDoPosition* entry = FindToDoPosition(position);
      out << std::setw(3) << position << "  " << std::left << std::setw(36) << (entry ? entry->label : "") << std::right
          << std::setw(6) << PlainText(counts[i]) << '\n';
    }
  });
  return session.ExitCode();
}

int RunOpen(const GlobalOptions& options, int32_t trans_type, int32_t bill, std::ostream& out, std::ostream& err) {
  Session session(options, err);
  RequireUser(options);
  WarnUnknownKind(trans_type, err);
  // An editor checks a picked bill before it opens it, and shows the check's
  // text when it may not.
  std::string info;
  const bool may_open = session.Component().CheckSearchBill(trans_type, bill, info);
  Session::Toolbar toolbar;
  // Why the bill could not be recorded (a locked or read-only database): then
  // it is not opened either, and no menu is shown.
  std::string not_recorded;
  if (may_open) {
    toolbar = session.MakeToolbar();
    // A component of its own over the watch: the bill is opened when the
    // database took the batch, whatever the list shows afterwards.
    RecordingWatch watch(session.Platform());
    clsMoveBill recorder(watch);
    recorder.SaveRecentBills(bill, trans_type, toolbar.passed);
    if (watch.batch_sent && !watch.batch_error) {
      watch.Release();
    } else {
      not_recorded = session.Platform().Conn().WriteBlocker();
      if (not_recorded.empty())
        not_recorded = watch.batch_error    ? *watch.batch_error
                       : watch.held.empty() ? std::string("the method sent nothing to record")
                                            : watch.held.back();
    }
  } else if (!info.empty()) {
    session.ShowMessage(info);
  }
  const bool opened = may_open && not_recorded.empty();

  if (options.json) {
    Json json;
    json["opened"] = opened;
    if (!not_recorded.empty()) json["reason"] = "could not record it: " + not_recorded;
    json["sInfo"] = info;
    json["toolbar"] = opened ? toolbar.console->VisibleToolsJson() : Json::array();
    json["messages"] = MessagesJson(session);
    out << Dump(json) << '\n';
  } else if (opened) {
    out << "opened bill " << bill << " of kind " << trans_type << '\n';
    PrintMenu(out, *toolbar.console, trans_type);
  }
  if (!not_recorded.empty()) {
    err << OneLine("zetmovebill: bill " + std::to_string(bill) + " of kind " + std::to_string(trans_type) +
                   " not opened: could not record it: " + not_recorded)
        << '\n';
    session.ExitCode();  // a failed trace still counts
    return kExitDatabase;
  }
  return may_open ? session.ExitCode() : kExitMessage;
}

int RunRecent(const GlobalOptions& options, int32_t trans_type, std::ostream& out, std::ostream& err) {
  Session session(options, err);
  RequireUser(options);
  Session::Toolbar toolbar = session.MakeToolbar();
  const ObjectRef bills = session.Component().LoadRecentBills(trans_type, toolbar.passed);
  session.Untraced([&] {
    if (options.json) {
      Json json;
      json["family"] = GetBigType(trans_type);
      json["result"] = TypedValue(Variant::Object(bills), ObjectShape::Recordset);
      json["toolbar"] = toolbar.console->VisibleToolsJson();
      json["messages"] = MessagesJson(session);
      out << Dump(json) << '\n';
      return;
    }
    PrintMenu(out, *toolbar.console, trans_type);
  });
  return session.ExitCode();
}

}  // namespace zet::cli
