// Editors recording bills at once, each on a connection of its own: the
// batch that shifts the list and puts the new bill first must not interleave
// with another's, or two bills share a place and one place stays empty; nor
// may an editor give up on a database that is busy for a moment.
#include <gtest/gtest.h>

#include <atomic>
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

// One editor on a connection of its own: waits for the others, then records
// its bills for `user`. False when the component showed a message.
bool Edit(const std::string& path, int32_t user, int32_t editor, std::latch& start) {
  const auto platform = EmbeddedPlatform::Open(path, "UserID=" + std::to_string(user) + ";");
  bool quiet = true;
  platform->SetMessageSink([&](std::string_view) { quiet = false; });
  start.arrive_and_wait();
  for (int32_t i = 0; i < kEach; ++i) {
    ObjectRef no_bar;
    clsMoveBill(*platform).SaveRecentBills(1000 + editor * kEach + i, 1, no_bar);
  }
  return quiet;
}

// Every round a user of its own: places 1 to 16 in order, holding the 16
// bills recorded, each once.
TEST(Concurrency, EightThreadsOnConnectionsOfTheirOwnKeepEveryPlace) {
  TempFile file;
  CreateDatabase(file.path(), false, false, kToday);
  std::vector<int32_t> expected_places;
  std::set<int32_t> expected_bills;
  for (int32_t i = 0; i < kEditors * kEach; ++i) expected_places.push_back(i + 1), expected_bills.insert(1000 + i);
  for (int32_t user = 1; user <= kRounds; ++user) {
    std::latch start(kEditors);
    std::atomic<int> quiet{0};
    std::vector<std::thread> threads;
    for (int32_t editor = 0; editor < kEditors; ++editor)
      threads.emplace_back([&, editor] { quiet += Edit(file.path(), user, editor, start); });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(quiet, kEditors);
    std::vector<int32_t> places;
    std::set<int32_t> bills;
    for (const auto& row : Database::Open(file.path())->Query(
             "SELECT FNo, FBillID FROM ICClassRecentBills WHERE FUserID=? AND FBigType=2 ORDER BY FNo",
             {Variant::Long(user)}).rows)
      places.push_back(CLng(row[0])), bills.insert(CLng(row[1]));
    EXPECT_EQ(places, expected_places) << "user " << user;
    EXPECT_EQ(bills, expected_bills) << "user " << user;
  }
}

}  // namespace
}  // namespace zet::embedded::testing
