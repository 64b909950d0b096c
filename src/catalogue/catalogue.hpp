#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "host/platform.hpp"

namespace zet {

// The SQL pieces of one bill kind.
struct BillTableInfo {
  std::string FromClause;
  std::string KeyField;
  std::string PreparerField;
  std::string RightsFilter;
};

// A short list of at most N items that a constant table can hold inline.
template <class T, size_t N>
class FewOf {
 public:
  constexpr FewOf() = default;
  // More than N items: in a constant table this does not compile.
  constexpr FewOf(std::initializer_list<T> items) {
    for (const T& item : items) {
      if (count_ == N) throw std::length_error("FewOf: more items than room");
      items_[count_++] = item;
    }
  }
  constexpr const T* begin() const { return items_.data(); }
  constexpr const T* end() const { return items_.data() + count_; }
  constexpr size_t size() const { return count_; }
  constexpr bool empty() const { return count_ == 0; }

 private:
  std::array<T, N> items_{};
  size_t count_ = 0;
};

// The data-right bits: which base data a condition restricts by.
inline constexpr int32_t kCustomerRight = 1;
inline constexpr int32_t kSupplierRight = 2;
inline constexpr int32_t kStockRight = 4;
inline constexpr int32_t kAccountRight = 8;

// How one rights condition is written.
enum class ConditionForm {
  Plain,           // " and CharIndex('<id>',tN.FRightUserID)>0 " CR LF; a missing row hides the bill
  NullTolerant,    // the same test, but a bill without that base-data row passes
  StockExclusion,  // hides a bill with any entry line whose stock the user may not see
};

struct RightsCondition {
  int32_t bit = 0;
  ConditionForm form = ConditionForm::Plain;
  std::string_view alias;  // "t1" .. "t7"; empty for the stock exclusion
};

// The stock exclusion: a key head, then one sub-select head per stock column
// of the entry table, joined by " Union All ".
struct StockHeads {
  std::string_view key_head;
  FewOf<std::string_view, 2> subselect_heads;
};

// One row of the bill catalogue: where a bill kind is stored and how its
// bills are restricted to what a user may see.
struct BillKind {
  std::string_view table;          // the main table, aliased v1
  FewOf<int32_t, 14> trans_types;  // empty for the default row
  std::string_view key_field;
  std::string_view preparer_field;
  int32_t move_type_shift = 0;  // subtracted from the caller's MoveType
  std::string_view bare_from;
  FewOf<std::string_view, 7> joined;     // empty: the bare form serves whatever the mask
  FewOf<RightsCondition, 6> conditions;  // in the order the filter carries them
  StockHeads stock;
  std::string_view money_view_join;

  // The conditions a data-right mask adds, in order; none for a mask of 0 or
  // below or a row without a joined form.
  template <class Visit>
  void ForEachCondition(int32_t mask, Visit&& visit) const {
    if (mask <= 0 || joined.empty()) return;
    for (const RightsCondition& condition : conditions)
      if ((mask & condition.bit) != 0) visit(condition);
  }
};

// The row of a transaction type; the default row for every code no row lists.
const BillKind& FindBillKind(int32_t trans_type);

// One condition as the rights filter writes it for `user_id`.
std::string ConditionText(const BillKind& kind, const RightsCondition& condition, std::string_view user_id);

// How a base-data alias of a row's joined form is joined: " left join TABLE
// ALIAS on BILL_COLUMN=ALIAS.ITEM_COLUMN ", as the row's own text says.
struct BaseDataJoin {
  std::string_view table;
  std::string_view bill_column;
  std::string_view item_column;
};
std::optional<BaseDataJoin> FindJoin(const BillKind& kind, std::string_view alias);

// The entry table and stock column of one sub-select head of the stock
// exclusion, read from its text: " (select t3.KEY from ENTRY t3 left join
// t_Stock t4 on t3.STOCK=t4.FItemID ".
struct StockLineSource {
  std::string_view entry_table;
  std::string_view bill_column;   // t3.FInterID
  std::string_view stock_column;  // t3.FDCStockID
  std::string_view from_text;     // "ENTRY t3 left join t_Stock t4 on ... "
};
std::optional<StockLineSource> ReadStockHead(std::string_view head);

// Looks a transaction type up in the bill catalogue. Writes the caller's
// variables in place, in the order the lookup sets them, so that a failure
// part-way leaves the rest as the caller had them: a user id that is not a
// number fails before anything is written; lowering MoveType below the
// smallest 32-bit value raises Overflow after RightsFilter and KeyField.
void GetBillTableInfo(Platform& platform, int32_t lTransType, int32_t DataRightMask, std::string& FromClause,
                      std::string& KeyField, int32_t& MoveType, std::string& PreparerField, std::string& RightsFilter,
                      bool WithMoneyView);

// The record form, for callers that want the four strings together.
BillTableInfo GetBillTableInfo(Platform& platform, int32_t lTransType, int32_t DataRightMask, int32_t& MoveType,
                               bool WithMoneyView);

}  // namespace zet
