' Failures across the boundary, both ways: calls the interface does not take
' fail as the runtime errors VB knows; whatever a host service raises, the
' method shows one message (which the diagnostic file records), returns its
' neutral result and the script goes on. First, in a fresh process, the
' per-thread creation service.
Dim id, second, info, list, rs, bar

Sub AdminScript()
  rec.Props = "UserID=1;"
  rec.Answer kAdmin, "X", "1"
  rec.Answer " select ISNULL(min(", "X", "80"
End Sub

Scenario "creation service not registered, then made once for the thread"
AdminScript
rec.Hide rec.FactoryProgId
Check "neutral result", mb.GetMoveInterID(77, 3, 1000201), CLng(0)
Check "messages", Messages(), "ActiveX component can't create object | ActiveX component can't create object | " & _
  "ActiveX component can't create object"
rec.Reset
AdminScript
Check "works once registered", mb.GetMoveInterID(77, 3, 1000201), CLng(80)
Set second = CreateObject("ZetMMoveBill.clsMoveBill")
Check "a second object", second.GetMoveInterID(77, 3, 1000201), CLng(80)
Set second = Nothing
Check "one service for the thread, kept after its objects go", rec.Live("ServiceFactory"), CLng(1)

Sub CheckError(name, expected)
  Check name, Err.Number, CLng(expected)
  Err.Clear
End Sub

Scenario "calls the interface does not take"
On Error Resume Next
id = mb.GetMaxMinInterID(1)
CheckError "too few arguments", 450
id = mb.GetMaxMinInterID("abc", 1)
CheckError "not a number", 13
id = mb.GetMaxMinInterID(1E+10, 1)
CheckError "too large for a Long", 6
id = mb.NoSuchMethod(1)
CheckError "unknown member", 438
mb.SaveRecentBills 88, 1, 12
CheckError "a number for the toolbar", 13
On Error GoTo 0
Check "nothing reached the host", rec.Journal, ""

Scenario "an object that is no toolbar"
rec.Props = "UserID=25;"
mb.SaveRecentBills 88, 1, rec
Check "the method's own message", Messages(), "Object doesn't support this property or method"

Scenario "a service not registered; the database's own text, on one line"
AdminScript
rec.Hide "ZetConnection.AppConnection"
Check "neutral result", mb.GetMaxMinInterID(1125, 1), CLng(0)
rec.Reset
rec.Props = "UserID=16;"
rec.Fail "SELECT TOP 1 1 FROM", "0x80040E14", "Login failed." & vbCrLf & "Second \ line."
info = "before"
Check "neutral result", mb.CheckSearchBill(1, 1050, info), False
Check "sInfo as it was", info, "before"
Check "messages", Messages(), "ActiveX component can't create object | Login failed.\r\nSecond \\ line."
Check "released on the failure path", rec.Live("AppConnection") + rec.Live("ShareProps") + rec.Live("Recordset"), CLng(0)

Scenario "to-do counter and recent bills with a failing query"
rec.Props = "UserID=1;"
rec.Answer kAdmin, "X", "1"
rec.Fail "SELECT Count(distinct", "0x80040E14", "Deadlock victim"
rec.Fail "ICClassRecentBills", "0x80040E14", "Invalid column name 'FBigType'."
Set list = mb.GetToDoThingCount()
Check "no list", list Is Nothing, True
Check "no list left behind", rec.Live("ValueList"), CLng(0)
Set bar = CreateObject("ZetTestHost.Toolbar")
Set rs = mb.LoadRecentBills(1, bar)
Check "no recordset", rs Is Nothing, True
mb.SaveRecentBills 88, 1, bar
Check "no menu refresh after a rejected batch", UBound(Split(rec.Journal, " select b.*")), CLng(1)
Check "messages", Messages(), rec.Unescape("\u53D6\u6570\u9519\u8BEF") & " | Invalid column name 'FBigType'. | " & _
  "Invalid column name 'FBigType'."

' A refused right comes back from the security service as DISP_E_EXCEPTION
' with scode 0x80044010; the component must read that number through the
' boundary to narrow the vouchers, and treat any other failure as no answer.
Sub VoucherScript(dataRight, mask, outcome, scode)
  Scenario "voucher rights: right 8 " & outcome
  rec.Props = "UserID=16394;"
  rec.Answer "FROM t_User WHERE", "FUserGroupRight|FDataRight", "0|" & dataRight
  rec.Answer "select 1 from t_AccessControl", "X", "1"
  rec.Answer "select FAccessMask from t_AccessControl", "FAccessMask", "131072"
  rec.Answer " SELECT FAccessMask FROM t_AccessControl WHERE FObjectType=4", "FAccessMask", mask
  rec.Fail "ref I4 8, BOOL True", scode, "You have no right to do this."
  Set list = mb.GetToDoThingCount()
  Set list = Nothing
End Sub
VoucherScript 8, "33", "denied", "0x80044010"
Check "narrowed to the user's groups", InStr(rec.Journal, "v1.FPosted=0  and v1.FVoucherID not in") > 0 And _
  InStr(rec.Journal, "AND v1.FPreparerID IN (Select DISTINCT FUserID From t_Group Where FGroupID IN(") > 0, True
Check "a denial is an answer, not a failure", Messages(), ""
VoucherScript 0, "1", "failing otherwise", "0x80004005"
Check "unrestricted", InStr(rec.Journal, "v1.FCheckerID=-1 and v1.FPosted=0 "")") > 0, True

Finish
