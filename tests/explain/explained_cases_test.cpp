#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "support/embedded_host.hpp"
#include "explain/explain.hpp"
#include "navigation/navigation.hpp"
#include "support/method_case.hpp"

namespace zet::explain {
namespace {

using ::testing::HasSubstr;

// One explained bill of the demo data (changed by `setup` where it lacks the
// case): the piece that decides, its verdict, and what its line must say.
struct ExplainedCase {
  const char* name;
  const char* setup;
  int32_t user, type, bill;
  bool may_open;
  const char* piece;
  Verdict verdict;
  const char* text;  // part of the piece's line
  const char* why;   // part of its reason
  const char* hint;  // part of a hint, or nullptr when there must be none
};

class ExplainedCaseTest : public ::testing::TestWithParam<ExplainedCase> {};

TEST_P(ExplainedCaseTest, NamesThePieceThatDecides) {
  const ExplainedCase& c = GetParam();
  embedded::testing::Host host(true);
  if (*c.setup) host.Exec(c.setup);
  host.As(c.user);
  const BillExplanation why = ExplainBill(host.platform(), c.type, c.bill);
  ASSERT_FALSE(why.failure) << *why.failure;
  EXPECT_TRUE(why.Agrees());
  EXPECT_EQ(why.may_open, c.may_open);
  const auto step = std::find_if(why.steps.begin(), why.steps.end(), [&](const Step& s) {
    return s.piece == c.piece && s.text.find(c.text) != std::string::npos;
  });
  ASSERT_NE(step, why.steps.end()) << "no " << c.piece << " line with " << c.text;
  EXPECT_EQ(step->verdict, c.verdict);
  EXPECT_THAT(step->why, HasSubstr(c.why));
  if (c.hint) {
    ASSERT_EQ(why.hints.size(), 1u);
    EXPECT_THAT(why.hints[0], HasSubstr(c.hint));
  } else {
    EXPECT_TRUE(why.hints.empty()) << why.hints.front();
  }
}

constexpr const char* kNoRow = "the row is missing and this form hides the bill";

INSTANTIATE_TEST_SUITE_P(
    ExplainBill, ExplainedCaseTest,
    ::testing::Values(
        ExplainedCase{"MissingBill", "", 25, 1, 999, false, "bill", Verdict::Fail, "no bill 999 in ICStockBill",
                      kBillDeletedMessage, nullptr},
        ExplainedCase{"MissingVoucher", "", 25, 1125, 999, false, "bill", Verdict::Fail, "t_Voucher",
                      kVoucherDeletedMessage, nullptr},
        ExplainedCase{"Administrator", "", 16394, 1, 1002, true, "user", Verdict::Pass, "administrator", "", nullptr},
        ExplainedCase{"OwnBillsOnly", "", 16, 1, 1002, false, "preparer", Verdict::Fail, "v1.FBillerID is 17",
                      "not the user's own bill", nullptr},
        ExplainedCase{"GroupsBills", "", 17, 1, 1001, true, "preparer", Verdict::Pass, "(16,17,25)", "", nullptr},
        ExplainedCase{"OtherKindInTheSameTable", "", 16, 1, 1006, false, "kind", Verdict::Fail, "type 2, not 1",
                      "several kinds", nullptr},
        ExplainedCase{"PlainFormTextLacksTheUser", "", 25, 80, 8003, false, "customer", Verdict::Fail,
                      "t2 (v1.FCustID = 3): t_Organization 3 C003 Fabrikam Stores, FRightUserID '29'",
                      "does not contain 25", nullptr},
        ExplainedCase{"PlainFormMissingRowHides",
                      "INSERT INTO ICSale (FInterID, FTranType, FBillerID, FCustID) VALUES (8999, 80, 25, 99)", 25,
                      80, 8999, false, "customer", Verdict::Fail, "no such row in t_Organization", kNoRow, nullptr},
        ExplainedCase{"PlainFormAccount", "", 28, 1000202, 20201, false, "account", Verdict::Fail,
                      "t7 (v1.FAcctID = 2202): t_Account 2202 2202 Payables, FRightUserID '30'", "does not contain 28",
                      nullptr},
        ExplainedCase{"NullTolerantMissingRowPasses", "", 29, 1, 1005, true, "customer", Verdict::Tolerated,
                      "t1 (v1.FCustID = 0): no such row", "a bill without this row passes", nullptr},
        ExplainedCase{"NullTolerantTextLacksTheUser", "", 29, 51, 5102, false, "customer", Verdict::Fail,
                      "t3 (v1.FOutCustID = 4)", "does not contain 29", nullptr},
        ExplainedCase{"StockExclusionLine", "", 27, 1, 1003, false, "stock line", Verdict::Fail,
                      "line 1 (t3.FDCStockID): t_Stock 3 W03 Bonded store, FRightUserID '30'", "stock exclusion",
                      nullptr},
        ExplainedCase{"StockExclusionSecondColumn", "UPDATE ICStockBillEntry SET FSCStockID=3 WHERE FInterID=1001",
                      27, 1, 1001, false, "stock line", Verdict::Fail, "(t3.FSCStockID): t_Stock 3", "", nullptr},
        ExplainedCase{"SubstringAccident",
                      "INSERT INTO t_User VALUES (5, 'eve', 0, 1); "
                      "UPDATE t_Organization SET FRightUserID='15' WHERE FItemID=3",
                      5, 80, 8003, true, "customer", Verdict::Pass, "FRightUserID '15'", "",
                      "'15' contains '5' inside another number"}),
    zet::testing::CaseName());

}  // namespace
}  // namespace zet::explain
