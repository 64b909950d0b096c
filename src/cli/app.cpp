#include "cli/app.hpp"

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstring>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "cli/argument_syntax.hpp"
#include "cli/batch_command.hpp"
#include "cli/commands.hpp"
#include "cli/demo_tour.hpp"
#include "cli/method_table.hpp"
#include "cli/usage_error.hpp"
#include "cli/why_command.hpp"
#include "embedded/database.hpp"

namespace zet::cli {

namespace {

constexpr const char* kFooter =
    "Exit status: 0 done, 1 the component showed a message, 2 bad input, 3 internal failure, 4 the database could\n"
    "not be used, 5 output could not be written.\n"
    "Run 'zetmovebill COMMAND --help' for the arguments of a command.";

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
  CallRequest call;
  // Read with ParseLong, as `call` reads a Long, not by CLI11's own rules.
  std::string trans_type;
  std::string bill;
  std::string position;
  bool sql = false;
  std::function<int(std::ostream&, std::ostream&)> command;
};

CLI::App* AddKind(CLI::App& app, const char* name, const char* description, Parsed& parsed, bool with_bill) {
  CLI::App* sub = app.add_subcommand(name, description);
  sub->add_option("TYPE", parsed.trans_type, "transaction type of the bill kind (1, 21, 71, 1000201, ...)")->required();
  if (with_bill) sub->add_option("BILL", parsed.bill, "internal id of the bill")->required();
  return sub;
}

void Define(CLI::App& app, Parsed& parsed) {
  app.description(
      "zetmovebill: calls the bill-navigation component clsMoveBill over an embedded SQLite database, as the host "
      "would.");
  app.footer(kFooter);
  app.fallthrough();
  app.add_option("--db", parsed.options.db, "database file (default zetmovebill.db in the current directory)")
      ->type_name("FILE");
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
  for (const char* name : {"--db", "--user", "--props", "--trace"})
    app.get_option(name)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

  CLI::App* init = app.add_subcommand("init", "create the schema (and the demo data) in --db");
  init->add_flag("--demo", parsed.demo, "fill in the demo data");
  init->add_flag("--force", parsed.force, "replace an existing file");
  init->callback([&] {
    parsed.command = [&](std::ostream& out, std::ostream&) {
      return RunInit(parsed.options, parsed.demo, parsed.force, out);
    };
  });

  CLI::App* call = app.add_subcommand("call", "call one public method of clsMoveBill exactly as the host would");
  call->add_option("METHOD", parsed.call.method, "the method's name")->required();
  call->add_option("ARG", parsed.call.args, std::string("its arguments: ") + kArgumentSyntax);
  call->add_flag("--toolbar", parsed.call.toolbar,
                 "pass a console toolbar as ABar (LoadRecentBills, SaveRecentBills) and print its visible tools");
  call->footer(CallFooter());
  call->callback([&] {
    parsed.command = [&](std::ostream& out, std::ostream& err) {
      return RunCall(parsed.options, parsed.call, out, err);
    };
  });

  for (const bool last : {false, true}) {
    CLI::App* sub = AddKind(
        app, last ? "last" : "first",
        last ? "the last bill of a kind the user may see" : "the first bill of a kind the user may see", parsed, false);
    sub->callback([&parsed, last] {
      parsed.command = [&parsed, last](std::ostream& out, std::ostream& err) {
        return RunFirstLast(parsed.options, ParseLong(parsed.trans_type, "TYPE"), last, out, err);
      };
    });
  }
  for (const bool next : {false, true}) {
    CLI::App* sub = AddKind(app, next ? "next" : "prev",
                            next ? "the next bill of a kind after BILL that the user may see"
                                 : "the previous bill of a kind before BILL that the user may see",
                            parsed, true);
    sub->footer(kDirectionFooter);
    sub->callback([&parsed, next] {
      parsed.command = [&parsed, next](std::ostream& out, std::ostream& err) {
        return RunStep(parsed.options, ParseLong(parsed.trans_type, "TYPE"), ParseLong(parsed.bill, "BILL"), next, out,
                       err);
      };
    });
  }
  AddKind(app, "check", "may the user open this bill? prints the reason when not", parsed, true)->callback([&] {
    parsed.command = [&](std::ostream& out, std::ostream& err) {
      return RunCheck(parsed.options, ParseLong(parsed.trans_type, "TYPE"), ParseLong(parsed.bill, "BILL"), out, err);
    };
  });
  app.add_subcommand("todo", "the nine to-do counts of the desktop, with what each counts")->callback([&] {
    parsed.command = [&](std::ostream& out, std::ostream& err) { return RunTodo(parsed.options, out, err); };
  });
  AddKind(app, "open", "record that the user opened a bill (checked first) and show the refreshed menu", parsed, true)
      ->callback([&] {
        parsed.command = [&](std::ostream& out, std::ostream& err) {
          return RunOpen(parsed.options, ParseLong(parsed.trans_type, "TYPE"), ParseLong(parsed.bill, "BILL"), out,
                         err);
        };
      });
  AddKind(app, "recent", "the recent-bills menu of the kind's family", parsed, false)->callback([&] {
    parsed.command = [&](std::ostream& out, std::ostream& err) {
      return RunRecent(parsed.options, ParseLong(parsed.trans_type, "TYPE"), out, err);
    };
  });
  CLI::App* why = AddKind(app, "why", "why the user may or may not open a bill, piece by piece", parsed, true);
  why->add_flag("--sql", parsed.sql, "show the statements sent for each piece");
  why->callback([&] {
    parsed.command = [&](std::ostream& out, std::ostream& err) {
      return RunWhy(parsed.options, ParseLong(parsed.trans_type, "TYPE"), ParseLong(parsed.bill, "BILL"), parsed.sql, out, err);
    };
  });
  CLI::App* why_todo =
      app.add_subcommand("why-todo", "the access check, alarm days and count behind one to-do position");
  why_todo->add_option("POSITION", parsed.position, "the position, 1 to 9")->required();
  why_todo->add_flag("--sql", parsed.sql, "show the statements sent");
  why_todo->callback([&] {
    parsed.command = [&](std::ostream& out, std::ostream& err) {
      return RunWhyToDo(parsed.options, ParseLong(parsed.position, "POSITION"), parsed.sql, out, err);
    };
  });
  app.add_subcommand("batch",
                     "one call per line of standard input (a JSON object: method, args, toolbar, user or props), "
                     "one JSON line out each, as call --json prints it; one connection for all")
      ->callback([&] {
        parsed.command = [&](std::ostream& out, std::ostream& err) {
          return RunBatch(parsed.options, std::cin, out, err);
        };
      });
  app.add_subcommand("demo", "create the demo database at --db when there is none and take a short tour")
      ->callback([&] {
        parsed.command = [&](std::ostream& out, std::ostream& err) { return RunDemo(parsed.options, out, err); };
      });
  // Set after the commands so that they do not inherit it: what no command
  // takes falls through to here, and is named in the error rather than in
  // CLI11's generic complaint.
  app.allow_extras();
}

int Usage(std::ostream& err, const std::string& what, bool point_to_help = true) {
  err << "zetmovebill: " << OneLine(what) << (point_to_help ? " (see zetmovebill --help)" : "") << '\n';
  return kExitUsage;
}

int RunParsed(int argc, const char* const* argv, std::ostream& out, std::ostream& err) noexcept {
  try {
    CLI::App app{"", "zetmovebill"};
    Parsed parsed;
    Define(app, parsed);
    try {
      app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
      return app.exit(e, out, err);
    } catch (const CLI::CallForAllHelp& e) {
      return app.exit(e, out, err);
    } catch (const CLI::ParseError& e) {
      return Usage(err, e.what());
    }
    const std::vector<std::string> strays = app.remaining();
    if (!strays.empty()) {
      const std::string& first = strays.front();
      if (parsed.command || first.rfind('-', 0) == 0) return Usage(err, "unexpected argument '" + first + "'");
      return Usage(err, "unknown command '" + first + "'");
    }
    if (!parsed.command) return Usage(err, "no command given");
    // A user id is a number: the component puts it into its statements as
    // it stands.
    if (parsed.options.user) parsed.options.user = std::to_string(ParseLong(*parsed.options.user, "--user"));
    return parsed.command(out, err);
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
  if (out) return status;
  err << "zetmovebill: cannot write standard output: " << (errno ? std::strerror(errno) : "write failed") << '\n';
  return kExitOutput;
}

}  // namespace zet::cli
