' The per-thread creation service. This file runs in a process of its own:
' the first gateway call of the thread must find the service missing.
Dim id, second, factoryProgId
factoryProgId = rec.FactoryProgId

Scenario "creation service not registered"
rec.Props = "UserID=1;"
rec.Answer "FROM t_Group WHERE FUserID=1 AND FGroupID=1", "X", "1"
rec.Hide factoryProgId
id = mb.GetMoveInterID(77, 3, 1000201)
Check "neutral result", id, CLng(0)
' IsAdminUser traps its own failure; GetUserRights, which asks again, too;
' then the method's own step fails.
CheckLines "messages", Messages(), Array("ActiveX component can't create object", _
  "ActiveX component can't create object", "ActiveX component can't create object")
Check "no service made", rec.Live("ServiceFactory"), CLng(0)

Scenario "made on the next call, then kept for the thread"
rec.Props = "UserID=1;"
rec.Answer "FROM t_Group WHERE FUserID=1 AND FGroupID=1", "X", "1"
rec.Answer " select ISNULL(min(", "X", "80"
Check "works once registered", mb.GetMoveInterID(77, 3, 1000201), CLng(80)
Check "one service", rec.Live("ServiceFactory"), CLng(1)
Set second = CreateObject("ZetMMoveBill.clsMoveBill")
Check "a second object", second.GetMoveInterID(77, 3, 1000201), CLng(80)
Check "shares the thread's service", rec.Live("ServiceFactory"), CLng(1)
' The optional second argument of CreateService is left out.
Check "service asked with the ProgID alone", FirstLine("ServiceFactory."), _
  "ServiceFactory.CreateService(BSTR ""ZetMClass.ClassInfo"")"
Set second = Nothing
Check "kept after the objects go", rec.Live("ServiceFactory"), CLng(1)
CheckLines "no message", Messages(), Array()

Finish
