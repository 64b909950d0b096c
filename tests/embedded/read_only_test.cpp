#include <gtest/gtest.h>
#include <sqlite3.h>

#include "component/cls_move_bill.hpp"
#include "support/embedded_host.hpp"
#include "host/error.hpp"
#include "host/gateway.hpp"
#include "host/service_factory.hpp"

namespace zet::embedded::testing {
namespace {

// The user id goes into the statements as the login context spells it. A
// read built from a hostile one must not write, whichever method sends it.
constexpr const char* kHostileUsers[] = {"25 DELETE FROM ICStockBill", "25 OR 1=1", "0 OR 1=1",
                                         "25 UPDATE t_User SET FDataRight=0"};

TEST(ReadOnly, AHostileUserIdWritesNothingThroughAnyRead) {
  Host host(true);
  clsMoveBill bill(host.platform());
  for (const char* user : kHostileUsers) {
    host.platform().SetProps(std::string("UserID=") + user + ";");
    const int before = sqlite3_total_changes(host.db().Handle());
    std::string info;
    ObjectRef no_bar;
    bill.GetMaxMinInterID(1, 2);
    bill.GetMoveInterID(Variant::Long(1002), 2, 1);
    bill.CheckSearchBill(1, 1002, info);
    bill.GetToDoThingCount();
    bill.LoadRecentBills(1, no_bar);
    EXPECT_EQ(sqlite3_total_changes(host.db().Handle()), before) << user;
  }
}

// A text, and what the error's description says of it.
constexpr std::pair<const char*, const char*> kRefusals[] = {
    {"delete from t_User", "cannot change the database; refused: delete from t_User"},
    {"update t_User set FName='x'", "cannot change the database"},
    {"select 1 from t_User delete from t_User", "refused a text of 2 statements"},
    {"select 1; select 2", "refused a text of 2 statements"},
};

TEST(ReadOnly, EveryReadServiceRefusesAWriteOrASecondStatement) {
  Host host(true);
  const int before = sqlite3_total_changes(host.db().Handle());
  const auto read = [&](std::string_view service, const std::string& sql) {
    Variant props = Variant::String("UserID=1;"), text = Variant::String(sql);
    Argument args[] = {Argument::ByRef(props), Argument::ByRef(text)};
    const bool connection = service == kAppConnectionProgId;
    return host.platform().CreateObject(service)->Call(
        connection ? "Execute" : service == kClassInfoProgId ? "GetData" : "ExecuteSQL",
        std::span(args).subspan(connection ? 1 : 0));
  };
  for (std::string_view service : {kAppConnectionProgId, kClassInfoProgId, kBillDataProgId}) {
    EXPECT_TRUE(read(service, "select FUserID from t_User").IsObject()) << service;
    for (const auto& [sql, says] : kRefusals) {
      try {
        read(service, sql);
        ADD_FAILURE() << service << " ran " << sql;
      } catch (const AutomationError& e) {
        EXPECT_EQ(e.Number(), err::kDatabaseError);
        EXPECT_NE(e.Description().find(says), std::string::npos) << e.Description();
      }
    }
  }
  EXPECT_EQ(sqlite3_total_changes(host.db().Handle()), before);
}

}  // namespace
}  // namespace zet::embedded::testing
