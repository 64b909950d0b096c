#include "cli/value_json.hpp"

#include <gtest/gtest.h>

#include "host/error.hpp"
#include "host/service_factory.hpp"
#include "support/fake_platform.hpp"

namespace zet::cli {
namespace {

// A recordset as ADO presents it late-bound, with what the machine output
// reads beyond the component's own needs: Fields.Count and each field's Name.
class TableRecordset : public Dispatch {
 public:
  TableRecordset(std::vector<std::string> names, std::vector<std::vector<Variant>> rows)
      : names_(std::move(names)), rows_(std::move(rows)) {}

  Variant Invoke(std::string_view member, CallKind, std::span<Argument>) override {
    if (member == "EOF") return Variant::Boolean(row_ >= rows_.size());
    if (member == "MoveNext") {
      ++row_;
      return {};
    }
    if (member == "Fields") return Variant::Object(std::make_shared<FieldsObject>(*this));
    RaiseRuntimeError(err::kMemberNotFound);
  }

 private:
  // As in ADO, a field's Name is there at end of file; only its Value needs
  // a current record.
  struct FieldObject : Dispatch {
    FieldObject(TableRecordset& r, size_t i) : rs(r), index(i) {}
    Variant Invoke(std::string_view member, CallKind, std::span<Argument>) override {
      if (member == "Name") return Variant::String(rs.names_[index]);
      if (member != "Value") RaiseRuntimeError(err::kMemberNotFound);
      if (rs.row_ >= rs.rows_.size()) RaiseRuntimeError(err::kNoCurrentRecord);
      return rs.rows_[rs.row_][index];
    }
    TableRecordset& rs;
    size_t index;
  };
  struct FieldsObject : Dispatch {
    explicit FieldsObject(TableRecordset& r) : rs(r) {}
    Variant Invoke(std::string_view member, CallKind, std::span<Argument> args) override {
      if (member == "Count") return Variant::Long(static_cast<int32_t>(rs.names_.size()));
      if (member != "Item" || args.size() != 1) RaiseRuntimeError(err::kMemberNotFound);
      const auto i = static_cast<size_t>(CLng(args[0].Value()));
      if (i >= rs.names_.size()) RaiseRuntimeError(err::kSubscriptOutOfRange);
      return Variant::Object(std::make_shared<FieldObject>(rs, i));
    }
    TableRecordset& rs;
  };

  std::vector<std::string> names_;
  std::vector<std::vector<Variant>> rows_;
  size_t row_ = 0;
};

TEST(TypedValue, EveryScalarSubtypeShowsItsTypeAndValue) {
  struct Case {
    Variant value;
    const char* json;
  };
  const Case cases[] = {
      {Variant(), R"({"type":"Empty","value":null})"},
      {Variant::Null(), R"({"type":"Null","value":null})"},
      {Variant::Integer(-7), R"({"type":"Integer","value":-7})"},
      {Variant::Long(1050), R"({"type":"Long","value":1050})"},
      {Variant::Double(2.5), R"({"type":"Double","value":2.5})"},
      {Variant::Double(3), R"({"type":"Double","value":3.0})"},
      {Variant::Boolean(true), R"({"type":"Boolean","value":true})"},
      {Variant::Boolean(false), R"({"type":"Boolean","value":false})"},
      {Variant::String("a\r\nb \"q\""), R"({"type":"String","value":"a\r\nb \"q\""})"},
      {Variant::String("单据显示错误"), R"({"type":"String","value":"单据显示错误"})"},
      {Variant::Nothing(), R"({"type":"Object","value":null})"},
  };
  for (const Case& c : cases) EXPECT_EQ(Dump(TypedValue(c.value)), c.json);
}

TEST(TypedValue, AListObjectShowsItsItemsInOrderWithTheirTypes) {
  testing::FakePlatform platform;
  const ObjectRef list = platform.CreateObject(ValueListProgId());
  for (Variant item : {Variant::Integer(0), Variant::Double(3), Variant::Long(2)}) {
    Argument args[] = {Argument::ByVal(item)};
    list->Call("Add", args);
  }
  EXPECT_EQ(Dump(TypedValue(Variant::Object(list), ObjectShape::List)),
            R"({"type":"Object","value":[{"type":"Integer","value":0},{"type":"Double","value":3.0},)"
            R"({"type":"Long","value":2}]})");
  // The same object, not known to be a list, is not read at all.
  EXPECT_EQ(Dump(TypedValue(Variant::Object(list))), R"({"type":"Object","value":"<object>"})");
}

TEST(TypedValue, ARecordsetShowsFieldNamesAndEveryRowFromTheCurrentOne) {
  const auto rs = std::make_shared<TableRecordset>(
      std::vector<std::string>{"FBillID", "FNo", "FName"},
      std::vector<std::vector<Variant>>{{Variant::Long(88), Variant::Long(1), Variant::String("入库")},
                                        {Variant::Long(90), Variant::Long(3), Variant::Null()}});
  EXPECT_EQ(Dump(TypedValue(Variant::Object(rs), ObjectShape::Recordset)),
            R"({"type":"Object","value":{"fields":["FBillID","FNo","FName"],"rows":[)"
            R"([{"type":"Long","value":88},{"type":"Long","value":1},{"type":"String","value":"入库"}],)"
            R"([{"type":"Long","value":90},{"type":"Long","value":3},{"type":"Null","value":null}]]}})");
}

TEST(TypedValue, AnEmptyRecordsetStillNamesItsFields) {
  const auto rs =
      std::make_shared<TableRecordset>(std::vector<std::string>{"FBillID"}, std::vector<std::vector<Variant>>{});
  EXPECT_EQ(Dump(TypedValue(Variant::Object(rs), ObjectShape::Recordset)),
            R"({"type":"Object","value":{"fields":["FBillID"],"rows":[]}})");
}

TEST(PlainText, ScalarsReadAsTheirAutomationText) {
  EXPECT_EQ(PlainText(Variant()), "");
  EXPECT_EQ(PlainText(Variant::Null()), "Null");
  EXPECT_EQ(PlainText(Variant::Boolean(true)), "True");
  EXPECT_EQ(PlainText(Variant::Double(0.5)), "0.5");
  EXPECT_EQ(PlainText(Variant::Long(-3)), "-3");
  EXPECT_EQ(PlainText(Variant::Nothing()), "Nothing");
}

TEST(Dump, InvalidUtf8IsReplacedNotThrown) {
  EXPECT_EQ(Dump(Json("a\xff"
                      "b")),
            "\"a\xEF\xBF\xBD"
            "b\"");
}

}  // namespace
}  // namespace zet::cli
