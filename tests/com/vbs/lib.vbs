' Shared part of the VBScript clients; the driver puts it in front of each.
Option Explicit

Dim rec, mb, passedCount, failedCount, currentScenario
passedCount = 0
failedCount = 0
Set rec = CreateObject("ZetTestHost.Recorder")
Set mb = CreateObject("ZetMMoveBill.clsMoveBill")
Const kAdmin = "FROM t_Group WHERE FUserID=1 AND FGroupID=1"

' Starts with an empty script, journal and diagnostic file, and the login's property text.
Sub Scenario(name, props)
  currentScenario = name
  rec.Reset props
End Sub

' Value and subtype must both match.
Sub Check(name, actual, expected)
  If TypeName(actual) = TypeName(expected) Then
    If actual = expected Then
      passedCount = passedCount + 1
      WScript.Echo "PASS " & currentScenario & ": " & name
      Exit Sub
    End If
  End If
  failedCount = failedCount + 1
  WScript.Echo "FAIL " & currentScenario & ": " & name & ": got " & TypeName(actual) & " [" & actual & _
    "], expected " & TypeName(expected) & " [" & expected & "]"
End Sub

' Only the beginning of `actual` must match.
Sub CheckStart(name, actual, expected)
  Check name, Left(actual, Len(expected)), expected
End Sub

Sub Finish()
  Set mb = Nothing
  rec.Reset
  WScript.Echo "DONE " & passedCount & " passed, " & failedCount & " failed"
  WScript.Quit failedCount
End Sub
