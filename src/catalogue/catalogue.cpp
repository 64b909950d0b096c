#include "catalogue/catalogue.hpp"

#include <utility>

#include "host/error.hpp"
#include "host/login_context.hpp"
#include "host/text.hpp"

namespace zet {

namespace {

using enum ConditionForm;

constexpr std::string_view kStockBillHeadDC =
    " (select t3.FInterID from ICStockBillEntry t3 left join t_Stock t4 on t3.FDCStockID=t4.FItemID ";
constexpr std::string_view kStockBillHeadSC =
    " select t3.FInterID from ICStockBillEntry t3 left join t_Stock t4 on t3.FSCStockID=t4.FItemID ";

// The bill catalogue. The last row is the default: every code no other row
// lists is read as a purchase order without entries. A row leaves out what it
// does not have (no joined form, no stock exclusion, no money view).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
// clang-format off
constexpr std::array<BillKind, 17> kBillKinds{{
    {.table = "ICStockBill",
     .trans_types = {1, 2, 5, 10, 21, 24, 28, 29, 40, 41, 43, 100, 101, 102},
     .key_field = "v1.FInterID",
     .preparer_field = "v1.FBillerID",
     .bare_from = "ICStockBill v1",
     .joined = {"ICStockBill v1 left join ICStockBillEntry u1 on v1.FInterID=u1.FInterID ",
                " left join t_Organization t1 on v1.FCustID=t1.FItemID ",
                " left join t_supplier t2 on v1.FSupplyID=t2.FItemID "},
     .conditions = {{kCustomerRight, NullTolerant, "t1"},
                    {kSupplierRight, NullTolerant, "t2"},
                    {kStockRight, StockExclusion, ""}},
     .stock = {" and v1.FInterID not in ", {kStockBillHeadDC, kStockBillHeadSC}}},
    {.table = "ICBom",
     .trans_types = {50},
     .key_field = "v1.FInterID",
     .preparer_field = "FCheckID",
     .bare_from = "ICBom v1",
     .joined = {"ICBom v1 left join ICBomChild u1 on v1.FInterID=u1.FInterID "},
     .conditions = {{kStockRight, StockExclusion, ""}},
     .stock = {" and v1.FInterID not in ",
               {" (select t3.FInterID from ICBomChild t3 left join t_Stock t4 on t3.FStockID=t4.FItemID "}}},
    {.table = "t_RP_CheckInfo",
     .trans_types = {51},
     .key_field = "v1.FInterID",
     .preparer_field = "v1.FPreparer",
     .bare_from = "t_RP_CheckInfo v1 ",
     .joined = {"t_RP_CheckInfo v1 ", " left join t_Organization t1 on v1.FCustomerID=t1.FItemID ",
                " left join t_supplier t2 on v1.FVendorID=t2.FItemID ",
                " left join t_Organization t3 on v1.FOutCustID=t3.FItemID ",
                " left join t_Organization t4 on v1.FInCustID=t4.FItemID ",
                " left join t_supplier t5 on v1.FOutVendorID=t5.FItemID ",
                " left join t_supplier t6 on v1.FInVendorID=t6.FItemID "},
     // Alias order, not bit order.
     .conditions = {{kCustomerRight, NullTolerant, "t1"},
                    {kSupplierRight, NullTolerant, "t2"},
                    {kCustomerRight, NullTolerant, "t3"},
                    {kCustomerRight, NullTolerant, "t4"},
                    {kSupplierRight, NullTolerant, "t5"},
                    {kSupplierRight, NullTolerant, "t6"}}},
    {.table = "POOrder",
     .trans_types = {71},
     .key_field = "v1.FInterID",
     .preparer_field = "v1.FBillerID",
     .bare_from = "POOrder v1 left join POOrderEntry u1 on v1.FInterID=u1.FInterID \r\n",
     .joined = {"POOrder v1 left join POOrderEntry u1 on v1.FInterID=u1.FInterID ",
                "left join t_supplier t2 on v1.FSupplyID=t2.FItemID "},
     .conditions = {{kSupplierRight, Plain, "t2"}}},
    {.table = "ICPurchase",
     .trans_types = {75, 76},
     .key_field = "v1.FInterID",
     .preparer_field = "v1.FBillerID",
     .bare_from = "ICPurchase v1",
     .joined = {"ICPurchase v1 left join t_supplier t2 on v1.FSupplyID=t2.FItemID "},
     .conditions = {{kSupplierRight, Plain, "t2"}},
     .money_view_join = " left join vw_BillRPMoney vrp on v1.FInterID=vrp.FInterID AND vrp.FTranType=75 "},
    {.table = "ICSale",
     .trans_types = {80, 86},
     .key_field = "v1.FInterID",
     .preparer_field = "v1.FBillerID",
     .bare_from = "ICSale v1",
     .joined = {"ICSale v1 left join t_Organization t2 on v1.FCustID=t2.FItemID "},
     .conditions = {{kCustomerRight, Plain, "t2"}},
     .money_view_join = " left join vw_BillRPMoney vrp on v1.FInterID=vrp.FInterID AND vrp.FTranType=80 "},
    {.table = "SEOrder",
     .trans_types = {81},
     .key_field = "v1.FInterID",
     .preparer_field = "v1.FBillerID",
     .bare_from = "SEOrder v1 left join SEOrderEntry u1 on v1.FInterID=u1.FInterID \r\n",
     .joined = {"SEOrder v1 left join SEOrderEntry u1 on v1.FInterID=u1.FInterID ",
                "left join t_Organization t2 on v1.FCustID=t2.FItemID "},
     .conditions = {{kCustomerRight, Plain, "t2"}}},
    {.table = "PORFQ",
     .trans_types = {84},
     .key_field = "v1.FInterID",
     .preparer_field = "v1.FBillerID",
     .bare_from = "PORFQ v1",
     .joined = {"PORFQ v1 left join t_Organization t2 on v1.FCustID=t2.FItemID "},
     .conditions = {{kCustomerRight, Plain, "t2"}}},
    {.table = "ICMO",
     .trans_types = {85},
     .key_field = "v1.FInterID",
     .preparer_field = "v1.FBillerID",
     .bare_from = "ICMO v1",
     .joined = {"ICMO v1 left join ICMOEntry u1 on v1.FInterID=u1.FInterID "},
     .conditions = {{kStockRight, StockExclusion, ""}},
     .stock = {" and v1.FInterID not in ",
               {" (select t3.FInterID from ICMOEntry t3 left join t_Stock t4 on t3.FStockID=t4.FItemID "}}},
    {.table = "ICApportionFee",
     .trans_types = {87},
     .key_field = "v1.FInterID",
     .preparer_field = "v1.FBillerID",
     .bare_from = "ICApportionFee v1"},
    {.table = "t_Voucher",
     .trans_types = {1125},
     .key_field = "v1.FVoucherID",
     .preparer_field = "v1.FPreparerID",
     .bare_from = "t_Voucher v1"},
    {.table = "t_RP_RBill",
     .trans_types = {1000201},
     .key_field = "v1.FBillID",
     .preparer_field = "v1.FPreparer",
     .move_type_shift = 1,
     .bare_from = "t_RP_RBill v1",
     .joined = {"t_RP_RBill v1 left join t_Organization t2 on v1.FCustomerID=t2.FItemID ",
                " left join t_Account t7 on v1.FAcctID=t7.FAccountID "},
     .conditions = {{kCustomerRight, Plain, "t2"}, {kAccountRight, Plain, "t7"}}},
    {.table = "t_RP_PBill",
     .trans_types = {1000202},
     .key_field = "v1.FBillID",
     .preparer_field = "v1.FPreparer",
     .move_type_shift = 1,
     .bare_from = "t_RP_PBill v1",
     .joined = {"t_RP_PBill v1 left join t_supplier t2 on v1.FSupplyID=t2.FItemID ",
                " left join t_Account t7 on v1.FAcctID=t7.FAccountID "},
     .conditions = {{kSupplierRight, Plain, "t2"}, {kAccountRight, Plain, "t7"}}},
    {.table = "t_RP_ROtherBill",
     .trans_types = {1000205},
     .key_field = "v1.FBillID",
     .preparer_field = "v1.FPreparer",
     .move_type_shift = 1,
     .bare_from = "t_RP_ROtherBill v1",
     .joined = {"t_RP_ROtherBill v1 left join t_RP_ROtherBillEntry u1 on v1.FBillID=u1.FBillID ",
                " left join t_Organization t2 on v1.FCustomerID=t2.FItemID ",
                " left join t_Account t7 on v1.FAcctID=t7.FAccountID "},
     .conditions = {{kCustomerRight, Plain, "t2"}, {kAccountRight, Plain, "t7"}},
     .money_view_join = " left join vw_BillRPMoney vrp on v1.FBillID=vrp.FInterID AND vrp.FTranType=1000205 "},
    {.table = "t_RP_POtherBill",
     .trans_types = {1000206},
     .key_field = "v1.FBillID",
     .preparer_field = "v1.FPreparer",
     .move_type_shift = 1,
     .bare_from = "t_RP_POtherBill v1",
     .joined = {"t_RP_POtherBill v1 left join t_RP_POtherBillEntry u1 on v1.FBillID=u1.FBillID ",
                " left join t_supplier t2 on v1.FSupplyID=t2.FItemID ",
                " left join t_Account t7 on v1.FAcctID=t7.FAccountID "},
     .conditions = {{kSupplierRight, Plain, "t2"}, {kAccountRight, Plain, "t7"}},
     .money_view_join = " left join vw_BillRPMoney vrp on v1.FBillID=vrp.FInterID AND vrp.FTranType=1000206 "},
    {.table = "ICChange",
     .trans_types = {1007000},
     .key_field = "v1.FID",
     .preparer_field = "v1.FBillerID",
     .move_type_shift = 1,
     .bare_from = "ICChange v1",
     .joined = {"ICChange v1 left join ICChangeEntry u1 on v1.FID=u1.FID "},
     .conditions = {{kStockRight, StockExclusion, ""}},
     .stock = {" and v1.FID not in ",
               {" (select t3.FID from ICChangeEntry t3 left join t_Stock t4 on t3.FDCStockID=t4.FItemID "}}},
    {.table = "POOrder",
     .key_field = "v1.FInterID",
     .preparer_field = "v1.FBillerID",
     .bare_from = "POOrder v1",
     .joined = {"POOrder v1 left join t_supplier t2 on v1.FSupplyID=t2.FItemID "},
     .conditions = {{kSupplierRight, Plain, "t2"}}},
}};
// clang-format on
#pragma GCC diagnostic pop

// The word after `word ` in `text` (blank-delimited), from `from` on.
std::string_view WordAfter(std::string_view text, std::string_view word, size_t& at) {
  const size_t found = text.find(word, at);
  if (found == std::string_view::npos) return {};
  size_t begin = found + word.size();
  while (begin < text.size() && text[begin] == ' ') ++begin;
  size_t end = begin;
  while (end < text.size() && text[end] != ' ') ++end;
  at = end;
  return text.substr(begin, end - begin);
}

// "LEFT=RIGHT" split at the equals sign.
std::pair<std::string_view, std::string_view> SplitEquation(std::string_view equation) {
  const size_t eq = equation.find('=');
  if (eq == std::string_view::npos) return {};
  return {equation.substr(0, eq), equation.substr(eq + 1)};
}

void LookUp(std::string_view user_id, int32_t lTransType, int32_t DataRightMask, std::string& FromClause,
            std::string& KeyField, int32_t& MoveType, std::string& PreparerField, std::string& RightsFilter,
            bool WithMoneyView) {
  RightsFilter.clear();
  const BillKind& row = FindBillKind(lTransType);
  KeyField = row.key_field;
  if (row.move_type_shift != 0) {
    if (MoveType < INT32_MIN + row.move_type_shift) RaiseRuntimeError(err::kOverflow);
    MoveType -= row.move_type_shift;
  }
  PreparerField = row.preparer_field;

  if (DataRightMask <= 0 || row.joined.empty()) {
    FromClause = row.bare_from;
  } else {
    FromClause.clear();
    for (std::string_view piece : row.joined) {
      FromClause += piece;
      FromClause += kCrLf;
    }
  }
  row.ForEachCondition(
      DataRightMask, [&](const RightsCondition& condition) { RightsFilter += ConditionText(row, condition, user_id); });

  if (WithMoneyView && !row.money_view_join.empty()) {
    FromClause += row.money_view_join;
    FromClause += kCrLf;
  }
}

}  // namespace

const BillKind& FindBillKind(int32_t trans_type) {
  for (const BillKind& kind : kBillKinds)
    for (int32_t code : kind.trans_types)
      if (code == trans_type) return kind;
  return kBillKinds.back();
}

std::string ConditionText(const BillKind& kind, const RightsCondition& condition, std::string_view user_id) {
  const std::string id(user_id);
  const std::string alias(condition.alias);
  switch (condition.form) {
    case Plain:
      return " and CharIndex('" + id + "'," + alias + ".FRightUserID)>0 " + std::string(kCrLf);
    case NullTolerant:
      return " and (IsNull(" + alias + ".FItemID,0)=0 OR CharIndex('" + id + "'," + alias + ".FRightUserID)>0) " +
             std::string(kCrLf);
    case StockExclusion:
      break;
  }
  std::string text = std::string(kind.stock.key_head) + std::string(kCrLf);
  bool first = true;
  for (std::string_view head : kind.stock.subselect_heads) {
    if (!first) text += " Union All " + std::string(kCrLf);
    first = false;
    text += std::string(head) + std::string(kCrLf) + " where charIndex('" + id + "',t4.FRightUserID)=0 " +
            std::string(kCrLf);
  }
  return text + ")";
}

std::optional<BaseDataJoin> FindJoin(const BillKind& kind, std::string_view alias) {
  for (std::string_view piece : kind.joined) {
    size_t at = 0;
    while (true) {
      const std::string_view table = WordAfter(piece, "join ", at);
      if (table.empty()) break;
      size_t after_table = at;
      if (WordAfter(piece, " ", after_table) != alias) continue;
      const auto [bill_column, item] = SplitEquation(WordAfter(piece, " on ", at));
      const std::string prefix = std::string(alias) + ".";
      if (item.substr(0, prefix.size()) != prefix) continue;
      return BaseDataJoin{table, bill_column, item.substr(prefix.size())};
    }
  }
  return std::nullopt;
}

std::optional<StockLineSource> ReadStockHead(std::string_view head) {
  size_t at = 0;
  const std::string_view bill_column = WordAfter(head, "select ", at);
  const size_t from = head.find(" from ", at);
  if (bill_column.empty() || from == std::string_view::npos) return std::nullopt;
  const std::string_view entry_table = WordAfter(head, " from ", at);
  const auto [stock_column, item] = SplitEquation(WordAfter(head, " on ", at));
  if (entry_table.empty() || stock_column.empty()) return std::nullopt;
  return StockLineSource{entry_table, bill_column, stock_column, head.substr(from + 6)};
}

void GetBillTableInfo(Platform& platform, int32_t lTransType, int32_t DataRightMask, std::string& FromClause,
                      std::string& KeyField, int32_t& MoveType, std::string& PreparerField, std::string& RightsFilter,
                      bool WithMoneyView) {
  // The id goes through a 32-bit number and back, so "0012" is written "12"
  // and a text that is no number fails here, before any output is touched.
  const int32_t user = CLng(Variant::String(GetPropValue(platform, "UserID")));
  LookUp(std::to_string(user), lTransType, DataRightMask, FromClause, KeyField, MoveType, PreparerField, RightsFilter,
         WithMoneyView);
}

BillTableInfo GetBillTableInfo(Platform& platform, int32_t lTransType, int32_t DataRightMask, int32_t& MoveType,
                               bool WithMoneyView) {
  BillTableInfo info;
  GetBillTableInfo(platform, lTransType, DataRightMask, info.FromClause, info.KeyField, MoveType, info.PreparerField,
                   info.RightsFilter, WithMoneyView);
  return info;
}

}  // namespace zet
