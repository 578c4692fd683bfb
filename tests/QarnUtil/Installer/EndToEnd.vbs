' The Installer's road as an administrator's script walks it, on web site 1
' of the stand-in metabase named by QARN_METABASE_FILE. Exits with the
' number of checks that failed.
'
'   cscript EndToEnd.vbs settings   the settings and the check on a site
'                                   without the product (no database needed)
'   cscript EndToEnd.vbs road       install the membership product, check
'                                   it, change every setting, install the
'                                   virtual-drive product, take both and the
'                                   line off again; needs the membership
'                                   database and a filter library
'                                   (QARN_FILTER_LIBRARY)
Option Explicit
Const InstallKey = "HKLM\SOFTWARE\QARN Vesmoro\Install\"
Dim shell, fso, env, installer, failures, work, root, app, tool, log, result
Set shell = CreateObject("WScript.Shell")
Set fso = CreateObject("Scripting.FileSystemObject")
Set env = shell.Environment("PROCESS")
failures = 0
tool = env("QARN_METABASE_TOOL")
work = fso.BuildPath(fso.GetSpecialFolder(2), "qarn-road-" & fso.GetTempName())
root = fso.BuildPath(work, "wwwroot")
app = fso.BuildPath(work, "Vesmoro")

Sub Expect(label, actual, expected)
  If actual <> expected Then
    failures = failures + 1
    WScript.Echo "FAILED " & label & ": got [" & actual & "], expected [" & expected & "]"
  End If
End Sub

Sub ExpectTrue(label, condition)
  If Not condition Then failures = failures + 1 : WScript.Echo "FAILED " & label
End Sub

Function RunTool(arguments)
  RunTool = shell.Run("""" & tool & """ " & arguments, 0, True)
End Function

' The tool's answer for one property; "" when it is absent.
Function MetabaseValue(key, id)
  Dim file : file = fso.BuildPath(work, "value.txt")
  shell.Run "cmd /c """"" & tool & """ get """ & key & """ " & id & " > """ & file & """""", 0, True
  MetabaseValue = ""
  If fso.FileExists(file) Then
    If fso.GetFile(file).Size > 0 Then MetabaseValue = fso.OpenTextFile(file).ReadAll()
  End If
End Function

Function RegistryValueExists(name)
  On Error Resume Next
  shell.RegRead name
  RegistryValueExists = (Err.Number = 0)
  Err.Clear
End Function

Sub Prepare(withFilter)
  fso.CreateFolder work : fso.CreateFolder root : fso.CreateFolder app
  fso.CreateFolder fso.BuildPath(app, "Bin")
  fso.CreateFolder fso.BuildPath(app, "Applications")
  If withFilter Then fso.CopyFile env("QARN_FILTER_LIBRARY"), fso.BuildPath(app, "Bin\qarnfilter.dll")
  Expect "seed", RunTool("seed --sites 1,3 --root 1=""" & root & """"), 0
  Expect "filter list", RunTool("set LM/W3SVC/1/Filters 2040 string """""), 0
  ' What the products' setup programs leave behind.
  shell.RegWrite "HKLM\SOFTWARE\QARN Vesmoro\Install Path", app, "REG_SZ"
  shell.RegWrite InstallKey & "QarnMembership\Build", "1.0.0.1", "REG_SZ"
  shell.RegWrite InstallKey & "QarnKestro\Build", "1.0.0.1", "REG_SZ"
End Sub

Sub CleanUp()
  On Error Resume Next
  shell.Run "reg delete ""HKLM\SOFTWARE\QARN Vesmoro\Install"" /f", 0, True
  shell.Run "reg delete ""HKLM\SOFTWARE\QARN Vesmoro\Config"" /f", 0, True
  shell.RegDelete "HKLM\SOFTWARE\QARN Vesmoro\Install Path"
  fso.DeleteFolder work, True
End Sub

' Every setter with its line, read back by its getter.
Sub WalkSettings()
  Expect "SetAccessProtectedFilesAs", installer.SetAccessProtectedFilesAs("1", "web:secret", log), 1
  Expect "its log", log, "Set Access Protected Files As" & vbTab & "Success" & vbLf
  Expect "GetAccessProtectedFilesAs", installer.GetAccessProtectedFilesAs("1"), "web:secret"
  Expect "SetAccessFreeFilesAsAnonymous", installer.SetAccessFreeFilesAsAnonymous("1", 0, log), 1
  Expect "GetAccessFreeFilesAsAnonymous", installer.GetAccessFreeFilesAsAnonymous("1"), 0
  Expect "SetDiskQuota", installer.SetDiskQuota("1", 5000000, log), 1
  Expect "its log", log, "Set Disk Quota" & vbTab & "Success" & vbLf
  Expect "GetDiskQuota", installer.GetDiskQuota("1"), 5000000
  Expect "SetDenyPhysicalPath", installer.SetDenyPhysicalPath("1", 1, log), 1
  Expect "GetDenyPhysicalPath", installer.GetDenyPhysicalPath("1"), 1
  Expect "SetDenyPhysicalPath(0)", installer.SetDenyPhysicalPath("1", 0, log), 1
  Expect "removing it again fails", installer.SetDenyPhysicalPath("1", 0, log), 0
  Expect "GetConfigFileName", installer.GetConfigFileName("1"), ".htaccess"
End Sub

Sub SettingsOnly()
  Prepare False
  WalkSettings
  Dim info
  Expect "CheckQarnMembership", installer.CheckQarnMembership("1", info), 0
  Expect "its findings", info, "IsProductInstalled" & vbTab & "Failed. Product not installed." & vbLf & _
    "Application Folder" & vbTab & "Failed. Application Folder not mapped." & vbLf & _
    "QarnFilter" & vbTab & "Failed. QarnFilter not installed." & vbLf & _
    "Root ACL" & vbTab & "Failed. Root ACL not exists." & vbLf & _
    "DataSource" & vbTab & "Warning. Incompatible DataSource." & vbLf & _
    "AuthType" & vbTab & "Success" & vbLf
  fso.CreateTextFile(fso.BuildPath(root, ".htaccess")).Close
  Expect "SetConfigFileName with rename", installer.SetConfigFileName("1", "site.acl", 1, log), 1
  Expect "its log", log, "Set new configuration file name" & vbTab & "Success" & vbLf & _
    "Rename configuration files" & vbTab & "Success.  Renamed 1 files" & vbLf
  ExpectTrue "the root's file renamed", fso.FileExists(fso.BuildPath(root, "site.acl"))
End Sub

Sub WholeRoad()
  Dim info
  Prepare True
  Expect "InstallProduct(5)", installer.InstallProduct(5, "1", log), 1
  WScript.Echo log
  ' Without the share tables the membership database alone is reported
  ' as an incompatible data source.
  Expect "CheckQarnMembership after the membership product", installer.CheckQarnMembership("1", info), 0
  Expect "its data-source line", InStr(info, "DataSource" & vbTab & "Warning. Incompatible DataSource." & vbLf) > 0, True
  WalkSettings
  Expect "SetConfigFileName with rename", installer.SetConfigFileName("1", "site.acl", 1, log), 1
  ExpectTrue "renamed: " & log, InStr(log, "Rename configuration files" & vbTab & "Success.  Renamed ") > 0
  ExpectTrue "the root's access file renamed", fso.FileExists(fso.BuildPath(root, "site.acl"))
  Expect "InstallProduct(8)", installer.InstallProduct(8, "1", log), 1
  WScript.Echo log
  Expect "CheckQarnMembership after the virtual-drive product", installer.CheckQarnMembership("1", info), 1
  WScript.Echo info
  Expect "UnInstallProduct(8)", installer.UnInstallProduct(8, "1", log), 1
  Expect "UnInstallProduct(5)", installer.UnInstallProduct(5, "1", log), 1
  Expect "UnInstallVesmoro", installer.UnInstallVesmoro("1", log), 1
  WScript.Echo log
  ' What stays on the server.
  Expect "marker", MetabaseValue("LM/W3SVC/1", 66000), "4294967295" & vbLf
  ExpectTrue "filter gone from the load order", InStr(MetabaseValue("LM/W3SVC/1/Filters", 2040), "Qarn Filter") = 0
  Expect "virtual folder gone", MetabaseValue("LM/W3SVC/1/Root/Vesmoro", 1002), ""
  ExpectTrue "membership value gone", Not RegistryValueExists(InstallKey & "QarnMembership\1")
  ExpectTrue "virtual-drive value gone", Not RegistryValueExists(InstallKey & "QarnKestro\1")
  ExpectTrue "database stays", fso.FileExists(fso.BuildPath(root, "_vesmoro\vesmoro.mdb"))
  ExpectTrue "password file stays", fso.FileExists(fso.BuildPath(root, "_vesmoro\password.txt"))
  ExpectTrue "public folder stays", fso.FolderExists(fso.BuildPath(root, "_home\_public"))
  ExpectTrue "root access file stays", fso.FileExists(fso.BuildPath(root, "site.acl"))
End Sub

Set installer = CreateObject("QarnUtil.Installer")
If WScript.Arguments.Count > 0 Then
  If WScript.Arguments(0) = "road" Then WholeRoad Else SettingsOnly
Else
  SettingsOnly
End If
CleanUp
If failures = 0 Then WScript.Echo "The installer road holds"
WScript.Quit failures
