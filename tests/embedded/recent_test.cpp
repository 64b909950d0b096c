// The recent-bills batch of several editors at once, on one connection or
// two: each batch runs whole, so places 1 to 20 stay taken once each by the
// last twenty bills recorded.
#include <set>
#include <thread>

#include "support/embedded_host.hpp"
#include "support/method_case.hpp"

namespace zet::embedded::testing {
namespace {

void RecordConcurrently(const std::vector<EmbeddedPlatform*>& platforms) {
  std::vector<std::thread> threads;
  for (int32_t t = 0; t < 4; ++t)
    threads.emplace_back([platform = platforms[static_cast<size_t>(t) % platforms.size()], t] {
      for (int32_t i = 0; i < 15; ++i) {
        ObjectRef no_bar;
        clsMoveBill(*platform).SaveRecentBills(101 + t * 15 + i, 1, no_bar);
      }
    });
  for (std::thread& thread : threads) thread.join();
}

void ExpectAWholeList(Host& host) {
  const ResultSet list = host.db().Query("SELECT FNo, FBillID FROM ICClassRecentBills ORDER BY FNo");
  ASSERT_EQ(list.rows.size(), 20u);
  std::set<int32_t> bills;
  for (size_t i = 0; i < list.rows.size(); ++i) {
    EXPECT_EQ(CLng(list.rows[i][0]), static_cast<int32_t>(i) + 1);
    bills.insert(CLng(list.rows[i][1]));
  }
  EXPECT_EQ(bills.size(), 20u);
}

TEST(RecentBatch, ThreadsOnOneOrTwoConnectionsKeepTheListWhole) {
  Host host(false, "UserID=25;");
  RecordConcurrently({&host.platform()});
  ExpectAWholeList(host);
  std::unique_ptr<EmbeddedPlatform> other = EmbeddedPlatform::Open(host.path(), "UserID=25;");
  other->SetMessageSink([&](std::string_view text) { host.messages.emplace_back(text); });
  RecordConcurrently({&host.platform(), other.get()});
  ExpectAWholeList(host);
  EXPECT_EQ(host.messages, std::vector<std::string>{});
}

}  // namespace
}  // namespace zet::embedded::testing
