// Every row of the bill catalogue, for every code it serves, every kind of
// mask and both forms of the money view.
#include "catalogue/catalogue.hpp"

#include <climits>

#include "host/error.hpp"
#include "support/method_case.hpp"

namespace zet::testing {
namespace {

std::string NullTolerant(const std::string& t) {
  return " and (IsNull(" + t + ".FItemID,0)=0 OR CharIndex('12'," + t + ".FRightUserID)>0) \r\n";
}
std::string Plain(const std::string& t) {
  return " and CharIndex('12'," + t + ".FRightUserID)>0 \r\n";
}
std::string Exclusion(const std::string& key, std::vector<std::string> heads) {
  std::string text = " and v1." + key + " not in \r\n";
  for (size_t i = 0; i < heads.size(); ++i)
    text += (i ? " Union All \r\n" : "") + heads[i] + "\r\n where charIndex('12',t4.FRightUserID)=0 \r\n";
  return text + ")";
}
std::string Sub(const std::string& key, const std::string& table, const std::string& column, bool first = true) {
  return std::string(first ? " (" : " ") + "select t3." + key + " from " + table + " t3 left join t_Stock t4 on t3." +
         column + "=t4.FItemID ";
}
std::string Money(const std::string& key, int32_t type) {
  return " left join vw_BillRPMoney vrp on v1." + key + "=vrp.FInterID AND vrp.FTranType=" + std::to_string(type) +
         " \r\n";
}
const std::string kCust2 = " left join t_Organization t2 on v1.FCustomerID=t2.FItemID \r\n";
const std::string kAcct = " left join t_Account t7 on v1.FAcctID=t7.FAccountID \r\n";

struct Row {
  std::string name;
  std::vector<int32_t> codes;
  std::string key, preparer;
  bool lowers_move_type;
  std::string bare, joined;                                 // joined "": the bare form whatever the mask
  std::vector<std::pair<int32_t, std::string>> conditions;  // bit, condition, in the row's order
  std::string money_view = "";
};

// clang-format off
const Row kRows[] = {
  {"ICStockBill", {1, 2, 5, 10, 21, 24, 28, 29, 40, 41, 43, 100, 101, 102}, "v1.FInterID", "v1.FBillerID", false,
   "ICStockBill v1", "ICStockBill v1 left join ICStockBillEntry u1 on v1.FInterID=u1.FInterID \r\n"
   " left join t_Organization t1 on v1.FCustID=t1.FItemID \r\n left join t_supplier t2 on v1.FSupplyID=t2.FItemID \r\n",
   {{1, NullTolerant("t1")}, {2, NullTolerant("t2")},
    {4, Exclusion("FInterID", {Sub("FInterID", "ICStockBillEntry", "FDCStockID"),
                               Sub("FInterID", "ICStockBillEntry", "FSCStockID", false)})}}},
  {"ICBom", {50}, "v1.FInterID", "FCheckID", false, "ICBom v1",
   "ICBom v1 left join ICBomChild u1 on v1.FInterID=u1.FInterID \r\n",
   {{4, Exclusion("FInterID", {Sub("FInterID", "ICBomChild", "FStockID")})}}},
  {"t_RP_CheckInfo", {51}, "v1.FInterID", "v1.FPreparer", false, "t_RP_CheckInfo v1 ",
   "t_RP_CheckInfo v1 \r\n left join t_Organization t1 on v1.FCustomerID=t1.FItemID \r\n"
   " left join t_supplier t2 on v1.FVendorID=t2.FItemID \r\n left join t_Organization t3 on v1.FOutCustID=t3.FItemID \r\n"
   " left join t_Organization t4 on v1.FInCustID=t4.FItemID \r\n left join t_supplier t5 on v1.FOutVendorID=t5.FItemID \r\n"
   " left join t_supplier t6 on v1.FInVendorID=t6.FItemID \r\n",
   {{1, NullTolerant("t1")}, {2, NullTolerant("t2")}, {1, NullTolerant("t3")}, {1, NullTolerant("t4")},
    {2, NullTolerant("t5")}, {2, NullTolerant("t6")}}},
  {"POOrder", {71}, "v1.FInterID", "v1.FBillerID", false,
   "POOrder v1 left join POOrderEntry u1 on v1.FInterID=u1.FInterID \r\n",
   "POOrder v1 left join POOrderEntry u1 on v1.FInterID=u1.FInterID \r\nleft join t_supplier t2 on v1.FSupplyID=t2.FItemID \r\n",
   {{2, Plain("t2")}}},
  {"ICPurchase", {75, 76}, "v1.FInterID", "v1.FBillerID", false, "ICPurchase v1",
   "ICPurchase v1 left join t_supplier t2 on v1.FSupplyID=t2.FItemID \r\n", {{2, Plain("t2")}}, Money("FInterID", 75)},
  {"ICSale", {80, 86}, "v1.FInterID", "v1.FBillerID", false, "ICSale v1",
   "ICSale v1 left join t_Organization t2 on v1.FCustID=t2.FItemID \r\n", {{1, Plain("t2")}}, Money("FInterID", 80)},
  {"SEOrder", {81}, "v1.FInterID", "v1.FBillerID", false,
   "SEOrder v1 left join SEOrderEntry u1 on v1.FInterID=u1.FInterID \r\n",
   "SEOrder v1 left join SEOrderEntry u1 on v1.FInterID=u1.FInterID \r\nleft join t_Organization t2 on v1.FCustID=t2.FItemID \r\n",
   {{1, Plain("t2")}}},
  {"PORFQ", {84}, "v1.FInterID", "v1.FBillerID", false, "PORFQ v1",
   "PORFQ v1 left join t_Organization t2 on v1.FCustID=t2.FItemID \r\n", {{1, Plain("t2")}}},
  {"ICMO", {85}, "v1.FInterID", "v1.FBillerID", false, "ICMO v1",
   "ICMO v1 left join ICMOEntry u1 on v1.FInterID=u1.FInterID \r\n",
   {{4, Exclusion("FInterID", {Sub("FInterID", "ICMOEntry", "FStockID")})}}},
  {"ICApportionFee", {87}, "v1.FInterID", "v1.FBillerID", false, "ICApportionFee v1", "", {}},
  {"t_Voucher", {1125}, "v1.FVoucherID", "v1.FPreparerID", false, "t_Voucher v1", "", {}},
  {"t_RP_RBill", {1000201}, "v1.FBillID", "v1.FPreparer", true, "t_RP_RBill v1",
   "t_RP_RBill v1 left join t_Organization t2 on v1.FCustomerID=t2.FItemID \r\n" + kAcct,
   {{1, Plain("t2")}, {8, Plain("t7")}}},
  {"t_RP_PBill", {1000202}, "v1.FBillID", "v1.FPreparer", true, "t_RP_PBill v1",
   "t_RP_PBill v1 left join t_supplier t2 on v1.FSupplyID=t2.FItemID \r\n" + kAcct, {{2, Plain("t2")}, {8, Plain("t7")}}},
  {"t_RP_ROtherBill", {1000205}, "v1.FBillID", "v1.FPreparer", true, "t_RP_ROtherBill v1",
   "t_RP_ROtherBill v1 left join t_RP_ROtherBillEntry u1 on v1.FBillID=u1.FBillID \r\n" + kCust2 + kAcct,
   {{1, Plain("t2")}, {8, Plain("t7")}}, Money("FBillID", 1000205)},
  {"t_RP_POtherBill", {1000206}, "v1.FBillID", "v1.FPreparer", true, "t_RP_POtherBill v1",
   "t_RP_POtherBill v1 left join t_RP_POtherBillEntry u1 on v1.FBillID=u1.FBillID \r\n"
   " left join t_supplier t2 on v1.FSupplyID=t2.FItemID \r\n" + kAcct,
   {{2, Plain("t2")}, {8, Plain("t7")}}, Money("FBillID", 1000206)},
  {"ICChange", {1007000}, "v1.FID", "v1.FBillerID", true, "ICChange v1",
   "ICChange v1 left join ICChangeEntry u1 on v1.FID=u1.FID \r\n",
   {{4, Exclusion("FID", {Sub("FID", "ICChangeEntry", "FDCStockID")})}}},
  {"DefaultIsPOOrder",
   {0, -5, 3, 77, 82, 103, 1127, 1000203, 1007001, 4, 1124, 1126, 1000204, 1000207, 1006999, INT32_MIN, INT32_MAX},
   "v1.FInterID", "v1.FBillerID", false, "POOrder v1",
   "POOrder v1 left join t_supplier t2 on v1.FSupplyID=t2.FItemID \r\n", {{2, Plain("t2")}}},
};
// clang-format on

class Catalogue : public ::testing::TestWithParam<Row> {};

TEST_P(Catalogue, EveryCodeMaskAndMoneyView) {
  const Row& row = GetParam();
  FakePlatform host;
  host.props = "UserID=0012";  // written back as the number it is
  for (int32_t code : row.codes)
    for (int32_t mask : {0, -1, INT32_MIN, 1, 2, 4, 8, 3, 15, 16})
      for (bool money : {false, true}) {
        SCOPED_TRACE(std::to_string(code) + " mask " + std::to_string(mask) + (money ? " money" : ""));
        std::string from = "old", key = "old", preparer = "old", filter = "old";
        int32_t move_type = 5;
        GetBillTableInfo(host, code, mask, from, key, move_type, preparer, filter, money);
        const bool joined = mask > 0 && !row.joined.empty();
        std::string want;
        for (const auto& [bit, condition] : row.conditions)
          if (joined && (mask & bit) != 0) want += condition;
        EXPECT_EQ(from, (joined ? row.joined : row.bare) + (money ? row.money_view : ""));
        EXPECT_EQ(filter, want);
        EXPECT_EQ(key, row.key);
        EXPECT_EQ(preparer, row.preparer);
        EXPECT_EQ(move_type, row.lowers_move_type ? 4 : 5);
      }
}
INSTANTIATE_TEST_SUITE_P(AllRows, Catalogue, ::testing::ValuesIn(kRows), CaseName());

// The user id is read first: when it is no 32-bit number nothing is written;
// lowering the smallest direction code overflows after key and filter.
TEST(GetBillTableInfo, FailuresLeaveTheOutputsNotYetWritten) {
  for (const auto& [props, move, written] : std::vector<std::tuple<std::string, int32_t, std::string>>{
           {"UserID=2147483648;", 2, "from key preparer filter 2"},
           {"UserID=12;", INT32_MIN, "from v1.FBillID preparer  -2147483648"}}) {
    FakePlatform host;
    host.props = props;
    std::string from = "from", key = "key", preparer = "preparer", filter = "filter";
    int32_t move_type = move;
    EXPECT_EQ(Error([&] { GetBillTableInfo(host, 1000201, 9, from, key, move_type, preparer, filter, true); }),
              "6 " + RuntimeErrorText(err::kOverflow))
        << props;
    EXPECT_EQ(from + " " + key + " " + preparer + " " + filter + " " + std::to_string(move_type), written);
  }
}

}  // namespace
}  // namespace zet::testing
