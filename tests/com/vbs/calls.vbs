' The boundary as VBScript crosses it: every variable goes by reference as a
' Variant, numbers may be texts, sInfo and ABar come back into Variant
' variables; and each host call goes out with the argument kinds the suite's
' services expect, its texts intact.
Dim info, visible, id, list, bar, rs, none, i, tool

Scenario "sInfo and the statement's path"
rec.Props = "UserID=16;"
info = 5
visible = mb.CheckSearchBill("1125", 9.0, info)
Check "result", visible, False
Check "a number variable takes the text", info, kVoucherDeleted
Check "shared properties", First("ShareProps."), "ShareProps.GetProperty(ref I4 <pid>, ref BSTR ""PropsString"")"
Check "the statement alone, by reference", Calls("AppConnection."), _
  "AppConnection.Execute(ref BSTR "" SELECT TOP 1 1 FROM t_Voucher v1 WHERE v1.FVoucherID = 9"")"
info = "literal"
Check "sInfo as a literal", mb.CheckSearchBill(1125, 9, "literal"), False

Scenario "sInfo untouched keeps the variable's subtype; CR LF pass intact"
rec.Props = "UserID=16;"
rec.Answer "SELECT TOP 1 1 FROM ICSale", "X", "1"
rec.Answer "FROM t_User WHERE", "FUserGroupRight|FDataRight", "0|1"
rec.Answer "SELECT top 1 1 From ICSale", "X", "1"
info = Empty
Check "result", mb.CheckSearchBill(80, 300, info), True
Check "still Empty", TypeName(info), "Empty"
Check "read service: property string by value, statement by reference", Calls("ClassInfo.GetData(BSTR ""UserID=16;"", ref BSTR ""SELECT FUser"), _
  "ClassInfo.GetData(BSTR ""UserID=16;"", ref BSTR ""SELECT FUserGroupRight,FDataRight FROM t_User WHERE FUserID= 16"")"
Check "line breaks", Calls("AppConnection.Execute(ref BSTR "" SELECT top"), _
  "AppConnection.Execute(ref BSTR "" SELECT top 1 1 From ICSale v1 left join t_Organization t2 on v1.FCustID=t2.FItemID \r\n" & _
  " where 1=1  and FTranType=80\r\n and CharIndex('16',t2.FRightUserID)>0 \r\n and v1.FInterID = 300"")"

Sub CheckBill(name, bill, expected, stays)
  Scenario "lBillID as " & name
  rec.Props = "UserID=1;"
  rec.Answer kAdmin, "X", "1"
  rec.Answer " select ISNULL(min(", "X", "0"
  Check "stays on the bill", mb.GetMoveInterID(bill, "3", 1000201), CLng(stays)
  Check "statement", Calls("GetData.ExecuteSQL"), "GetData.ExecuteSQL(BSTR ""UserID=1;"", ref BSTR "" select " & _
    "ISNULL(min(v1.FBillID),0) from t_RP_RBill v1 where v1.FBillID>" & expected & """)"
End Sub
CheckBill "Integer", CInt(77), "77", 77
CheckBill "Currency", CCur(77), "77", 77
' The text goes into the statement as given; the bill it stays on is CLng's.
CheckBill "text with a fraction", "77.5", "77.5", 78

Scenario "the to-do list: services, argument kinds, the list by position"
rec.Props = "UserID=1;"
rec.Answer kAdmin, "X", "1"
rec.Answer "CashBeforePost", "FValue", "1"
rec.Value "PurchaseAlarmDateCount", "5"
rec.Answer "SELECT Count(distinct", "N", "3"
rec.Answer "v1.FCheckerID=-1", "FVoucherID", "31", "32"
Set list = mb.GetToDoThingCount()
Check "position 1", list.Item(1), CInt(0)
Check "position 2", list.Item(2), CDbl(3)
Check "position 7", list.Item(7), CDbl(3)
Check "position 8", list.Item(8), CLng(2)
Const kAdds = "(I2 0) | (I2 71) | (I2 75) | (I2 81) | (I2 80) | (I4 1000205) | (I4 1000206) | (I2 1125) | (I2 1127) | (I2 0) | (R8 3)"
Check "type list, then the counts", Left(Replace(Calls("ValueList.Add("), "ValueList.Add", ""), Len(kAdds)), kAdds
Check "creation service asked with the ProgID alone", First("ServiceFactory.CreateService(BSTR ""ZetBillDataAccess.S"), _
  "ServiceFactory.CreateService(BSTR ""ZetBillDataAccess.SysInfo"")"
Check "system value", First("SysInfo."), _
  "SysInfo.GetSysValue(BSTR ""UserID=1;"", ref BSTR ""IC"", ref BSTR ""PurchaseAlarmDateCount"")"
Check "security service", First("SecurityInfo."), "SecurityInfo.AccessCheck(BSTR ""UserID=1;"", " & _
  "ref I4 4, ref I4 0, ref I4 8, BOOL True, ref BSTR ""ZetEBSGL.VoucherInfo.GetJournal"")"
Check "no message", Messages(), ""
For Each i In Array("ShareProps", "AppConnection", "ClassInfo", "SysInfo", "SecurityInfo", "GetData", "Recordset", "Fields", "Field")
  Check "released: " & i, rec.Live(i), CLng(0)
Next
Check "the list is the caller's", rec.Live("ValueList"), CLng(1)
Set list = Nothing
Check "released with the caller's reference", rec.Live("ValueList"), CLng(0)

Const kRecent = " select b.*,t.FBillNo"
Const kColumns = "FUserID|FBillID|FClassTypeID|FNo|FBigType|FBillNo|FName"

Scenario "recent bills into a toolbar variable"
rec.Props = "UserID=25;"
rec.Answer kRecent, kColumns, "25|90|81|1|2|s:SO-7|Sales order", "25|88|1|3|2|s:B-0088|Stock out"
Set bar = CreateObject("ZetTestHost.Toolbar")
Set rs = mb.LoadRecentBills("1", bar)
Check "assignments typed", Calls("Tool(0)."), "Tool(0).Visible = BOOL False | Tool(0).Caption = BSTR " & _
  """Sales order-SO-7"" | Tool(0).Text = BSTR ""81|90"" | Tool(0).Visible = BOOL True"
Check "tool index by a Long reference", First("Band.Tools("), "Band.Tools(ref I4 0)"
Set tool = bar.Bands("mnuRecBill").Tools(0)
Check "the variable still holds the toolbar", tool.Visible & " " & tool.Caption & " " & tool.Text, "True Sales order-SO-7 81|90"
Check "tool 1 hidden", bar.Bands("mnuRecBill").Tools(1).Visible, False
Check "a clone comes back at its first row", rs.Fields("FBillID").Value, CLng(90)
Check "rows", rs.RecordCount, CLng(2)
Check "the queried recordset closed", Calls("Recordset.C"), "Recordset.Clone() | Recordset.Close()"
Check "only the clone alive", rec.Live("Recordset"), CLng(1)
Set rs = Nothing
Check "released with the caller's reference", rec.Live("Recordset"), CLng(0)

Scenario "recent bills without a toolbar, with Nothing, with Empty"
rec.Props = "UserID=25;"
Check "left out", mb.LoadRecentBills(1).RecordCount, CLng(0)
Set none = Nothing
Check "Nothing", mb.LoadRecentBills(1000205, none).RecordCount, CLng(0)
Check "Nothing stays Nothing", none Is Nothing, True
none = Empty
mb.SaveRecentBills 0, 1, none
Check "Empty stays Empty", TypeName(none), "Empty"
Check "no toolbar calls", Calls("Band."), ""

Scenario "recording a bill: the batch as a one-element string array by reference"
rec.Props = "UserID=25;"
mb.SaveRecentBills "88", 1
Check "batch", Calls("ClassUpdate."), "ClassUpdate.UpdateBatch(BSTR ""UserID=25;"", ref BSTR[0..0]{""update " & _
  "ICClassRecentBills set FNo=FNo+1 where FUserID=25 and FBigType=2\r\ninsert into ICClassRecentBills(FUserID," & _
  "FBillID,FClassTypeID,FNo,FBigType) values (25,88,1,1,2)\r\n delete from ICClassRecentBills where (FNo>20 or " & _
  "(FNo>1 and FBillID=88 and FClassTypeID=1)) and FUserID=25 and FBigType=2\r\n""})"

Finish
