// What the recent-bills statements keep in ICClassRecentBills: the order of
// places, families shared by several kinds, the names joined from the bill
// list, and editors recording at once.
#include <atomic>
#include <latch>
#include <thread>

#include "host/recordset.hpp"
#include "support/embedded_host.hpp"
#include "support/method_case.hpp"

namespace zet::embedded::testing {
namespace {

// A, B, A leaves A first and B second. Kinds of one family share their list,
// and a bill deleted from its table drops out of the list. (How the menu is
// filled from it is checked at the core.)
TEST(RecentBills, KeepPlacesInOrderPerFamily) {
  Host host(false, "UserID=25;");
  host.Exec(
      "INSERT INTO ICStockBill (FInterID, FTranType, FBillNo) VALUES (10, 1, 'A10'), (20, 1, 'B20'), (30, 5, 'C30');"
      "INSERT INTO POOrder (FInterID, FBillNo) VALUES (10, 'P10');");
  // The user's list of a family as "place:bill", in place order.
  const auto list = [&](int32_t family) {
    std::string out;
    for (const auto& row : host.db()
                               .Query("SELECT FNo || ':' || FBillID FROM ICClassRecentBills WHERE FUserID=25 "
                                      "AND FBigType=? ORDER BY FNo",
                                      {Variant::Long(family)})
                               .rows)
      out += CStr(row[0]) + " ";
    return out;
  };
  clsMoveBill bills(host.platform());
  ObjectRef none;
  bills.SaveRecentBills(10, 1, none);
  bills.SaveRecentBills(20, 1, none);
  bills.SaveRecentBills(10, 1, none);
  EXPECT_EQ(list(2), "1:10 2:20 ");
  bills.SaveRecentBills(10, 71, none);
  bills.SaveRecentBills(30, 5, none);
  host.Exec("DELETE FROM ICStockBill WHERE FInterID=20");
  std::string rows;
  for (Recordset rs(bills.LoadRecentBills(81, none)); !rs.Eof(); rs.MoveNext())
    rows += CStr(rs.Field("FNo")) + " " + CStr(rs.Field("FClassTypeID")) + " " + CStr(rs.Field("FBillNo")) + " " +
            CStr(rs.Field("FName")) + "; ";
  EXPECT_EQ(rows, "1 71 P10 Purchase order; 2 1 A10 Stock bill 1; ");
  EXPECT_EQ(list(0), "1:30 ");
  EXPECT_EQ(host.messages, std::vector<std::string>{});
}

// Editors recording bills at once, each on a connection of its own: one
// batch interleaved with another's leaves two bills in one place (about 4
// rounds in 10 with the race), and none may give up on a busy database.
TEST(RecentBills, EightEditorsAtOnceKeepEveryPlace) {
  constexpr int32_t kEditors = 8, kEach = 2;
  TempDir dir;
  CreateDatabase(dir.Path(), false, false, kToday);
  for (int32_t user = 1; user <= 20; ++user) {
    std::latch start(kEditors);
    std::atomic<int> quiet{0};
    std::vector<std::thread> threads;
    for (int32_t editor = 0; editor < kEditors; ++editor) {
      threads.emplace_back([&, editor] {
        const auto platform = EmbeddedPlatform::Open(dir.Path(), "UserID=" + std::to_string(user) + ";");
        bool shown = false;
        platform->SetMessageSink([&](std::string_view) { shown = true; });
        start.arrive_and_wait();
        ObjectRef no_bar;
        for (int32_t i = 0; i < kEach; ++i)
          clsMoveBill(*platform).SaveRecentBills(1000 + editor * kEach + i, 1, no_bar);
        quiet += shown ? 0 : 1;
      });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(quiet, kEditors);
    // Places 1 to 16, each once, holding bills 1000 to 1015, each once.
    const ResultSet places =
        Database::Open(dir.Path())
            ->Query(
                "SELECT count(*) || ' ' || count(DISTINCT FNo) || ' ' || min(FNo) || '-' || max(FNo) || ' ' || "
                "count(DISTINCT FBillID) || ' ' || min(FBillID) || '-' || max(FBillID) FROM ICClassRecentBills "
                "WHERE FUserID=? AND FBigType=2",
                {Variant::Long(user)});
    EXPECT_EQ(CStr(places.rows.at(0).at(0)), "16 16 1-16 16 1000-1015") << "user " << user;
  }
}

}  // namespace
}  // namespace zet::embedded::testing
