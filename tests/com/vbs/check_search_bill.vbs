' CheckSearchBill as a bill editor calls it: a String variable for sInfo,
' read back after the call.
Dim info, visible

Scenario "stock bill 1050 outside the preparer scope"
rec.Props = "UserID=16;"
rec.Answer "SELECT TOP 1 1 FROM ICStockBill", "X", "1"
rec.Answer "FROM t_User WHERE", "FUserGroupRight|FDataRight", "2|0"
info = "caller's text"
visible = mb.CheckSearchBill(1, 1050, info)
Check "result", visible, False
Check "sInfo comes back", info, kNoRights
CheckStatements "statements", Array( _
  " SELECT TOP 1 1 FROM ICStockBill v1 WHERE v1.FInterID = 1050", _
  "SELECT TOP 1 1 FROM t_Group WHERE FUserID=16 AND FGroupID=1", _
  "SELECT TOP 1 1 FROM t_Group WHERE FUserID=16 AND FGroupID=1", _
  "SELECT FUserGroupRight,FDataRight FROM t_User WHERE FUserID= 16", _
  " SELECT top 1 1 From ICStockBill v1 where 1=1  and FTranType=1 and v1.FBillerID=16 and v1.FInterID = 1050")
' The connection takes the statement alone, by reference; the read service
' takes the property string first, by value, then the statement by reference.
CheckLines "connection calls", JournalLines("AppConnection."), Array( _
  "AppConnection.Execute(ref BSTR "" SELECT TOP 1 1 FROM ICStockBill v1 WHERE v1.FInterID = 1050"")", _
  "AppConnection.Execute(ref BSTR "" SELECT top 1 1 From ICStockBill v1 where 1=1  and FTranType=1 and " & _
  "v1.FBillerID=16 and v1.FInterID = 1050"")")
CheckLines "read service calls", JournalLines("ClassInfo."), Array( _
  "ClassInfo.GetData(BSTR ""UserID=16;"", ref BSTR ""SELECT TOP 1 1 FROM t_Group WHERE FUserID=16 AND FGroupID=1"")", _
  "ClassInfo.GetData(BSTR ""UserID=16;"", ref BSTR ""SELECT TOP 1 1 FROM t_Group WHERE FUserID=16 AND FGroupID=1"")", _
  "ClassInfo.GetData(BSTR ""UserID=16;"", ref BSTR ""SELECT FUserGroupRight,FDataRight FROM t_User WHERE FUserID= 16"")")
' The process id goes by reference, first, and is this process's.
Check "shared properties call", FirstLine("ShareProps."), "ShareProps.GetProperty(ref I4 <pid>, ref BSTR ""PropsString"")"
CheckLines "no message", Messages(), Array()
CheckReleased "after the call", kCallScopedClasses

Scenario "sales invoice 300 with customer rights"
rec.Props = "UserID=16;"
rec.Answer "SELECT TOP 1 1 FROM ICSale", "X", "1"
rec.Answer "FROM t_User WHERE", "FUserGroupRight|FDataRight", "0|1"
rec.Answer "SELECT top 1 1 From ICSale", "X", "1"
info = "keep me"
visible = mb.CheckSearchBill(80, 300, info)
Check "result", visible, True
Check "sInfo untouched", info, "keep me"
Check "rights statement", rec.Statement(5), _
  " SELECT top 1 1 From ICSale v1 left join t_Organization t2 on v1.FCustID=t2.FItemID " & vbCrLf & _
  " where 1=1  and FTranType=80" & vbCrLf & _
  " and CharIndex('16',t2.FRightUserID)>0 " & vbCrLf & _
  " and v1.FInterID = 300"
CheckLines "no message", Messages(), Array()

Scenario "deleted voucher"
rec.Props = "UserID=16;"
info = ""
visible = mb.CheckSearchBill(1125, 9, info)
Check "result", visible, False
Check "sInfo", info, kVoucherDeleted
CheckStatements "statements", Array(" SELECT TOP 1 1 FROM t_Voucher v1 WHERE v1.FVoucherID = 9")

Scenario "deleted bill"
rec.Props = "UserID=16;"
info = ""
visible = mb.CheckSearchBill(71, 12, info)
Check "result", visible, False
Check "sInfo", info, kBillDeleted
CheckStatements "statements", Array(" SELECT TOP 1 1 FROM POOrder v1 left join POOrderEntry u1 on " & _
  "v1.FInterID=u1.FInterID " & vbCrLf & " WHERE v1.FInterID = 12")

Scenario "administrator and an existing bill"
rec.Props = "UserID=1;"
rec.Answer "SELECT TOP 1 1 FROM ICStockBill", "X", "1"
rec.Answer "FROM t_Group WHERE FUserID=1 AND FGroupID=1", "X", "1"
info = "unchanged"
visible = mb.CheckSearchBill(21, 5, info)
Check "result", visible, True
Check "sInfo", info, "unchanged"
Check "no rights test", rec.StatementCount, CLng(2)

Finish
