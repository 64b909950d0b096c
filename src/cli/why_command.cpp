#include "cli/why_command.hpp"

#include <iomanip>
#include <set>
#include <string>
#include <vector>

#include "cli/commands.hpp"
#include "cli/usage_error.hpp"
#include "cli/value_json.hpp"
#include "explain/explain.hpp"

namespace zet::cli {

namespace {

using explain::Step;
using explain::Verdict;

// How a verdict reads: the mark in the aligned text, the word in the JSON.
// A tolerated missing row lets the bill through, so it reads as a pass.
struct VerdictText {
  const char* mark;
  const char* word;
};

VerdictText TextOf(Verdict verdict) {
  switch (verdict) {
    case Verdict::Pass:
      return {"✓ pass", "pass"};
    case Verdict::Fail:
      return {"✗ fail", "fail"};
    case Verdict::Tolerated:
      return {"✓ pass", "tolerated"};
    case Verdict::Info:
      break;
  }
  return {"      ", "info"};
}

// A statement as sent, one line of it per printed line.
void PrintStatement(std::ostream& out, const std::string& sql, const char* indent) {
  size_t begin = 0;
  while (true) {
    const size_t end = sql.find("\r\n", begin);
    out << indent << "| " << sql.substr(begin, end == std::string::npos ? std::string::npos : end - begin) << '\n';
    if (end == std::string::npos) return;
    begin = end + 2;
  }
}

// The statements already printed: a statement sent again for another piece
// is not printed again.
using Shown = std::set<std::string>;

void PrintSteps(std::ostream& out, const std::vector<Step>& steps, bool sql, Shown& shown) {
  for (const Step& step : steps) {
    out << "  " << TextOf(step.verdict).mark << "  " << std::left << std::setw(12) << step.piece << std::right
        << step.text << '\n';
    if (!step.why.empty()) out << std::string(24, ' ') << step.why << '\n';
    if (sql)
      for (const std::string& statement : step.statements)
        if (shown.insert(statement).second) PrintStatement(out, statement, "                        ");
  }
}

// The statements of a method not printed yet, and how many were.
void PrintMethodStatements(std::ostream& out, const char* method, const std::vector<std::string>& statements,
                           Shown& shown) {
  size_t again = 0;
  std::vector<const std::string*> fresh;
  for (const std::string& statement : statements)
    if (shown.insert(statement).second) {
      fresh.push_back(&statement);
    } else {
      ++again;
    }
  out << method << " sends" << (again ? " (besides " + std::to_string(again) + " shown above)" : "") << ":\n";
  for (const std::string* statement : fresh) PrintStatement(out, *statement, "  ");
}

// The first failing piece's reason, for a verdict line.
std::string FirstFailure(const std::vector<Step>& steps) {
  for (const Step& step : steps)
    if (step.verdict == Verdict::Fail) return step.piece + ": " + step.text + (step.why.empty() ? "" : "; " + step.why);
  return {};
}

Json StepsJson(const std::vector<Step>& steps) {
  Json list = Json::array();
  for (const Step& step : steps)
    list.push_back({{"piece", step.piece},
                    {"text", step.text},
                    {"verdict", TextOf(step.verdict).word},
                    {"why", step.why},
                    {"sql", step.statements}});
  return list;
}

int Disagree(std::ostream& err, const std::string& what) {
  err << "zetmovebill: " << what << '\n';
  return kExitInternal;
}

}  // namespace

void PrintBillExplanation(std::ostream& out, const explain::BillExplanation& why, bool sql, size_t messages) {
  out << "bill " << why.bill << " of kind " << why.trans_type << " (" << why.table
      << (explain::InCatalogue(why.trans_type) ? "" : ", the default row") << ")\n";
  Shown shown;
  PrintSteps(out, why.steps, sql, shown);
  out << "verdict: " << (why.may_open ? "may be opened" : "may not be opened")
      << (why.method_info.empty() || why.may_open ? "" : ": " + explain::WithMeaning(why.method_info))
      << (messages == 0 ? ""
                        : " (CheckSearchBill showed " + std::string(messages == 1 ? "a message" : "messages") +
                              " on the way and went on)")
      << '\n';
  if (sql) PrintMethodStatements(out, "CheckSearchBill", why.method_statements, shown);
  for (const std::string& hint : why.hints) out << "hint: " << hint << '\n';
}

int RunWhy(const GlobalOptions& options, int32_t trans_type, int32_t bill, bool sql, std::ostream& out,
           std::ostream& err) {
  RequireUser(options);
  Session session(options, err);
  WarnUnknownKind(trans_type, err);
  const explain::BillExplanation why =
      session.Untraced([&] { return explain::ExplainBill(session.Platform(), trans_type, bill); });
  if (why.failure) return Disagree(err, "cannot explain bill " + std::to_string(bill) + ": " + *why.failure);

  if (options.json) {
    Json json;
    json["trans_type"] = trans_type;
    json["bill"] = bill;
    json["table"] = why.table;
    json["steps"] = StepsJson(why.steps);
    json["may_open"] = why.may_open;
    json["check_search_bill"] = {
        {"result", why.method_may_open}, {"sInfo", why.method_info}, {"sql", why.method_statements}};
    json["agrees"] = why.Agrees();
    json["hints"] = why.hints;
    json["messages"] = session.Messages();
    out << Dump(json) << '\n';
  } else {
    PrintBillExplanation(out, why, sql, session.MessageCount());
  }
  if (!why.Agrees())
    return Disagree(err, std::string("the explanation says the bill ") + (why.may_open ? "may" : "may not") +
                             " be opened, but CheckSearchBill answers " + (why.method_may_open ? "True" : "False") +
                             ": do not trust this explanation");
  // The verdict alone decides: a message shown on the way is in the output.
  session.ExitCode();
  return why.may_open ? kExitOk : kExitMessage;
}

int RunWhyToDo(const GlobalOptions& options, int32_t position, bool sql, std::ostream& out, std::ostream& err) {
  if (position < 1 || position > 9) throw UsageError("no to-do position " + std::to_string(position) + " (1 to 9)");
  RequireUser(options);
  Session session(options, err);
  const explain::ToDoExplanation why =
      session.Untraced([&] { return explain::ExplainToDo(session.Platform(), position); });
  if (why.failure)
    return Disagree(err, "cannot explain to-do position " + std::to_string(position) + ": " + *why.failure);

  if (options.json) {
    Json json;
    json["position"] = position;
    json["table"] = why.table;
    json["steps"] = StepsJson(why.steps);
    json["granted"] = why.granted;
    json["check_to_do_access"] = why.method_granted;
    json["passes"] = why.passes;
    json["count"] = why.count;
    json["sql"] = why.count_statements;
    json["agrees"] = why.Agrees();
    json["messages"] = session.Messages();
    out << Dump(json) << '\n';
  } else {
    out << "to-do position " << position << '\n';
    Shown shown;
    PrintSteps(out, why.steps, sql, shown);
    out << "count: " << (why.count.empty() ? "none, GetToDoThingCount returned Nothing" : why.count) << '\n';
    if (sql) PrintMethodStatements(out, "GetToDoThingCount", why.count_statements, shown);
    out << "verdict: "
        << (why.passes ? "counted, " + why.count
                       : "not counted, " + (why.count.empty() ? std::string("none") : why.count) + ": " +
                             FirstFailure(why.steps))
        << '\n';
  }
  if (why.granted != why.method_granted)
    return Disagree(err, std::string("the access rows say the position is ") + (why.granted ? "granted" : "refused") +
                             ", but CheckToDoAccess answers " + (why.method_granted ? "True" : "False") +
                             ": do not trust this explanation");
  if (!why.Agrees())
    return Disagree(err, "a test fails, but GetToDoThingCount counts " + why.count + ": do not trust this explanation");
  session.ExitCode();
  return why.passes && !why.count.empty() ? kExitOk : kExitMessage;
}

}  // namespace zet::cli
