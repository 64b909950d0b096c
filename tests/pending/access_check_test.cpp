#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pending/pending.hpp"
#include "support/case_name.hpp"
#include "support/fake_platform.hpp"

namespace zet::testing {
namespace {

constexpr const char* kFirst = "select 1 from t_AccessControl";
constexpr const char* kSecond = "select FAccessMask from t_AccessControl";

struct ObjectsCase {
  const char* name;
  int32_t position;
  const char* first;  // "FObjectType=.. and FObjectID=.."
  const char* second;
};

class CheckToDoAccessObjectsTest : public ::testing::TestWithParam<ObjectsCase> {};

TEST_P(CheckToDoAccessObjectsTest, AsksForThePositionsTwoObjects) {
  const ObjectsCase& c = GetParam();
  FakePlatform host;
  host.props = "UserID=7;";
  CheckToDoAccess(host, c.position);
  const std::string holder = " AND (FUserID=7 OR FUserID in (Select FGroupID from t_Group where FUserID=7))";
  EXPECT_EQ(host.Statements(), (std::vector<std::string>{
                                   std::string("select 1 from t_AccessControl where ") + c.first + holder,
                                   std::string("select FAccessMask from t_AccessControl where ") + c.second + holder}));
}

INSTANTIATE_TEST_SUITE_P(
    Pending, CheckToDoAccessObjectsTest,
    ::testing::Values(
        ObjectsCase{"PurchaseOrders", 2, "FObjectType=1088 and FObjectID=2", "FObjectType=1089 and FObjectID=1"},
        ObjectsCase{"PurchaseInvoices", 3, "FObjectType=1088 and FObjectID=4",
                    "FObjectType=1010 and FObjectID=1000202"},
        ObjectsCase{"SaleOrders", 4, "FObjectType=1088 and FObjectID=21", "FObjectType=1090 and FObjectID=1"},
        ObjectsCase{"SaleInvoices", 5, "FObjectType=1088 and FObjectID=23", "FObjectType=1010 and FObjectID=1000201"},
        ObjectsCase{"OtherReceivables", 6, "FObjectType=1010 and FObjectID=1000205",
                    "FObjectType=1010 and FObjectID=1000201"},
        ObjectsCase{"OtherPayables", 7, "FObjectType=1010 and FObjectID=1000206",
                    "FObjectType=1010 and FObjectID=1000202"},
        ObjectsCase{"CheckerVouchers", 8, "FObjectType=4 and FObjectID=0", "FObjectType=0 and FObjectID=0"},
        ObjectsCase{"CashierVouchers", 9, "FObjectType=4 and FObjectID=0", "FObjectType=0 and FObjectID=0"},
        ObjectsCase{"PositionOne", 1, "FObjectType=0 and FObjectID=0", "FObjectType=0 and FObjectID=0"},
        ObjectsCase{"BeyondTheList", 10, "FObjectType=0 and FObjectID=0", "FObjectType=0 and FObjectID=0"}),
    CaseName());

struct GrantCase {
  const char* name;
  Table first;
  Table second;
  bool granted;
};

class CheckToDoAccessGrantTest : public ::testing::TestWithParam<GrantCase> {};

TEST_P(CheckToDoAccessGrantTest, NeedsAnyFirstRowAndTheBitOnTheFirstSecondRow) {
  const GrantCase& c = GetParam();
  FakePlatform host;
  host.Answer(kFirst, c.first);
  host.Answer(kSecond, c.second);
  EXPECT_EQ(CheckToDoAccess(host, 5), c.granted);
  EXPECT_EQ(host.Statements().size(), 2u);  // the second runs whatever the first found
  EXPECT_TRUE(host.messages.empty());
}

Table Masks(std::vector<Variant> masks) {
  Table table{{"FAccessMask"}, {}};
  for (Variant& mask : masks) table.rows.push_back({std::move(mask)});
  return table;
}

INSTANTIATE_TEST_SUITE_P(
    Pending, CheckToDoAccessGrantTest,
    ::testing::Values(
        GrantCase{"FirstRowWithMaskZero", Masks({Variant::Long(0)}), Masks({Variant::Long(131072)}), true},
        GrantCase{"OtherBitsSetToo", Masks({Variant::Long(1)}), Masks({Variant::Long(0x3FFFF)}), true},
        GrantCase{"BitMissingButOthersSet", Masks({Variant::Long(1)}), Masks({Variant::Long(131071)}), false},
        GrantCase{"NoSecondRow", Masks({Variant::Long(1)}), NoRows(), false},
        GrantCase{"NoFirstRowButBitHeld", NoRows(), Masks({Variant::Long(131072)}), false},
        // Only the first row counts; further rows are not combined.
        GrantCase{"BitOnlyInALaterRow", Masks({Variant::Long(1)}), Masks({Variant::Long(0), Variant::Long(131072)}),
                  false}),
    CaseName());

struct AccessFailureCase {
  const char* name;
  void (*script)(FakePlatform&);
  const char* message;
};

class CheckToDoAccessFailureTest : public ::testing::TestWithParam<AccessFailureCase> {};

TEST_P(CheckToDoAccessFailureTest, ShowsTheErrorAndRefuses) {
  FakePlatform host;
  host.Answer(kFirst, Scalar(Variant::Long(1)));
  GetParam().script(host);
  EXPECT_FALSE(CheckToDoAccess(host, 2));
  EXPECT_EQ(host.messages, (std::vector<std::string>{GetParam().message}));
}

INSTANTIATE_TEST_SUITE_P(
    Pending, CheckToDoAccessFailureTest,
    ::testing::Values(
        AccessFailureCase{"NullMask", [](FakePlatform& host) { host.Answer(kSecond, Scalar(Variant::Null())); },
                          "Invalid use of Null"},
        AccessFailureCase{"MaskBeyond32Bits",
                          [](FakePlatform& host) { host.Answer(kSecond, Scalar(Variant::Double(4294967296.0))); },
                          "Overflow"},
        AccessFailureCase{"UserIdNoNumber", [](FakePlatform& host) { host.props = "UserID=admin;"; }, "Type mismatch"},
        AccessFailureCase{"RejectedStatement",
                          [](FakePlatform& host) { host.Reject(kSecond, "Invalid object name 't_AccessControl'."); },
                          "Invalid object name 't_AccessControl'."}),
    CaseName());

}  // namespace
}  // namespace zet::testing
