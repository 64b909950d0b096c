#include <gtest/gtest.h>

#include <iostream>

#include "support/embedded_host.hpp"
#include "explain/explain.hpp"
#include "host/error.hpp"
#include "navigation/navigation.hpp"

namespace zet::explain {
namespace {

using embedded::testing::Host;

std::vector<int32_t> Ids(Host& host, const std::string& sql) {
  std::vector<int32_t> ids;
  for (const auto& row : host.db().Query(sql).rows) ids.push_back(CLng(row.front()));
  return ids;
}

// Every user of the demo database (and one it does not know) over every bill
// of several kinds, and one bill that is not there: the explanation's verdict
// is CheckSearchBill's, asked apart from the explainer.
TEST(ExplainBill, AgreesWithCheckSearchBillForEveryDemoUserAndBill) {
  Host host(true);
  std::vector<int32_t> users = Ids(host, "SELECT FUserID FROM t_User");
  users.push_back(99);
  const std::pair<int32_t, const char*> kinds[] = {
      {1, "SELECT FInterID FROM ICStockBill"},         {21, "SELECT FInterID FROM ICStockBill"},
      {50, "SELECT FInterID FROM ICBom"},              {51, "SELECT FInterID FROM t_RP_CheckInfo"},
      {71, "SELECT FInterID FROM POOrder"},            {80, "SELECT FInterID FROM ICSale"},
      {85, "SELECT FInterID FROM ICMO"},               {1000201, "SELECT FBillID FROM t_RP_RBill"},
      {1000202, "SELECT FBillID FROM t_RP_PBill"},     {1125, "SELECT FVoucherID FROM t_Voucher"}};
  int walked = 0, refused = 0;
  for (const auto& [type, sql] : kinds) {
    std::vector<int32_t> bills = Ids(host, sql);
    bills.push_back(999999);
    for (int32_t user : users) {
      host.As(user);
      for (int32_t bill : bills) {
        const BillExplanation why = ExplainBill(host.platform(), type, bill);
        std::string info;
        const bool method = CheckSearchBill(host.platform(), type, bill, info);
        ASSERT_TRUE(why.Agrees()) << "user " << user << " kind " << type << " bill " << bill;
        ASSERT_EQ(why.may_open, method) << "user " << user << " kind " << type << " bill " << bill;
        ++walked;
        refused += method ? 0 : 1;
      }
    }
  }
  // Both answers occur often, so agreement is no accident of one answer.
  EXPECT_GT(refused, walked / 4);
  EXPECT_LT(refused, walked * 3 / 4);
  std::cout << "agreement walk: " << walked << " explanations, " << refused << " refusals\n";
}

// A host whose connection fails makes CheckSearchBill answer False while the
// pieces, read through another service, let the bill through: the
// explanation must not pass for true.
TEST(ExplainBill, ADisagreementWithTheMethodIsReported) {
  struct NoConnection : Platform {
    explicit NoConnection(Platform& host) : inner(host) {}
    ObjectRef CreateObject(std::string_view prog_id) override {
      if (prog_id == "ZetConnection.AppConnection") throw AutomationError(429, "no connection");
      return inner.CreateObject(prog_id);
    }
    int32_t CurrentProcessId() override { return inner.CurrentProcessId(); }
    void ShowMessage(std::string_view) noexcept override {}
    Platform& inner;
  };
  Host host(true, "UserID=16394;");
  NoConnection broken(host.platform());
  const BillExplanation why = ExplainBill(broken, 1, 1002);
  EXPECT_TRUE(why.may_open);
  EXPECT_FALSE(why.method_may_open);
  EXPECT_FALSE(why.Agrees());
}

}  // namespace
}  // namespace zet::explain
