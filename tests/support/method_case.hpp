#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "component/cls_move_bill.hpp"
#include "host/recordset.hpp"
#include "support/fake_platform.hpp"

namespace zet::testing {

// One call of a public method over the scripted host: the host as scripted,
// the call with its result (and by-reference values) written as text, the
// statements it must send in order, and the messages it must show.
struct MethodCase {
  std::string name;
  std::function<void(FakePlatform&)> script;
  std::function<std::string(clsMoveBill&)> call;
  std::string result;
  // The method's own statements: the rights lookups are compared once, in
  // their own table, and left out here.
  std::vector<std::string> statements;
  std::vector<std::string> messages = {};
  friend void PrintTo(const MethodCase& c, std::ostream* os) { *os << c.name; }
};

inline bool IsRightsLookup(const std::string& sql) {
  for (const char* head : {"SELECT TOP 1 1 FROM t_Group WHERE", "SELECT FUserGroupRight,", "select distinct tt1."})
    if (sql.rfind(head, 0) == 0) return true;
  return false;
}

inline void RunCase(const MethodCase& c, bool with_rights_lookups = false) {
  FakePlatform host;
  if (c.script) c.script(host);
  clsMoveBill bill(host);
  EXPECT_EQ(c.call(bill), c.result);
  std::vector<std::string> own;
  for (const std::string& sql : host.Statements())
    if (with_rights_lookups || !IsRightsLookup(sql)) own.push_back(sql);
  EXPECT_EQ(own, c.statements);
  EXPECT_EQ(host.messages, c.messages);
  // Every host object made in the call is released before it returns.
  EXPECT_EQ(host.Alive(), std::vector<std::string>{});
}

// The calls of the navigation methods, with their results as text.
inline std::function<std::string(clsMoveBill&)> MaxMin(int32_t trans_type, int32_t type) {
  return [=](clsMoveBill& b) { return std::to_string(b.GetMaxMinInterID(trans_type, type)); };
}
inline std::function<std::string(clsMoveBill&)> Move(Variant id, int32_t direction, int32_t trans_type) {
  return [=](clsMoveBill& b) { return std::to_string(b.GetMoveInterID(id, direction, trans_type)); };
}
inline std::function<std::string(clsMoveBill&)> Check(int32_t trans_type, int32_t id) {
  return [=](clsMoveBill& b) {
    std::string info = "given";
    return std::string(b.CheckSearchBill(trans_type, id, info) ? "True " : "False ") + info;
  };
}
// A value list as "<subtype><value> ..." (I Integer, L Long, D Double).
inline std::string Items(const ObjectRef& list) {
  if (!list) return "Nothing";
  std::string out;
  for (int32_t i = 1; i <= CLng(list->Get("Count")); ++i) {
    Argument args[] = {Argument::ByVal(Variant::Long(i))};
    const Variant v = list->Call("Item", args);
    out += std::string(out.empty() ? "" : " ") +
           (v.Type() == VarType::Integer ? "I"
            : v.Type() == VarType::Long  ? "L"
                                         : "D") +
           CStr(v);
  }
  return out;
}
// The bills of a recent-bills recordset.
inline std::string Bills(const ObjectRef& result) {
  std::string out = result ? "bills" : "Nothing";
  for (Recordset rs(result); result && !rs.Eof(); rs.MoveNext()) out += " " + CStr(rs.Field("FBillID"));
  return out;
}

struct CaseName {
  template <class Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& info) const {
    return info.param.name;
  }
};

// Scripts: the statements' answers, after `first` has set the user up (an
// administrator, or a user of the given rights in groups with 16 and 17).
using Answers = std::vector<std::pair<std::string, Table>>;
inline std::function<void(FakePlatform&)> Script(std::function<void(FakePlatform&)> first, Answers answers) {
  return [=](FakePlatform& host) {
    first(host);
    for (const auto& [fragment, table] : answers) host.Answer(fragment, table);
  };
}
inline auto Admin(Answers answers = {}) {
  return Script(&FakePlatform::Administrator, answers);
}
inline auto User(int32_t group_right, int32_t data_right, Answers answers = {}) {
  return Script([=](FakePlatform& host) { host.User(group_right, data_right); }, answers);
}

}  // namespace zet::testing
