' LoadRecentBills and SaveRecentBills as a bill editor calls them, with its
' toolbar object, without it, and with Nothing.
Dim bar, rs, i, tool, none, toolCalls

Const kRecentQuery = " select b.*,t.FBillNo,t.FName from ICClassRecentBills b inner join"
Const kColumns = "FUserID|FBillID|FClassTypeID|FNo|FBigType|FBillNo|FName"

Function ToolOf(index)
  Set ToolOf = bar.Bands("mnuRecBill").Tools(index)
End Function

Scenario "menu of user 25 for stock bills"
rec.Props = "UserID=25;"
rec.Answer kRecentQuery, kColumns, "25|90|81|1|2|s:SO-7|Sales order", "25|88|1|3|2|s:B-0088|Stock out"
Set bar = CreateObject("ZetTestHost.Toolbar")
Set rs = mb.LoadRecentBills(1, bar)
CheckStatements "statements", Array( _
  " select b.*,t.FBillNo,t.FName from ICClassRecentBills b inner join (select vw_BillList.FInterID as FID, " & _
  "vw_BillList.FBillNo,vw_BillList.FTranType  as FClassTypeID,vw_BillList.FName as FName  from vw_BillList) t on " & _
  "b.FBillID=t.FID and t.FClassTypeID=b.FClassTypeID  where b.FUserID=25 and b.FBigType=2 order by FNO ")
For i = 0 To 19
  Set tool = ToolOf(i)
  Check "tool " & i & " visible", tool.Visible, (i = 0 Or i = 2)
Next
Check "tool 0 caption", ToolOf(0).Caption, "Sales order-SO-7"
Check "tool 0 text", ToolOf(0).Text, "81|90"
Check "tool 2 caption", ToolOf(2).Caption, "Stock out-B-0088"
Check "tool 2 text", ToolOf(2).Text, "1|88"
' The tool index goes by reference, as a Long.
Check "tool lookup", FirstLine("Band.Tools("), "Band.Tools(ref I4 0)"
Check "toolbar variable still holds the toolbar", bar.Bands("mnuRecBill").Tools(2).Text, "1|88"
' The result is a clone, open at its first row; the queried recordset itself
' was closed before the method returned.
CheckTrue "a recordset comes back", Not (rs Is Nothing), "Nothing"
Check "record count", rs.RecordCount, CLng(2)
Check "at the first row", rs.EOF, False
Check "first row", rs.Fields("FBillID").Value, CLng(90)
Check "open", rs.State, CLng(1)
CheckLines "clone, then close", JournalLines("Recordset.C"), Array("Recordset.Clone()", "Recordset.Close()")
CheckLines "no message", Messages(), Array()
CheckReleased "after the call", Array("ShareProps", "ClassInfo", "Fields", "Field", "Band", "Tool(0)", "Tool(2)")
Check "only the returned clone is alive", rec.Live("Recordset"), CLng(1)
Set rs = Nothing
Check "clone released with the caller's reference", rec.Live("Recordset"), CLng(0)

Scenario "without a toolbar"
rec.Props = "UserID=25;"
rec.Answer kRecentQuery, kColumns, "25|88|1|3|2|s:B-0088|Stock out"
Set rs = mb.LoadRecentBills(1)
Check "record count", rs.RecordCount, CLng(1)
Check "no toolbar calls", FirstLine("Band."), "<none>"
Set rs = Nothing

Scenario "with Nothing for the toolbar"
rec.Props = "UserID=25;"
Set none = Nothing
Set rs = mb.LoadRecentBills(1000205, none)
Check "empty list", rs.RecordCount, CLng(0)
Const kFamily1 = " where b.FUserID=25 and b.FBigType=1 order by FNO "
Check "family 1", Right(rec.Statement(1), Len(kFamily1)), kFamily1
Check "no toolbar calls", FirstLine("Band."), "<none>"
CheckTrue "Nothing stays Nothing", none Is Nothing, "replaced"
Set rs = Nothing

Scenario "recording bill 88 of type 1 for user 25"
rec.Props = "UserID=25;"
rec.Answer kRecentQuery, kColumns, "25|88|1|1|2|s:B-0088|Stock out"
Set bar = CreateObject("ZetTestHost.Toolbar")
mb.SaveRecentBills 88, 1, bar
Check "batch", rec.Statement(1), _
  "update ICClassRecentBills set FNo=FNo+1 where FUserID=25 and FBigType=2" & vbCrLf & _
  "insert into ICClassRecentBills(FUserID,FBillID,FClassTypeID,FNo,FBigType) values (25,88,1,1,2)" & vbCrLf & _
  " delete from ICClassRecentBills where (FNo>20 or (FNo>1 and FBillID=88 and FClassTypeID=1)) and FUserID=25 " & _
  "and FBigType=2" & vbCrLf
' The whole batch travels as the one element of a string array, by reference.
Const kBatchCall = "ClassUpdate.UpdateBatch(BSTR ""UserID=25;"", ref BSTR[0..0]{""update ICClassRecentBills "
Check "one-element string array by reference", Left(FirstLine("ClassUpdate."), Len(kBatchCall)), kBatchCall
Check "menu refreshed", Left(rec.Statement(2), 60), Left(kRecentQuery, 60)
Check "tool 0 text", ToolOf(0).Text, "1|88"
CheckLines "no message", Messages(), Array()
CheckReleased "after the call", kCallScopedClasses

Scenario "recording without a toolbar"
rec.Props = "UserID=25;"
mb.SaveRecentBills 88, 1
Check "only the batch", rec.StatementCount, CLng(1)

Scenario "bill 0 is not recorded"
rec.Props = "UserID=25;"
Set bar = CreateObject("ZetTestHost.Toolbar")
mb.SaveRecentBills 0, 1, bar
Check "no statement", rec.StatementCount, CLng(0)
Check "no toolbar calls", FirstLine("Band."), "<none>"

Finish
