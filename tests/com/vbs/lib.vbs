' Shared part of the VBScript clients; the driver puts it in front of each.
Option Explicit

Dim rec, mb, messageLog, passedCount, failedCount, currentScenario
passedCount = 0
failedCount = 0
Set rec = CreateObject("ZetTestHost.Recorder")
messageLog = rec.Environment("ZETMOVEBILL_MESSAGE_LOG")
Set mb = CreateObject("ZetMMoveBill.clsMoveBill")

Sub Scenario(name)
  currentScenario = name
  rec.Reset
  rec.Truncate messageLog
End Sub

' Value and subtype must both match.
Sub Check(name, actual, expected)
  Dim ok
  ok = TypeName(actual) = TypeName(expected)
  If ok Then ok = actual = expected
  If ok Then
    passedCount = passedCount + 1
    WScript.Echo "PASS " & currentScenario & ": " & name
  Else
    failedCount = failedCount + 1
    WScript.Echo "FAIL " & currentScenario & ": " & name & ": got " & TypeName(actual) & " [" & actual & _
      "], expected " & TypeName(expected) & " [" & expected & "]"
  End If
End Sub

' The journal lines (calls the host received) that begin with `prefix`,
' joined by " | ".
Function Calls(prefix)
  Dim line
  Calls = ""
  For Each line In Split(rec.Journal, vbLf)
    If Left(line, Len(prefix)) = prefix Then
      If Calls <> "" Then Calls = Calls & " | "
      Calls = Calls & line
    End If
  Next
End Function

' The first of those lines, or "".
Function First(prefix)
  Dim lines
  lines = Split(Calls(prefix) & " | ", " | ")
  First = lines(0)
End Function

' The messages the component showed in this scenario, joined by " | ".
Function Messages()
  Messages = Replace(rec.ReadUtf8(messageLog), vbCrLf, " | ")
  If Right(Messages, 3) = " | " Then Messages = Left(Messages, Len(Messages) - 3)
End Function

Sub Finish()
  Set mb = Nothing
  rec.Reset
  WScript.Echo "DONE " & passedCount & " passed, " & failedCount & " failed"
  WScript.Quit failedCount
End Sub

Const kAdmin = "FROM t_Group WHERE FUserID=1 AND FGroupID=1"
Dim kVoucherDeleted
kVoucherDeleted = rec.Unescape("\u51ED\u8BC1\u663E\u793A\u9519\u8BEF\uFF0C\u6240\u9009\u51ED\u8BC1\u53EF\u80FD\u5DF2\u7ECF\u88AB\u5220\u9664\uFF01")
