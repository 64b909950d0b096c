#include "cli/demo_tour.hpp"

#include <algorithm>
#include <filesystem>
#include <iomanip>
#include <stdexcept>
#include <vector>

#include "cli/commands.hpp"
#include "cli/usage_error.hpp"
#include "cli/value_json.hpp"
#include "cli/why_command.hpp"
#include "embedded/demo_data.hpp"
#include "pending/todo_positions.hpp"
#include "recent/recent.hpp"

namespace zet::cli {

namespace {

// The cast, from the demo data: an administrator, a user who sees only his
// own bills, and one whose stocks are restricted, so that the same kind reads
// differently for each; and a sales user for the to-do counts.
constexpr int32_t kOwnBillsUser = 16;
constexpr int32_t kStockRightsUser = 27;
constexpr int32_t kSalesUser = 25;
constexpr int32_t kTourKind = 1;
// Enough to show the walk; the demo kinds hold a handful of bills each.
constexpr int kMostSteps = 12;

struct Person {
  int32_t id;
  std::string name;
  std::string scope;
};

Person Find(int32_t id) {
  for (const embedded::DemoUser& user : embedded::kDemoUsers)
    if (user.id == id) return {id, user.name, user.scope};
  return {id, "user " + std::to_string(id), ""};
}

std::string Props(const Person& person) {
  return "UserID=" + std::to_string(person.id) + ";";
}

// first, then next until the component stays put: the bills the person can
// reach, in the order an editor shows them.
std::vector<int32_t> Walk(Session& session, int32_t kind) {
  std::vector<int32_t> bills;
  int32_t current = session.Component().GetMaxMinInterID(kind, 1);
  while (current != 0 && bills.size() < kMostSteps) {
    bills.push_back(current);
    const int32_t next = session.Component().GetMoveInterID(Variant::Long(current), DirectionCode(kind, true), kind);
    if (next == current || next == 0) break;
    current = next;
  }
  return bills;
}

bool Holds(const std::vector<int32_t>& bills, int32_t bill) {
  return std::find(bills.begin(), bills.end(), bill) != bills.end();
}

void Heading(std::ostream& out, const std::string& text) {
  out << '\n' << text << '\n';
}

void StepThrough(Session& session, std::ostream& out, const std::vector<Person>& cast,
                 std::vector<std::vector<int32_t>>& walks) {
  Heading(out, "Three users step through the stock bills (kind " + std::to_string(kTourKind) +
                   "): first, next ... and last.");
  for (const Person& person : cast) {
    session.SetProps(Props(person));
    out << "  " << person.name << " (user " << person.id << "): " << person.scope << '\n';
    const std::vector<int32_t> bills = Walk(session, kTourKind);
    const int32_t last = session.Component().GetMaxMinInterID(kTourKind, 2);
    out << "    ";
    if (bills.empty()) out << "sees no bill of this kind";
    for (size_t i = 0; i < bills.size(); ++i) out << (i == 0 ? "first " : ", next ") << bills[i];
    out << "; last " << (last == 0 ? "none" : std::to_string(last)) << '\n';
    walks.push_back(bills);
  }
}

// The first bill the administrator reaches that some, but not all, of the
// others cannot: checking it shows the rights at work.
int32_t TellingBill(const std::vector<std::vector<int32_t>>& walks) {
  if (walks.empty() || walks.front().empty()) return 0;
  for (const int32_t bill : walks.front()) {
    size_t seen = 0;
    for (const auto& walk : walks) seen += Holds(walk, bill) ? 1 : 0;
    if (seen > 1 && seen < walks.size()) return bill;
  }
  return walks.front().back();
}

void CheckOneBill(Session& session, std::ostream& out, const std::vector<Person>& cast, int32_t bill) {
  Heading(out, "Each of them asks whether bill " + std::to_string(bill) + " of kind " + std::to_string(kTourKind) +
                   " may be opened:");
  for (const Person& person : cast) {
    session.SetProps(Props(person));
    std::string info;
    const bool yes = session.Component().CheckSearchBill(kTourKind, bill, info);
    out << "  " << std::left << std::setw(8) << person.name << std::right
        << (yes ? "yes" : "no: " + explain::WithMeaning(info)) << '\n';
  }
}

void ToDoCounts(Session& session, std::ostream& out, const std::vector<Person>& people) {
  Heading(out, "The desktop's to-do counts of an administrator and of a sales user:");
  std::vector<std::vector<Variant>> columns;
  for (const Person& person : people) {
    session.SetProps(Props(person));
    const ObjectRef list = session.Component().GetToDoThingCount();
    columns.push_back(list ? session.Untraced([&] { return ReadList(*list); }) : std::vector<Variant>{});
  }
  out << std::setw(5) << "#"
      << "  " << std::left << std::setw(34) << "pending work" << std::right;
  for (const Person& person : people) out << std::setw(8) << person.name;
  out << '\n';
  for (const ToDoPosition& entry : kToDoPositions) {
    out << std::setw(5) << entry.position << "  " << std::left << std::setw(34) << entry.label << std::right;
    for (const auto& column : columns) {
      const auto index = static_cast<size_t>(entry.position - 1);
      out << std::setw(8) << (index < column.size() ? PlainText(column[index]) : "-");
    }
    out << '\n';
  }
}

void OpenSomeBills(Session& session, std::ostream& out, const Person& person, const std::vector<int32_t>& reachable,
                   int32_t refused) {
  Heading(out, person.name + " (user " + std::to_string(person.id) + ") opens a few stock bills, one of them twice" +
                   (refused ? ", and tries one outside the user's rights:" : ":"));
  session.SetProps(Props(person));
  std::vector<int32_t> opens(reachable.begin(), reachable.begin() + std::min<size_t>(3, reachable.size()));
  // Opening the middle one again moves it to the top and leaves its old
  // place empty: the list is not renumbered.
  if (opens.size() > 1) opens.push_back(opens[1]);
  if (refused) opens.push_back(refused);

  Session::Toolbar toolbar = session.MakeToolbar();
  for (const int32_t bill : opens) {
    std::string info;
    if (!session.Component().CheckSearchBill(kTourKind, bill, info)) {
      out << "  bill " << bill << ": refused: " << info << '\n';
      continue;
    }
    session.Component().SaveRecentBills(bill, kTourKind, toolbar.passed);
    out << "  bill " << bill << ": opened\n";
  }
  out << "  The recent-bills menu of the family of kind " << kTourKind << " (family " << GetBigType(kTourKind)
      << ") now reads:\n";
  toolbar.console->Print(out);
  const nlohmann::ordered_json shown = toolbar.console->VisibleToolsJson();
  if (!shown.empty() && shown.back()["place"].get<size_t>() > shown.size())
    out << "  (a missing place is the old entry of the bill opened again: it was removed, and the places after it\n"
           "   keep their numbers until later openings push them down)\n";
}

}  // namespace

int RunDemo(const GlobalOptions& options, std::ostream& out, std::ostream& err) {
  std::error_code ec;
  const bool created = !std::filesystem::exists(options.db, ec);
  if (created) {
    try {
      embedded::CreateDatabase(options.db, true, false);
    } catch (const std::runtime_error& e) {
      throw UsageError(e.what());
    }
  }
  Session session(options, err);
  out << "ZetMMoveBill demo on " << options.db << (created ? " (the demo database, made just now)" : "") << '\n';

  const std::vector<Person> cast = {Find(embedded::kDemoAdministrator), Find(kOwnBillsUser), Find(kStockRightsUser)};
  std::vector<std::vector<int32_t>> walks;
  StepThrough(session, out, cast, walks);
  const int32_t bill = TellingBill(walks);
  if (bill != 0) CheckOneBill(session, out, cast, bill);
  ToDoCounts(session, out, {cast.front(), Find(kSalesUser)});

  const Person& opener = cast.back();
  const std::vector<int32_t>& reachable = walks.back();
  int32_t refused = 0;
  for (const int32_t candidate : walks.front()) {
    if (!Holds(reachable, candidate)) {
      refused = candidate;
      break;
    }
  }
  OpenSomeBills(session, out, opener, reachable, refused);
  if (refused != 0) {
    // The tour ends where an administrator's day begins: why was that refused?
    Heading(out, "Why may " + opener.name + " (user " + std::to_string(opener.id) + ") not open bill " +
                     std::to_string(refused) + "? (zetmovebill why " + std::to_string(kTourKind) + " " +
                     std::to_string(refused) + ")");
    session.SetProps(Props(opener));
    const explain::BillExplanation why = explain::ExplainBill(session.Platform(), kTourKind, refused);
    PrintBillExplanation(out, why, false);
    if (!why.Agrees()) out << "  (this disagrees with CheckSearchBill: do not trust it)\n";

    Heading(out, "And who may open bill " + std::to_string(refused) + "? (zetmovebill who " +
                     std::to_string(kTourKind) + " " + std::to_string(refused) + ")");
    const std::vector<explain::UserVerdict> users = explain::WhoMayOpen(
        session.Platform(), [&](const std::string& props) { session.SetProps(props); }, kTourKind, refused);
    for (const explain::UserVerdict& user : users)
      out << "  " << std::setw(5) << user.user << "  " << std::left << std::setw(8) << user.name << std::right
          << (user.may_open ? "yes" : "no   " + user.piece) << (user.agrees ? "" : "  (the explanation disagrees)")
          << '\n';
  }

  out << "\nTry it yourself, for example:\n"
      << "  zetmovebill --db " << options.db << " --user " << opener.id << " recent " << kTourKind << '\n'
      << "  zetmovebill --db " << options.db << " --user " << kSalesUser << " todo\n"
      << "  zetmovebill --db " << options.db << " --user " << kOwnBillsUser << " why " << kTourKind << ' '
      << (bill ? bill : 1001) << " --sql\n"
      << "  zetmovebill --db " << options.db << " --user " << kOwnBillsUser << " --trace - check " << kTourKind << ' '
      << (bill ? bill : 1001) << '\n';
  return session.ExitCode();
}

}  // namespace zet::cli
