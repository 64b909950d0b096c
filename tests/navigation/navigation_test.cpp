// The statements of the three navigation methods, for every rights scope,
// and how their answers are read.
#include "navigation/navigation.hpp"

#include <climits>

#include "support/method_case.hpp"

namespace zet::testing {
namespace {

std::pair<std::string, Table> Found(Variant v) {
  return {"ISNULL(", Scalar(std::move(v))};
}
const std::pair<std::string, Table> kExists{" SELECT TOP 1 1 FROM ", Scalar(Variant::Long(1))};
const std::pair<std::string, Table> kVisible{" SELECT top 1 1 From ", Scalar(Variant::Long(1))};

const std::string kSaleWithCustomers = "ICSale v1 left join t_Organization t2 on v1.FCustID=t2.FItemID \r\n";

class Navigation : public ::testing::TestWithParam<MethodCase> {};
TEST_P(Navigation, SendsItsStatementsAndReadsTheAnswer) {
  RunCase(GetParam());
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(GetMaxMinInterID, Navigation, ::testing::Values(
  MethodCase{"FirstOfASharedTable", Admin({Found(Variant::Long(4711))}), MaxMin(1, 1), "4711",
    {" SELECT ISNULL(Min(v1.FInterID),0) as FInterID From ICStockBill v1 where 1=1  and FTranType=1"}},
  MethodCase{"TypeZeroIsTheLast", Admin({Found(Variant::String("12ab"))}), MaxMin(86, 0), "12",
    {" SELECT ISNULL(Max(v1.FInterID),0) as FInterID From ICSale v1 where 1=1  and FTranType=86"}},
  MethodCase{"IdAsSpelt", [](FakePlatform& h) { h.props = "UserID=0012;", h.User(2, 1); }, MaxMin(80, 2), "0",
    {" SELECT ISNULL(Max(v1.FInterID),0) as FInterID From " + kSaleWithCustomers +
     " where 1=1  and FTranType=80 and v1.FBillerID=0012\r\n and CharIndex('12',t2.FRightUserID)>0 \r\n"}},
  MethodCase{"GroupBills", User(1, 0), MaxMin(80, 2), "0",
    {" SELECT ISNULL(Max(v1.FInterID),0) as FInterID From ICSale v1 where 1=1  and FTranType=80 and "
     "v1.FBillerID in (16,17)"}},
  MethodCase{"StockRightsMeanNothingToInvoices", User(0, 4), MaxMin(80, 2), "0",
    {" SELECT ISNULL(Max(v1.FInterID),0) as FInterID From " + kSaleWithCustomers + " where 1=1  and FTranType=80\r\n"}},
  MethodCase{"NegativeMaskUnrestricted", User(5, -1), MaxMin(3, 2), "0",
    {" SELECT ISNULL(Max(v1.FInterID),0) as FInterID From POOrder v1 where 1=1 "}}), CaseName());
// clang-format on

// clang-format off
INSTANTIATE_TEST_SUITE_P(GetMoveInterID, Navigation, ::testing::Values(
  MethodCase{"NextOfAnEditor", Admin({Found(Variant::String("1051"))}), Move(Variant::Long(1050), 2, 1), "1051",
    {" select ISNULL(min(v1.FInterID),0) from ICStockBill v1 where v1.FTranType=1 and v1.FInterID>1050"}},
  MethodCase{"ShiftedCodeThreeIsNext", Admin({Found(Variant::Long(78))}), Move(Variant::Long(77), 3, 1000201), "78",
    {" select ISNULL(min(v1.FBillID),0) from t_RP_RBill v1 where v1.FBillID>77"}},
  MethodCase{"ShiftedCodeTwoIsPrevious", Admin(), Move(Variant::Long(50), 2, 1007000), "50",
    {" select ISNULL(max(v1.FID),0) from ICChange v1 where v1.FID<50"}},
  MethodCase{"ThreeMeansNothing", Admin(), Move(Variant::Long(50), 3, 1), "0", {}},
  MethodCase{"NewBillPreviousIsTheLast", User(1, 1, {Found(Variant::Long(300))}), Move(Variant(), 1, 80), "300",
    {"select ISNULL(max(v1.FInterID),0) as FInterID from " + kSaleWithCustomers +
     " WHERE 1=1  AND v1.FTranType=80 and v1.FBillerID in (16,17)\r\n and CharIndex('16',t2.FRightUserID)>0 \r\n"}},
  MethodCase{"NewBillOfAnOwnTable", Admin(), Move(Variant::Long(0), 1, 84), "0",
    {"select ISNULL(max(v1.FInterID),0) as FInterID from PORFQ v1 WHERE 1=1 "}},
  MethodCase{"NewBillNextSendsNothing", Admin(), Move(Variant(), 2, 84), "0", {}},
  MethodCase{"NegativeDoesNotStay", Admin(), Move(Variant::Long(-4), 1, 84), "0",
    {" select ISNULL(max(v1.FInterID),0) from PORFQ v1 where v1.FInterID<-4"}},
  MethodCase{"TextIdInsertedUnchanged", User(5, 0), Move(Variant::String("0050"), 2, 84), "50",
    {" select ISNULL(min(v1.FInterID),0) from PORFQ v1 where v1.FInterID>0050"}},
  MethodCase{"NoRecordCountIsNothingFound",
    [](FakePlatform& host) { host.Administrator(), host.Answer("ISNULL(", Scalar(Variant::Long(99)), -1); },
    Move(Variant::Long(50), 2, 87), "50", {" select ISNULL(min(v1.FInterID),0) from ICApportionFee v1 where v1.FInterID>50"}},
  MethodCase{"AccountRightsAfterTheKey", User(2, 8), Move(Variant::Long(10), 2, 1000202), "10",
    {" select ISNULL(max(v1.FBillID),0) from t_RP_PBill v1 left join t_supplier t2 on v1.FSupplyID=t2.FItemID \r\n"
     " left join t_Account t7 on v1.FAcctID=t7.FAccountID \r\n where v1.FBillID<10 and v1.FPreparer=16\r\n"
     " and CharIndex('16',t7.FRightUserID)>0 \r\n"}},
  MethodCase{"AnIdThatIsNoNumber", Admin(), Move(Variant::String("abc"), 1, 1), "0", {}, {"Type mismatch"}},
  MethodCase{"SmallestShiftedCodeOverflows", Admin(), Move(Variant::Long(5), INT32_MIN, 1000201), "0", {},
    {"Overflow"}}), CaseName());
// clang-format on

// clang-format off
INSTANTIATE_TEST_SUITE_P(CheckSearchBill, Navigation, ::testing::Values(
  MethodCase{"AdministratorSkipsTheRightsTest", Admin({kExists}), Check(1, 1050), "True given",
    {" SELECT TOP 1 1 FROM ICStockBill v1 WHERE v1.FInterID = 1050"}},
  MethodCase{"VouchersCarryNoRights", User(2, 15, {kExists}), Check(1125, 9), "True given",
    {" SELECT TOP 1 1 FROM t_Voucher v1 WHERE v1.FVoucherID = 9"}},
  MethodCase{"DeletedBill", Admin(), Check(80, 300), "False " + std::string(kBillDeletedMessage),
    {" SELECT TOP 1 1 FROM ICSale v1 WHERE v1.FInterID = 300"}},
  MethodCase{"DeletedVoucher", User(0, 0), Check(1125, 9), "False " + std::string(kVoucherDeletedMessage),
    {" SELECT TOP 1 1 FROM t_Voucher v1 WHERE v1.FVoucherID = 9"}},
  MethodCase{"OwnScopeVisible", User(2, 0, {kExists, kVisible}), Check(1, 1050), "True given",
    {" SELECT TOP 1 1 FROM ICStockBill v1 WHERE v1.FInterID = 1050",
     " SELECT top 1 1 From ICStockBill v1 where 1=1  and FTranType=1 and v1.FBillerID=16 and v1.FInterID = 1050"}},
  MethodCase{"CustomerRightsRefuse", User(0, 1, {kExists}), Check(80, 300), "False " + std::string(kNoRightMessage),
    {" SELECT TOP 1 1 FROM ICSale v1 WHERE v1.FInterID = 300",
     " SELECT top 1 1 From " + kSaleWithCustomers + " where 1=1  and FTranType=80\r\n"
     " and CharIndex('16',t2.FRightUserID)>0 \r\n and v1.FInterID = 300"}}),
  CaseName());
// clang-format on

}  // namespace
}  // namespace zet::testing
