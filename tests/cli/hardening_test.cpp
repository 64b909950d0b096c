// The command line against hostile input, a busy, read-only or size-limited
// database, another user sharing the file, and output that cannot be written.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/run_binary.hpp"

namespace zet::cli::testing {
namespace {

using ::testing::HasSubstr;

// The binary run through a shell `prefix` (a ulimit, another user), with
// standard output to `out` (a file of the sandbox unless given).
RunResult ZetVia(const Sandbox& box, const std::string& prefix, const std::vector<std::string>& args,
                 std::string out = "") {
  if (out.empty()) out = box.Path(".out").string();
  std::string command = "cd " + Quote(box.Path("").string()) + " && " + prefix + " " + Quote(ZETMOVEBILL_EXE);
  for (const std::string& arg : args) command += " " + Quote(arg);
  const int raw = std::system((command + " >" + Quote(out) + " 2>" + Quote(box.Path(".err").string())).c_str());
  RunResult run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(box.Path(".out")), ReadFile(box.Path(".err"))};
  std::filesystem::remove(box.Path(".out"));
  return run;
}

std::string As(int uid) {
  return "setpriv --reuid=" + std::to_string(uid) + " --regid=" + std::to_string(uid) + " --clear-groups";
}

TEST(Hardening, BadInputAndUnwritableOutputEachHaveOneLineAndTheirStatus) {
  Sandbox box;
  box.MakeDemo();
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* says;
    const char* out = "";
  };
  const Case cases[] = {
      {{"--user", "16394", "first", "0x10"}, 2, "bad TYPE '0x10': expected a whole number"},
      {{"--user", "16394", "next", "1", "1\n2"}, 2, "bad BILL '1\\n2': expected a whole number"},
      {{"--user", "25 OR 1=1", "first", "1"}, 2, "bad --user '25 OR 1=1': expected a whole number"},
      {{"--user", "16394", "first", "2147483648"}, 2, "'2147483648': out of range for Long (-2147483648 to"},
      {{"--user", "16394", "call", "GetMaxMinInterID", "2147483648", "1"}, 2, "'2147483648': out of range for Long (-"},
      {{"todo"}, 2, "no user is logged in: give one with --user ID"},
      {{"--props", "Lang=1;", "recent", "1"}, 2, "no user is logged in"},
      {{"call", "GetMaxMinInterID", "1", "1"}, 1, "message: "},  // the empty context goes through
      {{"--db", "x\ny.db", "--user", "1", "todo"}, 2, "no database file at x\\ny.db"},
      {{"--trace", "/dev/full", "--user", "16394", "first", "1"}, 5, "cannot write the trace to '/dev/full': No space"},
      {{"--user", "16394", "first", "1"}, 5, "cannot write standard output: No space left", "/dev/full"},
      {{"--help"}, 5, "cannot write standard output", "/dev/full"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--db", "demo.db"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const RunResult run = ZetVia(box, "", args, c.out);
    SCOPED_TRACE(run.err);
    EXPECT_EQ(run.status, c.status);
    EXPECT_THAT(run.err, HasSubstr(c.says));
    if (c.status != 1) {
      EXPECT_EQ(Lines(run.err).size(), 1u);
    }
  }
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
  const RunResult run = ZetVia(box, "ulimit -f 4 &&", {"--db", "demo.db", "init", "--demo"});
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
  const std::vector<std::string> user = {"--db", "demo.db", "--user", "16394"};
  auto with = [&](std::vector<std::string> tail) {
    tail.insert(tail.begin(), user.begin(), user.end());
    return tail;
  };
  RunResult run = ZetVia(box, As(65534), with({"first", "1"}));
  EXPECT_EQ(run.out, "first bill of kind 1: 1001\n") << run.err;
  EXPECT_FALSE(std::filesystem::exists(box.Path("demo.db-shm")));
  run = ZetVia(box, As(65534), with({"open", "1", "1001"}));
  EXPECT_EQ(run.status, 4);
  EXPECT_EQ(run.out, "");
  EXPECT_THAT(run.err, HasSubstr("not opened: could not record it: demo.db is read-only for this user (uid 65534)"));
  run = ZetVia(box, As(65533), with({"open", "1", "1001"}));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("opened bill 1001 of kind 1"));
  run = ZetVia(box, "mkdir ro && chmod 755 ro && " + As(65534), {"--db", "ro/new.db", "init"});
  EXPECT_EQ(run.status, 4);
  EXPECT_THAT(run.err, HasSubstr("cannot create ro/new.db: its folder ro is not writable by this user (uid 65534)"));
}

}  // namespace
}  // namespace zet::cli::testing
