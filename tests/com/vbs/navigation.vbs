' GetMaxMinInterID and GetMoveInterID as a bill editor's first/last and
' previous/next commands call them.
Dim id, execs

Scenario "last stock bill of type 21 for a user with own bills and customer rights"
rec.Props = "UserID=12;"
rec.Answer "FROM t_User WHERE", "FUserGroupRight|FDataRight", "2|1"
rec.Answer " SELECT ISNULL(Max(", "FInterID", "4711"
id = mb.GetMaxMinInterID(21, 2)
Check "result", id, CLng(4711)
Check "statement", rec.Statement(rec.StatementCount), _
  " SELECT ISNULL(Max(v1.FInterID),0) as FInterID From ICStockBill v1 left join ICStockBillEntry u1 on " & _
  "v1.FInterID=u1.FInterID " & vbCrLf & _
  " left join t_Organization t1 on v1.FCustID=t1.FItemID " & vbCrLf & _
  " left join t_supplier t2 on v1.FSupplyID=t2.FItemID " & vbCrLf & _
  " where 1=1  and FTranType=21 and v1.FBillerID=12" & vbCrLf & _
  " and (IsNull(t1.FItemID,0)=0 OR CharIndex('12',t1.FRightUserID)>0) " & vbCrLf
Check "statement count", rec.StatementCount, CLng(3)
execs = JournalLines("AppConnection.")
Check "one connection call", UBound(execs), CLng(0)
Check "statement passed alone and by reference", Left(execs(0), 39), "AppConnection.Execute(ref BSTR "" SELECT"
CheckLines "no message", Messages(), Array()
CheckReleased "after the call", kCallScopedClasses

Scenario "first voucher for an administrator"
rec.Props = "UserID=1;"
rec.Answer "FROM t_Group WHERE FUserID=1 AND FGroupID=1", "X", "1"
rec.Answer " SELECT ISNULL(Min(", "FInterID", "9"
id = mb.GetMaxMinInterID(1125, 1)
Check "result", id, CLng(9)
CheckStatements "statements", Array( _
  "SELECT TOP 1 1 FROM t_Group WHERE FUserID=1 AND FGroupID=1", _
  " SELECT ISNULL(Min(v1.FVoucherID),0) as FInterID From t_Voucher v1 where 1=1 ")

Scenario "previous stock bill from 1050, none before it"
rec.Props = "UserID=16;"
rec.Answer "FROM t_User WHERE", "FUserGroupRight|FDataRight", "2|0"
rec.Answer " select ISNULL(max(", "X", "0"
id = mb.GetMoveInterID(1050, 1, 1)
Check "stays on the bill", id, CLng(1050)
Check "statement", rec.Statement(rec.StatementCount), _
  " select ISNULL(max(v1.FInterID),0) from ICStockBill v1 where v1.FTranType=1 and v1.FInterID<1050 and v1.FBillerID=16"
CheckLines "bill-data service", JournalLines("ServiceFactory.CreateService(BSTR ""ZetBillDataAccess"), _
  Array("ServiceFactory.CreateService(BSTR ""ZetBillDataAccess.GetData"")")
CheckLines "statement with the property string", JournalLines("GetData."), Array( _
  "GetData.ExecuteSQL(BSTR ""UserID=16;"", ref BSTR "" select ISNULL(max(v1.FInterID),0) from ICStockBill v1 " & _
  "where v1.FTranType=1 and v1.FInterID<1050 and v1.FBillerID=16"")")
Check "recordset closed", UBound(JournalLines("Recordset.Close(")), CLng(0)
CheckReleased "after the call", kCallScopedClasses

Scenario "next receivable bill after 77 for an administrator"
rec.Props = "UserID=1;"
rec.Answer "FROM t_Group WHERE FUserID=1 AND FGroupID=1", "X", "1"
rec.Answer " select ISNULL(min(", "X", "80"
id = mb.GetMoveInterID(77, 3, 1000201)
Check "result", id, CLng(80)
Check "statement", rec.Statement(rec.StatementCount), _
  " select ISNULL(min(v1.FBillID),0) from t_RP_RBill v1 where v1.FBillID>77"

Scenario "previous from a new sales invoice with group rights"
rec.Props = "UserID=16;"
rec.Answer "FROM t_User WHERE", "FUserGroupRight|FDataRight", "1|1"
rec.Answer "select distinct tt1.FUserID", "FUserID", "16", "17"
rec.Answer "select ISNULL(max(", "FInterID", "0"
id = mb.GetMoveInterID(Empty, 1, 80)
Check "result", id, CLng(0)
Check "statement", rec.Statement(rec.StatementCount), _
  "select ISNULL(max(v1.FInterID),0) as FInterID from ICSale v1 left join t_Organization t2 on " & _
  "v1.FCustID=t2.FItemID " & vbCrLf & _
  " WHERE 1=1  AND v1.FTranType=80 and v1.FBillerID in (16,17)" & vbCrLf & _
  " and CharIndex('16',t2.FRightUserID)>0 " & vbCrLf

Scenario "next from a new bill sends nothing"
rec.Props = "UserID=1;"
rec.Answer "FROM t_Group WHERE FUserID=1 AND FGroupID=1", "X", "1"
id = mb.GetMoveInterID(Empty, 2, 1)
Check "result", id, CLng(0)
Check "no bill-data call", UBound(JournalLines("GetData.")), CLng(-1)

Finish
