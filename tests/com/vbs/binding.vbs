' What late-bound clients really pass: variables of any subtype by
' reference, literals, texts for numbers, and calls the interface does not
' take, which must fail as automation errors and nothing worse.
Dim info, visible, id, bar, number

Sub VoucherScript()
  rec.Props = "UserID=16;"
End Sub

Scenario "sInfo given as a literal"
VoucherScript
visible = mb.CheckSearchBill(1125, 9, "literal text")
Check "result", visible, False

Scenario "sInfo variable holding a number"
VoucherScript
info = 5
visible = mb.CheckSearchBill(1125, 9, info)
Check "the variable takes the text", info, kVoucherDeleted

Scenario "sInfo variable untouched on success keeps its subtype"
rec.Props = "UserID=1;"
rec.Answer "SELECT TOP 1 1 FROM t_Voucher", "X", "1"
info = Empty
visible = mb.CheckSearchBill(1125, 9, info)
Check "result", visible, True
Check "still Empty", TypeName(info), "Empty"

Scenario "numbers given as texts and doubles"
VoucherScript
info = ""
visible = mb.CheckSearchBill("1125", 9.0, info)
Check "statement", rec.Statement(1), " SELECT TOP 1 1 FROM t_Voucher v1 WHERE v1.FVoucherID = 9"

Sub MoveScript()
  rec.Props = "UserID=1;"
  rec.Answer "FROM t_Group WHERE FUserID=1 AND FGroupID=1", "X", "1"
  rec.Answer " select ISNULL(min(", "X", "0"
End Sub

Sub CheckBillText(name, bill)
  Scenario "lBillID as " & name
  MoveScript
  id = mb.GetMoveInterID(bill, 3, 1000201)
  Check "stays on the bill", id, CLng(77)
  Check "statement", rec.Statement(rec.StatementCount), _
    " select ISNULL(min(v1.FBillID),0) from t_RP_RBill v1 where v1.FBillID>77"
End Sub
CheckBillText "Integer", CInt(77)
CheckBillText "Currency", CCur(77)
CheckBillText "text", "77"

Scenario "lBillID as a text with a fraction goes in unchanged"
MoveScript
id = mb.GetMoveInterID("77.5", 3, 1000201)
Check "statement", rec.Statement(rec.StatementCount), _
  " select ISNULL(min(v1.FBillID),0) from t_RP_RBill v1 where v1.FBillID>77.5"

Scenario "toolbar variable that holds nothing yet"
rec.Props = "UserID=25;"
bar = Empty
mb.SaveRecentBills 88, 1, bar
Check "taken as no toolbar", rec.StatementCount, CLng(1)
Check "variable untouched", TypeName(bar), "Empty"

' Calls the interface does not take fail as the runtime errors VB knows.
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
Check "no statement was sent", rec.StatementCount, CLng(0)

Scenario "an object that is no toolbar"
rec.Props = "UserID=25;"
Set bar = CreateObject("ZetTestHost.Recorder")
mb.SaveRecentBills 88, 1, bar
CheckLines "the method's own message", Messages(), Array("Object doesn't support this property or method")

Scenario "names are found whatever their case"
rec.Props = "UserID=1;"
rec.Answer "FROM t_Group WHERE FUserID=1 AND FGroupID=1", "X", "1"
rec.Answer " SELECT ISNULL(Max(", "FInterID", "12"
Check "lower case", mb.getmaxmininterid(1125, 2), CLng(12)

Finish
