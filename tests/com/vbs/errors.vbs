' Failures across the boundary: whatever a host service raises, the
' method shows one message (which the diagnostic file records), returns its
' neutral result and the script goes on. First, in a fresh process, the
' per-thread creation service.
Dim info, list, rs

Sub AdminScenario(name)
  Scenario name, "UserID=1;"
  rec.Answer kAdmin, "X", "1"
  rec.Answer " select ISNULL(min(", "X", "80"
End Sub

AdminScenario "creation service not registered, then made once for the thread"
rec.Hide "ServiceFactory"
Check "neutral result", mb.GetMoveInterID(77, 3, 1000201), CLng(0)
Check "messages", Replace(rec.Messages, "ActiveX component can't create object" & vbCrLf, "*"), "***"
AdminScenario "creation service registered"
Check "works", mb.GetMoveInterID(77, 3, 1000201), CLng(80)

Scenario "an object that is no toolbar", "UserID=25;"
mb.SaveRecentBills 88, 1, mb
Check "the method's own message", rec.Messages, "Object doesn't support this property or method" & vbCrLf

Scenario "a failing service", "UserID=16;"
rec.Fail "SELECT TOP 1 1 FROM", "0x80040E14", "Login failed." & vbCrLf & "Second \ line."
info = "before"
Check "neutral result", mb.CheckSearchBill(1, 1050, info), False
Check "sInfo as it was", info, "before"
Check "message", rec.Messages, "Login failed.\r\nSecond \\ line." & vbCrLf
Check "released on the failure path", rec.Live("AppConnection") + rec.Live("ShareProps") + rec.Live("Recordset"), CLng(0)

Scenario "a service failing with neither code nor text", "UserID=16;"
rec.Fail "SELECT TOP 1 1 FROM", "0", ""
Check "neutral result, a true message", mb.CheckSearchBill(1, 1050, info) & rec.Messages, "FalseAutomation error" & vbCrLf

Scenario "a service letting an exception out", "UserID=16;"
rec.Fail "SELECT TOP 1 1 FROM", "0xFFFFFFFF", ""
Check "neutral result, a true message", mb.CheckSearchBill(1, 1050, info) & rec.Messages, "Falsea service's own fault" & vbCrLf

Scenario "object results with a failing query", "UserID=1;"
rec.Answer kAdmin, "X", "1"
rec.Fail "SELECT Count(distinct", "0x80040E14", "Deadlock victim"
rec.Fail "ICClassRecentBills", "0x80040E14", "Invalid column name 'FBigType'."
Set list = mb.GetToDoThingCount()
Set rs = mb.LoadRecentBills(1)
Check "no list, none left behind, no recordset", (list Is Nothing) & rec.Live("ValueList") & (rs Is Nothing), "True0True"

' A refused right comes back from the security service as DISP_E_EXCEPTION
' with scode 0x80044010; the component must read that number through the
' boundary to narrow the vouchers to the user's groups.
Scenario "voucher rights: right 8 denied", "UserID=16394;"
rec.Answer "FROM t_User WHERE", "FUserGroupRight|FDataRight", "0|8"
rec.Answer "select 1 from t_AccessControl", "X", "1"
rec.Answer "select FAccessMask from t_AccessControl", "FAccessMask", "131072"
rec.Answer " SELECT FAccessMask FROM t_AccessControl WHERE FObjectType=4", "FAccessMask", "33"
rec.Fail "ref I4 8, BOOL True", "0x80044010", "You have no right to do this."
Set list = mb.GetToDoThingCount()
Check "narrowed", InStr(rec.Journal, "AND v1.FPreparerID IN (Select DISTINCT FUserID From t_Group Where FGroupID IN(") > 0, True
Check "a denial is an answer, not a failure", rec.Messages, ""

Finish
