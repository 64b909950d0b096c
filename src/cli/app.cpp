#include "cli/app.hpp"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/argument_syntax.hpp"
#include "cli/batch_command.hpp"
#include "cli/commands.hpp"
#include "cli/demo_tour.hpp"
#include "cli/method_table.hpp"
#include "cli/session.hpp"
#include "cli/usage_error.hpp"
#include "cli/verify_command.hpp"
#include "cli/who_command.hpp"
#include "cli/why_command.hpp"
#include "embedded/result_set.hpp"

namespace zet::cli {

namespace {

constexpr const char* kFooter =
    "Exit status: 0 done, 1 the component showed a message, 2 bad input, 3 internal failure, 4 the database could\n"
    "not be used, 5 output could not be written.\n"
    "Run 'zetmovebill COMMAND --help' for the arguments of a command.";

constexpr const char* kGlobalOptions =
    "Global options, before or after the command: --db FILE (default zetmovebill.db) or --odbc CONNECTION, --user ID\n"
    "(a whole number), --props TEXT (the whole context property string), --trace FILE, --json.";

constexpr const char* kDirectionFooter =
    "Direction code sent to GetMoveInterID: 1 for prev and 2 for next, plus one for a kind whose catalogue row\n"
    "lowers the caller's code by one (1000201, 1000202, 1000205, 1000206 and 1007000 get 2 and 3), so that the\n"
    "method always reads 1 as previous and 2 as next.";

std::string CallFooter() {
  std::string text = "Methods and their arguments:\n";
  for (const MethodEntry& method : Methods())
    text += "  " + std::string(method.name) + (method.params.empty() ? "" : " " + method.Synopsis()) +
            (method.TakesToolbar() ? " [--toolbar]" : "") + "\n";
  text += std::string("Argument syntax: ") + kArgumentSyntax + ".\n";
  text += "Long parameters take the value converted as automation converts it (s:12 gives 12).";
  return text;
}

struct Parsed {
  GlobalOptions options;
  bool demo = false;
  bool force = false;
  bool sql = false;
  bool repair = false;
  bool full = false;
  CallRequest call;
  // Read with ParseLong, as `call` reads a Long, not by CLI11's own rules.
  std::string trans_type;
  std::string bill;
  std::string position;

  int32_t Type() const { return ParseLong(trans_type, "TYPE"); }
  int32_t Bill() const { return ParseLong(bill, "BILL"); }
  int32_t Position() const { return ParseLong(position, "POSITION"); }
};

// The commands that make or check the embedded file itself.
void RequireFile(const GlobalOptions& options, const char* command) {
  if (options.odbc) throw UsageError(std::string(command) + " works on a database file (--db) only, not over --odbc");
}

// What a command takes after its name.
enum class Operands { kNone, kKind, kKindAndBill, kPosition, kMethod };

struct FlagEntry {
  const char* name = nullptr;
  bool Parsed::*field = nullptr;
  const char* help = nullptr;
};

struct CommandEntry {
  const char* name;
  const char* help;
  Operands operands;
  std::array<FlagEntry, 2> flags;
  const char* footer;
  int (*run)(const Parsed&, std::ostream& out, std::ostream& err);
  // Answers go out as they are made, rather than held until the command ends
  // (a script may wait for each before it writes the next request).
  bool streams = false;
};

constexpr const char* kWhyFooter =
    "Exit status: 0 may be opened, 1 may not (as the verdict line says, whatever messages were shown), 2 bad\n"
    "input, 3 the pieces and CheckSearchBill disagree, 4 the database could not be used.";
constexpr const char* kVerifyFooter =
    "Exit status: 0 no drift (left), 1 drift, 2 bad input, 4 the database could not be used (with --full: also\n"
    "when a page is damaged; nothing is repaired then).";
constexpr const char* kWhyToDoFooter =
    "Exit status: 0 every test passes, 1 one fails (as the verdict line says), 2 bad input, 3 the tests\n"
    "and the method disagree, 4 the database could not be used.";
// clang-format off
const CommandEntry kCommands[] = {
    {"init", "create the schema (and the demo data) in --db", Operands::kNone,
     {{{"--demo", &Parsed::demo, "fill in the demo data"}, {"--force", &Parsed::force, "replace an existing file"}}}, nullptr,
     [](const Parsed& p, std::ostream& out, std::ostream&) { RequireFile(p.options, "init"); return RunInit(p.options, p.demo, p.force, out); }},
    {"call", "call one public method of clsMoveBill exactly as the host would", Operands::kMethod, {}, nullptr,
     [](const Parsed& p, std::ostream& out, std::ostream& err) { return RunCall(p.options, p.call, out, err); }},
    {"first", "the first bill of a kind the user may see", Operands::kKind, {}, nullptr,
     [](const Parsed& p, std::ostream& out, std::ostream& err) { return RunFirstLast(p.options, p.Type(), false, out, err); }},
    {"last", "the last bill of a kind the user may see", Operands::kKind, {}, nullptr,
     [](const Parsed& p, std::ostream& out, std::ostream& err) { return RunFirstLast(p.options, p.Type(), true, out, err); }},
    {"prev", "the previous bill of a kind before BILL that the user may see", Operands::kKindAndBill, {}, kDirectionFooter,
     [](const Parsed& p, std::ostream& out, std::ostream& err) { return RunStep(p.options, p.Type(), p.Bill(), false, out, err); }},
    {"next", "the next bill of a kind after BILL that the user may see", Operands::kKindAndBill, {}, kDirectionFooter,
     [](const Parsed& p, std::ostream& out, std::ostream& err) { return RunStep(p.options, p.Type(), p.Bill(), true, out, err); }},
    {"check", "may the user open this bill? prints the reason when not", Operands::kKindAndBill, {}, nullptr,
     [](const Parsed& p, std::ostream& out, std::ostream& err) { return RunCheck(p.options, p.Type(), p.Bill(), out, err); }},
    {"todo", "the nine to-do counts of the desktop, with what each counts", Operands::kNone, {}, nullptr,
     [](const Parsed& p, std::ostream& out, std::ostream& err) { return RunTodo(p.options, out, err); }},
    {"open", "record that the user opened a bill (checked first) and show the refreshed menu", Operands::kKindAndBill, {}, nullptr,
     [](const Parsed& p, std::ostream& out, std::ostream& err) { return RunOpen(p.options, p.Type(), p.Bill(), out, err); }},
    {"recent", "the recent-bills menu of the kind's family", Operands::kKind, {}, nullptr,
     [](const Parsed& p, std::ostream& out, std::ostream& err) { return RunRecent(p.options, p.Type(), out, err); }},
    {"why", "why the user may or may not open a bill, piece by piece", Operands::kKindAndBill,
     {{{"--sql", &Parsed::sql, "show the statements sent for each piece"}}}, kWhyFooter,
     [](const Parsed& p, std::ostream& out, std::ostream& err) { return RunWhy(p.options, p.Type(), p.Bill(), p.sql, out, err); }},
    {"why-todo", "every test, the alarm days and the count behind one to-do position", Operands::kPosition,
     {{{"--sql", &Parsed::sql, "show the statements sent"}}}, kWhyToDoFooter,
     [](const Parsed& p, std::ostream& out, std::ostream& err) { return RunWhyToDo(p.options, p.Position(), p.sql, out, err); }},
    {"who", "every user of t_User: may they open this bill? for a refusal, the first failing piece", Operands::kKindAndBill, {}, nullptr,
     [](const Parsed& p, std::ostream& out, std::ostream& err) { return RunWho(p.options, p.Type(), p.Bill(), out, err); }},
    {"batch", "one call per line of standard input (a JSON object: method, args, toolbar, user or props), one JSON line "
     "out each, as call --json prints it; one connection for all", Operands::kNone, {}, nullptr,
     [](const Parsed& p, std::ostream& out, std::ostream& err) { return RunBatch(p.options, std::cin, out, err); }, true},
    {"demo", "create the demo database at --db when there is none and take a short tour", Operands::kNone, {}, nullptr,
     [](const Parsed& p, std::ostream& out, std::ostream& err) { RequireFile(p.options, "demo"); return RunDemo(p.options, out, err); }},
    {"verify", "recompute every derived row and compare the schema with what init makes; each drift as one line", Operands::kNone,
     {{{"--repair", &Parsed::repair, "rebuild what drifted and upgrade an older file, in one transaction"},
       {"--full", &Parsed::full, "first read every page of the file (SQLite's integrity check), which takes longer"}}}, kVerifyFooter,
     [](const Parsed& p, std::ostream& out, std::ostream&) { RequireFile(p.options, "verify"); return RunVerify(p.options, p.repair, p.full, out); }},
};
// clang-format on

void AddOperands(CLI::App& sub, Operands operands, Parsed& parsed) {
  switch (operands) {
    case Operands::kNone:
      break;
    case Operands::kKind:
    case Operands::kKindAndBill:
      sub.add_option("TYPE", parsed.trans_type, "transaction type of the bill kind (1, 21, 71, 1000201, ...)")
          ->type_name("NUMBER")
          ->required();
      if (operands == Operands::kKindAndBill)
        sub.add_option("BILL", parsed.bill, "internal id of the bill")->type_name("NUMBER")->required();
      break;
    case Operands::kPosition:
      sub.add_option("POSITION", parsed.position, "the position, 1 to 9")->type_name("NUMBER")->required();
      break;
    case Operands::kMethod:
      sub.add_option("METHOD", parsed.call.method, "the method's name")->required();
      sub.add_option("ARG", parsed.call.args, std::string("its arguments: ") + kArgumentSyntax);
      sub.add_flag("--toolbar", parsed.call.toolbar,
                   "pass a console toolbar as ABar (LoadRecentBills, SaveRecentBills) and print its visible tools");
      break;
  }
}

// The global options, then one subcommand per row of kCommands (only the
// row named `only`, when that is not empty); parsing points `chosen` at the
// row of the command given.
void Define(CLI::App& app, Parsed& parsed, const CommandEntry*& chosen, std::string_view only) {
  app.description(
      "zetmovebill: calls the bill-navigation component clsMoveBill over an embedded SQLite database, as the host "
      "would.");
  app.footer(kFooter);
  app.fallthrough();
  CLI::Option* db =
      app.add_option("--db", parsed.options.db, "database file (default zetmovebill.db in the current directory)")
          ->type_name("FILE");
  app.add_option("--odbc", parsed.options.odbc,
                 "run on the database of this ODBC connection string (DSN=name will do) instead of a file; the "
                 "password, if any, comes from ZETMOVEBILL_ODBC_PASSWORD")
      ->type_name("CONNECTION")
      ->excludes(db);
  app.add_option("--user", parsed.options.user, "log on as this user: the property string becomes UserID=ID;")
      ->type_name("ID");
  app.add_option("--props", parsed.options.props, "the whole context property string (wins over --user)")
      ->type_name("TEXT");
  app.add_option("--trace", parsed.options.trace,
                 "append one JSON line per late-bound call the component makes to FILE ('-' for standard error)")
      ->type_name("FILE");
  app.add_flag("--json", parsed.options.json, "machine output: one JSON object on standard output");
  // A script may add an option to a command line that has it already: the
  // last one given counts.
  for (const char* name : {"--db", "--odbc", "--user", "--props", "--trace"})
    app.get_option(name)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

  for (const CommandEntry& entry : kCommands) {
    if (!only.empty() && only != entry.name) continue;
    CLI::App* sub = app.add_subcommand(entry.name, entry.help);
    AddOperands(*sub, entry.operands, parsed);
    for (const FlagEntry& flag : entry.flags)
      if (flag.name) sub->add_flag(flag.name, parsed.*flag.field, flag.help);
    // A command's help shows the options every command takes too.
    std::string footer = entry.operands == Operands::kMethod ? CallFooter() : entry.footer ? entry.footer : "";
    sub->footer((footer.empty() ? "" : footer + "\n") + kGlobalOptions);
    sub->callback([&chosen, &entry] { chosen = &entry; });
  }
  // Set after the commands so that they do not inherit it: what no command
  // takes falls through to here, and is named in the error rather than in
  // CLI11's generic complaint.
  app.allow_extras();
}

int Usage(std::ostream& err, const std::string& what, bool point_to_help = true) {
  err << "zetmovebill: " << OneLine(what) << (point_to_help ? " (see zetmovebill --help)" : "") << '\n';
  return kExitUsage;
}

// The first word of the command line that is neither an option nor an
// option's value, when no command has that name.
std::optional<std::string> UnknownCommand(CLI::App& app, int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--db" || arg == "--odbc" || arg == "--user" || arg == "--props" || arg == "--trace") {
      ++i;
    } else if (arg.rfind('-', 0) != 0) {
      try {
        app.get_subcommand(arg);
        return std::nullopt;
      } catch (const CLI::OptionNotFound&) {
        return arg;
      }
    }
  }
  return std::nullopt;
}

// The first word of the command line that neither a command nor an option
// took, named as the user typed it.
std::optional<std::string> Stray(const CLI::App& app, const CommandEntry* command) {
  const std::vector<std::string> strays = app.remaining();
  if (strays.empty()) return std::nullopt;
  const std::string& first = strays.front();
  if (command || first.rfind('-', 0) == 0) return "unexpected argument '" + first + "'";
  return "unknown command '" + first + "'";
}

// The one word of the command line, other than an option's value, that
// names a command, when exactly one does; "" otherwise. With one such word
// no other command could be chosen, so the line parses as it would with all
// of them defined, and defining only that one saves a good part of the cost
// of a short run.
std::string_view OnlyCommand(int argc, const char* const* argv) {
  std::string_view only;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--db" || arg == "--odbc" || arg == "--user" || arg == "--props" || arg == "--trace") {
      ++i;
    } else if (std::any_of(std::begin(kCommands), std::end(kCommands),
                           [&](const CommandEntry& entry) { return arg == entry.name; })) {
      if (!only.empty()) return "";
      only = arg;
    }
  }
  return only;
}

int RunParsed(int argc, const char* const* argv, std::ostream& out, std::ostream& err) noexcept {
  try {
    CLI::App app{"", "zetmovebill"};
    Parsed parsed;
    const CommandEntry* command = nullptr;
    Define(app, parsed, command, OnlyCommand(argc, argv));
    try {
      app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
      // Help for a command that does not exist is no help at all.
      if (const auto unknown = UnknownCommand(app, argc, argv)) return Usage(err, "unknown command '" + *unknown + "'");
      return app.exit(e, out, err);
    } catch (const CLI::CallForAllHelp& e) {
      return app.exit(e, out, err);
    } catch (const CLI::ParseError& e) {
      // CLI11 checks required operands before it reports words no command
      // takes: `first --nope` would blame the missing TYPE, not the typo.
      if (const auto stray = Stray(app, command)) return Usage(err, *stray);
      return Usage(err, e.what());
    }
    if (const auto stray = Stray(app, command)) return Usage(err, *stray);
    if (!command) return Usage(err, "no command given");
    if (parsed.options.db.empty()) return Usage(err, "--db names no file");
    if (parsed.options.odbc && parsed.options.odbc->empty()) return Usage(err, "--odbc names no connection");
    // A user id is a number: the component puts it into its statements as
    // it stands.
    if (parsed.options.user) parsed.options.user = std::to_string(ParseLong(*parsed.options.user, "--user"));
    VouchForContext(parsed.options.PropsString());
    parsed.options.trace_to = &err;
    // Held back until the command ends: answers read from a file that proved
    // damaged meanwhile are not shown as if they were true, and the damage is
    // the one line said, not what the command made of its failed reads (nor
    // an internal error when one of them ended it).
    if (command->streams) return command->run(parsed, out, err);
    std::ostringstream answer, said;
    int status = kExitInternal;
    std::string damage;
    try {
      status = command->run(parsed, answer, said);
      damage = TakeDamage();
    } catch (...) {
      damage = TakeDamage();
      if (damage.empty()) {
        err << said.str();
        throw;
      }
    }
    if (!damage.empty()) {
      err << "zetmovebill: " << OneLine(damage) << '\n';
      return kExitDatabase;
    }
    err << said.str();
    out << answer.str();
    return status;
  } catch (const UsageError& e) {
    return Usage(err, e.what(), false);
  } catch (const embedded::DatabaseUnavailable& e) {
    err << "zetmovebill: " << OneLine(e.what()) << '\n';
    return kExitDatabase;
  } catch (const OutputError& e) {
    err << "zetmovebill: " << OneLine(e.what()) << '\n';
    return kExitOutput;
  } catch (const std::exception& e) {
    err << "zetmovebill: internal error: " << OneLine(e.what()) << '\n';
  } catch (...) {
    err << "zetmovebill: internal error\n";
  }
  return kExitInternal;
}

}  // namespace

int Run(int argc, const char* const* argv, std::ostream& out, std::ostream& err) noexcept {
  const int status = RunParsed(argc, argv, out, err);
  // Output that did not reach its file is lost: say so, rather than end as
  // if it had been written.
  errno = 0;
  out.flush();
  // A command that met the failure itself has said so already.
  if (out || status == kExitOutput) return status;
  err << "zetmovebill: cannot write standard output: " << (errno ? std::strerror(errno) : "write failed") << '\n';
  return kExitOutput;
}

}  // namespace zet::cli
