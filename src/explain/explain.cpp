#include "explain/explain.hpp"

#include <functional>
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

// A data-right mask in words: its bits, each with what it restricts by.
std::string DataRightBits(int32_t mask) {
  std::string names;
  for (int32_t bit : {kCustomerRight, kSupplierRight, kStockRight, kAccountRight})
    if ((mask & bit) != 0) names += (names.empty() ? "" : ", ") + std::string(BaseDataName(bit)) + "s";
  return "FDataRight " + std::to_string(mask) + " = " + BitsOf(mask) + (names.empty() ? "" : " (" + names + ")");
}

// "bit 17 (131072) required: set", for a mask test of one bit.
std::string BitTest(int32_t mask, int32_t bit, const std::string& what) {
  int number = 0;
  while (number < 31 && (1 << number) != bit) ++number;
  return "bit " + std::to_string(number) + " (" + std::to_string(bit) + ", " + what +
         ") required: " + ((mask & bit) == bit ? "set" : "not set");
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
    if (!InCatalogue(out_.trans_type)) Add("catalogue", NotInCatalogue(out_.trans_type), Verdict::Info, log_.Size());
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
          WithMeaning(out_.trans_type == kVoucherTranType ? kVoucherDeletedMessage : kBillDeletedMessage));
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
    bool has_row = true;
    try {
      has_row = !QueryData(log_, " SELECT TOP 1 FUserID FROM t_User WHERE FUserID= " + user_text_).Eof();
    } catch (const std::exception&) {  // GetUserRights meets the same failure and says so
    }
    const size_t held = log_.HeldCount();
    GetUserRights(log_, group_right_, data_right_);
    const std::string rights = "FUserGroupRight " + std::to_string(group_right_) + " (" + ScopeWords() + "), " +
                               DataRightBits(data_right_) + ": " + MaskWords();
    if (!has_row) {
      const auto shown = log_.HeldSince(held);
      Add("user", "user " + user_text_ + ", not an administrator, has no row in t_User", Verdict::Info, mark,
          "GetUserRights shows its lookup's message" + (shown.empty() ? "" : " (\"" + shown.front() + "\")") +
              " and goes on with " + rights);
    } else {
      Add("user", "user " + user_text_ + ", not an administrator; " + rights, Verdict::Info, mark);
    }
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
    if (data_right_ <= 0) return "no restriction by base data";
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
        contains ? Verdict::Pass : Verdict::Fail, mark,
        contains ? "" : "FRightUserID " + Quoted(rights) + " does not contain " + id);
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
              "FRightUserID " + Quoted(rs.Field(4)) + " does not contain " + id +
                  ": the stock exclusion hides the bill");
          passes = false;
        } else {
          NoteAccident("stock " + Text(rs.Field(1)) + " on " + line.substr(0, line.find(' ', 5)), Text(rs.Field(4)),
                       id);
        }
      }
    }
    if (passes)
      Add("stock", any_line ? "every entry line's stock lists the user" : "no entry line names a stock", Verdict::Pass,
          first_mark);
    return passes;
  }

  void NoteAccident(const std::string& what, const std::string& rights, const std::string& id) {
    if (ListsAsWhole(rights, id)) return;
    out_.hints.push_back("user " + id + " passes " + what + " only because FRightUserID '" + rights + "' contains '" +
                         id + "' inside another number: the test is plain substring containment");
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
    log.Mute(true);
    BillExplainer(log, out).Run();
    log.Mute(false);
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

namespace {

constexpr int32_t kCheckerBit = 1;
constexpr int32_t kCashierBit = 32;
constexpr int32_t kAllPreparersRight = 8;
constexpr int32_t kGroupPreparersRight = 16;
constexpr const char* kJournalObject = "ZetEBSGL.VoucherInfo.GetJournal";

// The steps of one to-do position, each test with its verdict.
class ToDoExplainer {
 public:
  ToDoExplainer(StatementLog& log, ToDoExplanation& out, const ToDoPosition& entry)
      : log_(log), out_(out), entry_(entry) {}

  void Run() {
    out_.table = entry_.voucher_kind ? "t_Voucher"
                 : entry_.trans_type ? std::string(FindBillKind(entry_.trans_type).table)
                                     : "";
    Add("position",
        std::to_string(entry_.position) + ": " + std::string(entry_.label) +
            (entry_.trans_type ? " (type " + std::to_string(entry_.trans_type) + "; counts " + out_.table + ")" : ""),
        Verdict::Info, log_.Size());
    if (entry_.trans_type == 0) {
      out_.count = "0";
      out_.granted = out_.method_granted = out_.passes = true;  // nothing to grant: always 0
      return;
    }
    size_t mark = log_.Size();
    user_text_ = GetPropValue(log_, "UserID");
    admin_ = IsAdminUser(log_);
    Add("user", "user " + user_text_ + (admin_ ? " is an administrator: no access check" : ", not an administrator"),
        Verdict::Info, mark);
    if (admin_) {
      out_.granted = out_.method_granted = true;
    } else {
      user_ = std::to_string(CLng(Variant::String(user_text_)));
      out_.granted = Access();
      log_.Mute(false);
      out_.method_granted = CheckToDoAccess(log_, entry_.position);
      log_.Mute(true);
    }
    bool passes = out_.granted;
    if (entry_.voucher_kind != 0) {
      passes &= VoucherTests();
    } else {
      Alarm();
    }
    out_.passes = passes;
  }

 private:
  void Add(std::string piece, std::string text, Verdict verdict, size_t mark, std::string why = {}) {
    out_.steps.push_back({std::move(piece), std::move(text), verdict, std::move(why), log_.Since(mark)});
  }

  std::string Holder(const Variant& id) const {
    return CompareWithNumber(id, CLng(Variant::String(user_))) == 0 ? "the user's own row" : "group " + Text(id);
  }

  std::string Where(const AccessObject& object) const {
    return " from t_AccessControl where FObjectType=" + std::to_string(object.type) +
           " and FObjectID=" + std::to_string(object.id) + ToDoHolderCondition(user_);
  }

  static std::string Name(const AccessObject& object) {
    return "object (" + std::to_string(object.type) + ", " + std::to_string(object.id) + ")";
  }

  // Any row on the first object, and the to-do bit in the first row on the
  // second: only that row counts, as in the component's own check.
  bool Access() {
    size_t mark = log_.Size();
    const Recordset first = QueryData(log_, "select FUserID" + Where(entry_.granting));
    const bool holds_first = !first.Eof();
    Add("access", Name(entry_.granting) + (holds_first ? ": granted by " + Holder(first.Field(0)) : ": no row"),
        holds_first ? Verdict::Pass : Verdict::Fail, mark,
        holds_first ? "" : "no row of the user or of a group of the user names it");
    mark = log_.Size();
    const Recordset masks = QueryData(log_, "select FUserID,FAccessMask" + Where(entry_.masked));
    if (masks.Eof()) {
      Add("access", Name(entry_.masked) + ": no row", Verdict::Fail, mark,
          "no row of the user or of a group of the user names it");
      return false;
    }
    const int32_t mask = CLng(masks.Field(1));
    const bool holds_bit = (mask & kToDoAccessBit) == kToDoAccessBit;
    Add("access",
        Name(entry_.masked) + ": first row " + Holder(masks.Field(0)) + ", FAccessMask " + std::to_string(mask) +
            " = " + BitsOf(mask) + "; " + BitTest(mask, kToDoAccessBit, "the to-do bit"),
        holds_bit ? Verdict::Pass : Verdict::Fail, mark, holds_bit ? "" : "the position is refused");
    return holds_first && holds_bit;
  }

  void Alarm() {
    const std::string key(entry_.alarm_key);
    const std::string marker = "\x01";
    const std::string days = ReadSysValue(log_, "IC", key, marker);
    Add("alarm",
        "IC/" + key + " = " +
            (days == marker ? "0 (the parameter service failed; the default counts)"
                            : days + " (from the parameter service)"),
        Verdict::Info, log_.Size());
  }

  // The tests of the voucher counts, in the order the counter makes them.
  bool VoucherTests() {
    bool passes = true;
    if (!admin_) {
      passes = VoucherMask();
      if (passes) Accounts();
    }
    if (passes && entry_.voucher_kind == 2) passes &= CashierSetting();
    if (passes) Preparers();
    return passes;
  }

  bool VoucherMask() {
    const size_t mark = log_.Size();
    const Recordset access = QueryData(
        log_, " SELECT FAccessMask FROM t_AccessControl WHERE FObjectType=4 AND FObjectID=0 AND FUserID=" + user_text_);
    const bool checker = entry_.voucher_kind == 1;
    if (access.Eof()) {
      Add("voucher bit", "object (4, 0): no row of the user's own", Verdict::Fail, mark,
          "group rows do not count here: nothing is counted");
      return false;
    }
    const int32_t mask = RoundToLong(Val(access.Field(0)));
    const int32_t bit = checker ? kCheckerBit : kCashierBit;
    const bool holds = (mask & bit) == bit;
    Add("voucher bit",
        "object (4, 0), the user's own row: FAccessMask " + std::to_string(mask) + " = " + BitsOf(mask) + "; " +
            BitTest(mask, bit, checker ? "the checker's" : "the cashier's"),
        holds ? Verdict::Pass : Verdict::Fail, mark, holds ? "" : "nothing is counted");
    return holds;
  }

  void Accounts() {
    const size_t mark = log_.Size();
    int32_t group_right = 0;
    int32_t data_right = 0;
    GetUserRights(log_, group_right, data_right);
    const bool on = (data_right & kAccountRight) == kAccountRight;
    Add("accounts",
        DataRightBits(data_right) + "; " +
            (on ? "bit 3 (8) set: a voucher with an entry on an account whose FRightUserID does not contain " + user_ +
                      " is left out"
                : "bit 3 (8) not set: no restriction by account"),
        Verdict::Info, mark);
  }

  bool CashierSetting() {
    const size_t mark = log_.Size();
    const Recordset setting =
        QueryData(log_, " select FValue from t_SystemProfile where FCategory='GL' and FKey='CashBeforePost' ");
    const int32_t value = setting.Eof() ? 0 : RoundToLong(Val(setting.Field(0)));
    const bool needed = value == 1;
    Add("cashier",
        "GL/CashBeforePost " + (setting.Eof() ? std::string("is not set (0)") : "= " + Text(setting.Field(0))),
        needed ? Verdict::Pass : Verdict::Fail, mark,
        needed ? "" : "the ledger needs no cashier's sign-off before posting: nothing is counted, for anyone");
    return needed;
  }

  // The error number of a security answer; 0 when it was answered without one.
  int32_t Answer(int32_t right) {
    try {
      CheckAccess(log_, 4, 0, right, kJournalObject);
      return 0;
    } catch (const AutomationError& e) {
      return e.Number();
    }
  }

  static std::string AnswerWords(int32_t right, int32_t number) {
    return "right " + std::to_string(right) +
           (number == 0                    ? " granted"
            : number == err::kAccessDenied ? " refused"
                                           : " failed with error " + std::to_string(number) + ", not a refusal");
  }

  void Preparers() {
    const size_t mark = log_.Size();
    const int32_t all = Answer(kAllPreparersRight);
    std::string text = AnswerWords(kAllPreparersRight, all);
    if (all != err::kAccessDenied) {
      text += ": every preparer's vouchers";
    } else {
      const int32_t group = Answer(kGroupPreparersRight);
      text += ", " + AnswerWords(kGroupPreparersRight, group) +
              (group == err::kAccessDenied ? ": only the user's own vouchers"
                                           : ": vouchers prepared by anyone who shares a group with the user");
    }
    Add("preparer", text, Verdict::Info, mark);
  }

  StatementLog& log_;
  ToDoExplanation& out_;
  const ToDoPosition& entry_;
  std::string user_text_;
  std::string user_;
  bool admin_ = false;
};

}  // namespace

ToDoExplanation ExplainToDo(Platform& platform, int32_t position) noexcept {
  ToDoExplanation out;
  out.position = position;
  try {
    const ToDoPosition* entry = FindToDoPosition(position);
    if (entry == nullptr) throw AutomationError(0, "no to-do position " + std::to_string(position));
    StatementLog log(platform);
    log.Mute(true);
    ToDoExplainer(log, out, *entry).Run();
    if (entry->trans_type == 0) return out;

    log.Mute(false);
    const size_t mark = log.Size();
    const ObjectRef counts = GetToDoThingCount(log);
    if (counts) {
      Argument args[] = {Argument::ByVal(Variant::Long(position))};
      out.count = CStr(counts->Call("Item", args));
    }
    // Of the nine positions' statements, the one of this position.
    const std::string head = entry->voucher_kind == 1   ? " select * from t_Voucher v1 where v1.FCheckerID"
                             : entry->voucher_kind == 2 ? " select * from t_Voucher v1 where v1.FCashierID"
                                                        : " SELECT Count(distinct ";
    const std::string from = "From " + out.table + " v1";
    for (const std::string& sql : log.Since(mark))
      if (sql.rfind(head, 0) == 0 && (entry->voucher_kind != 0 || sql.find(from) != std::string::npos))
        out.count_statements.push_back(sql);
  } catch (const std::exception& e) {
    out.failure = FailureText(e);
  } catch (...) {
    out.failure = "unknown failure";
  }
  return out;
}

std::vector<UserVerdict> WhoMayOpen(Platform& platform, const std::function<void(const std::string&)>& log_on,
                                    int32_t trans_type, int32_t bill) {
  std::vector<std::pair<int32_t, std::string>> users;
  for (const Recordset rs = QueryData(platform, " SELECT FUserID,FName FROM t_User ORDER BY FUserID"); !rs.Eof();
       rs.MoveNext())
    users.emplace_back(CLng(rs.Field(0)), Text(rs.Field(1)));
  std::vector<UserVerdict> verdicts;
  verdicts.reserve(users.size());
  for (const auto& [user, name] : users) {
    log_on("UserID=" + std::to_string(user) + ";");
    const BillExplanation why = ExplainBill(platform, trans_type, bill);
    UserVerdict verdict{user, name, why.method_may_open, why.Agrees(), {}, {}};
    if (why.failure) {
      verdict.piece = "failure";
      verdict.why = *why.failure;
    } else if (!verdict.may_open) {
      for (const Step& step : why.steps) {
        if (step.verdict != Verdict::Fail) continue;
        verdict.piece = step.piece;
        // A base-data reason repeats the row's FRightUserID: say it once.
        const size_t repeated =
            step.why.rfind("FRightUserID", 0) == 0 ? step.text.rfind(", FRightUserID") : std::string::npos;
        verdict.why = step.text.substr(0, repeated) + (step.why.empty() ? "" : ": " + step.why);
        break;
      }
      if (verdict.piece.empty()) verdict.why = WithMeaning(why.method_info);
    }
    verdicts.push_back(std::move(verdict));
  }
  return verdicts;
}

std::string BitsOf(int32_t mask) {
  std::vector<int> bits;
  for (int bit = 0; bit < 32; ++bit)
    if ((static_cast<uint32_t>(mask) >> bit) & 1u) bits.push_back(bit);
  if (bits.empty()) return "no bit";
  std::string text = bits.size() == 1 ? "bit " : "bits ";
  for (size_t i = 0; i < bits.size(); ++i)
    text += (i == 0 ? "" : i + 1 == bits.size() ? " and " : ", ") + std::to_string(bits[i]);
  return text;
}

std::string WithMeaning(const std::string& message) {
  // clang-format off
  static constexpr std::pair<std::string_view, std::string_view> kMeanings[] = {
      {kBillDeletedMessage, "bill display error: the selected bill may have been deleted"},
      {kVoucherDeletedMessage, "voucher display error: the selected voucher may have been deleted"},
      {kNoRightMessage, "the bill holds base data you have no right to; please contact the system administrator"},
      {kToDoErrorMessage, "error fetching the counts"},
  };
  // clang-format on
  for (const auto& [text, meaning] : kMeanings)
    if (message == text) return message + " (" + std::string(meaning) + ")";
  return message;
}

bool InCatalogue(int32_t trans_type) {
  return !FindBillKind(trans_type).trans_types.empty();
}

std::string NotInCatalogue(int32_t trans_type) {
  const BillKind& row = FindBillKind(trans_type);
  return "kind " + std::to_string(trans_type) + " is not in the catalogue; read as the default row, a purchase order " +
         "without entries (" + std::string(row.table) + ", key " + std::string(row.key_field) + ")";
}

}  // namespace zet::explain
