// Editors recording bills at once, each on a connection of its own, in
// threads of one process and in processes of their own: the batch that
// shifts the list and puts the new bill first must not interleave with
// another's, or two bills share a place and one place stays empty.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <latch>
#include <set>
#include <thread>

#include "component/cls_move_bill.hpp"
#include "support/embedded_host.hpp"

namespace zet::embedded::testing {
namespace {

// 8 editors of 2 bills: every bill recorded keeps a place of the 20.
constexpr int32_t kEditors = 8;
constexpr int32_t kEach = 2;
constexpr int32_t kRounds = 20;  // with the race, about 4 rounds in 10 lose a place

// One editor on a connection of its own: waits for `go`, then records its
// bills for `user`. False when the component showed a message.
bool Edit(const std::string& path, int32_t user, int32_t editor, const std::function<void()>& go) {
  const auto platform = EmbeddedPlatform::Open(path, "UserID=" + std::to_string(user) + ";");
  bool quiet = true;
  platform->SetMessageSink([&](std::string_view) { quiet = false; });
  go();
  for (int32_t i = 0; i < kEach; ++i) {
    ObjectRef no_bar;
    clsMoveBill(*platform).SaveRecentBills(1000 + editor * kEach + i, 1, no_bar);
  }
  return quiet;
}

// Places 1 to 16 in order, holding the 16 bills recorded, each once.
void ExpectEveryPlace(const std::string& path, int32_t user) {
  const ResultSet list = Database::Open(path)->Query(
      "SELECT FNo, FBillID FROM ICClassRecentBills WHERE FUserID=? AND FBigType=2 ORDER BY FNo", {Variant::Long(user)});
  std::vector<int32_t> places, expected_places;
  std::set<int32_t> bills, expected_bills;
  for (const auto& row : list.rows) places.push_back(CLng(row[0])), bills.insert(CLng(row[1]));
  for (int32_t i = 0; i < kEditors * kEach; ++i) expected_places.push_back(i + 1), expected_bills.insert(1000 + i);
  EXPECT_EQ(places, expected_places) << "user " << user;
  EXPECT_EQ(bills, expected_bills) << "user " << user;
}

class Concurrency : public ::testing::Test {
 protected:
  void SetUp() override { CreateDatabase(path_, false, false, kToday); }
  TempFile file_;
  const std::string& path_ = file_.path();
};

TEST_F(Concurrency, EightThreadsOnConnectionsOfTheirOwnKeepEveryPlace) {
  for (int32_t user = 1; user <= kRounds; ++user) {
    std::latch start(kEditors);
    std::atomic<int> quiet{0};
    std::vector<std::thread> threads;
    for (int32_t editor = 0; editor < kEditors; ++editor)
      threads.emplace_back([&, editor] { quiet += Edit(path_, user, editor, [&] { start.arrive_and_wait(); }); });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(quiet, kEditors);
    ExpectEveryPlace(path_, user);
  }
}

TEST_F(Concurrency, EightProcessesKeepEveryPlace) {
  for (int32_t user = 1; user <= kRounds; ++user) {
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    std::vector<pid_t> children;
    for (int32_t editor = 0; editor < kEditors; ++editor) {
      const pid_t child = ::fork();
      if (child == 0) {
        ::close(go[1]);
        char byte = 0;
        ::_exit(Edit(path_, user, editor, [&] { (void)!::read(go[0], &byte, 1); }) ? 0 : 1);
      }
      children.push_back(child);
    }
    ::close(go[0]);
    (void)!::write(go[1], "GOGOGOGO", kEditors);
    ::close(go[1]);
    for (const pid_t child : children) {
      int status = -1;
      ::waitpid(child, &status, 0);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "an editor showed a message or failed";
    }
    ExpectEveryPlace(path_, user);
  }
}

}  // namespace
}  // namespace zet::embedded::testing
