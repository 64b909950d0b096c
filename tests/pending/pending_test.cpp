// The desktop's nine to-do counts: their statements with the alarm days,
// the access checks of a non-administrator, and the voucher counters.
#include "pending/pending.hpp"

#include "host/error.hpp"
#include "support/method_case.hpp"

namespace zet::testing {
namespace {

std::vector<std::string> Matching(const FakePlatform& host, const std::string& head) {
  std::vector<std::string> out;
  for (const std::string& sql : host.Statements())
    if (sql.find(head) != std::string::npos) out.push_back(sql);
  return out;
}
const std::string kWaiting = " and u1.FQty>u1.FStockQty and (v1.FStatus=1 or v1.FStatus=2) and v1.FCancellation=0 ";
const std::string kHook =
    " \r\n and v1.FHookInterID not in ( select FGroupNo From ICHookRelations Where FEquityHook=1 ) ";
std::string Money(const std::string& key, const std::string& type) {
  return " left join vw_BillRPMoney vrp on v1." + key + "=vrp.FInterID AND vrp.FTranType=" + type + " \r\n";
}
const std::string kGroupPreparers =
    " AND v1.FPreparerID IN (Select DISTINCT FUserID From t_Group Where FGroupID "
    "IN(Select FGroupID From t_Group Where FGroupID <> 0 And FUserID=25 ) ) ";

TEST(GetToDoThingCount, AnAdministratorCountsEveryPositionWithItsAlarmDays) {
  const auto script = [](FakePlatform& host) {
    host.Administrator();
    host.sys_values = {{"IC/PurchaseAlarmDateCount", Variant::String("7")},
                       {"IC/APAlarmDateCount", Variant::Long(5)},
                       {"IC/SaleAlarmDateCount", Variant::String("3")},
                       {"IC/ARAlarmDateCount", Variant::String("4")}};
    host.Answer("From POOrder", Scalar(Variant::Long(2)));
    host.Answer("From ICPurchase", Scalar(Variant::String("3")));
    host.Answer("From ICSale", Scalar(Variant::Double(5)));
    host.Answer("From t_RP_ROtherBill", Scalar(Variant::Long(6)));
    host.Answer("From t_RP_POtherBill", Scalar(Variant::Long(7)));
    host.Answer("FKey='CashBeforePost'", Scalar(Variant::String("1")));
    host.Answer("v1.FCheckerID=-1", Table{{"FVoucherID"}, {{Variant::Long(1)}, {Variant::Long(2)}}});
    host.Answer("v1.FCashierID=-1", Table{{"FVoucherID"}, {{Variant::Long(1)}}});
  };
  // clang-format off
  RunCase({"Administrator", script, [](clsMoveBill& b) { return Items(b.GetToDoThingCount()); },
           "I0 D2 D3 I0 D5 D6 D7 L2 L1", {
    " SELECT Count(distinct v1.FInterID) From POOrder v1 left join POOrderEntry u1 on v1.FInterID=u1.FInterID \r\n"
    " where 1=1 \r\n and datediff(day,getdate(),u1.FDate)<=7" + kWaiting,
    " SELECT Count(distinct v1.FInterID) From ICPurchase v1" + Money("FInterID", "75") + " where 1=1 \r\n"
    " and datediff(day,getdate(),v1.FPayDate)<=5 and v1.FStatus=1 and v1.FPOStyle<>251 and "
    "v1.FROB*(vrp.FRPAmountFor-v1.FPurchaseAmountFor)<0" + kHook,
    " SELECT Count(distinct v1.FInterID) From SEOrder v1 left join SEOrderEntry u1 on v1.FInterID=u1.FInterID \r\n"
    " where 1=1 \r\n and datediff(day,getdate(),u1.FDate)<=3" + kWaiting,
    " SELECT Count(distinct v1.FInterID) From ICSale v1" + Money("FInterID", "80") + " where 1=1 \r\n"
    " and datediff(day,getdate(),v1.FPayDate)<=4 and v1.FStatus=1 and v1.FSaleStyle<>100 and "
    "v1.FROB*(vrp.FRPAmountFor-v1.FInvoiceAmountFor)<0" + kHook,
    " SELECT Count(distinct v1.FBillID) From t_RP_ROtherBill v1" + Money("FBillID", "1000205") + " where 1=1 \r\n"
    " and datediff(day,getdate(),v1.FLimitDate)<=4 and v1.FStatus=1 and v1.FBillTypeID=1006 and "
    "ISNULL(vrp.FRPAmountFor,0)-v1.FAmountFor<0 ",
    " SELECT Count(distinct v1.FBillID) From t_RP_POtherBill v1" + Money("FBillID", "1000206") + " where 1=1 \r\n"
    " and datediff(day,getdate(),v1.FLimitDate)<=5 and v1.FStatus=1 and v1.FBillTypeID=1008 and "
    "ISNULL(vrp.FRPAmountFor,0)-v1.FAmountFor<0 ",
    " select * from t_Voucher v1 where v1.FCheckerID=-1 and v1.FPosted=0 ",
    " select FValue from t_SystemProfile where FCategory='GL' and FKey='CashBeforePost' ",
    " select * from t_Voucher v1 where v1.FCashierID=-1 and v1.FPosted=0 "}});
  // clang-format on
}

// Each position is granted by any row on its first access object and the
// to-do bit in the first row on its second; the user's rows and their groups' count.
std::vector<std::string> AccessAsked() {
  std::vector<std::string> want;
  // clang-format off
  for (const auto& [first, second] : std::vector<std::pair<std::string, std::string>>{
           {"1088 and FObjectID=2", "1089 and FObjectID=1"}, {"1088 and FObjectID=4", "1010 and FObjectID=1000202"},
           {"1088 and FObjectID=21", "1090 and FObjectID=1"}, {"1088 and FObjectID=23", "1010 and FObjectID=1000201"},
           {"1010 and FObjectID=1000205", "1010 and FObjectID=1000201"},
           {"1010 and FObjectID=1000206", "1010 and FObjectID=1000202"},
           {"4 and FObjectID=0", "0 and FObjectID=0"}, {"4 and FObjectID=0", "0 and FObjectID=0"}}) {
    // clang-format on
    const std::string holder = " AND (FUserID=25 OR FUserID in (Select FGroupID from t_Group where FUserID=25))";
    want.push_back("select 1 from t_AccessControl where FObjectType=" + first + holder);
    want.push_back("select FAccessMask from t_AccessControl where FObjectType=" + second + holder);
  }
  return want;
}

// A non-administrator: the access objects of every position, then in each
// count the preparer term and the rights filter, last.
TEST(GetToDoThingCount, RestrictsByScopeAndRights) {
  // clang-format off
  for (const auto& [group_right, data_right, position, want] :
       std::vector<std::tuple<int32_t, int32_t, size_t, std::string>>{
           {2, 0, 0, " where 1=1  and v1.FBillerID=25\r\n and datediff(day,getdate(),u1.FDate)<=0" + kWaiting},
           // One term for both alternatives, so that the conditions after it
           // restrict the user's own bills too.
           {1, 0, 0, " where 1=1  and (v1.FBillerID=25 OR v1.FBillerID in (16,17))\r\n"
                     " and datediff(day,getdate(),u1.FDate)<=0" + kWaiting},
           {0, 9, 4, " where 1=1 \r\n and datediff(day,getdate(),v1.FLimitDate)<=0 and v1.FStatus=1 and "
                     "v1.FBillTypeID=1006 and ISNULL(vrp.FRPAmountFor,0)-v1.FAmountFor<0 \r\n"
                     " and CharIndex('25',t2.FRightUserID)>0 \r\n and CharIndex('25',t7.FRightUserID)>0 \r\n"}}) {
    // clang-format on
    FakePlatform host;
    host.props = "UserID=25;";
    host.User(group_right, data_right);
    host.Answer("select 1 from t_AccessControl", Scalar(Variant::Long(1)));
    host.Answer("select FAccessMask from t_AccessControl", Scalar(Variant::Long(131072)));
    clsMoveBill(host).GetToDoThingCount();
    EXPECT_EQ(Matching(host, " from t_AccessControl "), AccessAsked());
    const std::string sql = Matching(host, " SELECT Count(distinct").at(position);
    EXPECT_EQ(sql.substr(sql.find(" where ")), want);
  }
}

TEST(GetToDoThingCount, GrantsAPositionByBothRows) {
  const Table kOne = Scalar(Variant::Long(1)), kNone{{"M"}, {}};
  // clang-format off
  for (const auto& [first, second, granted] : std::vector<std::tuple<Table, Table, bool>>{
           {kOne, Scalar(Variant::Long(0x3FFFF)), true}, {kOne, Scalar(Variant::Long(131071)), false},
           {kNone, Scalar(Variant::Long(131072)), false},
           // Only the first row of masks is read.
           {kOne, Table{{"M"}, {{Variant::Long(0)}, {Variant::Long(131072)}}}, false}}) {
    // clang-format on
    FakePlatform host;
    host.User(0, 0);
    host.Answer("FObjectType=1088 and FObjectID=2 ", first);
    host.Answer("FObjectType=1089 and FObjectID=1 ", second);
    host.Answer(" SELECT Count(", Scalar(Variant::Long(5)));
    EXPECT_EQ(Items(clsMoveBill(host).GetToDoThingCount()).substr(0, 6), granted ? "I0 D5 " : "I0 I0 ");
  }
}

struct VoucherCase {
  std::string name;
  int32_t mask, data_right;
  std::map<int32_t, int32_t> security_errors;
  std::string cash_before_post, counts;
  std::vector<std::string> statements;
};

class Vouchers : public ::testing::TestWithParam<VoucherCase> {};

TEST_P(Vouchers, CountForTheCheckerAndTheCashier) {
  const VoucherCase& c = GetParam();
  FakePlatform host;
  host.props = "UserID=25;";
  host.User(0, c.data_right);
  host.Answer("FObjectType=0 and FObjectID=0 ", Scalar(Variant::Long(131072)));
  host.Answer("select 1 from t_AccessControl where FObjectType=4 ", Scalar(Variant::Long(1)));
  host.Answer(" SELECT FAccessMask FROM t_AccessControl WHERE FObjectType=4 AND FObjectID=0 AND FUserID=25",
              Scalar(Variant::Long(c.mask)));
  host.Answer("CashBeforePost", Scalar(Variant::String(c.cash_before_post)));
  host.Answer(" select * from t_Voucher", Table{{"F"}, {{Variant::Long(1)}, {Variant::Long(2)}, {Variant::Long(3)}}});
  host.access_errors = c.security_errors;
  EXPECT_EQ(Items(clsMoveBill(host).GetToDoThingCount()).substr(21), c.counts);
  EXPECT_EQ(Matching(host, " select * from t_Voucher"), c.statements);
  EXPECT_TRUE(host.messages.empty());
  // The security service is asked about the journal; which rights, the
  // statements tell.
  for (const RecordedCall& call : host.calls)
    if (call.member == "AccessCheck") {
      EXPECT_EQ(CStr(call.args[1]) + " " + CStr(call.args[2]) + " " + CStr(call.args[4]) + " " + CStr(call.args[5]),
                "4 0 True ZetEBSGL.VoucherInfo.GetJournal");
    }
}

const std::string kChecker = " select * from t_Voucher v1 where v1.FCheckerID=-1 and v1.FPosted=0 ";
const std::string kCashier = " select * from t_Voucher v1 where v1.FCashierID=-1 and v1.FPosted=0 ";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Pending, Vouchers, ::testing::Values(
  VoucherCase{"CheckerOnlyWithAccountRights", 1, 8, {{8, err::kAccessDenied}}, "1", "L3 L0",
    {kChecker + " and v1.FVoucherID not in (Select t1.FVoucherID from t_VoucherEntry t1 left join t_Account t2 \r\n"
     " on t1.FAccountID=t2.FAccountID where CHARINDEX('25',t2.FRightUserID)=0) " + kGroupPreparers}},
  VoucherCase{"BothRefusedMeansOwn", 33, 7, {{8, err::kAccessDenied}, {16, err::kAccessDenied}}, "1", "L3 L3",
    {kChecker + " AND v1.FPreparerID=25", kCashier + " AND v1.FPreparerID=25"}},
  VoucherCase{"OnlyARefusalNarrows", 33, 0, {{8, -2147467259}, {16, err::kAccessDenied}}, "1", "L3 L3",
    {kChecker, kCashier}},
  VoucherCase{"GroupWhenTheSecondAnswerIsNoRefusal", 32, 0, {{8, err::kAccessDenied}, {16, 5}}, "1", "L0 L3",
    {kCashier + kGroupPreparers}},
  VoucherCase{"CashierOnlyWhenCashGoesBeforePosting", 33, 0, {}, "0", "L3 L0", {kChecker}}), CaseName());
// clang-format on

}  // namespace
}  // namespace zet::testing
