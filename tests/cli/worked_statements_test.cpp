// The statements the component sends, as --trace shows them, compared whole
// with the worked examples: blanks and CR LF included. Demo users where their
// rights match an example, small databases of the test's own where none does.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cli/run_binary.hpp"
#include "embedded/demo_data.hpp"

namespace zet::cli::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;

// Runs one command with --trace into a file and returns the statements sent.
std::vector<std::string> StatementsOf(const Sandbox& box, std::vector<std::string> args) {
  std::filesystem::remove(box.Path("trace.jsonl"));
  args.insert(args.begin(), {"--trace", "trace.jsonl"});
  const RunResult run = box.Zet(args);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  return TracedStatements(ReadFile(box.Path("trace.jsonl")));
}

const std::string kAdmin = std::to_string(embedded::kDemoAdministrator);

TEST(WorkedStatements, RecentBillsReadAndRecordedForUser25) {
  Sandbox box;
  box.MakeDemo();
  EXPECT_THAT(StatementsOf(box, {"--db", "demo.db", "--user", "25", "call", "LoadRecentBills", "1"}),
              ElementsAre(" select b.*,t.FBillNo,t.FName from ICClassRecentBills b inner join (select "
                          "vw_BillList.FInterID as FID, vw_BillList.FBillNo,vw_BillList.FTranType  as "
                          "FClassTypeID,vw_BillList.FName as FName  from vw_BillList) t on b.FBillID=t.FID and "
                          "t.FClassTypeID=b.FClassTypeID  where b.FUserID=25 and b.FBigType=2 order by FNO "));
  EXPECT_THAT(StatementsOf(box, {"--db", "demo.db", "--user", "25", "call", "SaveRecentBills", "88", "1"}),
              ElementsAre("update ICClassRecentBills set FNo=FNo+1 where FUserID=25 and FBigType=2\r\n"
                          "insert into ICClassRecentBills(FUserID,FBillID,FClassTypeID,FNo,FBigType) values "
                          "(25,88,1,1,2)\r\n"
                          " delete from ICClassRecentBills where (FNo>20 or (FNo>1 and FBillID=88 and "
                          "FClassTypeID=1)) and FUserID=25 and FBigType=2\r\n"));
}

TEST(WorkedStatements, NavigationOfTheDemoUsers) {
  Sandbox box;
  box.MakeDemo();
  // lily, user 16: own bills only, no data rights.
  EXPECT_THAT(
      StatementsOf(box, {"--db", "demo.db", "--props", "UserID=16;", "call", "GetMoveInterID", "1050", "1", "1"}),
      Contains(" select ISNULL(max(v1.FInterID),0) from ICStockBill v1 where v1.FTranType=1 and "
               "v1.FInterID<1050 and v1.FBillerID=16"));
  EXPECT_THAT(StatementsOf(box, {"--db", "demo.db", "--user", kAdmin, "call", "GetMoveInterID", "77", "3", "1000201"}),
              Contains(" select ISNULL(min(v1.FBillID),0) from t_RP_RBill v1 where v1.FBillID>77"));
  EXPECT_THAT(StatementsOf(box, {"--db", "demo.db", "--user", kAdmin, "call", "GetMaxMinInterID", "1125", "1"}),
              Contains(" SELECT ISNULL(Min(v1.FVoucherID),0) as FInterID From t_Voucher v1 where 1=1 "));
  EXPECT_THAT(StatementsOf(box, {"--db", "demo.db", "--user", "16", "call", "CheckSearchBill", "1", "1050"}),
              ElementsAre(" SELECT TOP 1 1 FROM ICStockBill v1 WHERE v1.FInterID = 1050"));
  EXPECT_THAT(StatementsOf(box, {"--db", "demo.db", "--user", "16", "call", "CheckSearchBill", "1125", "9"}),
              ElementsAre(" SELECT TOP 1 1 FROM t_Voucher v1 WHERE v1.FVoucherID = 9"));
}

TEST(WorkedStatements, PurchaseInvoicesDueForTheDemoAdministrator) {
  Sandbox box;
  box.MakeDemo();
  // The demo sets the payables alarm days to 5.
  EXPECT_THAT(StatementsOf(box, {"--db", "demo.db", "--user", kAdmin, "call", "GetToDoThingCount"}),
              Contains(" SELECT Count(distinct v1.FInterID) From ICPurchase v1 left join vw_BillRPMoney vrp on "
                       "v1.FInterID=vrp.FInterID AND vrp.FTranType=75 \r\n"
                       " where 1=1 \r\n"
                       " and datediff(day,getdate(),v1.FPayDate)<=5 and v1.FStatus=1 and v1.FPOStyle<>251 and "
                       "v1.FROB*(vrp.FRPAmountFor-v1.FPurchaseAmountFor)<0 \r\n"
                       " and v1.FHookInterID not in ( select FGroupNo From ICHookRelations Where FEquityHook=1 ) "));
}

TEST(WorkedStatements, RightsScopeOfAGroupUser25) {
  Sandbox box;
  box.MakeDb("own.db",
             "INSERT INTO t_User (FUserID, FUserGroupRight, FDataRight) VALUES (25, 1, 0), (3, 0, 0);"
             "INSERT INTO t_Group (FUserID, FGroupID) VALUES (25, 2), (3, 2);");
  const auto statements = StatementsOf(box, {"--db", "own.db", "--user", "25", "call", "GetMaxMinInterID", "1", "1"});
  EXPECT_THAT(statements, ElementsAre("SELECT TOP 1 1 FROM t_Group WHERE FUserID=25 AND FGroupID=1",
                                      "SELECT FUserGroupRight,FDataRight FROM t_User WHERE FUserID= 25",
                                      "select distinct tt1.FUserID from t_group tt1 where tt1.FGroupID in (select "
                                      "tt2.FGroupID from  t_group tt2 where tt2.FUserID=25 and tt2.FGroupID>0)",
                                      " SELECT ISNULL(Min(v1.FInterID),0) as FInterID From ICStockBill v1 where 1=1  "
                                      "and FTranType=1 and v1.FBillerID in (3,25)"));
}

TEST(WorkedStatements, LastBillOfKind21ForUser12WithCustomerRights) {
  Sandbox box;
  box.MakeDb("own.db", "INSERT INTO t_User (FUserID, FUserGroupRight, FDataRight) VALUES (12, 2, 1);");
  EXPECT_THAT(StatementsOf(box, {"--db", "own.db", "--user", "12", "call", "GetMaxMinInterID", "21", "2"}),
              Contains(" SELECT ISNULL(Max(v1.FInterID),0) as FInterID From ICStockBill v1 left join "
                       "ICStockBillEntry u1 on v1.FInterID=u1.FInterID \r\n"
                       " left join t_Organization t1 on v1.FCustID=t1.FItemID \r\n"
                       " left join t_supplier t2 on v1.FSupplyID=t2.FItemID \r\n"
                       " where 1=1  and FTranType=21 and v1.FBillerID=12\r\n"
                       " and (IsNull(t1.FItemID,0)=0 OR CharIndex('12',t1.FRightUserID)>0) \r\n"));
}

TEST(WorkedStatements, NewSalesInvoiceStepsBackWithinTheGroupOf16) {
  Sandbox box;
  box.MakeDb("own.db",
             "INSERT INTO t_User (FUserID, FUserGroupRight, FDataRight) VALUES (16, 1, 1), (17, 0, 0);"
             "INSERT INTO t_Group (FUserID, FGroupID) VALUES (16, 2), (17, 2);");
  EXPECT_THAT(StatementsOf(box, {"--db", "own.db", "--user", "16", "call", "GetMoveInterID", "empty", "1", "80"}),
              Contains("select ISNULL(max(v1.FInterID),0) as FInterID from ICSale v1 left join t_Organization t2 on "
                       "v1.FCustID=t2.FItemID \r\n"
                       " WHERE 1=1  AND v1.FTranType=80 and v1.FBillerID in (16,17)\r\n"
                       " and CharIndex('16',t2.FRightUserID)>0 \r\n"));
}

TEST(WorkedStatements, VisibilityChecksOfUser16) {
  Sandbox box;
  box.MakeDb("own.db",
             "INSERT INTO t_User (FUserID, FUserGroupRight, FDataRight) VALUES (16, 2, 0);"
             "INSERT INTO ICStockBill (FInterID, FTranType, FBillerID) VALUES (1050, 1, 16);"
             "INSERT INTO ICSale (FInterID, FTranType, FBillerID) VALUES (300, 80, 16);");
  EXPECT_THAT(StatementsOf(box, {"--db", "own.db", "--user", "16", "call", "CheckSearchBill", "1", "1050"}),
              Contains(" SELECT top 1 1 From ICStockBill v1 where 1=1  and FTranType=1 and v1.FBillerID=16 and "
                       "v1.FInterID = 1050"));
  box.MakeDb("sale.db",
             "INSERT INTO t_User (FUserID, FUserGroupRight, FDataRight) VALUES (16, 0, 1);"
             "INSERT INTO ICSale (FInterID, FTranType, FBillerID) VALUES (300, 80, 16);");
  EXPECT_THAT(StatementsOf(box, {"--db", "sale.db", "--user", "16", "call", "CheckSearchBill", "80", "300"}),
              ElementsAre(" SELECT TOP 1 1 FROM ICSale v1 WHERE v1.FInterID = 300",
                          "SELECT TOP 1 1 FROM t_Group WHERE FUserID=16 AND FGroupID=1",
                          "SELECT TOP 1 1 FROM t_Group WHERE FUserID=16 AND FGroupID=1",
                          "SELECT FUserGroupRight,FDataRight FROM t_User WHERE FUserID= 16",
                          " SELECT top 1 1 From ICSale v1 left join t_Organization t2 on v1.FCustID=t2.FItemID \r\n"
                          " where 1=1  and FTranType=80\r\n"
                          " and CharIndex('16',t2.FRightUserID)>0 \r\n"
                          " and v1.FInterID = 300"));
}

// Rights and grants of user 16394 as the to-do examples have them: own bills
// only, purchase alarm days 7, position 2 granted through the access table.
constexpr const char* kToDoUser16394 =
    "INSERT INTO t_User (FUserID, FUserGroupRight, FDataRight) VALUES (16394, 2, 0);"
    "INSERT INTO t_SystemProfile (FCategory, FKey, FValue) VALUES ('IC', 'PurchaseAlarmDateCount', '7');"
    "INSERT INTO t_AccessControl (FUserID, FObjectType, FObjectID, FAccessMask) VALUES"
    " (16394, 1088, 2, 0), (16394, 1089, 1, 131072);";

TEST(WorkedStatements, PurchaseOrdersDueAndTheirAccessCheckFor16394) {
  Sandbox box;
  box.MakeDb("own.db", kToDoUser16394);
  const auto statements = StatementsOf(box, {"--db", "own.db", "--user", "16394", "call", "GetToDoThingCount"});
  EXPECT_THAT(statements, Contains("select 1 from t_AccessControl where FObjectType=1088 and FObjectID=2 AND "
                                   "(FUserID=16394 OR FUserID in (Select FGroupID from t_Group where "
                                   "FUserID=16394))"));
  EXPECT_THAT(statements, Contains("select FAccessMask from t_AccessControl where FObjectType=1089 and FObjectID=1 "
                                   "AND (FUserID=16394 OR FUserID in (Select FGroupID from t_Group where "
                                   "FUserID=16394))"));
  EXPECT_THAT(statements,
              Contains(" SELECT Count(distinct v1.FInterID) From POOrder v1 left join POOrderEntry u1 on "
                       "v1.FInterID=u1.FInterID \r\n"
                       " where 1=1  and v1.FBillerID=16394\r\n"
                       " and datediff(day,getdate(),u1.FDate)<=7 and u1.FQty>u1.FStockQty and (v1.FStatus=1 or "
                       "v1.FStatus=2) and v1.FCancellation=0 "));
}

TEST(WorkedStatements, VouchersAwaitingCheckFor16394RefusedRight8GrantedRight16) {
  Sandbox box;
  // Account rights (data right 8); the voucher row's mask carries bit 1 (may
  // check) and 16 but not 8; position 8 granted through object 0.
  box.MakeDb("own.db",
             "INSERT INTO t_User (FUserID, FUserGroupRight, FDataRight) VALUES (16394, 0, 8);"
             "INSERT INTO t_AccessControl (FUserID, FObjectType, FObjectID, FAccessMask) VALUES"
             " (16394, 4, 0, 17), (16394, 0, 0, 131072);");
  EXPECT_THAT(StatementsOf(box, {"--db", "own.db", "--user", "16394", "call", "GetToDoThingCount"}),
              Contains(" select * from t_Voucher v1 where v1.FCheckerID=-1 and v1.FPosted=0  and v1.FVoucherID not "
                       "in (Select t1.FVoucherID from t_VoucherEntry t1 left join t_Account t2 \r\n"
                       " on t1.FAccountID=t2.FAccountID where CHARINDEX('16394',t2.FRightUserID)=0)  AND "
                       "v1.FPreparerID IN (Select DISTINCT FUserID From t_Group Where FGroupID IN(Select FGroupID "
                       "From t_Group Where FGroupID <> 0 And FUserID=16394 ) ) "));
}

// Every line is one call as {"object","member","args"}, in that order, and a
// toolbar passed with --toolbar shows under the name ABar.
TEST(WorkedStatements, TraceLinesNameTheObjectTheMemberAndTheArguments) {
  Sandbox box;
  box.MakeDemo();
  const RunResult run =
      box.Zet({"--db", "demo.db", "--user", "25", "--trace", "-", "call", "LoadRecentBills", "1", "--toolbar"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto lines = Lines(run.err);
  ASSERT_FALSE(lines.empty());
  int toolbar_calls = 0;
  for (const std::string& line : lines) {
    EXPECT_EQ(line.rfind("{\"object\":\"", 0), 0u) << line;
    const nlohmann::json call = nlohmann::json::parse(line);
    ASSERT_EQ(call.size(), 3u) << line;
    EXPECT_TRUE(call.at("args").is_array());
    if (call.at("object").get<std::string>().rfind("ABar", 0) == 0) ++toolbar_calls;
  }
  // Twenty tools hidden, each reached through Bands and Tools.
  EXPECT_EQ(toolbar_calls, 60);
  EXPECT_EQ(lines[0].substr(0, 61), R"({"object":"ZetPropsMgr.ShareProps","member":"GetProperty","ar)");
  EXPECT_EQ(lines.back(), R"({"object":"ABar.Bands.Tools","member":"Visible","args":[false]})");
}

}  // namespace
}  // namespace zet::cli::testing
