' Failures across the boundary: whatever the host does, the method shows one
' message (which the diagnostic file records), returns its neutral result,
' and the script goes on.
Dim id, info, visible, list, rs, bar

Scenario "application connection not registered"
rec.Props = "UserID=1;"
rec.Answer "FROM t_Group WHERE FUserID=1 AND FGroupID=1", "X", "1"
rec.Answer " SELECT ISNULL(Min(", "FInterID", "9"
rec.Hide "ZetConnection.AppConnection"
id = mb.GetMaxMinInterID(1125, 1)
Check "neutral result", id, CLng(0)
CheckLines "message", Messages(), Array("ActiveX component can't create object")
rec.Reset
rec.Props = "UserID=1;"
rec.Answer "FROM t_Group WHERE FUserID=1 AND FGroupID=1", "X", "1"
rec.Answer " SELECT ISNULL(Min(", "FInterID", "9"
Check "registered again, the next call works", mb.GetMaxMinInterID(1125, 1), CLng(9)

Scenario "the database rejects the statement"
rec.Props = "UserID=1;"
rec.Answer "FROM t_Group WHERE FUserID=1 AND FGroupID=1", "X", "1"
rec.Fail " SELECT ISNULL(Max(", "Invalid object name 'ICStockBill'."
id = mb.GetMaxMinInterID(1, 2)
Check "neutral result", id, CLng(0)
CheckLines "the database's own text", Messages(), Array("Invalid object name 'ICStockBill'.")
CheckReleased "released on the failure path", kCallScopedClasses

Scenario "visibility check when the connection fails"
rec.Props = "UserID=16;"
rec.Fail "SELECT TOP 1 1 FROM", "Login failed." & vbCrLf & "Second line."
info = "before"
visible = mb.CheckSearchBill(1, 1050, info)
Check "neutral result", visible, False
Check "sInfo as it was", info, "before"
CheckLines "one line per message", Messages(), Array("Login failed.\r\nSecond line.")

Scenario "to-do counter with a failing count"
rec.Props = "UserID=1;"
rec.Answer "FROM t_Group WHERE FUserID=1 AND FGroupID=1", "X", "1"
rec.Fail "SELECT Count(distinct", "Deadlock victim"
Set list = mb.GetToDoThingCount()
CheckTrue "Nothing", list Is Nothing, "a list came back"
CheckLines "the fixed text", Messages(), Array(kToDoFailed)
CheckReleased "released on the failure path", kCallScopedClasses
Check "no list left behind", rec.Live("ValueList"), CLng(0)

Scenario "recent bills with a failing query"
rec.Props = "UserID=25;"
rec.Fail "ICClassRecentBills", "Invalid column name 'FBigType'."
Set bar = CreateObject("ZetTestHost.Toolbar")
Set rs = mb.LoadRecentBills(1, bar)
CheckTrue "Nothing", rs Is Nothing, "a recordset came back"
CheckLines "message", Messages(), Array("Invalid column name 'FBigType'.")

Scenario "recording with a rejected batch"
rec.Props = "UserID=25;"
rec.Fail "update ICClassRecentBills", "The transaction log is full."
mb.SaveRecentBills 88, 1, bar
CheckLines "message", Messages(), Array("The transaction log is full.")
Check "no menu refresh", rec.StatementCount, CLng(1)

Scenario "a recent-bills place beyond the menu"
rec.Props = "UserID=25;"
rec.Answer " select b.*,t.FBillNo", "FUserID|FBillID|FClassTypeID|FNo|FBigType|FBillNo|FName", _
  "25|88|1|21|2|B-1|Stock out"
Set rs = mb.LoadRecentBills(1, bar)
CheckTrue "Nothing", rs Is Nothing, "a recordset came back"
CheckLines "the toolbar's error", Messages(), Array("Index out of bounds")
CheckReleased "released on the failure path", Array("Recordset", "Band", "Field", "Fields")

Scenario "no shared-properties service"
rec.Hide "ZetPropsMgr.ShareProps"
info = ""
visible = mb.CheckSearchBill(1125, 9, info)
Check "neutral result", visible, False
' The user id reads as "", which no statement can take.
CheckLines "message", Messages(), Array("Type mismatch")

Finish
