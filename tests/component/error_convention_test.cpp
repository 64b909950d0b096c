#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "component/cls_move_bill.hpp"
#include "host/error.hpp"
#include "host/service_factory.hpp"
#include "support/case_name.hpp"
#include "support/fake_platform.hpp"
#include "support/rights_script.hpp"

namespace zet::testing {
namespace {

constexpr const char* kCannotCreate = "ActiveX component can't create object";
constexpr const char* kToDoError = "取数错误";

// One public method called as the host calls it, checking that it returned
// its neutral result.
using NeutralCall = std::function<void(clsMoveBill&)>;

void MaxMinIsZero(clsMoveBill& bill) {
  EXPECT_EQ(bill.GetMaxMinInterID(1, 2), 0);
}
void MoveIsZero(clsMoveBill& bill) {
  EXPECT_EQ(bill.GetMoveInterID(Variant::Long(50), 2, 1), 0);
}
void CheckIsFalseAndKeepsInfo(clsMoveBill& bill) {
  std::string info = "as given";
  EXPECT_FALSE(bill.CheckSearchBill(1, 50, info));
  EXPECT_EQ(info, "as given");
}
void ToDoIsNothing(clsMoveBill& bill) {
  EXPECT_EQ(bill.GetToDoThingCount(), nullptr);
}
void LoadIsNothing(clsMoveBill& bill) {
  auto toolbar = std::make_shared<FakeToolbar>();
  ObjectRef bar = toolbar;
  EXPECT_EQ(bill.LoadRecentBills(1, bar), nullptr);
}
void SaveReturns(clsMoveBill& bill) {
  ObjectRef bar;
  bill.SaveRecentBills(88, 1, bar);
}

struct ConventionCase {
  const char* name;
  std::function<void(FakePlatform&)> script;
  NeutralCall call;
  std::string message;
};

class ErrorConventionTest : public ::testing::TestWithParam<ConventionCase> {};

// One message, the neutral result, nothing thrown (the methods are noexcept:
// an escaping error would end the test run), and nothing left alive.
TEST_P(ErrorConventionTest, OneMessageAndTheNeutralResult) {
  const ConventionCase& c = GetParam();
  FakePlatform host;
  host.props = "UserID=16;";
  c.script(host);
  ScriptAdministrator(host);
  {
    clsMoveBill bill(host);
    c.call(bill);
  }
  EXPECT_EQ(host.messages, (std::vector<std::string>{c.message}));
  std::vector<std::string> alive = host.AliveObjects();
  std::erase(alive, std::string(ServiceFactoryProgId()));
  EXPECT_TRUE(alive.empty()) << alive.front();
  for (const IssuedRecordset& rs : host.recordsets) EXPECT_TRUE(rs.object.expired()) << rs.sql;
}

Table RecentRow(Variant no) {
  return Table{{"FBillID", "FClassTypeID", "FNo", "FBillNo", "FName"},
               {{Variant::Long(88), Variant::Long(1), std::move(no), Variant::String("B"), Variant::String("N")}}};
}

INSTANTIATE_TEST_SUITE_P(
    Component, ErrorConventionTest,
    ::testing::Values(
        // GetMaxMinInterID
        ConventionCase{"MaxMinConnectionMissing",
                       [](FakePlatform& host) { host.Unregister("ZetConnection.AppConnection"); }, MaxMinIsZero,
                       kCannotCreate},
        ConventionCase{"MaxMinRejected", [](FakePlatform& host) { host.Reject("ISNULL(Max(", "Syntax error"); },
                       MaxMinIsZero, "Syntax error"},
        ConventionCase{"MaxMinNullField",
                       [](FakePlatform& host) { host.Answer("ISNULL(Max(", Scalar(Variant::Null())); }, MaxMinIsZero,
                       "Invalid use of Null"},
        ConventionCase{"MaxMinBeyond32Bits",
                       [](FakePlatform& host) { host.Answer("ISNULL(Max(", Scalar(Variant::String("3000000000"))); },
                       MaxMinIsZero, "Overflow"},
        ConventionCase{"MaxMinUserIdNoNumber", [](FakePlatform& host) { host.props = "UserID=x;"; }, MaxMinIsZero,
                       "Type mismatch"},
        // GetMoveInterID
        ConventionCase{"MoveDataAccessMissing",
                       [](FakePlatform& host) { host.Unregister("ZetBillDataAccess.GetData"); }, MoveIsZero,
                       kCannotCreate},
        ConventionCase{"MoveRejected", [](FakePlatform& host) { host.Reject("ISNULL(min(", "Syntax error"); },
                       MoveIsZero, "Syntax error"},
        ConventionCase{"MoveNullField", [](FakePlatform& host) { host.Answer("ISNULL(min(", Scalar(Variant::Null())); },
                       MoveIsZero, "Invalid use of Null"},
        ConventionCase{"MoveCallFails",
                       [](FakePlatform& host) {
                         host.FailCall("ZetBillDataAccess.GetData", "ExecuteSQL", -2147467259, "Unspecified error");
                       },
                       MoveIsZero, "Unspecified error"},
        // CheckSearchBill
        ConventionCase{"CheckConnectionMissing",
                       [](FakePlatform& host) { host.Unregister("ZetConnection.AppConnection"); },
                       CheckIsFalseAndKeepsInfo, kCannotCreate},
        ConventionCase{"CheckExistenceRejected",
                       [](FakePlatform& host) { host.Reject(" SELECT TOP 1 1 FROM ", "Syntax error"); },
                       CheckIsFalseAndKeepsInfo, "Syntax error"},
        ConventionCase{"CheckRightsRejected",
                       [](FakePlatform& host) {
                         host.Answer(" SELECT TOP 1 1 FROM ", Scalar(Variant::Long(1)));
                         host.Reject(" SELECT top 1 1 From ", "Syntax error");
                         host.Answer(" AND FGroupID=1", NoRows());  // no administrator
                         ScriptUser(host, 0, 0);
                       },
                       CheckIsFalseAndKeepsInfo, "Syntax error"},
        ConventionCase{"CheckUserIdNoNumber", [](FakePlatform& host) { host.props = "UserID=x;"; },
                       CheckIsFalseAndKeepsInfo, "Type mismatch"},
        // GetToDoThingCount
        ConventionCase{"ToDoListMissing", [](FakePlatform& host) { host.Unregister(std::string(ValueListProgId())); },
                       ToDoIsNothing, kToDoError},
        ConventionCase{"ToDoCountRejected", [](FakePlatform& host) { host.Reject("From ICSale", "Syntax error"); },
                       ToDoIsNothing, kToDoError},
        ConventionCase{"ToDoNullCount",
                       [](FakePlatform& host) { host.Answer("From SEOrder", Scalar(Variant::Null())); }, ToDoIsNothing,
                       kToDoError},
        ConventionCase{"ToDoVoucherStatementRejected",
                       [](FakePlatform& host) { host.Reject(" select * from t_Voucher", "Syntax error"); },
                       ToDoIsNothing, kToDoError},
        ConventionCase{"ToDoDayCountNoNumber",
                       [](FakePlatform& host) { host.sys_values["IC/ARAlarmDateCount"] = Variant::String("soon"); },
                       ToDoIsNothing, kToDoError},
        // LoadRecentBills
        ConventionCase{"LoadServiceMissing", [](FakePlatform& host) { host.Unregister("ZetMClass.ClassInfo"); },
                       LoadIsNothing, kCannotCreate},
        ConventionCase{"LoadRejected", [](FakePlatform& host) { host.Reject("ICClassRecentBills", "Syntax error"); },
                       LoadIsNothing, "Syntax error"},
        ConventionCase{"LoadNullPlace",
                       [](FakePlatform& host) { host.Answer("ICClassRecentBills", RecentRow(Variant::Null())); },
                       LoadIsNothing, "Invalid use of Null"},
        ConventionCase{"LoadPlaceOutsideTheBand",
                       [](FakePlatform& host) { host.Answer("ICClassRecentBills", RecentRow(Variant::Long(21))); },
                       LoadIsNothing, "Invalid tool index 20"},
        // SaveRecentBills
        ConventionCase{"SaveServiceMissing", [](FakePlatform& host) { host.Unregister("ZetMClass.ClassUpdate"); },
                       SaveReturns, kCannotCreate},
        ConventionCase{"SaveRejected",
                       [](FakePlatform& host) { host.Reject("ICClassRecentBills", "Violation of PRIMARY KEY"); },
                       SaveReturns, "Violation of PRIMARY KEY"},
        ConventionCase{"SaveFactoryMissing",
                       [](FakePlatform& host) { host.Unregister(std::string(ServiceFactoryProgId())); }, SaveReturns,
                       kCannotCreate}),
    CaseName());

// Whatever a host object throws

// A host whose services throw what no automation error is.
class UnrulyPlatform : public FakePlatform {
 public:
  std::function<void()> thrower;
  std::string unruly_prog_id;
  ObjectRef CreateObject(std::string_view prog_id) override {
    if (prog_id == unruly_prog_id) thrower();
    return FakePlatform::CreateObject(prog_id);
  }
};

struct UnrulyCase {
  const char* name;
  const char* prog_id;
  NeutralCall call;
  const char* message_of_runtime_error;  // the fixed text where the method has one
};

class UnrulyHostTest : public ::testing::TestWithParam<UnrulyCase> {};

TEST_P(UnrulyHostTest, NothingEscapesAPublicMethod) {
  const UnrulyCase& c = GetParam();
  struct Throw {
    std::function<void()> thrower;
    std::string description;
  };
  const std::vector<Throw> throws = {
      {[] { throw std::runtime_error("driver crashed"); }, "driver crashed"},
      {[] { throw 42; }, "Application-defined or object-defined error"},
      {[] { throw std::bad_alloc(); }, "Out of memory"},
  };
  for (const Throw& t : throws) {
    UnrulyPlatform host;
    ScriptAdministrator(host);
    host.unruly_prog_id = c.prog_id;
    host.thrower = t.thrower;
    clsMoveBill bill(host);
    c.call(bill);
    EXPECT_EQ(host.messages,
              (std::vector<std::string>{c.message_of_runtime_error ? c.message_of_runtime_error : t.description}));
  }
}

INSTANTIATE_TEST_SUITE_P(Component, UnrulyHostTest,
                         ::testing::Values(UnrulyCase{"MaxMin", "ZetConnection.AppConnection", MaxMinIsZero, nullptr},
                                           UnrulyCase{"Move", "ZetBillDataAccess.GetData", MoveIsZero, nullptr},
                                           UnrulyCase{"Check", "ZetConnection.AppConnection", CheckIsFalseAndKeepsInfo,
                                                      nullptr},
                                           UnrulyCase{"ToDo", ValueListProgId().data(), ToDoIsNothing, kToDoError},
                                           UnrulyCase{"Load", "ZetMClass.ClassInfo", LoadIsNothing, nullptr},
                                           UnrulyCase{"Save", "ZetMClass.ClassUpdate", SaveReturns, nullptr}),
                         CaseName());

// Trapped private operations: their own message, then the caller goes on

TEST(ErrorConvention, AFailedAdministratorCheckMakesANonAdministratorForTheCall) {
  FakePlatform host;
  host.props = "UserID=16;";
  host.Reject(" AND FGroupID=1", "deadlock victim");
  ScriptUser(host, 2, 0);
  host.Answer("ISNULL(Max(", Scalar(Variant::Long(12)));
  clsMoveBill bill(host);
  EXPECT_EQ(bill.GetMaxMinInterID(1, 2), 12);
  EXPECT_EQ(host.messages, (std::vector<std::string>{"deadlock victim"}));
  EXPECT_EQ(host.Statements().back(),
            " SELECT ISNULL(Max(v1.FInterID),0) as FInterID From ICStockBill v1 where 1=1  and FTranType=1 and "
            "v1.FBillerID=16");
}

TEST(ErrorConvention, AFailedGroupListShowsItsMessageAndTheStatementStillGoes) {
  FakePlatform host;
  host.props = "UserID=16;";
  ScriptUser(host, 1, 0);
  host.Reject("from t_group tt1", "Timeout expired");
  host.Answer("ISNULL(min(", Scalar(Variant::Long(51)));
  clsMoveBill bill(host);
  EXPECT_EQ(bill.GetMoveInterID(Variant::Long(50), 2, 84), 51);
  EXPECT_EQ(host.messages, (std::vector<std::string>{"Timeout expired"}));
  EXPECT_EQ(host.Statements().back(),
            " select ISNULL(min(v1.FInterID),0) from PORFQ v1 where v1.FInterID>50 and v1.FBillerID in ");
}

TEST(ErrorConvention, AFailedRightsLookupLeavesTheCheckUnrestricted) {
  FakePlatform host;
  host.props = "UserID=16;";
  host.Answer(" SELECT TOP 1 1 FROM ", Scalar(Variant::Long(1)));
  host.Answer(" SELECT top 1 1 From ", Scalar(Variant::Long(1)));
  clsMoveBill bill(host);
  std::string info;
  EXPECT_TRUE(bill.CheckSearchBill(80, 300, info));
  EXPECT_EQ(host.messages, (std::vector<std::string>{RuntimeErrorText(err::kNoCurrentRecord)}));
  EXPECT_EQ(host.Statements().back(),
            " SELECT top 1 1 From ICSale v1 where 1=1  and FTranType=80 and v1.FInterID = 300");
}

// Nothing kept between calls but the creation service

TEST(Resources, EveryMethodReleasesWhatItMade) {
  FakePlatform host;
  host.props = "UserID=16;";
  ScriptUser(host, 1, 15);
  ScriptGroupUsers(host, {16, 17});
  host.Answer(" SELECT TOP 1 1 FROM ", Scalar(Variant::Long(1)));
  host.Answer(" SELECT top 1 1 From ", Scalar(Variant::Long(1)));
  host.Answer("ISNULL(", Scalar(Variant::Long(3)));
  host.Answer("select 1 from t_AccessControl", Scalar(Variant::Long(1)));
  host.Answer("select FAccessMask from t_AccessControl", Scalar(Variant::Long(131072)));
  host.Answer(" SELECT FAccessMask FROM t_AccessControl", Scalar(Variant::Long(33)));
  host.Answer("FKey='CashBeforePost'", Scalar(Variant::Long(1)));
  host.Answer("ICClassRecentBills", RecentRow(Variant::Long(1)));
  ObjectRef list;
  ObjectRef recent;
  {
    clsMoveBill bill(host);
    auto toolbar = std::make_shared<FakeToolbar>();
    ObjectRef bar = toolbar;
    std::string info;
    EXPECT_TRUE(bill.CheckSearchBill(1, 50, info));
    EXPECT_EQ(bill.GetMaxMinInterID(1, 1), 3);
    EXPECT_EQ(bill.GetMoveInterID(Variant::Long(5), 2, 1), 3);
    list = bill.GetToDoThingCount();
    bill.SaveRecentBills(88, 1, bar);
    recent = bill.LoadRecentBills(1, bar);
  }
  EXPECT_TRUE(host.messages.empty());
  ASSERT_NE(list, nullptr);
  ASSERT_NE(recent, nullptr);

  std::vector<std::string> alive = host.AliveObjects();
  std::erase(alive, std::string(ServiceFactoryProgId()));
  EXPECT_EQ(alive, (std::vector<std::string>{std::string(ValueListProgId())}));  // the result list only
  int open_recordsets = 0;
  for (const IssuedRecordset& rs : host.recordsets) open_recordsets += rs.object.expired() ? 0 : 1;
  EXPECT_EQ(open_recordsets, 0);  // the returned clone is a recordset of its own
  EXPECT_EQ(host.CreatedCount(ServiceFactoryProgId()), 1);
}

}  // namespace
}  // namespace zet::testing
