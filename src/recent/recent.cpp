#include "recent/recent.hpp"

#include <string>

#include "host/gateway.hpp"
#include "host/login_context.hpp"
#include "host/text.hpp"
#include "host/trap.hpp"

namespace zet {

int32_t GetBigType(int32_t class_type_id) {
  switch (class_type_id) {
    case 1000201:
    case 1000202:
    case 1000205:
    case 1000206:
    case 1007000:
      return 1;
    case 1:
    case 2:
    case 10:
    case 21:
    case 24:
    case 29:
    case 40:
    case 41:
    case 43:
    case 50:
    case 71:
    case 75:
    case 76:
    case 80:
    case 81:
    case 84:
    case 85:
    case 86:
    case 100:
      return 2;
    case 51:
      return 3;
    default:
      return 0;
  }
}

namespace {

// The tool at `index` of the recent-bills band; the toolbar raises for an
// index the band does not hold.
ObjectRef Tool(Dispatch& bar, int16_t index) {
  Argument band_args[] = {Argument::ByVal(Variant::String(kRecentBillsBand))};
  const ObjectRef band = RequireObject(bar.Get("Bands", band_args));
  Variant tool_index = Variant::Long(index);
  Argument tool_args[] = {Argument::ByRef(tool_index)};
  return RequireObject(band->Get("Tools", tool_args));
}

// Text concatenation: a Null operand joins as nothing.
std::string Text(const Variant& v) {
  return v.IsNull() ? std::string() : CStr(v);
}

}  // namespace

ObjectRef LoadRecentBills(Platform& platform, int32_t m_ClassTypeID, ObjectRef& ABar) noexcept {
  ObjectRef result;
  RunTrapped(platform, [&] {
    const int32_t family = GetBigType(m_ClassTypeID);
    const std::string sql = std::string(" select b.*,t.FBillNo,t.FName from ICClassRecentBills b inner join") +
                            " (select vw_BillList.FInterID as FID, vw_BillList.FBillNo,vw_BillList.FTranType" +
                            "  as FClassTypeID,vw_BillList.FName as FName  from vw_BillList) t" +
                            " on b.FBillID=t.FID and t.FClassTypeID=b.FClassTypeID" +
                            "  where b.FUserID=" + GetPropValue(platform, "UserID") +
                            " and b.FBigType=" + std::to_string(family) + " order by FNO ";
    const Recordset rs = QueryData(platform, sql);

    if (ABar) {
      for (int16_t index = 0; index < kRecentBillsLimit; ++index)
        Tool(*ABar, index)->Put("Visible", Variant::Boolean(false));
      while (!rs.Eof()) {
        // A gap in the places shows as a hidden tool, not as a shifted entry.
        const int16_t place = CInt(rs.Field("FNo"));
        const ObjectRef tool = Tool(*ABar, RoundToInteger(static_cast<double>(place) - 1));
        tool->Put("Caption", Variant::String(Text(rs.Field("FName")) + "-" + Text(rs.Field("FBillNo"))));
        tool->Put("Text", Variant::String(Text(rs.Field("FClassTypeID")) + "|" + Text(rs.Field("FBillID"))));
        tool->Put("Visible", Variant::Boolean(true));
        rs.MoveNext();
      }
    }

    // The clone is the result before the queried recordset is closed, so a
    // failing Close still hands the list back.
    result = rs.Clone();
    rs.Close();
  });
  return result;
}

void SaveRecentBills(Platform& platform, int32_t lBillID, int32_t m_ClassTypeID, ObjectRef& ABar) noexcept {
  RunTrapped(platform, [&] {
    const std::string family = std::to_string(GetBigType(m_ClassTypeID));
    if (lBillID == 0) return;
    const std::string bill = std::to_string(lBillID);
    const std::string class_type = std::to_string(m_ClassTypeID);

    std::string batch;
    batch += "update ICClassRecentBills set FNo=FNo+1 where FUserID=" + GetPropValue(platform, "UserID") +
             " and FBigType=" + family + std::string(kCrLf);
    batch += "insert into ICClassRecentBills(FUserID,FBillID,FClassTypeID,FNo,FBigType) values (" +
             GetPropValue(platform, "UserID") + "," + bill + "," + class_type + "," + "1," + family + ")" +
             std::string(kCrLf);
    batch += " delete from ICClassRecentBills where (FNo>" + std::to_string(kRecentBillsLimit) +
             " or (FNo>1 and FBillID=" + bill + " and FClassTypeID=" + class_type +
             ")) and FUserID=" + GetPropValue(platform, "UserID") + " and FBigType=" + family + std::string(kCrLf);
    UpdateData(platform, batch);

    if (ABar) LoadRecentBills(platform, m_ClassTypeID, ABar);
  });
}

}  // namespace zet
