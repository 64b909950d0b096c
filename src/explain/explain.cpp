#include "explain/explain.hpp"

#include <utility>

#include "catalogue/catalogue.hpp"
#include "explain/statement_log.hpp"
#include "host/error.hpp"
#include "host/gateway.hpp"
#include "host/login_context.hpp"
#include "navigation/navigation.hpp"
#include "pending/pending.hpp"
#include "pending/todo_positions.hpp"
#include "rights/rights.hpp"

namespace zet::explain {

namespace {

// What a data-right bit restricts by, in words.
const char* BaseDataName(int32_t bit) {
  switch (bit) {
    case kCustomerRight:
      return "customer";
    case kSupplierRight:
      return "supplier";
    case kStockRight:
      return "stock";
    case kAccountRight:
      return "account";
    default:
      return "base data";
  }
}

std::string Quoted(const Variant& value) {
  return value.IsNull() ? std::string("NULL") : "'" + CStr(value) + "'";
}

std::string Text(const Variant& value) {
  return value.IsNull() || value.IsEmpty() ? std::string() : CStr(value);
}

// Whether `id` stands in `text` as a number of its own, not only as part of
// a longer one ("5" in "15" is contained, but not listed).
bool ListsAsWhole(const std::string& text, const std::string& id) {
  const auto is_digit = [](char c) { return c >= '0' && c <= '9'; };
  for (size_t at = text.find(id); at != std::string::npos; at = text.find(id, at + 1)) {
    const bool open_before = at == 0 || !is_digit(text[at - 1]);
    const size_t end = at + id.size();
    const bool open_after = end >= text.size() || !is_digit(text[end]);
    if (open_before && open_after) return true;
  }
  return false;
}

// The ids of a group list "(3,5,25)"; nullopt when the text is no such list.
std::optional<std::vector<double>> ParseGroupList(const std::string& list) {
  if (list.size() < 3 || list.front() != '(' || list.back() != ')') return std::nullopt;
  std::vector<double> ids;
  size_t begin = 1;
  while (begin < list.size()) {
    size_t end = list.find_first_of(",)", begin);
    const auto number = ParseAutomationNumber(list.substr(begin, end - begin));
    if (!number) return std::nullopt;
    ids.push_back(number->value);
    begin = end + 1;
  }
  return ids;
}

class BillExplainer {
 public:
  BillExplainer(StatementLog& log, BillExplanation& out) : log_(log), out_(out), kind_(FindBillKind(out.trans_type)) {
    bill_ = std::to_string(out_.bill);
    out_.table = std::string(kind_.table);
  }

  // The pieces in the order the method weighs them; false when the answer is
  // settled before the rights test.
  void Run() {
    if (!BillExists()) return;
    if (!WhoIsAsking()) {
      out_.may_open = true;
      return;
    }
    bool passes = true;
    if (IsSharedTableTranType(out_.trans_type)) passes &= KindMatches();
    passes &= Preparer();
    passes &= DataRights();
    out_.may_open = passes;
  }

 private:
  Step& Add(std::string piece, std::string text, Verdict verdict, size_t mark, std::string why = {}) {
    out_.steps.push_back({std::move(piece), std::move(text), verdict, std::move(why), log_.Since(mark)});
    return out_.steps.back();
  }

  std::string BareWhere() const { return " WHERE " + std::string(kind_.key_field) + " = " + bill_; }

  bool BillExists() {
    const size_t mark = log_.Size();
    const bool shared = IsSharedTableTranType(out_.trans_type);
    const std::string sql = " SELECT TOP 1 " + std::string(kind_.preparer_field) + (shared ? ",v1.FTranType" : "") +
                            " FROM " + std::string(kind_.bare_from) + BareWhere();
    const Recordset rs = QueryData(log_, sql);
    if (rs.Eof()) {
      Add("bill", "no bill " + bill_ + " in " + out_.table, Verdict::Fail, mark,
          out_.trans_type == kVoucherTranType ? kVoucherDeletedMessage : kBillDeletedMessage);
      return false;
    }
    preparer_ = rs.Field(0);
    if (shared) bill_type_ = rs.Field(1);
    Add("bill", "bill " + bill_ + " exists in " + out_.table, Verdict::Pass, mark);
    return true;
  }

  // False when the user is exempt from the rights test.
  bool WhoIsAsking() {
    size_t mark = log_.Size();
    user_text_ = GetPropValue(log_, "UserID");
    const bool admin = IsAdminUser(log_);
    if (admin) {
      Add("user", "user " + user_text_ + " is an administrator (group 1): every bill", Verdict::Pass, mark);
      return false;
    }
    GetUserRights(log_, group_right_, data_right_);
    Add("user", "user " + user_text_ + ", not an administrator; FUserGroupRight " + std::to_string(group_right_) +
                    " (" + ScopeWords() + "), FDataRight " + std::to_string(data_right_) + " (" + MaskWords() + ")",
        Verdict::Info, mark);
    if (out_.trans_type == kVoucherTranType) {
      Add("voucher", "vouchers carry no data rights", Verdict::Pass, log_.Size());
      return false;
    }
    return true;
  }

  std::string ScopeWords() const {
    if (group_right_ == kOwnBills) return "own bills only";
    if (group_right_ == kGroupBills) return "the group's bills";
    return "all preparers";
  }

  std::string MaskWords() const {
    if (data_right_ <= 0) return "no base-data restriction";
    std::string on, idle;
    for (int32_t bit : {kCustomerRight, kSupplierRight, kStockRight, kAccountRight}) {
      if ((data_right_ & bit) == 0) continue;
      bool used = false;
      kind_.ForEachCondition(data_right_, [&](const RightsCondition& c) { used |= c.bit == bit; });
      std::string& list = used ? on : idle;
      list += (list.empty() ? "" : ", ") + std::string(BaseDataName(bit)) + "s";
    }
    if ((data_right_ & ~15) != 0) idle += std::string(idle.empty() ? "" : ", ") + "bits above 8";
    std::string words = on.empty() ? "restricts nothing here" : "restricts by " + on;
    if (!idle.empty()) words += "; means nothing for this kind: " + idle;
    return words;
  }

  bool KindMatches() {
    const std::string type = std::to_string(out_.trans_type);
    const bool same = CompareWithNumber(bill_type_, out_.trans_type) == 0;
    Add("kind", "the bill is of type " + Text(bill_type_) + (same ? "" : ", not " + type),
        same ? Verdict::Pass : Verdict::Fail, log_.Size(), same ? "" : "its table holds several kinds");
    return same;
  }

  bool Preparer() {
    const size_t mark = log_.Size();
    const std::string field(kind_.preparer_field);
    const std::string preparer = preparer_.IsNull() ? "none" : Text(preparer_);
    if (group_right_ == kOwnBills) {
      const auto user = ParseAutomationNumber(user_text_);
      const bool own = user && CompareWithNumber(preparer_, user->value) == 0;
      Add("preparer", field + " is " + preparer + ", the user is " + user_text_, own ? Verdict::Pass : Verdict::Fail,
          mark, own ? "" : "not the user's own bill");
      return own;
    }
    if (group_right_ == kGroupBills) {
      const std::string list = GetGroupUserList(log_);
      const auto ids = ParseGroupList(list);
      if (!ids) {
        Add("preparer", "the user's group list is '" + list + "'", Verdict::Fail, mark,
            "no list of ids: the database rejects the statement");
        return false;
      }
      bool member = false;
      for (double id : *ids) member |= CompareWithNumber(preparer_, id) == 0;
      Add("preparer", field + " is " + preparer + ", the user's groups hold " + list,
          member ? Verdict::Pass : Verdict::Fail, mark, member ? "" : "the preparer shares no group with the user");
      return member;
    }
    Add("preparer", "no restriction by preparer", Verdict::Info, mark);
    return true;
  }

  bool DataRights() {
    if (data_right_ <= 0) return true;
    // The id as the catalogue writes it: through a number and back.
    const std::string id = std::to_string(CLng(Variant::String(user_text_)));
    bool passes = true;
    bool any = false;
    kind_.ForEachCondition(data_right_, [&](const RightsCondition& condition) {
      any = true;
      passes &= condition.form == ConditionForm::StockExclusion ? Stocks(id) : BaseData(condition, id);
    });
    if (!any) Add("data", "the mask adds no condition for " + out_.table, Verdict::Info, log_.Size());
    return passes;
  }

  bool BaseData(const RightsCondition& condition, const std::string& id) {
    const size_t mark = log_.Size();
    const std::string piece = BaseDataName(condition.bit);
    const std::string alias(condition.alias);
    const auto join = FindJoin(kind_, condition.alias);
    if (!join) throw AutomationError(0, "the catalogue joins no " + alias + " for " + out_.table);
    const std::string item = alias + "." + std::string(join->item_column);
    const std::string sql = " SELECT TOP 1 " + std::string(join->bill_column) + "," + item + "," + alias + ".FNumber," +
                            alias + ".FName," + alias + ".FRightUserID,CharIndex('" + id + "'," + alias +
                            ".FRightUserID) FROM " + out_.table + " v1 left join " + std::string(join->table) + " " +
                            alias + " on " + std::string(join->bill_column) + "=" + item + BareWhere();
    const Recordset rs = QueryData(log_, sql);
    const Variant found = rs.Eof() ? Variant::Null() : rs.Field(1);
    const std::string via = alias + " (" + std::string(join->bill_column) + " = " +
                            (rs.Eof() ? std::string("?") : Text(rs.Field(0))) + "): ";
    const bool missing = found.IsNull() || CompareWithNumber(found, 0) == 0;
    const bool tolerant = condition.form == ConditionForm::NullTolerant;
    if (missing) {
      Add(piece, via + "no such row in " + std::string(join->table), tolerant ? Verdict::Tolerated : Verdict::Fail,
          mark, tolerant ? "a bill without this row passes" : "the row is missing and this form hides the bill");
      return tolerant;
    }
    const Variant rights = rs.Field(4);
    const bool contains = !rs.Field(5).IsNull() && CompareWithNumber(rs.Field(5), 0) == 1;
    Add(piece,
        via + std::string(join->table) + " " + Text(found) + " " + Text(rs.Field(2)) + " " + Text(rs.Field(3)) +
            ", FRightUserID " + Quoted(rights),
        contains ? Verdict::Pass : Verdict::Fail, mark, contains ? "" : "the text does not contain " + id);
    if (contains) NoteAccident(piece + " " + Text(found), Text(rights), id);
    return contains;
  }

  bool Stocks(const std::string& id) {
    bool passes = true;
    bool any_line = false;
    const size_t first_mark = log_.Size();
    for (std::string_view head : kind_.stock.subselect_heads) {
      const auto source = ReadStockHead(head);
      if (!source) throw AutomationError(0, "unreadable stock exclusion for " + out_.table);
      const size_t mark = log_.Size();
      const std::string sql = " SELECT t3.FEntryID,t4.FItemID,t4.FNumber,t4.FName,t4.FRightUserID,charIndex('" + id +
                              "',t4.FRightUserID) FROM " + std::string(source->from_text) + "WHERE " +
                              std::string(source->bill_column) + " = " + bill_;
      for (const Recordset rs = QueryData(log_, sql); !rs.Eof(); rs.MoveNext()) {
        any_line = true;
        const Variant found = rs.Field(5);
        const std::string line = "line " + Text(rs.Field(0)) + " (" + std::string(source->stock_column) + "): ";
        if (found.IsNull()) continue;  // no stock row, or no text: hides nothing
        const std::string stock = Text(rs.Field(1)) + " " + Text(rs.Field(2)) + " " + Text(rs.Field(3));
        if (CompareWithNumber(found, 0) == 0) {
          Add("stock line", line + "t_Stock " + stock + ", FRightUserID " + Quoted(rs.Field(4)), Verdict::Fail, mark,
              "the text does not contain " + id + ": the stock exclusion hides the bill");
          passes = false;
        } else {
          NoteAccident("stock " + Text(rs.Field(1)) + " on " + line.substr(0, line.find(' ', 5)), Text(rs.Field(4)), id);
        }
      }
    }
    if (passes)
      Add("stock", any_line ? "every entry line's stock lists the user" : "no entry line names a stock",
          Verdict::Pass, first_mark);
    return passes;
  }

  void NoteAccident(const std::string& what, const std::string& rights, const std::string& id) {
    if (ListsAsWhole(rights, id)) return;
    out_.hints.push_back("user " + id + " passes " + what + " only because FRightUserID '" + rights +
                         "' contains '" + id + "' inside another number: the test is plain substring containment");
  }

  StatementLog& log_;
  BillExplanation& out_;
  const BillKind& kind_;
  std::string bill_;
  Variant preparer_;
  Variant bill_type_;
  std::string user_text_;
  int32_t group_right_ = 0;
  int32_t data_right_ = 0;
};

std::string FailureText(const std::exception& e) {
  return e.what();
}

}  // namespace

BillExplanation ExplainBill(Platform& platform, int32_t trans_type, int32_t bill) noexcept {
  BillExplanation out;
  out.trans_type = trans_type;
  out.bill = bill;
  try {
    StatementLog log(platform);
    BillExplainer(log, out).Run();
    const size_t mark = log.Size();
    out.method_may_open = CheckSearchBill(log, trans_type, bill, out.method_info);
    out.method_statements = log.Since(mark);
  } catch (const std::exception& e) {
    out.failure = FailureText(e);
  } catch (...) {
    out.failure = "unknown failure";
  }
  return out;
}

ToDoExplanation ExplainToDo(Platform& platform, int32_t position) noexcept {
  ToDoExplanation out;
  out.position = position;
  try {
    const ToDoPosition* entry = FindToDoPosition(position);
    if (entry == nullptr) throw AutomationError(0, "no to-do position " + std::to_string(position));
    StatementLog log(platform);
    const BillKind& kind = FindBillKind(entry->trans_type);
    out.steps.push_back({"position",
                         std::to_string(position) + ": " + std::string(entry->label) +
                             (entry->trans_type ? " (type " + std::to_string(entry->trans_type) + ", " +
                                                      std::string(kind.table) + ")"
                                                : ""),
                         Verdict::Info,
                         {},
                         {}});
    if (entry->trans_type == 0) {
      out.count = "0";
      out.granted = out.method_granted = true;  // nothing to grant: always 0
      return out;
    }

    size_t mark = log.Size();
    const std::string user_text = GetPropValue(log, "UserID");
    const bool admin = IsAdminUser(log);
    out.steps.push_back({"user", "user " + user_text + (admin ? " is an administrator: no access check" : ""),
                         Verdict::Info, {}, log.Since(mark)});
    if (admin) {
      out.granted = out.method_granted = true;
    } else {
      const std::string user = std::to_string(CLng(Variant::String(user_text)));
      const auto holder = [&](const Variant& id) {
        return CompareWithNumber(id, CLng(Variant::String(user))) == 0 ? "the user's own row" : "group " + Text(id);
      };
      const auto where = [&](const AccessObject& object) {
        return " from t_AccessControl where FObjectType=" + std::to_string(object.type) +
               " and FObjectID=" + std::to_string(object.id) + ToDoHolderCondition(user);
      };
      const std::string object_1 =
          "object (" + std::to_string(entry->granting.type) + ", " + std::to_string(entry->granting.id) + ")";
      mark = log.Size();
      const Recordset first = QueryData(log, "select FUserID" + where(entry->granting));
      const bool holds_first = !first.Eof();
      out.steps.push_back({"access", object_1 + (holds_first ? ": granted by " + holder(first.Field(0)) : ": no row"),
                           holds_first ? Verdict::Pass : Verdict::Fail,
                           holds_first ? "" : "no row of the user or a group of the user names it",
                           log.Since(mark)});
      const std::string object_2 =
          "object (" + std::to_string(entry->masked.type) + ", " + std::to_string(entry->masked.id) + ")";
      mark = log.Size();
      const Recordset masks = QueryData(log, "select FUserID,FAccessMask" + where(entry->masked));
      // Only the first row counts, as in the component's own check.
      const bool holds_bit = !masks.Eof() && (CLng(masks.Field(1)) & kToDoAccessBit) == kToDoAccessBit;
        out.steps.push_back(
            {"access",
             object_2 + (masks.Eof() ? ": no row"
                                     : ": first row " + holder(masks.Field(0)) + ", FAccessMask " + Text(masks.Field(1))),
             holds_bit ? Verdict::Pass : Verdict::Fail,
             holds_bit      ? ""
             : masks.Eof() ? "no row of the user or a group of the user names it"
                           : "the first row's mask lacks the to-do bit " + std::to_string(kToDoAccessBit),
             log.Since(mark)});
      out.granted = holds_first && holds_bit;
      out.method_granted = CheckToDoAccess(log, position);
    }

    if (!entry->alarm_key.empty()) {
      const std::string key(entry->alarm_key);
      const std::string marker = "\x01";
      const std::string days = ReadSysValue(log, "IC", key, marker);
      out.steps.push_back({"alarm",
                           "IC/" + key + " = " +
                               (days == marker ? "0 (the parameter service failed; the default counts)"
                                               : days + " (from the parameter service)"),
                           Verdict::Info,
                           {},
                           {}});
    }

    mark = log.Size();
    if (entry->voucher_kind != 0) {
      out.count = out.method_granted ? std::to_string(GetVoucherToDoCount(log, entry->voucher_kind)) : "0";
      out.count_statements = log.Since(mark);
    } else {
      const ObjectRef counts = GetToDoThingCount(log);
      if (counts) {
        Argument args[] = {Argument::ByVal(Variant::Long(position))};
        out.count = CStr(counts->Call("Item", args));
      }
      const std::string from = "From " + std::string(kind.table) + " v1";
      for (const std::string& sql : log.Since(mark))
        if (sql.find(" SELECT Count(distinct ") == 0 && sql.find(from) != std::string::npos)
          out.count_statements.push_back(sql);
    }
  } catch (const std::exception& e) {
    out.failure = FailureText(e);
  } catch (...) {
    out.failure = "unknown failure";
  }
  return out;
}

}  // namespace zet::explain
