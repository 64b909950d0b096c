#include "catalogue/catalogue.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "host/error.hpp"
#include "support/case_name.hpp"
#include "support/fake_platform.hpp"

namespace zet::testing {
namespace {

// The four outputs and MoveType of one lookup.
struct Lookup {
  std::string from, key, preparer, filter;
  int32_t move_type = 0;
};

Lookup LookUp(FakePlatform& host, int32_t trans_type, int32_t mask, bool money_view, int32_t move_type = 2) {
  Lookup out;
  out.move_type = move_type;
  GetBillTableInfo(host, trans_type, mask, out.from, out.key, out.move_type, out.preparer, out.filter, money_view);
  return out;
}

// The three condition forms for user 12, as the catalogue writes them.
std::string NullTolerant(const std::string& alias) {
  return " and (IsNull(" + alias + ".FItemID,0)=0 OR CharIndex('12'," + alias + ".FRightUserID)>0) \r\n";
}
std::string Plain(const std::string& alias) {
  return " and CharIndex('12'," + alias + ".FRightUserID)>0 \r\n";
}

const char* const kStockBillExclusion =
    " and v1.FInterID not in \r\n"
    " (select t3.FInterID from ICStockBillEntry t3 left join t_Stock t4 on t3.FDCStockID=t4.FItemID \r\n"
    " where charIndex('12',t4.FRightUserID)=0 \r\n"
    " Union All \r\n"
    " select t3.FInterID from ICStockBillEntry t3 left join t_Stock t4 on t3.FSCStockID=t4.FItemID \r\n"
    " where charIndex('12',t4.FRightUserID)=0 \r\n"
    ")";
const char* const kBomExclusion =
    " and v1.FInterID not in \r\n"
    " (select t3.FInterID from ICBomChild t3 left join t_Stock t4 on t3.FStockID=t4.FItemID \r\n"
    " where charIndex('12',t4.FRightUserID)=0 \r\n"
    ")";
const char* const kProductionOrderExclusion =
    " and v1.FInterID not in \r\n"
    " (select t3.FInterID from ICMOEntry t3 left join t_Stock t4 on t3.FStockID=t4.FItemID \r\n"
    " where charIndex('12',t4.FRightUserID)=0 \r\n"
    ")";
const char* const kChangeExclusion =
    " and v1.FID not in \r\n"
    " (select t3.FID from ICChangeEntry t3 left join t_Stock t4 on t3.FDCStockID=t4.FItemID \r\n"
    " where charIndex('12',t4.FRightUserID)=0 \r\n"
    ")";

struct RowSpec {
  const char* name;
  std::vector<int32_t> codes;
  const char* key;
  const char* preparer;
  bool lowers_move_type;
  const char* bare;
  const char* joined;  // nullptr: the bare form whatever the mask
  // The rights conditions in the row's order, each with the bit that adds it.
  std::vector<std::pair<int32_t, std::string>> conditions;
  const char* money_view;  // with its CR LF; nullptr: none
};

const std::vector<RowSpec>& Catalogue() {
  static const std::vector<RowSpec> rows = {
      {"ICStockBill",
       {1, 2, 5, 10, 21, 24, 28, 29, 40, 41, 43, 100, 101, 102},
       "v1.FInterID",
       "v1.FBillerID",
       false,
       "ICStockBill v1",
       "ICStockBill v1 left join ICStockBillEntry u1 on v1.FInterID=u1.FInterID \r\n"
       " left join t_Organization t1 on v1.FCustID=t1.FItemID \r\n"
       " left join t_supplier t2 on v1.FSupplyID=t2.FItemID \r\n",
       {{1, NullTolerant("t1")}, {2, NullTolerant("t2")}, {4, kStockBillExclusion}},
       nullptr},
      {"ICBom",
       {50},
       "v1.FInterID",
       "FCheckID",
       false,
       "ICBom v1",
       "ICBom v1 left join ICBomChild u1 on v1.FInterID=u1.FInterID \r\n",
       {{4, kBomExclusion}},
       nullptr},
      {"t_RP_CheckInfo",
       {51},
       "v1.FInterID",
       "v1.FPreparer",
       false,
       "t_RP_CheckInfo v1 ",
       "t_RP_CheckInfo v1 \r\n"
       " left join t_Organization t1 on v1.FCustomerID=t1.FItemID \r\n"
       " left join t_supplier t2 on v1.FVendorID=t2.FItemID \r\n"
       " left join t_Organization t3 on v1.FOutCustID=t3.FItemID \r\n"
       " left join t_Organization t4 on v1.FInCustID=t4.FItemID \r\n"
       " left join t_supplier t5 on v1.FOutVendorID=t5.FItemID \r\n"
       " left join t_supplier t6 on v1.FInVendorID=t6.FItemID \r\n",
       {{1, NullTolerant("t1")},
        {2, NullTolerant("t2")},
        {1, NullTolerant("t3")},
        {1, NullTolerant("t4")},
        {2, NullTolerant("t5")},
        {2, NullTolerant("t6")}},
       nullptr},
      {"POOrderWithEntries",
       {71},
       "v1.FInterID",
       "v1.FBillerID",
       false,
       "POOrder v1 left join POOrderEntry u1 on v1.FInterID=u1.FInterID \r\n",
       "POOrder v1 left join POOrderEntry u1 on v1.FInterID=u1.FInterID \r\n"
       "left join t_supplier t2 on v1.FSupplyID=t2.FItemID \r\n",
       {{2, Plain("t2")}},
       nullptr},
      {"ICPurchase",
       {75, 76},
       "v1.FInterID",
       "v1.FBillerID",
       false,
       "ICPurchase v1",
       "ICPurchase v1 left join t_supplier t2 on v1.FSupplyID=t2.FItemID \r\n",
       {{2, Plain("t2")}},
       " left join vw_BillRPMoney vrp on v1.FInterID=vrp.FInterID AND vrp.FTranType=75 \r\n"},
      {"ICSale",
       {80, 86},
       "v1.FInterID",
       "v1.FBillerID",
       false,
       "ICSale v1",
       "ICSale v1 left join t_Organization t2 on v1.FCustID=t2.FItemID \r\n",
       {{1, Plain("t2")}},
       " left join vw_BillRPMoney vrp on v1.FInterID=vrp.FInterID AND vrp.FTranType=80 \r\n"},
      {"SEOrder",
       {81},
       "v1.FInterID",
       "v1.FBillerID",
       false,
       "SEOrder v1 left join SEOrderEntry u1 on v1.FInterID=u1.FInterID \r\n",
       "SEOrder v1 left join SEOrderEntry u1 on v1.FInterID=u1.FInterID \r\n"
       "left join t_Organization t2 on v1.FCustID=t2.FItemID \r\n",
       {{1, Plain("t2")}},
       nullptr},
      {"PORFQ",
       {84},
       "v1.FInterID",
       "v1.FBillerID",
       false,
       "PORFQ v1",
       "PORFQ v1 left join t_Organization t2 on v1.FCustID=t2.FItemID \r\n",
       {{1, Plain("t2")}},
       nullptr},
      {"ICMO",
       {85},
       "v1.FInterID",
       "v1.FBillerID",
       false,
       "ICMO v1",
       "ICMO v1 left join ICMOEntry u1 on v1.FInterID=u1.FInterID \r\n",
       {{4, kProductionOrderExclusion}},
       nullptr},
      {"ICApportionFee", {87}, "v1.FInterID", "v1.FBillerID", false, "ICApportionFee v1", nullptr, {}, nullptr},
      {"t_Voucher", {1125}, "v1.FVoucherID", "v1.FPreparerID", false, "t_Voucher v1", nullptr, {}, nullptr},
      {"t_RP_RBill",
       {1000201},
       "v1.FBillID",
       "v1.FPreparer",
       true,
       "t_RP_RBill v1",
       "t_RP_RBill v1 left join t_Organization t2 on v1.FCustomerID=t2.FItemID \r\n"
       " left join t_Account t7 on v1.FAcctID=t7.FAccountID \r\n",
       {{1, Plain("t2")}, {8, Plain("t7")}},
       nullptr},
      {"t_RP_PBill",
       {1000202},
       "v1.FBillID",
       "v1.FPreparer",
       true,
       "t_RP_PBill v1",
       "t_RP_PBill v1 left join t_supplier t2 on v1.FSupplyID=t2.FItemID \r\n"
       " left join t_Account t7 on v1.FAcctID=t7.FAccountID \r\n",
       {{2, Plain("t2")}, {8, Plain("t7")}},
       nullptr},
      {"t_RP_ROtherBill",
       {1000205},
       "v1.FBillID",
       "v1.FPreparer",
       true,
       "t_RP_ROtherBill v1",
       "t_RP_ROtherBill v1 left join t_RP_ROtherBillEntry u1 on v1.FBillID=u1.FBillID \r\n"
       " left join t_Organization t2 on v1.FCustomerID=t2.FItemID \r\n"
       " left join t_Account t7 on v1.FAcctID=t7.FAccountID \r\n",
       {{1, Plain("t2")}, {8, Plain("t7")}},
       " left join vw_BillRPMoney vrp on v1.FBillID=vrp.FInterID AND vrp.FTranType=1000205 \r\n"},
      {"t_RP_POtherBill",
       {1000206},
       "v1.FBillID",
       "v1.FPreparer",
       true,
       "t_RP_POtherBill v1",
       "t_RP_POtherBill v1 left join t_RP_POtherBillEntry u1 on v1.FBillID=u1.FBillID \r\n"
       " left join t_supplier t2 on v1.FSupplyID=t2.FItemID \r\n"
       " left join t_Account t7 on v1.FAcctID=t7.FAccountID \r\n",
       {{2, Plain("t2")}, {8, Plain("t7")}},
       " left join vw_BillRPMoney vrp on v1.FBillID=vrp.FInterID AND vrp.FTranType=1000206 \r\n"},
      {"ICChange",
       {1007000},
       "v1.FID",
       "v1.FBillerID",
       true,
       "ICChange v1",
       "ICChange v1 left join ICChangeEntry u1 on v1.FID=u1.FID \r\n",
       {{4, kChangeExclusion}},
       nullptr},
      {"DefaultPOOrder",
       {0, -5, 3, 77, 82, 103, 1127, 1000203, 1007001, 4, 1124, 1126, 1000204, 1000207, 1006999, INT32_MIN, INT32_MAX},
       "v1.FInterID",
       "v1.FBillerID",
       false,
       "POOrder v1",
       "POOrder v1 left join t_supplier t2 on v1.FSupplyID=t2.FItemID \r\n",
       {{2, Plain("t2")}},
       nullptr},
  };
  return rows;
}

// Masks that matter: none, negative (whatever their bits), each bit, mixes,
// and bits the catalogue does not know.
const int32_t kMasks[] = {0, -1, INT32_MIN, 1, 2, 4, 8, 3, 6, 15, 16, INT32_MAX};

class CatalogueRowTest : public ::testing::TestWithParam<RowSpec> {};

TEST_P(CatalogueRowTest, EveryCodeMaskAndMoneyViewFlag) {
  const RowSpec& row = GetParam();
  FakePlatform host;
  host.props = "UserID=12;";
  for (int32_t code : row.codes) {
    for (int32_t mask : kMasks) {
      for (bool money_view : {false, true}) {
        SCOPED_TRACE("code " + std::to_string(code) + ", mask " + std::to_string(mask) +
                     (money_view ? ", money view" : ""));
        const Lookup got = LookUp(host, code, mask, money_view);
        const bool joined = mask > 0 && row.joined != nullptr;
        std::string from = joined ? row.joined : row.bare;
        if (money_view && row.money_view) from += row.money_view;
        std::string filter;
        if (joined) {
          for (const auto& [bit, condition] : row.conditions) {
            if ((mask & bit) != 0) filter += condition;
          }
        }
        EXPECT_EQ(got.from, from);
        EXPECT_EQ(got.filter, filter);
        EXPECT_EQ(got.key, row.key);
        EXPECT_EQ(got.preparer, row.preparer);
        EXPECT_EQ(got.move_type, row.lowers_move_type ? 1 : 2);
      }
    }
  }
  EXPECT_TRUE(host.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(AllRows, CatalogueRowTest, ::testing::ValuesIn(Catalogue()), CaseName());

// Worked examples

TEST(GetBillTableInfo, StockBillWithCustomerSupplierAndStockRights) {
  FakePlatform host;
  host.props = "UserID=12";
  const Lookup got = LookUp(host, 1, 7, false, 5);
  EXPECT_EQ(got.key, "v1.FInterID");
  EXPECT_EQ(got.preparer, "v1.FBillerID");
  EXPECT_EQ(got.move_type, 5);
  EXPECT_EQ(got.from,
            "ICStockBill v1 left join ICStockBillEntry u1 on v1.FInterID=u1.FInterID \r\n"
            " left join t_Organization t1 on v1.FCustID=t1.FItemID \r\n"
            " left join t_supplier t2 on v1.FSupplyID=t2.FItemID \r\n");
  EXPECT_EQ(got.filter,
            " and (IsNull(t1.FItemID,0)=0 OR CharIndex('12',t1.FRightUserID)>0) \r\n"
            " and (IsNull(t2.FItemID,0)=0 OR CharIndex('12',t2.FRightUserID)>0) \r\n"
            " and v1.FInterID not in \r\n"
            " (select t3.FInterID from ICStockBillEntry t3 left join t_Stock t4 on t3.FDCStockID=t4.FItemID \r\n"
            " where charIndex('12',t4.FRightUserID)=0 \r\n"
            " Union All \r\n"
            " select t3.FInterID from ICStockBillEntry t3 left join t_Stock t4 on t3.FSCStockID=t4.FItemID \r\n"
            " where charIndex('12',t4.FRightUserID)=0 \r\n"
            ")");
}

TEST(GetBillTableInfo, OtherReceivableWithCustomerAndAccountRightsAndMoneyView) {
  FakePlatform host;
  host.props = "UserID=12";
  const Lookup got = LookUp(host, 1000205, 9, true, 5);
  EXPECT_EQ(got.key, "v1.FBillID");
  EXPECT_EQ(got.preparer, "v1.FPreparer");
  EXPECT_EQ(got.move_type, 4);
  EXPECT_EQ(got.from,
            "t_RP_ROtherBill v1 left join t_RP_ROtherBillEntry u1 on v1.FBillID=u1.FBillID \r\n"
            " left join t_Organization t2 on v1.FCustomerID=t2.FItemID \r\n"
            " left join t_Account t7 on v1.FAcctID=t7.FAccountID \r\n"
            " left join vw_BillRPMoney vrp on v1.FBillID=vrp.FInterID AND vrp.FTranType=1000205 \r\n");
  EXPECT_EQ(got.filter,
            " and CharIndex('12',t2.FRightUserID)>0 \r\n"
            " and CharIndex('12',t7.FRightUserID)>0 \r\n");
}

// Edge cases

TEST(GetBillTableInfo, CallingTwiceWithOneScratchLowersItTwice) {
  FakePlatform host;
  host.props = "UserID=12;";
  for (int32_t code : {1000201, 1000202, 1000205, 1000206, 1007000}) {
    std::string from, key, preparer, filter;
    int32_t scratch = 0;
    GetBillTableInfo(host, code, 0, from, key, scratch, preparer, filter, false);
    GetBillTableInfo(host, code, 5, from, key, scratch, preparer, filter, false);
    EXPECT_EQ(scratch, -2) << code;
  }
}

TEST(GetBillTableInfo, OutputsAreOverwrittenNotAppended) {
  FakePlatform host;
  host.props = "UserID=12;";
  std::string from = "old ", key = "old ", preparer = "old ", filter = "old ";
  int32_t move_type = 0;
  GetBillTableInfo(host, 80, 1, from, key, move_type, preparer, filter, true);
  GetBillTableInfo(host, 80, 0, from, key, move_type, preparer, filter, false);
  EXPECT_EQ(from, "ICSale v1");
  EXPECT_EQ(key, "v1.FInterID");
  EXPECT_EQ(preparer, "v1.FBillerID");
  EXPECT_EQ(filter, "");
}

// The id goes through a 32-bit number and back to text.
TEST(GetBillTableInfo, WritesTheUserIdInPlainDecimal) {
  for (const auto& [props, written] : std::vector<std::pair<const char*, const char*>>{
           {"UserID=0012;", "12"}, {"UserID=-3;", "-3"}, {"UserID=&H10;", "16"}}) {
    FakePlatform host;
    host.props = props;
    EXPECT_EQ(LookUp(host, 1000201, 8, false).filter,
              std::string(" and CharIndex('") + written + "',t7.FRightUserID)>0 \r\n");
  }
}

struct BadUserCase {
  const char* name;
  const char* props;
  int32_t error;
};

class CatalogueBadUserTest : public ::testing::TestWithParam<BadUserCase> {};

// The id is read first: a failure leaves every output as the caller had it,
// whatever the mask.
TEST_P(CatalogueBadUserTest, RaisesBeforeAnythingIsWritten) {
  for (int32_t mask : {0, 15}) {
    FakePlatform host;
    host.props = GetParam().props;
    std::string from = "from", key = "key", preparer = "preparer", filter = "filter";
    int32_t move_type = 2;
    try {
      GetBillTableInfo(host, 1000201, mask, from, key, move_type, preparer, filter, true);
      ADD_FAILURE() << "no error for mask " << mask;
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.Number(), GetParam().error);
    }
    EXPECT_EQ(from, "from");
    EXPECT_EQ(key, "key");
    EXPECT_EQ(preparer, "preparer");
    EXPECT_EQ(filter, "filter");
    EXPECT_EQ(move_type, 2);
    EXPECT_TRUE(host.messages.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(GetBillTableInfo, CatalogueBadUserTest,
                         ::testing::Values(BadUserCase{"Letters", "UserID=admin;", err::kTypeMismatch},
                                           BadUserCase{"Missing", "Lang=zh;", err::kTypeMismatch},
                                           BadUserCase{"TooLarge", "UserID=2147483648;", err::kOverflow}),
                         CaseName());

TEST(GetBillTableInfo, LoweringTheSmallestMoveTypeOverflowsAfterKeyAndFilter) {
  FakePlatform host;
  host.props = "UserID=12;";
  std::string from = "from", key = "key", preparer = "preparer", filter = "filter";
  int32_t move_type = INT32_MIN;
  try {
    GetBillTableInfo(host, 1000201, 9, from, key, move_type, preparer, filter, false);
    ADD_FAILURE() << "no overflow";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.Number(), err::kOverflow);
  }
  EXPECT_EQ(filter, "");
  EXPECT_EQ(key, "v1.FBillID");
  EXPECT_EQ(move_type, INT32_MIN);
  EXPECT_EQ(preparer, "preparer");
  EXPECT_EQ(from, "from");
}

TEST(GetBillTableInfo, TheSmallestMoveTypeIsLeftAloneByOtherRows) {
  FakePlatform host;
  host.props = "UserID=12;";
  const Lookup got = LookUp(host, 1, 1, false, INT32_MIN);
  EXPECT_EQ(got.move_type, INT32_MIN);
  EXPECT_EQ(got.key, "v1.FInterID");
}

TEST(GetBillTableInfo, RecordFormCarriesTheSameFourStrings) {
  FakePlatform host;
  host.props = "UserID=12;";
  int32_t move_type = 3;
  const BillTableInfo info = GetBillTableInfo(host, 1007000, 4, move_type, false);
  EXPECT_EQ(info.FromClause, "ICChange v1 left join ICChangeEntry u1 on v1.FID=u1.FID \r\n");
  EXPECT_EQ(info.KeyField, "v1.FID");
  EXPECT_EQ(info.PreparerField, "v1.FBillerID");
  EXPECT_EQ(info.RightsFilter, kChangeExclusion);
  EXPECT_EQ(move_type, 2);
}

}  // namespace
}  // namespace zet::testing
