#include "catalogue/catalogue.hpp"

#include <array>
#include <vector>

#include "host/error.hpp"
#include "host/login_context.hpp"

namespace zet {

namespace {

// How one rights condition is written.
enum class ConditionForm {
  Plain,         // " and CharIndex('<id>',tN.FRightUserID)>0 " CR LF; a missing row hides the bill
  NullTolerant,  // a bill without that base-data row passes
  StockExclusion,
};

struct RightsCondition {
  int32_t bit;
  ConditionForm form;
  std::string_view alias;  // "t1" .. "t7"; unused by the stock exclusion
};

// The stock exclusion: a key head, then one sub-select head per stock column
// of the entry table, joined by " Union All ".
struct StockExclusion {
  std::string_view key_head;
  std::vector<std::string_view> subselect_heads;
};

struct CatalogueRow {
  std::string_view key_field;
  std::string_view preparer_field;
  bool lowers_move_type;
  std::string_view bare_from;
  // Empty: the bare form serves whatever the mask.
  std::vector<std::string_view> joined_pieces;
  std::vector<RightsCondition> conditions;
  StockExclusion stock;
  std::string_view money_view_join;
};

constexpr int32_t kCustomers = 1;
constexpr int32_t kSuppliers = 2;
constexpr int32_t kStocks = 4;
constexpr int32_t kAccounts = 8;

const CatalogueRow& StockBillRow() {
  static const CatalogueRow row{
      "v1.FInterID",
      "v1.FBillerID",
      false,
      "ICStockBill v1",
      {"ICStockBill v1 left join ICStockBillEntry u1 on v1.FInterID=u1.FInterID ",
       " left join t_Organization t1 on v1.FCustID=t1.FItemID ",
       " left join t_supplier t2 on v1.FSupplyID=t2.FItemID "},
      {{kCustomers, ConditionForm::NullTolerant, "t1"},
       {kSuppliers, ConditionForm::NullTolerant, "t2"},
       {kStocks, ConditionForm::StockExclusion, ""}},
      {" and v1.FInterID not in ",
       {" (select t3.FInterID from ICStockBillEntry t3 left join t_Stock t4 on t3.FDCStockID=t4.FItemID ",
        " select t3.FInterID from ICStockBillEntry t3 left join t_Stock t4 on t3.FSCStockID=t4.FItemID "}},
      ""};
  return row;
}

const CatalogueRow& BomRow() {
  static const CatalogueRow row{
      "v1.FInterID",
      "FCheckID",
      false,
      "ICBom v1",
      {"ICBom v1 left join ICBomChild u1 on v1.FInterID=u1.FInterID "},
      {{kStocks, ConditionForm::StockExclusion, ""}},
      {" and v1.FInterID not in ",
       {" (select t3.FInterID from ICBomChild t3 left join t_Stock t4 on t3.FStockID=t4.FItemID "}},
      ""};
  return row;
}

const CatalogueRow& CheckInfoRow() {
  static const CatalogueRow row{"v1.FInterID",
                                "v1.FPreparer",
                                false,
                                "t_RP_CheckInfo v1 ",
                                {"t_RP_CheckInfo v1 ", " left join t_Organization t1 on v1.FCustomerID=t1.FItemID ",
                                 " left join t_supplier t2 on v1.FVendorID=t2.FItemID ",
                                 " left join t_Organization t3 on v1.FOutCustID=t3.FItemID ",
                                 " left join t_Organization t4 on v1.FInCustID=t4.FItemID ",
                                 " left join t_supplier t5 on v1.FOutVendorID=t5.FItemID ",
                                 " left join t_supplier t6 on v1.FInVendorID=t6.FItemID "},
                                // Alias order, not bit order.
                                {{kCustomers, ConditionForm::NullTolerant, "t1"},
                                 {kSuppliers, ConditionForm::NullTolerant, "t2"},
                                 {kCustomers, ConditionForm::NullTolerant, "t3"},
                                 {kCustomers, ConditionForm::NullTolerant, "t4"},
                                 {kSuppliers, ConditionForm::NullTolerant, "t5"},
                                 {kSuppliers, ConditionForm::NullTolerant, "t6"}},
                                {},
                                ""};
  return row;
}

const CatalogueRow& PurchaseOrderRow() {
  static const CatalogueRow row{"v1.FInterID",
                                "v1.FBillerID",
                                false,
                                "POOrder v1 left join POOrderEntry u1 on v1.FInterID=u1.FInterID \r\n",
                                {"POOrder v1 left join POOrderEntry u1 on v1.FInterID=u1.FInterID ",
                                 "left join t_supplier t2 on v1.FSupplyID=t2.FItemID "},
                                {{kSuppliers, ConditionForm::Plain, "t2"}},
                                {},
                                ""};
  return row;
}

const CatalogueRow& PurchaseInvoiceRow() {
  static const CatalogueRow row{"v1.FInterID",
                                "v1.FBillerID",
                                false,
                                "ICPurchase v1",
                                {"ICPurchase v1 left join t_supplier t2 on v1.FSupplyID=t2.FItemID "},
                                {{kSuppliers, ConditionForm::Plain, "t2"}},
                                {},
                                " left join vw_BillRPMoney vrp on v1.FInterID=vrp.FInterID AND vrp.FTranType=75 "};
  return row;
}

const CatalogueRow& SaleInvoiceRow() {
  static const CatalogueRow row{"v1.FInterID",
                                "v1.FBillerID",
                                false,
                                "ICSale v1",
                                {"ICSale v1 left join t_Organization t2 on v1.FCustID=t2.FItemID "},
                                {{kCustomers, ConditionForm::Plain, "t2"}},
                                {},
                                " left join vw_BillRPMoney vrp on v1.FInterID=vrp.FInterID AND vrp.FTranType=80 "};
  return row;
}

const CatalogueRow& SaleOrderRow() {
  static const CatalogueRow row{"v1.FInterID",
                                "v1.FBillerID",
                                false,
                                "SEOrder v1 left join SEOrderEntry u1 on v1.FInterID=u1.FInterID \r\n",
                                {"SEOrder v1 left join SEOrderEntry u1 on v1.FInterID=u1.FInterID ",
                                 "left join t_Organization t2 on v1.FCustID=t2.FItemID "},
                                {{kCustomers, ConditionForm::Plain, "t2"}},
                                {},
                                ""};
  return row;
}

const CatalogueRow& QuotationRequestRow() {
  static const CatalogueRow row{"v1.FInterID",
                                "v1.FBillerID",
                                false,
                                "PORFQ v1",
                                {"PORFQ v1 left join t_Organization t2 on v1.FCustID=t2.FItemID "},
                                {{kCustomers, ConditionForm::Plain, "t2"}},
                                {},
                                ""};
  return row;
}

const CatalogueRow& ProductionOrderRow() {
  static const CatalogueRow row{
      "v1.FInterID",
      "v1.FBillerID",
      false,
      "ICMO v1",
      {"ICMO v1 left join ICMOEntry u1 on v1.FInterID=u1.FInterID "},
      {{kStocks, ConditionForm::StockExclusion, ""}},
      {" and v1.FInterID not in ",
       {" (select t3.FInterID from ICMOEntry t3 left join t_Stock t4 on t3.FStockID=t4.FItemID "}},
      ""};
  return row;
}

const CatalogueRow& ApportionFeeRow() {
  static const CatalogueRow row{"v1.FInterID", "v1.FBillerID", false, "ICApportionFee v1", {}, {}, {}, ""};
  return row;
}

const CatalogueRow& VoucherRow() {
  static const CatalogueRow row{"v1.FVoucherID", "v1.FPreparerID", false, "t_Voucher v1", {}, {}, {}, ""};
  return row;
}

const CatalogueRow& ReceivableBillRow() {
  static const CatalogueRow row{"v1.FBillID",
                                "v1.FPreparer",
                                true,
                                "t_RP_RBill v1",
                                {"t_RP_RBill v1 left join t_Organization t2 on v1.FCustomerID=t2.FItemID ",
                                 " left join t_Account t7 on v1.FAcctID=t7.FAccountID "},
                                {{kCustomers, ConditionForm::Plain, "t2"}, {kAccounts, ConditionForm::Plain, "t7"}},
                                {},
                                ""};
  return row;
}

const CatalogueRow& PayableBillRow() {
  static const CatalogueRow row{"v1.FBillID",
                                "v1.FPreparer",
                                true,
                                "t_RP_PBill v1",
                                {"t_RP_PBill v1 left join t_supplier t2 on v1.FSupplyID=t2.FItemID ",
                                 " left join t_Account t7 on v1.FAcctID=t7.FAccountID "},
                                {{kSuppliers, ConditionForm::Plain, "t2"}, {kAccounts, ConditionForm::Plain, "t7"}},
                                {},
                                ""};
  return row;
}

const CatalogueRow& OtherReceivableRow() {
  static const CatalogueRow row{"v1.FBillID",
                                "v1.FPreparer",
                                true,
                                "t_RP_ROtherBill v1",
                                {"t_RP_ROtherBill v1 left join t_RP_ROtherBillEntry u1 on v1.FBillID=u1.FBillID ",
                                 " left join t_Organization t2 on v1.FCustomerID=t2.FItemID ",
                                 " left join t_Account t7 on v1.FAcctID=t7.FAccountID "},
                                {{kCustomers, ConditionForm::Plain, "t2"}, {kAccounts, ConditionForm::Plain, "t7"}},
                                {},
                                " left join vw_BillRPMoney vrp on v1.FBillID=vrp.FInterID AND vrp.FTranType=1000205 "};
  return row;
}

const CatalogueRow& OtherPayableRow() {
  static const CatalogueRow row{
      "v1.FBillID",
      "v1.FPreparer",
      true,
      "t_RP_POtherBill v1",
      {"t_RP_POtherBill v1 left join t_RP_POtherBillEntry u1 on v1.FBillID=u1.FBillID ",
       " left join t_supplier t2 on v1.FSupplyID=t2.FItemID ", " left join t_Account t7 on v1.FAcctID=t7.FAccountID "},
      {{kSuppliers, ConditionForm::Plain, "t2"}, {kAccounts, ConditionForm::Plain, "t7"}},
      {},
      " left join vw_BillRPMoney vrp on v1.FBillID=vrp.FInterID AND vrp.FTranType=1000206 "};
  return row;
}

const CatalogueRow& ChangeRow() {
  static const CatalogueRow row{
      "v1.FID",
      "v1.FBillerID",
      true,
      "ICChange v1",
      {"ICChange v1 left join ICChangeEntry u1 on v1.FID=u1.FID "},
      {{kStocks, ConditionForm::StockExclusion, ""}},
      {" and v1.FID not in ",
       {" (select t3.FID from ICChangeEntry t3 left join t_Stock t4 on t3.FDCStockID=t4.FItemID "}},
      ""};
  return row;
}

// Every code no other row lists is read as a purchase order without entries.
const CatalogueRow& DefaultRow() {
  static const CatalogueRow row{"v1.FInterID",
                                "v1.FBillerID",
                                false,
                                "POOrder v1",
                                {"POOrder v1 left join t_supplier t2 on v1.FSupplyID=t2.FItemID "},
                                {{kSuppliers, ConditionForm::Plain, "t2"}},
                                {},
                                ""};
  return row;
}

const CatalogueRow& RowFor(int32_t trans_type) {
  switch (trans_type) {
    case 1:
    case 2:
    case 5:
    case 10:
    case 21:
    case 24:
    case 28:
    case 29:
    case 40:
    case 41:
    case 43:
    case 100:
    case 101:
    case 102:
      return StockBillRow();
    case 50:
      return BomRow();
    case 51:
      return CheckInfoRow();
    case 71:
      return PurchaseOrderRow();
    case 75:
    case 76:
      return PurchaseInvoiceRow();
    case 80:
    case 86:
      return SaleInvoiceRow();
    case 81:
      return SaleOrderRow();
    case 84:
      return QuotationRequestRow();
    case 85:
      return ProductionOrderRow();
    case 87:
      return ApportionFeeRow();
    case 1125:
      return VoucherRow();
    case 1000201:
      return ReceivableBillRow();
    case 1000202:
      return PayableBillRow();
    case 1000205:
      return OtherReceivableRow();
    case 1000206:
      return OtherPayableRow();
    case 1007000:
      return ChangeRow();
    default:
      return DefaultRow();
  }
}

void AppendCondition(std::string& filter, const RightsCondition& condition, const StockExclusion& stock,
                     std::string_view user_id) {
  switch (condition.form) {
    case ConditionForm::Plain:
      filter += " and CharIndex('";
      filter += user_id;
      filter += "',";
      filter += condition.alias;
      filter += ".FRightUserID)>0 ";
      filter += kCrLf;
      break;
    case ConditionForm::NullTolerant:
      filter += " and (IsNull(";
      filter += condition.alias;
      filter += ".FItemID,0)=0 OR CharIndex('";
      filter += user_id;
      filter += "',";
      filter += condition.alias;
      filter += ".FRightUserID)>0) ";
      filter += kCrLf;
      break;
    case ConditionForm::StockExclusion: {
      filter += stock.key_head;
      filter += kCrLf;
      bool first = true;
      for (std::string_view head : stock.subselect_heads) {
        if (!first) {
          filter += " Union All ";
          filter += kCrLf;
        }
        first = false;
        filter += head;
        filter += kCrLf;
        filter += " where charIndex('";
        filter += user_id;
        filter += "',t4.FRightUserID)=0 ";
        filter += kCrLf;
      }
      filter += ")";
      break;
    }
  }
}

}  // namespace

void LookUpBillTable(std::string_view user_id, int32_t lTransType, int32_t DataRightMask, std::string& FromClause,
                     std::string& KeyField, int32_t& MoveType, std::string& PreparerField, std::string& RightsFilter,
                     bool WithMoneyView) {
  RightsFilter.clear();
  const CatalogueRow& row = RowFor(lTransType);
  KeyField = row.key_field;
  if (row.lowers_move_type) {
    if (MoveType == INT32_MIN) RaiseRuntimeError(err::kOverflow);
    MoveType -= 1;
  }
  PreparerField = row.preparer_field;

  if (DataRightMask <= 0 || row.joined_pieces.empty()) {
    FromClause = row.bare_from;
  } else {
    FromClause.clear();
    for (std::string_view piece : row.joined_pieces) {
      FromClause += piece;
      FromClause += kCrLf;
    }
    for (const RightsCondition& condition : row.conditions) {
      if ((DataRightMask & condition.bit) != 0) AppendCondition(RightsFilter, condition, row.stock, user_id);
    }
  }

  if (WithMoneyView && !row.money_view_join.empty()) {
    FromClause += row.money_view_join;
    FromClause += kCrLf;
  }
}

void GetBillTableInfo(Platform& platform, int32_t lTransType, int32_t DataRightMask, std::string& FromClause,
                      std::string& KeyField, int32_t& MoveType, std::string& PreparerField, std::string& RightsFilter,
                      bool WithMoneyView) {
  // The id goes through a 32-bit number and back, so "0012" is written "12"
  // and a text that is no number fails here, before any output is touched.
  const int32_t user = CLng(Variant::String(GetPropValue(platform, "UserID")));
  LookUpBillTable(std::to_string(user), lTransType, DataRightMask, FromClause, KeyField, MoveType, PreparerField,
                  RightsFilter, WithMoneyView);
}

BillTableInfo GetBillTableInfo(Platform& platform, int32_t lTransType, int32_t DataRightMask, int32_t& MoveType,
                               bool WithMoneyView) {
  BillTableInfo info;
  GetBillTableInfo(platform, lTransType, DataRightMask, info.FromClause, info.KeyField, MoveType, info.PreparerField,
                   info.RightsFilter, WithMoneyView);
  return info;
}

}  // namespace zet
