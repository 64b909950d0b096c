' The boundary as VBScript crosses it: every variable goes by reference as a
' Variant, numbers may be texts, sInfo and ABar come back into Variant
' variables; and each host call goes out with the argument kinds the suite's
' services expect, its texts intact.
Dim info, list, bar, rs, none, i, tool

Scenario "sInfo and by-reference arguments", "UserID=16;"
info = 5
Check "result", mb.CheckSearchBill("1125", 9.0, info), False
Check "a number variable takes the text", TypeName(info) & " " & Len(info), "String 19"
CheckStart "shared properties", rec.Calls("ShareProps."), "ShareProps.GetProperty(ref I4 <pid>, ref BSTR ""PropsString"")"
Check "sInfo as a literal", mb.CheckSearchBill(1125, 9, "literal"), False

Scenario "sInfo untouched keeps the variable's subtype; CR LF pass intact", "UserID=16;"
rec.Answer "SELECT TOP 1 1 FROM ICSale", "X", "1"
rec.Answer "FROM t_User WHERE", "FUserGroupRight|FDataRight", "0|1"
rec.Answer "SELECT top 1 1 From ICSale", "X", "1"
info = Empty
Check "result", mb.CheckSearchBill(80, 300, info), True
Check "still Empty", TypeName(info), "Empty"
Check "line breaks", InStr(rec.Calls("AppConnection."), "FItemID \r\n where 1=1  and FTranType=80\r\n and") > 0, True

' lBillID as an Integer, a Currency, a Single, a text with a fraction: the text goes
' into the statement as given; the bill it stays on is CLng's.
For Each i In Array(Array(CInt(77), "77", 77), Array(CCur(77), "77", 77), Array(CSng(77.1), "77.1", 77), _
  Array("77.5", "77.5", 78))
  Scenario "lBillID as " & TypeName(i(0)), "UserID=1;"
  rec.Answer kAdmin, "X", "1"
  rec.Answer " select ISNULL(min(", "X", "0"
  Check "stays on the bill", mb.GetMoveInterID(i(0), "3", 1000201), CLng(i(2))
  Check "statement", InStr(rec.Calls("GetData.ExecuteSQL(BSTR ""UserID=1;"", ref BSTR"), "v1.FBillID>" & i(1) & """)") > 0, True
Next

Scenario "the to-do list: services, argument kinds, the list by position", "UserID=1;"
rec.Answer kAdmin, "X", "1"
rec.Answer "CashBeforePost", "FValue", "1"
rec.Value "PurchaseAlarmDateCount", "5"
rec.Answer "SELECT Count(distinct", "N", "3"
Set list = mb.GetToDoThingCount()
Const kAdds = "(I2 0) | (I2 71) | (I2 75) | (I2 81) | (I2 80) | (I4 1000205) | (I4 1000206) | (I2 1125) | (I2 1127) | (I2 0) | (R8 3)"
CheckStart "type list, then the counts", Replace(rec.Calls("ValueList.Add("), "ValueList.Add", ""), kAdds
CheckStart "security service", rec.Calls("SecurityInfo."), _
  "SecurityInfo.AccessCheck(BSTR ""UserID=1;"", ref I4 4, ref I4 0, ref I4 8, BOOL True, ref BSTR ""ZetEBSGL."
Check "no message", rec.Messages, ""
For Each i In Array("ShareProps", "AppConnection", "ClassInfo", "SysInfo", "SecurityInfo", "GetData", "Recordset", "Fields", "Field")
  Check "released: " & i, rec.Live(i), CLng(0)
Next
Check "the list is the caller's", rec.Live("ValueList"), CLng(1)
Set list = Nothing
Check "released with the caller's reference", rec.Live("ValueList"), CLng(0)

Scenario "recent bills into a toolbar variable", "UserID=25;"
rec.Answer " select b.*,t.FBillNo", "FUserID|FBillID|FClassTypeID|FNo|FBigType|FBillNo|FName", _
  "25|90|81|1|2|s:SO-7|Sales order", "25|88|1|3|2|s:B-0088|Stock out"
Set bar = CreateObject("ZetTestHost.Toolbar")
Set rs = mb.LoadRecentBills("1", bar)
CheckStart "assignments typed, tool index by a Long reference", rec.Calls("Tool(0).") & " | " & rec.Calls("Band.Tools(ref I4 0)"), _
  "Tool(0).Visible = BOOL False | Tool(0).Caption = BSTR ""Sales order-SO-7"" | Tool(0).Text = BSTR ""81|90"" | " & _
  "Tool(0).Visible = BOOL True | Band.Tools(ref I4 0)"
Set tool = bar.Bands("mnuRecBill").Tools(0)
Check "the variable still holds the toolbar", (tool.Visible = True) & " " & tool.Text, "True 81|90"
Check "a clone comes back at its first row", rs.Fields("FBillID").Value & " of " & rs.RecordCount, "90 of 2"
Set rs = Nothing
Check "released with the caller's reference", rec.Live("Recordset"), CLng(0)

Scenario "recent bills without a toolbar, with Nothing, with Empty", "UserID=25;"
Check "left out", mb.LoadRecentBills(1).RecordCount, CLng(0)
Set none = Nothing
Check "Nothing", mb.LoadRecentBills(1000205, none).RecordCount, CLng(0)
Check "Nothing stays Nothing", none Is Nothing, True
none = Empty
mb.SaveRecentBills 0, 1, none
Check "Empty stays Empty", TypeName(none), "Empty"
Check "no toolbar calls", rec.Calls("Band."), ""

Scenario "recording a bill: the batch as a one-element string array by reference", "UserID=25;"
mb.SaveRecentBills "88", 1
CheckStart "batch", rec.Calls("ClassUpdate."), _
  "ClassUpdate.UpdateBatch(BSTR ""UserID=25;"", ref BSTR[0..0]{""update ICClassRecentBills"

Finish
