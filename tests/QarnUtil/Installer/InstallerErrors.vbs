' The Installer's failures as a script client sees them. Exits with the
' number of checks that failed.
Option Explicit
Dim installer, failures, result
failures = 0
Set installer = CreateObject("QarnUtil.Installer")

On Error Resume Next
result = installer.IsProductInstalled(20, "1")
If Err.Number <> &H80004005 Then failures = failures + 1 : WScript.Echo "Err.Number = " & Hex(Err.Number)
If Err.Description <> "Incorrect Product Type" Then
  failures = failures + 1 : WScript.Echo "Err.Description = " & Err.Description
End If
Err.Clear
Dim build
result = installer.IsProductInstalledOnServer(-1, build)
If Err.Description <> "Incorrect Product Type" Then failures = failures + 1 : WScript.Echo "OnServer: " & Err.Description
Err.Clear
On Error GoTo 0

Dim log
result = installer.InstallProduct(20, "1", log)
If result <> 0 Then failures = failures + 1 : WScript.Echo "InstallProduct(20) = " & result
If log <> "Install product" & vbTab & "Failed. Incorrect Product Type" & vbLf Then
  failures = failures + 1 : WScript.Echo "log: " & log
End If
If failures = 0 Then WScript.Echo "Installer errors reach the script"
WScript.Quit failures
