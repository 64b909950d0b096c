#include "cli/method_table.hpp"

#include <string>

#include "cli/argument_syntax.hpp"
#include "cli/usage_error.hpp"
#include "host/error.hpp"
#include "host/text.hpp"

namespace zet::cli {

namespace {

CallOutcome CallCheckSearchBill(clsMoveBill& component, const std::vector<Variant>& values, ObjectRef&) {
  std::string sInfo = values[2].AsString();
  const bool answer = component.CheckSearchBill(values[0].AsLong(), values[1].AsLong(), sInfo);
  return {Variant::Boolean(answer), {{"sInfo", Variant::String(std::move(sInfo))}}};
}

CallOutcome CallGetToDoThingCount(clsMoveBill& component, const std::vector<Variant>&, ObjectRef&) {
  return {Variant::Object(component.GetToDoThingCount()), {}};
}

CallOutcome CallGetMaxMinInterID(clsMoveBill& component, const std::vector<Variant>& values, ObjectRef&) {
  return {Variant::Long(component.GetMaxMinInterID(values[0].AsLong(), values[1].AsLong())), {}};
}

CallOutcome CallGetMoveInterID(clsMoveBill& component, const std::vector<Variant>& values, ObjectRef&) {
  return {Variant::Long(component.GetMoveInterID(values[0], values[1].AsLong(), values[2].AsLong())), {}};
}

CallOutcome CallLoadRecentBills(clsMoveBill& component, const std::vector<Variant>& values, ObjectRef& toolbar) {
  return {Variant::Object(component.LoadRecentBills(values[0].AsLong(), toolbar)), {}};
}

CallOutcome CallSaveRecentBills(clsMoveBill& component, const std::vector<Variant>& values, ObjectRef& toolbar) {
  component.SaveRecentBills(values[0].AsLong(), values[1].AsLong(), toolbar);
  return {};
}

std::string MethodNames() {
  std::string names;
  for (const MethodEntry& method : Methods()) names += (names.empty() ? "" : ", ") + std::string(method.name);
  return names;
}

// The value a parameter receives, converted as the automation layer converts
// an argument to the declared type before the method runs.
Variant Convert(const ParamEntry& param, const Variant& given, std::string_view text) {
  try {
    switch (param.kind) {
      case ParamKind::Long:
        return Variant::Long(CLng(given));
      case ParamKind::StringRef:
        return Variant::String(CStr(given));
      case ParamKind::Variant:
      case ParamKind::ToolbarRef:
        break;
    }
    return given;
  } catch (const AutomationError& e) {
    const char* type = param.kind == ParamKind::Long ? "Long" : "String";
    throw UsageError("argument " + std::string(param.name) + " '" + std::string(text) + "' cannot be converted to " +
                     type + ": " + e.Description());
  }
}

}  // namespace

bool MethodEntry::TakesToolbar() const {
  for (const ParamEntry& param : params)
    if (param.kind == ParamKind::ToolbarRef) return true;
  return false;
}

std::string MethodEntry::Synopsis() const {
  std::string text;
  for (const ParamEntry& param : params) {
    if (param.kind == ParamKind::ToolbarRef) continue;
    if (!text.empty()) text += ' ';
    text += param.optional ? "[" + std::string(param.name) + "]" : std::string(param.name);
  }
  return text;
}

const std::vector<MethodEntry>& Methods() {
  static const std::vector<MethodEntry> methods = {
      {"CheckSearchBill",
       {{"lTransType", ParamKind::Long}, {"lInterID", ParamKind::Long}, {"sInfo", ParamKind::StringRef, true}},
       ObjectShape::Unknown,
       CallCheckSearchBill},
      {"GetToDoThingCount", {}, ObjectShape::List, CallGetToDoThingCount},
      {"GetMaxMinInterID",
       {{"lTransType", ParamKind::Long}, {"lType", ParamKind::Long}},
       ObjectShape::Unknown,
       CallGetMaxMinInterID},
      {"GetMoveInterID",
       {{"lBillID", ParamKind::Variant}, {"lMoveType", ParamKind::Long}, {"lTransType", ParamKind::Long}},
       ObjectShape::Unknown,
       CallGetMoveInterID},
      {"LoadRecentBills",
       {{"m_ClassTypeID", ParamKind::Long}, {"ABar", ParamKind::ToolbarRef, true}},
       ObjectShape::Recordset,
       CallLoadRecentBills},
      {"SaveRecentBills",
       {{"lBillID", ParamKind::Long}, {"m_ClassTypeID", ParamKind::Long}, {"ABar", ParamKind::ToolbarRef, true}},
       ObjectShape::Unknown,
       CallSaveRecentBills},
  };
  return methods;
}

PreparedCall PrepareCall(std::string_view method, const std::vector<std::string>& args, bool with_toolbar) {
  PreparedCall call;
  for (const MethodEntry& entry : Methods())
    if (EqualsIgnoreCase(entry.name, method)) call.method = &entry;
  if (call.method == nullptr)
    throw UsageError("unknown method '" + std::string(method) + "' (the methods are " + MethodNames() + ")");
  const MethodEntry& entry = *call.method;
  if (with_toolbar && !entry.TakesToolbar())
    throw UsageError(std::string("--toolbar applies to LoadRecentBills and SaveRecentBills, not to ") + entry.name);

  size_t required = 0;
  size_t accepted = 0;
  for (const ParamEntry& param : entry.params) {
    if (param.kind == ParamKind::ToolbarRef) continue;
    ++accepted;
    if (!param.optional) ++required;
  }
  if (args.size() < required || args.size() > accepted) {
    const std::string synopsis = entry.Synopsis();
    throw UsageError(std::string(entry.name) + " takes " +
                     (required == accepted ? std::to_string(required)
                                           : std::to_string(required) + " or " + std::to_string(accepted)) +
                     (accepted == 1 ? " argument" : " arguments") + (synopsis.empty() ? "" : " (" + synopsis + ")") +
                     ", " + std::to_string(args.size()) + " given" +
                     // The first word too many, as the other commands name a stray word.
                     (args.size() > accepted ? "; unexpected argument '" + args[accepted] + "'" : ""));
  }

  size_t next = 0;
  for (const ParamEntry& param : entry.params) {
    if (param.kind == ParamKind::ToolbarRef) continue;
    if (next < args.size()) {
      const std::string& text = args[next++];
      call.values.push_back(Convert(param, ParseArgument(text), text));
    } else {
      call.values.push_back(param.kind == ParamKind::StringRef ? Variant::String("") : Variant());
    }
  }
  return call;
}

}  // namespace zet::cli
