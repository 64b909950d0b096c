#include "cli/why_command.hpp"

#include <iomanip>
#include <string>
#include <vector>

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

void PrintSteps(std::ostream& out, const std::vector<Step>& steps, bool sql) {
  for (const Step& step : steps) {
    out << "  " << TextOf(step.verdict).mark << "  " << std::left << std::setw(12) << step.piece << std::right << step.text
        << '\n';
    if (!step.why.empty()) out << std::string(24, ' ') << step.why << '\n';
    if (sql)
      for (const std::string& statement : step.statements) PrintStatement(out, statement, "                        ");
  }
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

void PrintBillExplanation(std::ostream& out, const explain::BillExplanation& why, bool sql) {
  out << "bill " << why.bill << " of kind " << why.trans_type << " (" << why.table << ")\n";
  PrintSteps(out, why.steps, sql);
  out << "verdict: " << (why.may_open ? "may be opened" : "may not be opened")
      << (why.method_info.empty() || why.may_open ? "" : ": " + why.method_info) << '\n';
  if (sql) {
    out << "CheckSearchBill sends:\n";
    for (const std::string& statement : why.method_statements) PrintStatement(out, statement, "  ");
  }
  for (const std::string& hint : why.hints) out << "hint: " << hint << '\n';
}

int RunWhy(const GlobalOptions& options, int32_t trans_type, int32_t bill, bool sql, std::ostream& out,
           std::ostream& err) {
  RequireUser(options);
  Session session(options, err);
  const explain::BillExplanation why = session.Untraced([&] { return explain::ExplainBill(session.Platform(), trans_type, bill); });
  if (why.failure) return Disagree(err, "cannot explain bill " + std::to_string(bill) + ": " + *why.failure);

  if (options.json) {
    Json json;
    json["type"] = trans_type;
    json["bill"] = bill;
    json["table"] = why.table;
    json["steps"] = StepsJson(why.steps);
    json["may_open"] = why.may_open;
    json["check_search_bill"] = {{"result", why.method_may_open}, {"sInfo", why.method_info}, {"sql", why.method_statements}};
    json["agrees"] = why.Agrees();
    json["hints"] = why.hints;
    json["messages"] = session.Messages();
    out << Dump(json) << '\n';
  } else {
    PrintBillExplanation(out, why, sql);
  }
  if (!why.Agrees())
    return Disagree(err, std::string("the explanation says the bill ") + (why.may_open ? "may" : "may not") +
                             " be opened, but CheckSearchBill answers " + (why.method_may_open ? "True" : "False") +
                             ": do not trust this explanation");
  return why.may_open ? session.ExitCode() : kExitMessage;
}

int RunWhyToDo(const GlobalOptions& options, int32_t position, bool sql, std::ostream& out, std::ostream& err) {
  if (position < 1 || position > 9) throw UsageError("no to-do position " + std::to_string(position) + " (1 to 9)");
  RequireUser(options);
  Session session(options, err);
  const explain::ToDoExplanation why = session.Untraced([&] { return explain::ExplainToDo(session.Platform(), position); });
  if (why.failure) return Disagree(err, "cannot explain to-do position " + std::to_string(position) + ": " + *why.failure);

  if (options.json) {
    Json json;
    json["position"] = position;
    json["steps"] = StepsJson(why.steps);
    json["granted"] = why.granted;
    json["check_to_do_access"] = why.method_granted;
    json["count"] = why.count;
    json["sql"] = why.count_statements;
    json["agrees"] = why.Agrees();
    json["messages"] = session.Messages();
    out << Dump(json) << '\n';
  } else {
    out << "to-do position " << position << '\n';
    PrintSteps(out, why.steps, sql);
    out << "count: " << why.count << '\n';
    if (sql)
      for (const std::string& statement : why.count_statements) PrintStatement(out, statement, "  ");
  }
  if (!why.Agrees())
    return Disagree(err, std::string("the access rows say the position is ") + (why.granted ? "granted" : "refused") +
                             ", but CheckToDoAccess answers " + (why.method_granted ? "True" : "False") +
                             ": do not trust this explanation");
  return why.granted ? session.ExitCode() : kExitMessage;
}

}  // namespace zet::cli
