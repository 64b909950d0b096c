// The command line over ODBC: on the demo database, every command answers
// through SQLite's ODBC driver as it does on a twin file, and a connection
// that cannot be made or may not be used fails in one line.
#include <gmock/gmock.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "embedded/database.hpp"
#include "support/embedded_host.hpp"

namespace zet::odbc::testing {
namespace {

struct Outcome {
  int status;
  std::string out, err;
};

class Twins : public ::testing::Test {
 protected:
  Twins() {
    Zet("--db " + dir_.Path("file.db") + " init --demo");
    std::filesystem::copy_file(dir_.Path("file.db"), dir_.Path("odbc.db"));
  }

  Outcome Zet(const std::string& args, const std::string& env = "") const {
    const std::string command =
        env + " '" ZETMOVEBILL_EXE "' " + args + " >" + dir_.Path("out") + " 2>" + dir_.Path("err") + " </dev/null";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Read(dir_.Path("out")), Read(dir_.Path("err"))};
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  // Every row of every table, in a fixed order.
  std::vector<std::string> Dump(const std::string& name) const {
    const auto db = embedded::Database::Open(dir_.Path(name));
    std::vector<std::string> rows;
    for (const auto& table : db->Query("SELECT name FROM sqlite_master WHERE type='table'").rows) {
      for (const auto& row : db->Query("SELECT * FROM \"" + CStr(table[0]) + "\"").rows) {
        rows.push_back(CStr(table[0]));
        for (const Variant& value : row) rows.back() += "|" + (value.IsNull() ? "NULL" : CStr(value));
      }
    }
    std::sort(rows.begin(), rows.end());
    return rows;
  }
  std::string OverOdbc() const { return "--odbc 'DRIVER={SQLite3};Database=" + dir_.Path("odbc.db") + "'"; }

  embedded::testing::TempDir dir_;
};

TEST_F(Twins, EveryCommandAnswersAsOnTheFile) {
  const char* users[] = {"16394", "16", "17", "25", "30"};
  const char* commands[] = {"todo",          "first 1",          "last 21",
                            "next 1 1000",   "prev 71 1005",     "check 1 1001",
                            "check 21 1011", "recent 1",         "why 1 1001 --sql",
                            "why-todo 4",    "why-todo 9 --sql", "who 1 1003",
                            "open 1 1002",   "open 21 1010",     "call GetFirstInterID 1"};
  for (const char* user : users) {
    for (const char* command : commands) {
      for (const char* json : {"", " --json"}) {
        const std::string args = std::string("--user ") + user + json + " " + command;
        const Outcome file = Zet("--db " + dir_.Path("file.db") + " " + args);
        const Outcome odbc = Zet(OverOdbc() + " " + args);
        EXPECT_EQ(odbc.status, file.status) << args;
        EXPECT_EQ(odbc.out, file.out) << args;
        EXPECT_EQ(odbc.err, file.err) << args;
      }
    }
  }
  EXPECT_EQ(Dump("odbc.db"), Dump("file.db"));
}

TEST_F(Twins, WhatCannotRunOverOdbcFailsInOneLine) {
  const std::string unreachable = "--odbc 'DRIVER={FreeTDS};Server=127.0.0.1;Port=1;Database=zet;UID=sa' todo";
  std::filesystem::copy_file(dir_.Path("odbc.db"), dir_.Path("old.db"));
  embedded::Database::Open(dir_.Path("old.db"))->Execute("UPDATE t_ZetSchemaInfo SET FVersion=3");
  const std::string old = "--odbc 'DRIVER={SQLite3};Database=" + dir_.Path("old.db") + "' --user 1 todo";
  std::ofstream(dir_.Path("noise.db")) << std::string(4096, 'x');
  std::ofstream{dir_.Path("empty.db")};
  std::filesystem::copy_file(dir_.Path("odbc.db"), dir_.Path("torn.db"));  // t_User's first page scribbled over
  const auto users =
      embedded::Database::Open(dir_.Path("odbc.db"))->Query("SELECT rootpage FROM sqlite_master WHERE name='t_User'");
  std::fstream(dir_.Path("torn.db"), std::ios::in | std::ios::out | std::ios::binary)
          .seekp((CLng(users.rows.at(0).at(0)) - 1) * 4096)
      << std::string(4096, '\x7f');
  const std::string torn = "DRIVER={SQLite3};Database=" + dir_.Path("torn.db");
  const std::string noise = "DRIVER={SQLite3};Database=" + dir_.Path("noise.db");
  // A driver manager that will not load: one that is no library, found first.
  std::filesystem::create_directory(dir_.Path("lib"));
  std::ofstream(dir_.Path("lib/libodbc.so.2")) << "no library";
  // clang-format off
  const struct { std::string args, env; int status; std::string says; } cases[] = {
      {OverOdbc() + " init --demo",                        "", 2, "init works on a database file (--db) only"},
      {OverOdbc() + " demo",                               "", 2, "demo works on a database file (--db) only"},
      {OverOdbc() + " verify",                             "", 2, "verify works on a database file (--db) only"},
      {"--odbc 'DSN=x;Pwd={s3cret}' todo",                 "", 2, "the connection string names a password"},
      {old,                                                "", 2, "DRIVER={SQLite3};Database=" + dir_.Path("old.db") + " has schema version 3"},
      {"--odbc '" + noise + "' --user 1 todo",             "", 2, noise + " cannot be read through ODBC: "},
      // The driver makes a file for a path that names none; one made so goes again, one found empty stays.
      {"--odbc 'DRIVER={SQLite3};Database=" + dir_.Path("none.db") + "' todo", "", 2, "no database file at " + dir_.Path("none.db") + " (SQLite's"},
      {"--odbc 'DRIVER={SQLite3};Database=" + dir_.Path("empty.db") + "' todo", "", 2, dir_.Path("empty.db") + " holds no tables"},
      {"--odbc '" + torn + "' who 1 1003",                "", 4, torn + " is damaged: [SQLite]database disk image is malformed"},
      {"--odbc '' todo",                                   "", 2, "--odbc names no connection"},
      {"--odbc 'DSN=zet-no-such-dsn' todo",                "", 4, "cannot connect through ODBC: SQLSTATE IM002: "},
      {unreachable, "ZETMOVEBILL_ODBC_PASSWORD='s3cret'",      4, "cannot connect through ODBC: SQLSTATE 08"},
      {OverOdbc() + " --user 1 todo", "LD_LIBRARY_PATH=" + dir_.Path("lib"), 4,
       "cannot connect through ODBC: the ODBC driver manager (libodbc.so.2, unixODBC) cannot be loaded: "},
  };
  // clang-format on
  for (const auto& c : cases) {
    const Outcome run = Zet(c.args, c.env);
    EXPECT_EQ(run.status, c.status) << c.args;
    EXPECT_THAT(run.err, ::testing::StartsWith("zetmovebill: " + c.says)) << c.args;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_THAT(run.err, ::testing::Not(::testing::HasSubstr("s3cret")));
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.Path("none.db")));
  EXPECT_TRUE(std::filesystem::exists(dir_.Path("empty.db")));
  // The tool alone, without the twin that runs it over ODBC where it has one.
  std::filesystem::create_directory(dir_.Path("lone"));
  std::filesystem::copy_file(ZETMOVEBILL_EXE, dir_.Path("lone/zetmovebill"));
  const int raw = std::system(("'" + dir_.Path("lone/zetmovebill") +
                               "' --odbc 'DSN=zet-no-such-dsn' todo >/dev/null 2>" + dir_.Path("err") + " </dev/null")
                                  .c_str());
  EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 4);
  const std::string err = Read(dir_.Path("err"));
  EXPECT_THAT(err, ::testing::StartsWith("zetmovebill: cannot connect through ODBC: "));
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

}  // namespace
}  // namespace zet::odbc::testing
