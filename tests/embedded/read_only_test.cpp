#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

#include "component/cls_move_bill.hpp"
#include "embedded_fixture.hpp"
#include "host/error.hpp"
#include "host/gateway.hpp"
#include "host/service_factory.hpp"

namespace zet::embedded::testing {
namespace {

// The user id goes into the statements as the login context spells it. A
// read built from a hostile one must not write, whichever method sends it.
constexpr const char* kHostileUsers[] = {
    "25 DELETE FROM ICStockBill",
    "25 OR 1=1",
    "0 OR 1=1",
    "25; DELETE FROM ICClassRecentBills",
    "25 UPDATE t_User SET FDataRight=0",
};

TEST(ReadOnly, AHostileUserIdWritesNothingThroughAnyRead) {
  Host host(true);
  clsMoveBill bill(host.platform());
  const Variant bills = host.db().Query("SELECT count(*) FROM ICStockBill").rows[0][0];
  for (const char* user : kHostileUsers) {
    host.platform().SetProps(std::string("UserID=") + user + ";");
    const int before = sqlite3_total_changes(host.db().Handle());
    std::string info;
    bill.GetMaxMinInterID(1, 2);
    bill.GetMoveInterID(Variant::Long(1002), 2, 1);
    bill.CheckSearchBill(1, 1002, info);
    bill.GetToDoThingCount();
    ObjectRef no_bar;
    bill.LoadRecentBills(1, no_bar);
    EXPECT_EQ(sqlite3_total_changes(host.db().Handle()), before) << user;
  }
  EXPECT_EQ(CLng(host.db().Query("SELECT count(*) FROM ICStockBill").rows[0][0]), CLng(bills));
}

struct Refusal {
  const char* sql;
  const char* says;  // in the error's description
};

constexpr Refusal kRefusals[] = {
    {"delete from t_User", "cannot change the database; refused: delete from t_User"},
    {"update t_User set FName='x'", "cannot change the database"},
    {"insert into t_Group (FUserID, FGroupID) values (9, 1)", "cannot change the database"},
    {"select 1 from t_User delete from t_User", "refused a text of 2 statements"},
    {"select 1; select 2", "refused a text of 2 statements"},
};

TEST(ReadOnly, EveryReadServiceRefusesAWriteOrASecondStatement) {
  Host host(true);
  const int32_t users = CLng(host.db().Query("SELECT count(*) FROM t_User").rows[0][0]);
  const auto read = [&](std::string_view service, const std::string& sql) {
    const ObjectRef object = host.platform().CreateObject(service);
    Variant text = Variant::String(sql);
    Variant props = Variant::String("UserID=1;");
    if (service == kAppConnectionProgId) {
      Argument args[] = {Argument::ByRef(text)};
      return object->Call("Execute", args);
    }
    Argument args[] = {Argument::ByRef(props), Argument::ByRef(text)};
    return object->Call(service == kClassInfoProgId ? "GetData" : "ExecuteSQL", args);
  };
  for (std::string_view service : {kAppConnectionProgId, kClassInfoProgId, kBillDataProgId}) {
    EXPECT_TRUE(read(service, "select FUserID from t_User").IsObject()) << service;
    for (const Refusal& r : kRefusals) {
      try {
        read(service, r.sql);
        ADD_FAILURE() << service << " ran " << r.sql;
      } catch (const AutomationError& e) {
        EXPECT_EQ(e.Number(), err::kDatabaseError);
        EXPECT_NE(e.Description().find(r.says), std::string::npos) << e.Description();
      }
    }
  }
  EXPECT_EQ(CLng(host.db().Query("SELECT count(*) FROM t_User").rows[0][0]), users);
}

}  // namespace
}  // namespace zet::embedded::testing
