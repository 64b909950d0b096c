#include "host/gateway.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "host/error.hpp"
#include "host/service_factory.hpp"
#include "support/fake_platform.hpp"

namespace zet::testing {
namespace {

const std::string kFactory(ServiceFactoryProgId());

TEST(ServiceFactory, MadeOnceForTheThreadAndReused) {
  FakePlatform host;
  EXPECT_FALSE(HasServiceFactory(host));
  QueryData(host, "select 1");
  EXPECT_TRUE(HasServiceFactory(host));
  QueryData(host, "select 2");
  UpdateData(host, "delete x");

  EXPECT_EQ(host.CreatedCount(kFactory), 1);
  EXPECT_EQ(host.CallsOn(kFactory).size(), 3u);
}

TEST(ServiceFactory, EachThreadGetsItsOwn) {
  FakePlatform host;
  QueryData(host, "select 1");
  ASSERT_EQ(host.CreatedCount(kFactory), 1);

  // One call at a time, as the apartment model has it: the other thread runs
  // while this one waits.
  bool other_thread_had_one = true;
  std::thread other([&] {
    other_thread_had_one = HasServiceFactory(host);
    QueryData(host, "select 2");
    QueryData(host, "select 3");
  });
  other.join();

  EXPECT_FALSE(other_thread_had_one);
  EXPECT_EQ(host.CreatedCount(kFactory), 2);
  QueryData(host, "select 4");
  EXPECT_EQ(host.CreatedCount(kFactory), 2);
}

TEST(ServiceFactory, AFailedCreationRaisesAndKeepsNone) {
  FakePlatform host;
  host.Unregister(kFactory);
  try {
    QueryData(host, "select 1");
    ADD_FAILURE() << "no error";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.Number(), err::kCannotCreateObject);
  }
  EXPECT_FALSE(HasServiceFactory(host));
}

TEST(QueryData, PassesThePropertyStringAndTheStatementByReference) {
  FakePlatform host;
  host.props = "UserID=25;";
  QueryData(host, "select 1");
  const auto create = host.CallsOn(kFactory);
  ASSERT_EQ(create.size(), 1u);
  EXPECT_EQ(create[0].args, (std::vector<Variant>{Variant::String("ZetMClass.ClassInfo")}));

  const auto get_data = host.CallsOn("ZetMClass.ClassInfo");
  ASSERT_EQ(get_data.size(), 1u);
  EXPECT_EQ(get_data[0].args, (std::vector<Variant>{Variant::String("UserID=25;"), Variant::String("select 1")}));
  EXPECT_EQ(get_data[0].by_ref, (std::vector<bool>{false, true}));
}

struct RoutineCase {
  const char* name;
  const char* prog_id;
  const char* member;
  void (*run)(FakePlatform&);
};

class GatewayOrderTest : public ::testing::TestWithParam<RoutineCase> {};

// Each routine makes its service first, then fetches the property string
// just before it calls the service.
TEST_P(GatewayOrderTest, ServiceThenPropertyStringThenCall) {
  const RoutineCase& c = GetParam();
  FakePlatform host;
  c.run(host);
  const std::string created = std::string("new ") + c.prog_id;
  const auto at = std::find(host.events.begin(), host.events.end(), created);
  ASSERT_NE(at, host.events.end());
  ASSERT_NE(at, host.events.begin());
  EXPECT_EQ(std::vector<std::string>(at - 1, host.events.end()),
            (std::vector<std::string>{kFactory + ".CreateService", created, "new ZetPropsMgr.ShareProps",
                                      "ZetPropsMgr.ShareProps.GetProperty", "ZetPropsMgr.ShareProps.GetProperty",
                                      std::string(c.prog_id) + "." + c.member}));
}

INSTANTIATE_TEST_SUITE_P(Gateway, GatewayOrderTest,
                         ::testing::Values(RoutineCase{"QueryData", "ZetMClass.ClassInfo", "GetData",
                                                       [](FakePlatform& host) { QueryData(host, "s"); }},
                                           RoutineCase{"UpdateData", "ZetMClass.ClassUpdate", "UpdateBatch",
                                                       [](FakePlatform& host) { UpdateData(host, "u"); }},
                                           RoutineCase{"ReadSysValue", "ZetBillDataAccess.SysInfo", "GetSysValue",
                                                       [](FakePlatform& host) { ReadSysValue(host, "IC", "k", "0"); }},
                                           RoutineCase{"CheckAccess", "ZetEBSBase.SecurityInfo", "AccessCheck",
                                                       [](FakePlatform& host) { CheckAccess(host, 4, 0, 8, "x"); }}),
                         [](const ::testing::TestParamInfo<RoutineCase>& routine) {
                           return std::string(routine.param.name);
                         });

TEST(QueryData, TheRecordsetOutlivesTheService) {
  FakePlatform host;
  host.Answer("select", Table{{"FUserID"}, {{Variant::Long(3)}, {Variant::Long(5)}}});
  const Recordset rs = QueryData(host, "select FUserID");

  EXPECT_EQ(host.Alive("ZetMClass.ClassInfo"), 0);
  ASSERT_FALSE(rs.Eof());
  EXPECT_EQ(rs.RecordCount(), 2);
  EXPECT_EQ(rs.Field(0), Variant::Long(3));
  rs.MoveNext();
  EXPECT_EQ(rs.Field("FUserID"), Variant::Long(5));
  rs.MoveNext();
  EXPECT_TRUE(rs.Eof());
}

TEST(QueryData, PassesARejectedStatementOn) {
  FakePlatform host;
  host.Reject("select", "Invalid object name 't_Nope'.");
  try {
    QueryData(host, "select * from t_Nope");
    ADD_FAILURE() << "no error";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.Description(), "Invalid object name 't_Nope'.");
  }
  EXPECT_TRUE(host.messages.empty());
}

TEST(UpdateData, SendsTheWholeTextAsTheOneElementOfAStringArray) {
  FakePlatform host;
  host.props = "UserID=25;";
  const std::string batch = "update a set x=1\r\ninsert into a values (1)\r\n delete from a where x>20\r\n";
  UpdateData(host, batch);

  const auto calls = host.CallsOn("ZetMClass.ClassUpdate");
  ASSERT_EQ(calls.size(), 1u);
  ASSERT_EQ(calls[0].args.size(), 2u);
  EXPECT_EQ(calls[0].args[0], Variant::String("UserID=25;"));
  const VariantArray& array = calls[0].args[1].AsArray();
  ASSERT_EQ(array.items.size(), 1u);
  EXPECT_EQ(array.lower_bound, 0);
  EXPECT_EQ(array.element, VarType::String);
  EXPECT_EQ(array.items[0], Variant::String(batch));
  EXPECT_EQ(calls[0].by_ref, (std::vector<bool>{false, true}));
}

TEST(ReadSysValue, AsksForCategoryAndKeyByReference) {
  FakePlatform host;
  host.props = "UserID=25;";
  host.sys_values["IC/APAlarmDateCount"] = Variant::Long(7);

  EXPECT_EQ(ReadSysValue(host, "IC", "APAlarmDateCount", "0"), "7");

  const auto calls = host.CallsOn("ZetBillDataAccess.SysInfo");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args, (std::vector<Variant>{Variant::String("UserID=25;"), Variant::String("IC"),
                                                 Variant::String("APAlarmDateCount")}));
  EXPECT_EQ(calls[0].by_ref, (std::vector<bool>{false, true, true}));
  EXPECT_EQ(host.Alive("ZetBillDataAccess.SysInfo"), 0);
}

TEST(ReadSysValue, GivesTheDefaultWhateverFailsAndShowsNothing) {
  for (int failure = 0; failure < 3; ++failure) {
    FakePlatform host;
    if (failure == 0) host.Unregister("ZetBillDataAccess.SysInfo");
    if (failure == 1) host.FailCall("ZetBillDataAccess.SysInfo", "GetSysValue", -2147467259, "no such parameter");
    if (failure == 2) host.sys_values["IC/ARAlarmDateCount"] = Variant::Null();
    EXPECT_EQ(ReadSysValue(host, "IC", "ARAlarmDateCount", "def"), "def") << failure;
    EXPECT_TRUE(host.messages.empty());
  }
}

TEST(CheckAccess, PassesItsArgumentsInOrderWithTheBooleanByValue) {
  FakePlatform host;
  host.props = "UserID=25;";
  EXPECT_TRUE(CheckAccess(host, 4, 0, 8, "ZetEBSGL.VoucherInfo.GetJournal"));

  const auto calls = host.CallsOn("ZetEBSBase.SecurityInfo");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args,
            (std::vector<Variant>{Variant::String("UserID=25;"), Variant::Long(4), Variant::Long(0), Variant::Long(8),
                                  Variant::Boolean(true), Variant::String("ZetEBSGL.VoucherInfo.GetJournal")}));
  EXPECT_EQ(calls[0].by_ref, (std::vector<bool>{false, true, true, true, false, true}));
}

TEST(CheckAccess, ADenialIsRaisedNotAnswered) {
  FakePlatform host;
  host.access_errors[16] = err::kAccessDenied;
  EXPECT_TRUE(CheckAccess(host, 4, 0, 8, "x"));
  try {
    CheckAccess(host, 4, 0, 16, "x");
    ADD_FAILURE() << "a denial came back as an answer";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.Number(), -2147205104);
  }
  EXPECT_TRUE(host.messages.empty());
}

TEST(AsRecordset, NothingIsAReferenceAndAValueIsNot) {
  EXPECT_FALSE(static_cast<bool>(AsRecordset(Variant::Nothing())));
  EXPECT_THROW(AsRecordset(Variant::Long(1)), AutomationError);
  EXPECT_THROW(AsRecordset(Variant::Nothing()).Eof(), AutomationError);
}

}  // namespace
}  // namespace zet::testing
