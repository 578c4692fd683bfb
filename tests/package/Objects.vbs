' The three objects of the installed package as a script client creates them
' by ProgID. Exits 0, or with the number of the first check that failed
' (Wine's cscript reports no script error by itself).
Option Explicit

Sub Check(number, condition, what)
  If Not condition Then
    WScript.Echo "check " & number & " failed: " & what
    WScript.Quit number
  End If
End Sub

Function Create(number, progId)
  On Error Resume Next
  Set Create = CreateObject(progId)
  Check number, Err.Number = 0, "CreateObject(""" & progId & """) raised " & Hex(Err.Number)
End Function

Dim compact, generator, installer, updater
Set compact = New RegExp
compact.Pattern = "^[0-9A-F]{32}$"

Set generator = Create(1, "QarnUtil.GUID")
Check 2, TypeName(generator) = "IGUID", "QarnUtil.GUID is " & TypeName(generator)
Check 3, compact.Test(generator.GenGUID), "GenGUID"

Set installer = Create(4, "QarnUtil.Installer")
Check 5, TypeName(installer) = "IInstaller", "QarnUtil.Installer is " & TypeName(installer)

Set updater = Create(6, "Lorvex.CRLUpdate")
Check 7, TypeName(updater) = "ICRLUpdate", "Lorvex.CRLUpdate is " & TypeName(updater)
Check 8, updater.UpdateInterval = 0, "UpdateInterval of a new object"

WScript.Echo "QarnUtil.GUID, QarnUtil.Installer and Lorvex.CRLUpdate created"
WScript.Quit 0
