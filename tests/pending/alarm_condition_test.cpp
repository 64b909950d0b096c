#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/error.hpp"
#include "pending/pending.hpp"
#include "support/case_name.hpp"
#include "support/fake_platform.hpp"

namespace zet::testing {
namespace {

constexpr const char* kSysInfo = "ZetBillDataAccess.SysInfo";

struct AlarmCase {
  const char* name;
  int32_t position;
  const char* key;
  const char* condition;  // with 5 days
};

class GetAlarmConditionTest : public ::testing::TestWithParam<AlarmCase> {};

TEST_P(GetAlarmConditionTest, BuildsTheDueConditionWithItsDayCount) {
  const AlarmCase& c = GetParam();
  FakePlatform host;
  host.sys_values[std::string("IC/") + c.key] = Variant::String("5");
  EXPECT_EQ(GetAlarmCondition(host, c.position), c.condition);

  const auto calls = host.CallsOn(kSysInfo);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args[1], Variant::String("IC"));
  EXPECT_EQ(calls[0].args[2], Variant::String(c.key));
}

INSTANTIATE_TEST_SUITE_P(
    Pending, GetAlarmConditionTest,
    ::testing::Values(
        AlarmCase{"PurchaseOrders", 2, "PurchaseAlarmDateCount",
                  " and datediff(day,getdate(),u1.FDate)<=5 and u1.FQty>u1.FStockQty and (v1.FStatus=1 or "
                  "v1.FStatus=2) and v1.FCancellation=0 "},
        AlarmCase{"PurchaseInvoices", 3, "APAlarmDateCount",
                  " and datediff(day,getdate(),v1.FPayDate)<=5 and v1.FStatus=1 and v1.FPOStyle<>251 and "
                  "v1.FROB*(vrp.FRPAmountFor-v1.FPurchaseAmountFor)<0 \r\n"
                  " and v1.FHookInterID not in ( select FGroupNo From ICHookRelations Where FEquityHook=1 ) "},
        AlarmCase{"SaleOrders", 4, "SaleAlarmDateCount",
                  " and datediff(day,getdate(),u1.FDate)<=5 and u1.FQty>u1.FStockQty and (v1.FStatus=1 or "
                  "v1.FStatus=2) and v1.FCancellation=0 "},
        AlarmCase{"SaleInvoices", 5, "ARAlarmDateCount",
                  " and datediff(day,getdate(),v1.FPayDate)<=5 and v1.FStatus=1 and v1.FSaleStyle<>100 and "
                  "v1.FROB*(vrp.FRPAmountFor-v1.FInvoiceAmountFor)<0 \r\n"
                  " and v1.FHookInterID not in ( select FGroupNo From ICHookRelations Where FEquityHook=1 ) "},
        AlarmCase{"OtherReceivables", 6, "ARAlarmDateCount",
                  " and datediff(day,getdate(),v1.FLimitDate)<=5 and v1.FStatus=1 and v1.FBillTypeID=1006 and "
                  "ISNULL(vrp.FRPAmountFor,0)-v1.FAmountFor<0 "},
        AlarmCase{"OtherPayables", 7, "APAlarmDateCount",
                  " and datediff(day,getdate(),v1.FLimitDate)<=5 and v1.FStatus=1 and v1.FBillTypeID=1008 and "
                  "ISNULL(vrp.FRPAmountFor,0)-v1.FAmountFor<0 "}),
    CaseName());

TEST(GetAlarmCondition, OtherPositionsReadNothing) {
  FakePlatform host;
  for (int32_t position : {1, 8, 9, 0, 10, -2}) EXPECT_EQ(GetAlarmCondition(host, position), "") << position;
  EXPECT_EQ(host.CreatedCount(kSysInfo), 0);
}

struct DaysCase {
  const char* name;
  Variant value;
  const char* written;
};

class AlarmDaysTest : public ::testing::TestWithParam<DaysCase> {};

TEST_P(AlarmDaysTest, AreReadAsA32BitNumber) {
  FakePlatform host;
  host.sys_values["IC/ARAlarmDateCount"] = GetParam().value;
  const std::string condition = GetAlarmCondition(host, 6);
  EXPECT_EQ(condition.substr(0, condition.find(" and v1.FStatus")),
            std::string(" and datediff(day,getdate(),v1.FLimitDate)<=") + GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(Pending, AlarmDaysTest,
                         ::testing::Values(DaysCase{"Negative", Variant::String("-3"), "-3"},
                                           DaysCase{"HalfToEvenDown", Variant::String("2.5"), "2"}),
                         CaseName());

TEST(GetAlarmCondition, AMissingServiceGivesZeroDays) {
  FakePlatform host;
  host.Unregister(kSysInfo);
  EXPECT_EQ(GetAlarmCondition(host, 2).substr(0, 42), " and datediff(day,getdate(),u1.FDate)<=0 a");
  EXPECT_TRUE(host.messages.empty());
}

TEST(GetAlarmCondition, ADayCountThatIsNoNumberRaises) {
  for (const char* text : {"", "soon"}) {
    FakePlatform host;
    host.sys_values["IC/SaleAlarmDateCount"] = Variant::String(text);
    try {
      GetAlarmCondition(host, 4);
      ADD_FAILURE() << "no error for \"" << text << '"';
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.Number(), err::kTypeMismatch);
    }
    EXPECT_TRUE(host.messages.empty());
  }
}

}  // namespace
}  // namespace zet::testing
