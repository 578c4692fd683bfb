' GenGUID as a script client sees it. Exits 0 when every check holds.
Option Explicit
Dim generator, first, second, failures
failures = 0
Set generator = CreateObject("QarnUtil.GUID")
first = generator.GenGUID
second = generator.GenGUID

Function IsCompactGuid(text)
  Dim pattern
  Set pattern = New RegExp
  pattern.Pattern = "^[0-9A-F]{32}$"
  IsCompactGuid = pattern.Test(text)
End Function

If Not IsCompactGuid(first) Then failures = failures + 1 : WScript.Echo "not a compact GUID: " & first
If Not IsCompactGuid(second) Then failures = failures + 1 : WScript.Echo "not a compact GUID: " & second
If first = second Then failures = failures + 1 : WScript.Echo "two reads gave the same GUID"
If failures = 0 Then WScript.Echo "GenGUID: " & first & " " & second
WScript.Quit failures
