// The command line against bad and hostile input, a busy, read-only or
// size-limited database, another user sharing the file, and output that
// cannot be written.
#include <gmock/gmock.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/run_binary.hpp"

namespace zet::cli::testing {
namespace {

using ::testing::HasSubstr;

std::string As(int uid) {
  return "setpriv --reuid=" + std::to_string(uid) + " --regid=" + std::to_string(uid) + " --clear-groups";
}

// Each run on the demo database with a trace asked for. Bad input is one line
// on standard error and exit status 2, and writes nothing: no output, no trace.
TEST(Hardening, BadInputAndUnwritableOutputEachHaveOneLineAndTheirStatus) {
  Sandbox box;
  box.MakeDemo();
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* says;
    const char* out = "";
    bool traced = false;  // the database was opened before the input was found wanting
  };
  const Case cases[] = {
      {{}, 2, "no command given"},
      {{"frobnicate"}, 2, "unknown command 'frobnicate'"},
      {{"--bogus", "todo"}, 2, "unexpected argument '--bogus'"},
      {{"todo", "extra"}, 2, "unexpected argument 'extra'"},
      {{"call", "GetMaxMin", "1", "1"}, 2, "unknown method"},
      {{"call", "GetMaxMinInterID", "1"}, 2, "takes 2 arguments (lTransType lType), 1 given"},
      {{"call", "GetMaxMinInterID", "1", "s:abc"}, 2, "lType 's:abc' cannot be converted to Long: Type mismatch"},
      {{"call", "GetMaxMinInterID", "1", "2", "--toolbar"}, 2, "--toolbar applies to"},
      {{"call", "GetMaxMinInterID", "2147483648", "1"}, 2, "'2147483648': out of range for Long (-"},
      {{"next", "1"}, 2, "BILL is required"},
      {{"--user", "16394", "next", "1", "1\n2"}, 2, "bad BILL '1\\n2': expected a whole number"},
      {{"--user", "16394", "first", "0x10"}, 2, "bad TYPE '0x10': expected a whole number"},
      {{"--user", "16394", "first", "2147483648"}, 2, "'2147483648': out of range for Long (-2147483648 to"},
      {{"--user", "25 OR 1=1", "first", "1"}, 2, "bad --user '25 OR 1=1': expected a whole number"},
      {{"todo"}, 2, "no user is logged in: give one with --user ID", "", true},
      {{"--props", "Lang=1;", "recent", "1"}, 2, "no user is logged in", "", true},
      {{"--db", "missing.db", "todo"}, 2, "missing.db"},
      {{"--db", "x\ny.db", "--user", "1", "todo"}, 2, "no database file at x\\ny.db"},
      {{"call", "GetMaxMinInterID", "1", "1"}, 1, "message: "},  // the empty context goes through
      {{"--trace", "/dev/full", "--user", "16394", "first", "1"}, 5, "cannot write the trace to '/dev/full': No space"},
      {{"--user", "16394", "first", "1"}, 5, "cannot write standard output: No space left", "/dev/full"},
      {{"--help"}, 5, "cannot write standard output", "/dev/full"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--db", "demo.db", "--trace", "t.jsonl"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const RunResult run = box.Zet(args, "", c.out);
    SCOPED_TRACE(run.err);
    EXPECT_EQ(run.status, c.status);
    EXPECT_THAT(run.err, HasSubstr(c.says));
    if (c.status != 1) {
      EXPECT_EQ(Lines(run.err).size(), 1u);
    }
    if (c.status == 2) {
      EXPECT_EQ(run.out, "");
      EXPECT_EQ(std::filesystem::exists(box.Path("t.jsonl")), c.traced);
    }
    std::filesystem::remove(box.Path("t.jsonl"));
  }
  EXPECT_FALSE(std::filesystem::exists(box.Path("missing.db")));
  EXPECT_THAT(box.Zet({"next", "--help"}).out, HasSubstr("1000205, 1000206 and 1007000 get 2 and 3"));
}

// Another process that holds the database: reading it waits, then names the
// holder; `open` cannot record and says so instead of claiming the bill opened.
TEST(Hardening, ALockedDatabaseIsNamedWithItsHolderAndOpenIsNotClaimed) {
  Sandbox box;
  box.MakeDemo();
  const std::string pid = std::to_string(::getpid());
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(box.Path("demo.db").c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  RunResult run = box.Zet({"--db", "demo.db", "--user", "16394", "--json", "open", "1", "1001"});
  EXPECT_EQ(run.status, 4) << run.err;
  const nlohmann::json json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json.at("opened"), false);
  EXPECT_THAT(json.at("reason").get<std::string>(), HasSubstr("process " + pid + " holds the log's write lock"));
  sqlite3_exec(holder, "COMMIT; PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
  run = box.Zet({"--db", "demo.db", "--user", "16394", "first", "1"});
  EXPECT_EQ(run.status, 4);
  EXPECT_EQ(run.err,
            "zetmovebill: demo.db is locked: process " + pid +
                " holds an exclusive lock: it is writing the file, or keeps it to itself (gave up after 5 s)\n");
  sqlite3_close(holder);
}

TEST(Hardening, AFileSizeLimitIsReportedAndLeavesNoFile) {
  Sandbox box;
  const RunResult run = box.Zet({"--db", "demo.db", "init", "--demo"}, "ulimit -f 4 &&");
  EXPECT_EQ(run.status, 4);
  EXPECT_THAT(run.err, HasSubstr("demo.db would grow past the file-size limit of this process"));
  EXPECT_FALSE(std::filesystem::exists(box.Path("demo.db")));
}

// A journal mode chosen for the file stays: reading does not switch it.
TEST(Hardening, ReadingKeepsTheFilesJournalMode) {
  Sandbox box;
  box.MakeDemo();
  sqlite3* db = nullptr;
  sqlite3_open(box.Path("demo.db").c_str(), &db);
  sqlite3_exec(db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  EXPECT_EQ(box.Zet({"--db", "demo.db", "--user", "16394", "first", "1"}).status, 0);
  EXPECT_EQ(ReadFile(box.Path("demo.db")).substr(18, 2), std::string("\1\1"));  // 2, 2 in write-ahead-log mode
}

// Users who share a folder: one who may only read the file leaves nothing
// that stops its owner from writing, and is told why he cannot record.
TEST(Hardening, AReaderInASharedFolderLeavesNothingThatBlocksTheOwner) {
  if (::geteuid() != 0 || std::system("command -v setpriv >/dev/null") != 0)
    GTEST_SKIP() << "needs root and setpriv to act as two other users";
  Sandbox box;
  box.MakeDemo();
  std::filesystem::permissions(box.Path(""), std::filesystem::perms::all);
  ASSERT_EQ(::chown(box.Path("demo.db").c_str(), 65533, 65533), 0);
  auto with = [](std::vector<std::string> tail) {
    tail.insert(tail.begin(), {"--db", "demo.db", "--user", "16394"});
    return tail;
  };
  RunResult run = box.Zet(with({"first", "1"}), As(65534));
  EXPECT_EQ(run.out, "first bill of kind 1: 1001\n") << run.err;
  EXPECT_FALSE(std::filesystem::exists(box.Path("demo.db-shm")));
  run = box.Zet(with({"open", "1", "1001"}), As(65534));
  EXPECT_EQ(run.status, 4);
  EXPECT_EQ(run.out, "");
  EXPECT_THAT(run.err, HasSubstr("not opened: could not record it: demo.db is read-only for this user (uid 65534)"));
  run = box.Zet(with({"open", "1", "1001"}), As(65533));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("opened bill 1001 of kind 1"));
  run = box.Zet({"--db", "ro/new.db", "init"}, "mkdir ro && chmod 755 ro && " + As(65534));
  EXPECT_EQ(run.status, 4);
  EXPECT_THAT(run.err, HasSubstr("cannot create ro/new.db: its folder ro is not writable by this user (uid 65534)"));
}

}  // namespace
}  // namespace zet::cli::testing
