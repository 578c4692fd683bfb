' A late-bound client of Lorvex.CRLUpdate. Argument: the path of a file with
' a certificate in base64 (lines of at most 80 characters) whose issuer is in
' the user's "ROOT" store and which has no distribution point. Exits with 0, or with the number of the check that failed (Wine's
' cscript reports no script error by itself).
Option Explicit

Sub Check(number, condition)
  If Not condition Then WScript.Quit number
End Sub

Dim updater, result
Set updater = CreateObject("Lorvex.CRLUpdate")
Check 1, updater.UpdateInterval = 0
Check 2, updater.StoreLocation = 0

On Error Resume Next
updater.StoreLocation = 2
' VBScript reports E_INVALIDARG as its own error 5.
Check 3, Err.Number = 5
Err.Clear
On Error Goto 0
Check 4, updater.StoreLocation = 0

updater.UpdateInterval = 3600
Check 5, updater.UpdateInterval = 3600
updater.StoreLocation = 1
Check 6, updater.StoreLocation = 1
updater.StoreLocation = 0

Dim certificate
certificate = CreateObject("Scripting.FileSystemObject").OpenTextFile(WScript.Arguments(0)).ReadAll()
result = updater.Update_BASE64(certificate)
Check 7, result = True

On Error Resume Next
' The decoder's last error CRYPT_E_BAD_ENCODE (0x80092002) OR 0x800B0000.
result = updater.Update_BASE64("QU*D")
Check 8, Err.Number = &H800B2002
On Error Goto 0

WScript.Quit 0
