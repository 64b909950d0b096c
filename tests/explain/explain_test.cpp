// The rights explainer on the demo database: its verdict is the method's for
// every user and bill, a disagreement is reported, and each explained case
// names the piece that decides.
#include "explain/explain.hpp"

#include <gmock/gmock.h>

#include <algorithm>

#include "host/error.hpp"
#include "navigation/navigation.hpp"
#include "pending/pending.hpp"
#include "support/embedded_host.hpp"

namespace zet::explain {
namespace {

using embedded::testing::Host;
using ::testing::HasSubstr;

std::vector<int32_t> Ids(Host& host, const std::string& sql) {
  std::vector<int32_t> ids;
  for (const auto& row : host.db().Query(sql).rows) ids.push_back(CLng(row.front()));
  return ids;
}

// Every user of the demo database (and one it does not know) over every bill
// of several kinds, and one bill that is not there: the explanation's verdict
// is CheckSearchBill's, asked apart from the explainer.
TEST(ExplainBill, AgreesWithCheckSearchBillForEveryDemoUserAndBill) {
  Host host(true);
  std::vector<int32_t> users = Ids(host, "SELECT FUserID FROM t_User");
  users.push_back(99);
  const std::pair<int32_t, const char*> kinds[] = {
      {1, "SELECT FInterID FROM ICStockBill"},     {21, "SELECT FInterID FROM ICStockBill"},
      {50, "SELECT FInterID FROM ICBom"},          {51, "SELECT FInterID FROM t_RP_CheckInfo"},
      {71, "SELECT FInterID FROM POOrder"},        {80, "SELECT FInterID FROM ICSale"},
      {85, "SELECT FInterID FROM ICMO"},           {1000201, "SELECT FBillID FROM t_RP_RBill"},
      {1000202, "SELECT FBillID FROM t_RP_PBill"}, {1125, "SELECT FVoucherID FROM t_Voucher"}};
  int walked = 0, refused = 0;
  for (const auto& [type, sql] : kinds) {
    std::vector<int32_t> bills = Ids(host, sql);
    bills.push_back(999999);
    for (int32_t user : users) {
      host.As(user);
      for (int32_t bill : bills) {
        const BillExplanation why = ExplainBill(host.platform(), type, bill);
        std::string info;
        const bool method = CheckSearchBill(host.platform(), type, bill, info);
        ASSERT_TRUE(why.Agrees()) << "user " << user << " kind " << type << " bill " << bill;
        ASSERT_EQ(why.may_open, method) << "user " << user << " kind " << type << " bill " << bill;
        ++walked;
        refused += method ? 0 : 1;
      }
    }
  }
  // Both answers occur often, so agreement is no accident of one answer.
  EXPECT_GT(refused, walked / 4);
  EXPECT_LT(refused, walked * 3 / 4);
}

// A host whose connection fails makes CheckSearchBill answer False while the
// pieces, read through another service, let the bill through: the
// explanation must not pass for true.
TEST(ExplainBill, ADisagreementWithTheMethodIsReported) {
  struct NoConnection : ForwardingPlatform {
    using ForwardingPlatform::ForwardingPlatform;
    void Watch(const std::string& prog_id, std::string_view, std::span<Argument>) override {
      if (prog_id == "ZetConnection.AppConnection") throw AutomationError(429, "no connection");
    }
  };
  Host host(true, "UserID=16394;");
  NoConnection broken(host.platform());
  const BillExplanation why = ExplainBill(broken, 1, 1002);
  EXPECT_TRUE(why.may_open);
  EXPECT_FALSE(why.method_may_open);
  EXPECT_FALSE(why.Agrees());
}

// One explained bill of the demo data (changed by `setup` where it lacks the
// case): the piece that decides, its verdict, and what its line must say.
struct ExplainedCase {
  const char* name;
  const char* setup;
  int32_t user, type, bill;
  bool may_open;
  const char* piece;
  Verdict verdict;
  const char* text;            // part of the piece's line
  const char* why;             // part of its reason
  const char* hint = nullptr;  // part of a hint, or none when there must be none
};

const ExplainedCase kCases[] = {
    {"MissingBill", "", 25, 1, 999, false, "bill", Verdict::Fail, "no bill 999 in ICStockBill", kBillDeletedMessage},
    {"MissingVoucher", "", 25, 1125, 999, false, "bill", Verdict::Fail, "t_Voucher", kVoucherDeletedMessage},
    {"Administrator", "", 16394, 1, 1002, true, "user", Verdict::Pass, "administrator", ""},
    {"OwnBillsOnly", "", 16, 1, 1002, false, "preparer", Verdict::Fail, "v1.FBillerID is 17",
     "not the user's own bill"},
    {"GroupsBills", "", 17, 1, 1001, true, "preparer", Verdict::Pass, "(16,17,25)", ""},
    {"OtherKindInTheSameTable", "", 16, 1, 1006, false, "kind", Verdict::Fail, "type 2, not 1", "several kinds"},
    {"PlainFormTextLacksTheUser", "", 25, 80, 8003, false, "customer", Verdict::Fail,
     "t2 (v1.FCustID = 3): t_Organization 3 C003 Fabrikam Stores, FRightUserID '29'", "does not contain 25"},
    {"PlainFormMissingRowHides",
     "INSERT INTO ICSale (FInterID, FTranType, FBillerID, FCustID) VALUES (8999, 80, 25, 99)", 25, 80, 8999, false,
     "customer", Verdict::Fail, "no such row in t_Organization", "the row is missing and this form hides the bill"},
    {"PlainFormAccount", "", 28, 1000202, 20201, false, "account", Verdict::Fail,
     "t7 (v1.FAcctID = 2202): t_Account 2202 2202 Payables, FRightUserID '30'", "does not contain 28"},
    {"NullTolerantMissingRowPasses", "", 29, 1, 1005, true, "customer", Verdict::Tolerated,
     "t1 (v1.FCustID = 0): no such row", "a bill without this row passes"},
    {"NullTolerantTextLacksTheUser", "", 29, 51, 5102, false, "customer", Verdict::Fail, "t3 (v1.FOutCustID = 4)",
     "does not contain 29"},
    {"StockExclusionLine", "", 27, 1, 1003, false, "stock line", Verdict::Fail,
     "line 1 (t3.FDCStockID): t_Stock 3 W03 Bonded store, FRightUserID '30'", "stock exclusion"},
    {"StockExclusionSecondColumn", "UPDATE ICStockBillEntry SET FSCStockID=3 WHERE FInterID=1001", 27, 1, 1001, false,
     "stock line", Verdict::Fail, "(t3.FSCStockID): t_Stock 3", ""},
    {"SubstringAccident",
     "INSERT INTO t_User VALUES (5, 'eve', 0, 1); "
     "UPDATE t_Organization SET FRightUserID='15' WHERE FItemID=3",
     5, 80, 8003, true, "customer", Verdict::Pass, "FRightUserID '15'", "", "'15' contains '5' inside another number"},
    {"NoUserRow", "", 99, 1, 1002, true, "user", Verdict::Info, "has no row in t_User",
     "shows its lookup's message (\"Either BOF or EOF"},
    {"UnknownKind", "", 16394, 999, 1002, false, "catalogue", Verdict::Info,
     "kind 999 is not in the catalogue; read as the default row", ""},
};

TEST(ExplainBill, NamesThePieceThatDecides) {
  for (const ExplainedCase& c : kCases) {
    SCOPED_TRACE(c.name);
    Host host(true);
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
    // The method's own message box, once: the explainer's reads show none.
    EXPECT_EQ(host.messages.size(), c.user == 99 ? 1u : 0u);
    ASSERT_EQ(why.hints.size(), c.hint ? 1u : 0u);
    for (const std::string& hint : why.hints) EXPECT_THAT(hint, HasSubstr(c.hint));
  }
}

// Every demo user at every position: the access reading is CheckToDoAccess's,
// a failed test leaves GetToDoThingCount's own count at 0, and the count shown
// is the method's, asked apart.
TEST(ExplainToDo, AgreesWithGetToDoThingCountForEveryDemoUserAndPosition) {
  Host host(true);
  int failing = 0;
  for (int32_t user : Ids(host, "SELECT FUserID FROM t_User")) {
    host.As(user);
    const ObjectRef counts = GetToDoThingCount(host.platform());
    ASSERT_TRUE(counts);
    for (int32_t position = 1; position <= 9; ++position) {
      const ToDoExplanation why = ExplainToDo(host.platform(), position);
      Argument args[] = {Argument::ByVal(Variant::Long(position))};
      ASSERT_TRUE(why.Agrees()) << "user " << user << " position " << position;
      EXPECT_EQ(why.count, CStr(counts->Call("Item", args))) << "user " << user << " position " << position;
      failing += why.passes ? 0 : 1;
    }
  }
  EXPECT_GT(failing, 20);
  EXPECT_LT(failing, 80);
}

// One test of a to-do position: the piece, its verdict, what its line says,
// and whether every test passes.
struct ToDoCase {
  const char* name;
  const char* setup;
  int32_t user, position;
  const char* piece;
  Verdict verdict;
  const char* text;
  bool passes;
};

// clang-format off
const ToDoCase kToDoCases[] = {
    {"NoCashierBit", "", 31, 9, "voucher bit", Verdict::Fail, "FAccessMask 17 = bits 0 and 4; bit 5 (32, the cashier's) required: not set", false},
    {"CheckerBit", "", 31, 8, "voucher bit", Verdict::Pass, "bit 0 (1, the checker's) required: set", true},
    {"OnlyAGroupRowOnTheVoucherObject",
     "UPDATE t_AccessControl SET FUserID=3 WHERE FUserID=28 AND FObjectType=4", 28, 8, "voucher bit", Verdict::Fail,
     "object (4, 0): no row of the user's own", false},
    {"AccountRights", "", 28, 9, "accounts", Verdict::Info, "FDataRight 8 = bit 3 (accounts); bit 3 (8) set", true},
    {"CashBeforePostOff", "UPDATE t_SystemProfile SET FValue='0' WHERE FKey='CashBeforePost'", 28, 9, "cashier",
     Verdict::Fail, "GL/CashBeforePost = 0", false},
    {"CashBeforePostMissingForAnAdministrator", "DELETE FROM t_SystemProfile WHERE FKey='CashBeforePost'", 16394, 9,
     "cashier", Verdict::Fail, "is not set", false},
    {"GroupPreparers", "", 31, 8, "preparer", Verdict::Info, "right 8 refused, right 16 granted", true},
    {"ToDoBitOnTheFirstRow", "", 25, 5, "access", Verdict::Pass, "FAccessMask 131073 = bits 0 and 17; bit 17 (131072, the to-do bit) required: set", true},
    {"ToDoBitMissing", "UPDATE t_AccessControl SET FAccessMask=1 WHERE FUserID=2 AND FObjectType=1090", 25, 4, "access",
     Verdict::Fail, "FAccessMask 1 = bit 0; bit 17 (131072, the to-do bit) required: not set", false},
};
// clang-format on

TEST(ExplainToDo, ShowsEveryTestTheCountDependsOn) {
  for (const ToDoCase& c : kToDoCases) {
    SCOPED_TRACE(c.name);
    Host host(true);
    if (*c.setup) host.Exec(c.setup);
    host.As(c.user);
    const ToDoExplanation why = ExplainToDo(host.platform(), c.position);
    ASSERT_FALSE(why.failure) << *why.failure;
    EXPECT_TRUE(why.Agrees());
    EXPECT_EQ(why.table == "t_Voucher", c.position >= 8);
    EXPECT_EQ(why.passes, c.passes);
    const auto step = std::find_if(why.steps.begin(), why.steps.end(), [&](const Step& s) {
      return s.piece == c.piece && s.text.find(c.text) != std::string::npos;
    });
    ASSERT_NE(step, why.steps.end()) << "no " << c.piece << " line with " << c.text;
    EXPECT_EQ(step->verdict, c.verdict);
  }
}

// Each user's answer is CheckSearchBill's, asked apart, and a refusal names
// the piece that fails.
TEST(WhoMayOpen, EachAnswerIsCheckSearchBillsForThatUser) {
  Host host(true);
  const auto log_on = [&](const std::string& props) { host.platform().SetProps(props); };
  for (const auto& [type, bill] : {std::pair{1, 1002}, {1, 1003}, {80, 8003}, {1000202, 20201}, {1, 999}}) {
    const std::vector<UserVerdict> users = WhoMayOpen(host.platform(), log_on, type, bill);
    ASSERT_EQ(users.size(), Ids(host, "SELECT FUserID FROM t_User").size());
    for (const UserVerdict& user : users) {
      host.As(user.user);
      std::string info;
      EXPECT_EQ(user.may_open, CheckSearchBill(host.platform(), type, bill, info)) << user.user << " " << bill;
      EXPECT_TRUE(user.agrees);
      EXPECT_EQ(user.piece.empty(), user.may_open) << user.user << " " << bill;
    }
  }
}

TEST(Words, BitsAndMeanings) {
  EXPECT_EQ(BitsOf(41), "bits 0, 3 and 5");
  EXPECT_EQ(BitsOf(0), "no bit");
  EXPECT_EQ(WithMeaning(kNoRightMessage), std::string(kNoRightMessage) +
                                              " (the bill holds base data you have no right to; please contact the "
                                              "system administrator)");
  EXPECT_EQ(WithMeaning("other"), "other");
}

}  // namespace
}  // namespace zet::explain
