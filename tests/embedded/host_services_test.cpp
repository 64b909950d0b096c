#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "embedded_fixture.hpp"
#include "host/error.hpp"
#include "host/gateway.hpp"
#include "host/login_context.hpp"
#include "host/service_factory.hpp"

namespace zet::embedded::testing {
namespace {

using ::testing::HasSubstr;

// Runs `body` and returns the number of the AutomationError it raised; 0
// when it raised none.
template <class Body>
int32_t ErrorNumber(Body&& body, std::string* description = nullptr) {
  try {
    body();
  } catch (const AutomationError& e) {
    if (description) *description = e.Description();
    return e.Number();
  }
  return 0;
}

Variant Call(const ObjectRef& object, std::string_view member, std::vector<Variant> values = {}) {
  std::vector<Argument> args;
  for (Variant& v : values) args.push_back(Argument::ByRef(v));
  return object->Call(member, args);
}

ObjectRef Execute(EmbeddedPlatform& platform, const std::string& sql) {
  return RequireObject(Call(platform.CreateObject(kAppConnectionProgId), "Execute", {Variant::String(sql)}));
}

TEST(CreateObject, MakesANewObjectPerCallAndRefusesAnUnknownProgId) {
  Host host;
  for (std::string_view id : {kAppConnectionProgId, kClassUpdateProgId, ServiceFactoryProgId(), ValueListProgId()}) {
    const ObjectRef first = host.platform().CreateObject(id);
    ASSERT_TRUE(first) << id;
    EXPECT_NE(first, host.platform().CreateObject(id)) << id;
  }
  std::string description;
  EXPECT_EQ(ErrorNumber([&] { host.platform().CreateObject("Scripting.FileSystemObject"); }, &description),
            err::kCannotCreateObject);
  EXPECT_EQ(description, "ActiveX component can't create object");
  const ObjectRef connection = host.platform().CreateObject(kAppConnectionProgId);
  EXPECT_FALSE(connection->Supports("_Recordset"));
  EXPECT_EQ(ErrorNumber([&] { Call(connection, "Open", {Variant::String("x")}); }), err::kMemberNotFound);
  EXPECT_EQ(ErrorNumber([&] { Call(connection, "Execute"); }), err::kWrongArgumentCount);
}

TEST(Recordset, ReadsEveryValueInItsAutomationSubtype) {
  Host host;
  const Recordset rs(Execute(host.platform(),
                             "select 7 as FLong, 3000000000 as FBig, 1.5 as FReal, 'abc' as FText, "
                             "NULL as FNull"));
  EXPECT_EQ(rs.Field(0), Variant::Long(7));
  EXPECT_EQ(rs.Field(1), Variant::Double(3000000000.0));
  EXPECT_EQ(rs.Field(2), Variant::Double(1.5));
  EXPECT_TRUE(rs.Field(4).IsNull());
  // Names are found whatever their case.
  EXPECT_EQ(rs.Field("FTEXT"), Variant::String("abc"));
}

TEST(Recordset, MovesCountsClonesAndCloses) {
  Host host;
  host.Exec("INSERT INTO t_User (FUserID, FName) VALUES (1, 'a'), (2, 'b'), (3, 'c')");
  const ObjectRef object = Execute(host.platform(), "select FUserID, FName from t_User order by FUserID");
  ASSERT_TRUE(object->Supports("_Recordset"));
  const Recordset rs(object);
  EXPECT_EQ(rs.RecordCount(), 3);
  EXPECT_EQ(CLng(RequireObject(object->Get("Fields"))->Get("Count")), 2);
  Argument index[] = {Argument::ByVal(Variant::Long(1))};
  EXPECT_EQ(CStr(RequireObject(RequireObject(object->Get("Fields"))->Get("Item", index))->Get("Name")), "FName");

  rs.MoveNext();
  EXPECT_EQ(rs.Field(0), Variant::Long(2));
  // A clone shares the rows but starts at the first one.
  const Recordset clone(rs.Clone());
  EXPECT_EQ(clone.Field(0), Variant::Long(1));
  for (int i = 0; i < 2; ++i) rs.MoveNext();
  EXPECT_TRUE(rs.Eof());
  EXPECT_EQ(ErrorNumber([&] { rs.Field(0); }), err::kNoCurrentRecord);
  object->Call("MoveFirst");
  EXPECT_EQ(rs.Field("FName"), Variant::String("a"));

  rs.Close();
  EXPECT_EQ(ErrorNumber([&] { rs.Eof(); }), 3704);
  // Closing the original leaves the clone open.
  EXPECT_EQ(clone.RecordCount(), 3);
  EXPECT_EQ(ErrorNumber([&] { clone.Field("FNope"); }), 3265);
}

TEST(Recordset, OfNoRowsIsAtBothEnds) {
  Host host;
  const ObjectRef object = Execute(host.platform(), "select FUserID from t_User");
  EXPECT_TRUE(Recordset(object).Eof());
  EXPECT_TRUE(CBool(object->Get("BOF")));
}

TEST(Statements, RejectedByTheDatabaseRaiseItsOwnMessage) {
  Host host;
  std::string description;
  EXPECT_EQ(ErrorNumber([&] { Execute(host.platform(), "select FNope from t_User"); }, &description),
            err::kDatabaseError);
  EXPECT_EQ(description, "no such column: FNope");
}

TEST(Statements, CompareTextWithoutRegardToCase) {
  Host host;
  host.Exec("INSERT INTO ICStockBill (FInterID, FTranType, FBillNo) VALUES (1, 1, 'STK-1')");
  EXPECT_FALSE(Recordset(Execute(host.platform(), "select top 1 1 from ICStockBill where FBillNo='stk-1'")).Eof());
}

struct CharIndexCase {
  const char* expression;
  Variant expected;
};

TEST(CharIndexFunction, AnswersAsSqlServerDoes) {
  Host host;
  const std::vector<CharIndexCase> cases = {
      {"charindex('16','16394')", Variant::Long(1)},       {"CharIndex('x','abc')", Variant::Long(0)},
      {"charindex('', 'abc')", Variant::Long(0)},          {"charindex('中','文中文中')", Variant::Long(2)},
      {"charindex('中','文中文中', 3)", Variant::Long(4)}, {"charindex(NULL,'abc')", Variant::Null()},
      {"charindex('25',2025)", Variant::Long(3)},
  };
  for (const CharIndexCase& c : cases) {
    const ResultSet rows = host.db().Query(std::string("select ") + c.expression);
    EXPECT_TRUE(VariantEquals(rows.rows.at(0).at(0), c.expected) ||
                (c.expected.IsNull() && rows.rows.at(0).at(0).IsNull()))
        << c.expression;
  }
}

void UpdateBatch(EmbeddedPlatform& platform, std::vector<std::string> texts) {
  VariantArray array;
  array.element = VarType::String;
  for (std::string& text : texts) array.items.push_back(Variant::String(std::move(text)));
  Call(platform.CreateObject(kClassUpdateProgId), "UpdateBatch",
       {Variant::String("UserID=1;"), Variant::Array(std::move(array))});
}

int64_t Count(Host& host, const std::string& table) {
  return static_cast<int64_t>(CDbl(host.db().Query("select count(*) from " + table).rows.at(0).at(0)));
}

TEST(UpdateBatch, LeavesTheTableUnchangedWhenItsLastStatementFails) {
  Host host;
  host.Exec("INSERT INTO ICClassRecentBills (FUserID, FBillID, FClassTypeID, FNo, FBigType) VALUES (25, 7, 1, 1, 2)");
  std::string description;
  const int32_t number = ErrorNumber(
      [&] {
        UpdateBatch(
            host.platform(),
            {"update ICClassRecentBills set FNo=FNo+1 where FUserID=25 and FBigType=2\r\n"
             "insert into ICClassRecentBills(FUserID,FBillID,FClassTypeID,FNo,FBigType) values (25,88,1,1,2)\r\n"
             " delete from ICClassRecentBillz where FNo>20\r\n"});
      },
      &description);
  EXPECT_EQ(number, err::kDatabaseError);
  EXPECT_EQ(description, "no such table: ICClassRecentBillz");
  EXPECT_EQ(host.db().Query("select FBillID, FNo from ICClassRecentBills").rows,
            (std::vector<std::vector<Variant>>{{Variant::Long(7), Variant::Long(1)}}));
}

TEST(UpdateBatch, RunsNothingWhenTheAdapterRefusesALine) {
  Host host;
  EXPECT_EQ(ErrorNumber([&] {
              UpdateBatch(
                  host.platform(),
                  {"insert into t_User(FUserID) values (5)\r\ninsert into t_User(FUserID) values (@@IDENTITY)"});
            }),
            err::kDatabaseError);
  EXPECT_EQ(Count(host, "t_User"), 0);
}

TEST(UpdateBatch, TakesOnlyAnArray) {
  Host host;
  EXPECT_EQ(ErrorNumber([&] {
              Call(host.platform().CreateObject(kClassUpdateProgId), "UpdateBatch",
                   {Variant::String(""), Variant::String("delete from t_User")});
            }),
            err::kTypeMismatch);
}

TEST(SysInfo, AnswersTheParameterAsTextAndZeroForOneNotSet) {
  Host host(false, "UserID=25;");
  host.Exec("INSERT INTO t_SystemProfile (FCategory, FKey, FValue) VALUES ('IC', 'APAlarmDateCount', '5')");
  const ObjectRef sys = host.platform().CreateObject(kSysInfoProgId);
  EXPECT_EQ(Call(sys, "GetSysValue", {Variant::String(""), Variant::String("IC"), Variant::String("APAlarmDateCount")}),
            Variant::String("5"));
  // Category and key compare without regard to case, as on the server.
  EXPECT_EQ(Call(sys, "GetSysValue", {Variant::String(""), Variant::String("ic"), Variant::String("apalarmdatecount")}),
            Variant::String("5"));
  EXPECT_EQ(Call(sys, "GetSysValue",
                 {Variant::String(""), Variant::String("IC"), Variant::String("Missing"), Variant::String("12")}),
            Variant::String("12"));
}

TEST(ShareProps, PublishesThePropertyStringAndNothingElse) {
  Host host(false, "UserID=25;Lang=en");
  const ObjectRef props = host.platform().CreateObject(kSharePropsProgId);
  EXPECT_EQ(Call(props, "GetProperty", {Variant::Long(1), Variant::String("PropsString")}),
            Variant::String("UserID=25;Lang=en"));
  EXPECT_TRUE(Call(props, "GetProperty", {Variant::Long(1), Variant::String("Other")}).IsEmpty());
  EXPECT_EQ(GetPropValue(host.platform(), "UserID"), "25");
}

struct AccessCase {
  const char* name;
  int32_t user;
  int32_t object_type;
  int32_t right;
  bool granted;
};

class AccessCheckTest : public ::testing::TestWithParam<AccessCase> {};

TEST_P(AccessCheckTest, GrantsWhenOneRowCarriesEveryBit) {
  Host host;
  host.Exec(
      "INSERT INTO t_Group (FUserID, FGroupID) VALUES (1, 1), (16, 2), (17, 3);"
      "INSERT INTO t_AccessControl (FUserID, FObjectType, FObjectID, FAccessMask) VALUES "
      "  (16, 4, 0, 9), (2, 4, 0, 16), (17, 4, 0, 1), (3, 4, 0, 2), (16, 5, 0, NULL), (0, 4, 0, 255)");
  const AccessCase& c = GetParam();
  if (c.user != 0) host.As(c.user);
  std::string description;
  bool answer = false;
  const int32_t number = ErrorNumber(
      [&] { answer = CheckAccess(host.platform(), c.object_type, 0, c.right, "ZetEBSGL.VoucherInfo.GetJournal"); },
      &description);
  if (c.granted) {
    EXPECT_EQ(number, 0) << description;
    EXPECT_TRUE(answer);
  } else {
    EXPECT_EQ(number, err::kAccessDenied);
    EXPECT_THAT(description, HasSubstr("Access denied"));
  }
}

INSTANTIATE_TEST_SUITE_P(Rights, AccessCheckTest,
                         ::testing::Values(AccessCase{"OwnRowWithEveryBit", 16, 4, 9, true},
                                           AccessCase{"GroupRowWithTheBit", 16, 4, 16, true},
                                           AccessCase{"BitsSpreadOverTwoRowsDoNotAdd", 16, 4, 24, false},
                                           AccessCase{"OtherObject", 16, 6, 1, false},
                                           AccessCase{"NullMask", 16, 5, 0, false},
                                           AccessCase{"AnotherUsersGroup", 17, 4, 16, false},
                                           AccessCase{"AdministratorHoldsEverything", 1, 99, 1 << 30, true},
                                           AccessCase{"NobodyLoggedIn", 0, 4, 1, false}),
                         [](const auto& case_info) { return std::string(case_info.param.name); });

TEST(ValueList, AddsAndReadsFromOne) {
  Host host;
  const ObjectRef list = host.platform().CreateObject(ValueListProgId());
  Call(list, "Add", {Variant::Integer(0)});
  Call(list, "Add", {Variant::Double(2.5)});
  Call(list, "Add", {Variant::Long(1000205)});
  EXPECT_EQ(CLng(list->Get("Count")), 3);
  EXPECT_EQ(Call(list, "Item", {Variant::Long(1)}).Type(), VarType::Integer);
  EXPECT_EQ(Call(list, "Item", {Variant::Long(2)}), Variant::Double(2.5));
  EXPECT_EQ(Call(list, "Item", {Variant::Long(3)}), Variant::Long(1000205));
  EXPECT_EQ(ErrorNumber([&] { Call(list, "Item", {Variant::Long(4)}); }), err::kSubscriptOutOfRange);
}

TEST(ServiceFactory, CreatesThroughThePlatform) {
  Host host;
  const ObjectRef factory = host.platform().CreateObject(ServiceFactoryProgId());
  const ObjectRef info = RequireObject(Call(factory, "CreateService", {Variant::String("ZetMClass.ClassInfo")}));
  const Recordset rs(RequireObject(Call(info, "GetData", {Variant::String(""), Variant::String("select 42")})));
  EXPECT_EQ(rs.Field(0), Variant::Long(42));
  EXPECT_EQ(ErrorNumber([&] { Call(factory, "CreateService", {Variant::String("No.Such")}); }),
            err::kCannotCreateObject);
}

TEST(Trace, RecordsEveryCallOnHostObjectsButNoneOnRecordsets) {
  Host host(false, "UserID=25;");
  std::vector<TraceRecord> trace;
  host.platform().SetTraceSink([&](const TraceRecord& r) { trace.push_back(r); });

  const Recordset rs = QueryData(host.platform(), "select 1");
  EXPECT_EQ(rs.Field(0), Variant::Long(1));
  rs.MoveNext();

  ASSERT_EQ(trace.size(), 4u);
  EXPECT_EQ(trace[0].object, ServiceFactoryProgId());
  EXPECT_EQ(trace[0].member, "CreateService");
  EXPECT_EQ(trace[0].args, std::vector<Variant>{Variant::String("ZetMClass.ClassInfo")});
  EXPECT_EQ(trace[1].object, "ZetPropsMgr.ShareProps");
  EXPECT_EQ(trace[1].member, "GetProperty");
  EXPECT_EQ(trace[1].args,
            (std::vector<Variant>{Variant::Long(host.platform().CurrentProcessId()), Variant::String("PropsString")}));
  EXPECT_EQ(trace[3].object, "ZetMClass.ClassInfo");
  EXPECT_EQ(trace[3].member, "GetData");
  EXPECT_EQ(trace[3].args, (std::vector<Variant>{Variant::String("UserID=25;"), Variant::String("select 1")}));
}

struct BadFile {
  const char* name;
  std::function<void(const std::string&)> make;
  const char* error;
};

TEST(Open, RefusesWhatIsNoDatabaseOfThisSchemaWithoutCreatingOne) {
  const BadFile cases[] = {
      {"missing", [](const std::string&) {}, "no database file"},
      {"text", [](const std::string& p) { std::ofstream(p) << "a text file, long enough to have a header......"; },
       "is not an SQLite database"},
      {"other schema", [](const std::string& p) { Database::Create(p)->Execute("CREATE TABLE t (a)"); },
       "not a database of this schema"},
      {"other version",
       [](const std::string& p) {
         CreateDatabase(p, false, false);
         Database::Open(p)->Execute("UPDATE t_ZetSchemaInfo SET FVersion = 99");
       },
       "schema version 99"},
  };
  for (const BadFile& c : cases) {
    TempFile file;
    c.make(file.path());
    std::string error;
    try {
      EmbeddedPlatform::Open(file.path(), "");
    } catch (const std::runtime_error& e) {
      error = e.what();
    }
    EXPECT_THAT(error, HasSubstr(c.error)) << c.name;
    if (std::string_view(c.name) == "missing") {
      EXPECT_FALSE(std::filesystem::exists(file.path()));
    }
  }
}

TEST(CreateDatabase, RefusesAnExistingFileUnlessToldToOverwrite) {
  TempFile file;
  CreateDatabase(file.path(), true, false, kToday);
  EXPECT_THROW(CreateDatabase(file.path(), false, false), std::runtime_error);
  EXPECT_GT(Database::Open(file.path())->Query("select count(*) from t_User").rows[0][0].AsLong(), 0);

  CreateDatabase(file.path(), false, true);
  EXPECT_EQ(Database::Open(file.path())->Query("select count(*) from t_User").rows[0][0], Variant::Long(0));
}

TEST(SetToday, RefusesWhatIsNoDate) {
  Host host;
  EXPECT_THROW(host.platform().SetToday("2026-13-01"), std::invalid_argument);
  EXPECT_NO_THROW(host.platform().SetToday(""));
}

}  // namespace
}  // namespace zet::embedded::testing
