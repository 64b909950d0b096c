// What the navigation statements mean on a database: for an administrator
// and users of every rights scope, against bills inserted here, each user's
// visible bills worked out from the data by hand.
#include "navigation/navigation.hpp"
#include "support/embedded_host.hpp"
#include "support/method_case.hpp"

namespace zet::embedded::testing {
namespace {

// Base data: the first row of each table is visible to the restricted user
// of its kind (and to 30), the second to nobody.
constexpr const char* kData = R"sql(
INSERT INTO t_User (FUserID, FName, FUserGroupRight, FDataRight) VALUES
  (100, 'admin, restricted on paper', 2, 15), (16, 'own bills', 2, 0), (17, 'group bills', 1, 0),
  (18, 'group bills, no group', 1, 0), (25, 'customers', 0, 1), (26, 'suppliers', 0, 2), (27, 'stocks', 0, 4),
  (28, 'accounts', 0, 8), (29, 'unrestricted', 0, 0), (30, 'own bills, customers and suppliers', 2, 3);
INSERT INTO t_Group (FUserID, FGroupID) VALUES (100, 1), (16, 5), (17, 5);
INSERT INTO t_Organization (FItemID, FName, FRightUserID) VALUES (1, 'c1', '25,30'), (2, 'c2', '');
INSERT INTO t_supplier (FItemID, FName, FRightUserID) VALUES (1, 's1', '26,30'), (2, 's2', '');
INSERT INTO t_Stock (FItemID, FName, FRightUserID) VALUES (1, 'w1', '27'), (2, 'w2', '');
INSERT INTO t_Account (FAccountID, FName, FRightUserID) VALUES (1, 'a1', '28'), (2, 'a2', '');

INSERT INTO ICStockBill (FInterID, FTranType, FBillNo, FBillerID, FCustID, FSupplyID) VALUES
  (10, 1, 'B10', 16, 1, 1), (20, 1, 'B20', 17, 2, 0), (30, 2, 'B30', 16, 0, 0), (40, 1, 'B40', 18, 1, 1),
  (50, 1, 'B50', 16, 0, 2), (60, 1, 'B60', 100, 0, 0), (70, 1, 'B70', 30, 1, 1);
INSERT INTO ICStockBillEntry (FInterID, FEntryID, FDCStockID, FSCStockID) VALUES
  (10, 1, 1, 0), (40, 1, 0, 2), (40, 2, 1, 0);

INSERT INTO t_RP_RBill (FBillID, FBillNo, FPreparer, FCustomerID, FAcctID) VALUES
  (5, 'R5', 16, 1, 1), (6, 'R6', 17, 2, 1), (7, 'R7', 25, 1, 2), (8, 'R8', 16, 0, 0);
)sql";

struct Scope {
  const char* name;
  int32_t user, trans_type;
  int32_t previous, next;        // the direction codes of the kind
  std::vector<int32_t> visible;  // in id order
  std::vector<int32_t> others;   // bills of the table the user may not see
};

class Navigation : public ::testing::TestWithParam<Scope> {};

TEST_P(Navigation, StepsThroughAndChecksExactlyTheVisibleBills) {
  const Scope& s = GetParam();
  Host host;
  host.Exec(kData);
  host.As(s.user);
  clsMoveBill bill(host.platform());
  const int32_t first = s.visible.empty() ? 0 : s.visible.front();
  const int32_t last = s.visible.empty() ? 0 : s.visible.back();

  EXPECT_EQ(bill.GetMaxMinInterID(s.trans_type, 1), first);
  EXPECT_EQ(bill.GetMaxMinInterID(s.trans_type, 2), last);
  // From a new bill: back to the last one; forward to nothing.
  EXPECT_EQ(bill.GetMoveInterID(Variant(), s.previous, s.trans_type), last);
  EXPECT_EQ(bill.GetMoveInterID(Variant::Long(0), s.next, s.trans_type), 0);

  for (size_t i = 0; i < s.visible.size(); ++i) {
    const Variant here = Variant::Long(s.visible[i]);
    const int32_t after = i + 1 < s.visible.size() ? s.visible[i + 1] : s.visible[i];
    const int32_t before = i > 0 ? s.visible[i - 1] : s.visible[i];
    EXPECT_EQ(bill.GetMoveInterID(here, s.next, s.trans_type), after) << "next of " << s.visible[i];
    EXPECT_EQ(bill.GetMoveInterID(here, s.previous, s.trans_type), before) << "previous of " << s.visible[i];
  }

  for (const auto& [ids, may] : {std::pair{s.visible, true}, {s.others, false}}) {
    for (int32_t id : ids) {
      std::string info = "kept";
      EXPECT_EQ(bill.CheckSearchBill(s.trans_type, id, info), may) << id;
      EXPECT_EQ(info, may ? "kept" : kNoRightMessage) << id;
    }
  }
  EXPECT_TRUE(host.messages.empty()) << host.messages.front();
}

// Stock bills: type 1, with bill 30 of type 2 in the same table. The
// administrator's t_User row restricts him, but group 1 overrides it.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    StockBills, Navigation,
    ::testing::Values(Scope{"Administrator", 100, 1, 1, 2, {10, 20, 40, 50, 60, 70}, {}},
                      Scope{"Unrestricted", 29, 1, 1, 2, {10, 20, 40, 50, 60, 70}, {30}},
                      Scope{"OwnBills", 16, 1, 1, 2, {10, 50}, {20, 30, 40, 60, 70}},
                      Scope{"GroupBills", 17, 1, 1, 2, {10, 20, 50}, {30, 40, 60, 70}},
                      Scope{"Customers", 25, 1, 1, 2, {10, 40, 50, 60, 70}, {20, 30}},
                      Scope{"Suppliers", 26, 1, 1, 2, {10, 20, 40, 60, 70}, {30, 50}},
                      Scope{"Stocks", 27, 1, 1, 2, {10, 20, 50, 60, 70}, {30, 40}},
                      Scope{"OwnBillsAndBaseData", 30, 1, 1, 2, {70}, {10, 20, 30, 40, 50, 60}}),
    zet::testing::CaseName());
// clang-format on

// Receipts: a kind whose previous and next are 2 and 3, with plain (not
// null-tolerant) customer and account conditions.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Receipts, Navigation,
                         ::testing::Values(Scope{"GroupBills", 17, 1000201, 2, 3, {5, 6, 8}, {7}},
                                           Scope{"NothingOfTheGroup", 18, 1000201, 2, 3, {}, {5, 6, 7, 8}},
                                           Scope{"CustomersHideBillsWithout", 25, 1000201, 2, 3, {5, 7}, {6, 8}},
                                           Scope{"Accounts", 28, 1000201, 2, 3, {5, 6}, {7, 8}}),
                         zet::testing::CaseName());
// clang-format on

}  // namespace
}  // namespace zet::embedded::testing
