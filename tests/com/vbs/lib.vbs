' Shared part of the VBScript clients. The driver puts it in front of each
' test file, so that every test runs in a process of its own.
Option Explicit

Dim rec, mb, messageLog, passedCount, failedCount, currentScenario
passedCount = 0
failedCount = 0
Set rec = CreateObject("ZetTestHost.Recorder")
messageLog = rec.Environment("ZETMOVEBILL_MESSAGE_LOG")
Set mb = CreateObject("ZetMMoveBill.clsMoveBill")

' \uXXXX escapes keep the scripts ASCII; Wine's VBScript has no ChrW or AscW.
Function U(text)
  U = rec.Unescape(text)
End Function

Function Shown(value)
  If IsObject(value) Then
    Shown = "<object>"
  ElseIf IsNull(value) Then
    Shown = "<Null>"
  Else
    Shown = rec.Escape(CStr(value))
  End If
End Function

Sub Scenario(name)
  currentScenario = name
  rec.Reset
  rec.Truncate messageLog
End Sub

Sub Pass(name)
  passedCount = passedCount + 1
  WScript.Echo "PASS " & currentScenario & ": " & name
End Sub

Sub Fail(name, detail)
  failedCount = failedCount + 1
  WScript.Echo "FAIL " & currentScenario & ": " & name & ": " & detail
End Sub

' Value and subtype must both match.
Sub Check(name, actual, expected)
  If TypeName(actual) <> TypeName(expected) Then
    Fail name, "got " & TypeName(actual) & " [" & Shown(actual) & "], expected " & TypeName(expected) & " [" & _
      Shown(expected) & "]"
  ElseIf actual <> expected Then
    Fail name, vbCrLf & "   got      [" & Shown(actual) & "]" & vbCrLf & "   expected [" & Shown(expected) & "]"
  Else
    Pass name
  End If
End Sub

Sub CheckTrue(name, condition, detail)
  If condition Then
    Pass name
  Else
    Fail name, detail
  End If
End Sub

' The statements the host received in this scenario, in order.
Sub CheckStatements(name, expected)
  Dim i
  Check name & ": statement count", rec.StatementCount, UBound(expected) + 1
  For i = 0 To UBound(expected)
    If i < rec.StatementCount Then Check name & ": statement " & (i + 1), rec.Statement(i + 1), expected(i)
  Next
End Sub

' The first statement that contains `part`, or "<none>".
Function StatementWith(part)
  Dim i
  StatementWith = "<none>"
  For i = 1 To rec.StatementCount
    If InStr(rec.Statement(i), part) > 0 Then
      StatementWith = rec.Statement(i)
      Exit Function
    End If
  Next
End Function

' Journal lines that begin with `prefix`, in order.
Function JournalLines(prefix)
  Dim lines, line, result, count
  lines = Split(rec.Journal, vbLf)
  ReDim result(UBound(lines))
  count = 0
  For Each line In lines
    If Left(line, Len(prefix)) = prefix Then
      result(count) = line
      count = count + 1
    End If
  Next
  If count = 0 Then
    JournalLines = Array()
  Else
    ReDim Preserve result(count - 1)
    JournalLines = result
  End If
End Function

Function FirstLine(prefix)
  Dim lines
  lines = JournalLines(prefix)
  If UBound(lines) < 0 Then
    FirstLine = "<none>"
  Else
    FirstLine = lines(0)
  End If
End Function

Sub CheckLines(name, actual, expected)
  Dim i
  Check name & ": line count", UBound(actual) + 1, UBound(expected) + 1
  For i = 0 To UBound(expected)
    If i <= UBound(actual) Then Check name & ": line " & (i + 1), actual(i), expected(i)
  Next
End Sub

' The messages the component showed in this scenario (one UTF-8 line each).
Function Messages()
  Dim text
  text = rec.ReadUtf8(messageLog)
  If Len(text) = 0 Then
    Messages = Array()
  Else
    Messages = Split(Left(text, Len(text) - 2), vbCrLf)
  End If
End Function

Sub CheckReleased(name, classNames)
  Dim className
  For Each className In classNames
    Check name & ": live " & className, rec.Live(className), CLng(0)
  Next
End Sub

Sub Finish()
  Set mb = Nothing
  ' Puts back any ProgID a scenario hid: the registry outlives the process.
  rec.Reset
  WScript.Echo "DONE " & passedCount & " passed, " & failedCount & " failed"
  WScript.Quit failedCount
End Sub

' ---- texts the component shows or returns ----
Dim kVoucherDeleted, kBillDeleted, kNoRights, kToDoFailed
kVoucherDeleted = U("\u51ED\u8BC1\u663E\u793A\u9519\u8BEF\uFF0C\u6240\u9009\u51ED\u8BC1\u53EF\u80FD\u5DF2\u7ECF\u88AB\u5220\u9664\uFF01")
kBillDeleted = U("\u5355\u636E\u663E\u793A\u9519\u8BEF\uFF0C\u6240\u9009\u5355\u636E\u53EF\u80FD\u5DF2\u7ECF\u88AB\u5220\u9664\uFF01")
kNoRights = U("\u5355\u636E\u4E0A\u5B58\u5728\u60A8\u6CA1\u6709\u6743\u9650\u7684\u57FA\u7840\u8D44\u6599\uFF0C\u8BF7\u8054\u7CFB\u7CFB\u7EDF\u7BA1\u7406\u5458\uFF01")
kToDoFailed = U("\u53D6\u6570\u9519\u8BEF")

' ---- the host objects a method may create ----
Dim kCallScopedClasses
kCallScopedClasses = Array("ShareProps", "AppConnection", "ClassInfo", "ClassUpdate", "SysInfo", "SecurityInfo", _
  "GetData", "Recordset", "Fields", "Field", "Band")

WScript.Echo "TEST " & WScript.ScriptName
