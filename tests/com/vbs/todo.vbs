' GetToDoThingCount as the desktop's to-do panel calls it: the list comes back
' and is read by position from 1.
Dim list, i, adds, expectedTypes

Sub AnswerCounts()
  rec.Answer "From POOrder v1", "N", "3"
  rec.Answer "From ICPurchase v1", "N", "4"
  rec.Answer "From SEOrder v1", "N", "5"
  rec.Answer "From ICSale v1", "N", "6"
  rec.Answer "From t_RP_ROtherBill v1", "N", "7"
  rec.Answer "From t_RP_POtherBill v1", "N", "8"
  rec.Answer "v1.FCheckerID=-1", "FVoucherID", "31", "32"
  rec.Answer "v1.FCashierID=-1", "FVoucherID", "33"
End Sub

Scenario "administrator: all nine positions"
rec.Props = "UserID=1;"
rec.Answer "FROM t_Group WHERE FUserID=1 AND FGroupID=1", "X", "1"
rec.Answer "CashBeforePost", "FValue", "1"
rec.SysValue "APAlarmDateCount", "5"
AnswerCounts
Set list = mb.GetToDoThingCount()
CheckTrue "a list comes back", Not (list Is Nothing), "Nothing"
Check "nine positions", list.Count, CLng(9)
Check "position 1", list.Item(1), CInt(0)
For i = 2 To 7
  Check "position " & i, list.Item(i), CDbl(i + 1)
Next
Check "position 8", list.Item(8), CLng(2)
Check "position 9", list.Item(9), CLng(1)
Check "purchase invoices", StatementWith("From ICPurchase v1"), _
  " SELECT Count(distinct v1.FInterID) From ICPurchase v1 left join vw_BillRPMoney vrp on v1.FInterID=vrp.FInterID " & _
  "AND vrp.FTranType=75 " & vbCrLf & _
  " where 1=1 " & vbCrLf & _
  " and datediff(day,getdate(),v1.FPayDate)<=5 and v1.FStatus=1 and v1.FPOStyle<>251 and " & _
  "v1.FROB*(vrp.FRPAmountFor-v1.FPurchaseAmountFor)<0 " & vbCrLf & _
  " and v1.FHookInterID not in ( select FGroupNo From ICHookRelations Where FEquityHook=1 ) "
Check "checker vouchers", StatementWith("v1.FCheckerID=-1"), _
  " select * from t_Voucher v1 where v1.FCheckerID=-1 and v1.FPosted=0 "
' The type list: 16-bit codes where they fit, 32-bit for the two large ones.
adds = JournalLines("ValueList.Add(")
expectedTypes = Array("I2 0", "I2 71", "I2 75", "I2 81", "I2 80", "I4 1000205", "I4 1000206", "I2 1125", "I2 1127")
For i = 0 To 8
  Check "type list " & (i + 1), adds(i), "ValueList.Add(" & expectedTypes(i) & ")"
Next
Check "alarm days asked", FirstLine("SysInfo."), _
  "SysInfo.GetSysValue(BSTR ""UserID=1;"", ref BSTR ""IC"", ref BSTR ""PurchaseAlarmDateCount"")"
Check "security service call", FirstLine("SecurityInfo."), _
  "SecurityInfo.AccessCheck(BSTR ""UserID=1;"", ref I4 4, ref I4 0, ref I4 8, BOOL True, " & _
  "ref BSTR ""ZetEBSGL.VoucherInfo.GetJournal"")"
CheckLines "no message", Messages(), Array()
CheckReleased "after the call", kCallScopedClasses
Check "the list is the caller's", rec.Live("ValueList"), CLng(1)
Set list = Nothing
Check "released with the caller's reference", rec.Live("ValueList"), CLng(0)

Scenario "own orders of user 16394 due within 7 days"
rec.Props = "UserID=16394;"
rec.Answer "FROM t_User WHERE", "FUserGroupRight|FDataRight", "2|0"
rec.Answer "select 1 from t_AccessControl", "X", "1"
rec.Answer "select FAccessMask from t_AccessControl", "FAccessMask", "131072"
rec.Answer " SELECT FAccessMask FROM t_AccessControl WHERE FObjectType=4", "FAccessMask", "33"
rec.Answer "CashBeforePost", "FValue", "1"
rec.SysValue "PurchaseAlarmDateCount", "7"
AnswerCounts
Set list = mb.GetToDoThingCount()
Check "position 2", list.Item(2), CDbl(3)
Check "access to position 2", StatementWith("select 1 from t_AccessControl"), _
  "select 1 from t_AccessControl where FObjectType=1088 and FObjectID=2 AND (FUserID=16394 OR FUserID in " & _
  "(Select FGroupID from t_Group where FUserID=16394))"
Check "right on position 2", StatementWith("select FAccessMask from t_AccessControl"), _
  "select FAccessMask from t_AccessControl where FObjectType=1089 and FObjectID=1 AND (FUserID=16394 OR FUserID in " & _
  "(Select FGroupID from t_Group where FUserID=16394))"
Check "due orders", StatementWith("From POOrder v1"), _
  " SELECT Count(distinct v1.FInterID) From POOrder v1 left join POOrderEntry u1 on v1.FInterID=u1.FInterID " & _
  vbCrLf & _
  " where 1=1  and v1.FBillerID=16394" & vbCrLf & _
  " and datediff(day,getdate(),u1.FDate)<=7 and u1.FQty>u1.FStockQty and (v1.FStatus=1 or v1.FStatus=2) and " & _
  "v1.FCancellation=0 "
CheckLines "no message", Messages(), Array()
Set list = Nothing

' A user of 16394's kind with voucher positions granted: the data rights and
' the voucher access mask decide whose vouchers the checker counts.
Sub VoucherScript(dataRight, mask)
  rec.Props = "UserID=16394;"
  rec.Answer "FROM t_User WHERE", "FUserGroupRight|FDataRight", "0|" & dataRight
  rec.Answer "select 1 from t_AccessControl", "X", "1"
  rec.Answer "select FAccessMask from t_AccessControl", "FAccessMask", "131072"
  rec.Answer " SELECT FAccessMask FROM t_AccessControl WHERE FObjectType=4", "FAccessMask", mask
End Sub

' The security service refuses right 8 with 0x80044010: the component must
' read that number through the automation boundary to narrow the vouchers.
Scenario "vouchers of the user's groups: right 8 denied, 16 granted"
VoucherScript 8, "33"
rec.Answer "CashBeforePost", "FValue", "0"
rec.Answer "v1.FCheckerID=-1", "FVoucherID", "31", "32"
rec.Access 8, "deny"
Set list = mb.GetToDoThingCount()
Check "checker vouchers", StatementWith("v1.FCheckerID=-1"), _
  " select * from t_Voucher v1 where v1.FCheckerID=-1 and v1.FPosted=0  and v1.FVoucherID not in (Select " & _
  "t1.FVoucherID from t_VoucherEntry t1 left join t_Account t2 " & vbCrLf & _
  " on t1.FAccountID=t2.FAccountID where CHARINDEX('16394',t2.FRightUserID)=0)  AND v1.FPreparerID IN (Select " & _
  "DISTINCT FUserID From t_Group Where FGroupID IN(Select FGroupID From t_Group Where FGroupID <> 0 And " & _
  "FUserID=16394 ) ) "
Check "position 8", list.Item(8), CLng(2)
Check "position 9 without cashier sign-off", list.Item(9), CLng(0)
Check "no voucher statement for the cashier", StatementWith("v1.FCashierID=-1"), "<none>"
CheckLines "a denial is an answer, not a failure", Messages(), Array()
Set list = Nothing

Scenario "vouchers of the user alone: rights 8 and 16 denied"
VoucherScript 0, "1"
rec.Access 8, "deny"
rec.Access 16, "deny"
Set list = mb.GetToDoThingCount()
Check "checker vouchers", StatementWith("v1.FCheckerID=-1"), _
  " select * from t_Voucher v1 where v1.FCheckerID=-1 and v1.FPosted=0  AND v1.FPreparerID=16394"
Set list = Nothing

Scenario "security service failing otherwise leaves vouchers unrestricted"
VoucherScript 0, "1"
rec.Access 8, "fail"
Set list = mb.GetToDoThingCount()
Check "checker vouchers", StatementWith("v1.FCheckerID=-1"), _
  " select * from t_Voucher v1 where v1.FCheckerID=-1 and v1.FPosted=0 "
Set list = Nothing

Scenario "a refused user sees zeros"
rec.Props = "UserID=16394;"
rec.Answer "FROM t_User WHERE", "FUserGroupRight|FDataRight", "0|0"
AnswerCounts
Set list = mb.GetToDoThingCount()
For i = 1 To 9
  Check "position " & i, list.Item(i), CInt(0)
Next
Check "nothing counted", StatementWith("Count(distinct"), "<none>"
Set list = Nothing

Finish
