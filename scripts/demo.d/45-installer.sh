# demo: the Installer on web site 1 of a stand-in IIS metabase: a product of the line installed and the line removed again, from VBScript
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QARN_METABASE_FILE="Z:${work//\//\\}\\metabase.txt"
tool="Z:$QARN_BUILD/Outside/Metabase/metabase-tool.exe"
app="Z:${work//\//\\}\\Vesmoro"
mkdir -p "$work/Vesmoro"

"$QARN_WINE_RUN" regsvr32 /s "Z:$QARN_BUILD/Outside/Metabase/qarn_metabase.dll"
"$QARN_WINE_RUN" regsvr32 /s "Z:$QARN_BUILD/QarnUtil/QarnUtil.dll"
"$QARN_WINE_RUN" "$tool" seed --sites 1 >/dev/null
# What the products' setup programs leave behind.
"$QARN_WINE_RUN" reg add 'HKLM\SOFTWARE\QARN Vesmoro' /v 'Install Path' /t REG_SZ /d "$app" /f >/dev/null
"$QARN_WINE_RUN" reg add 'HKLM\SOFTWARE\QARN Vesmoro\Install\QarnProduct00' /v Build /t REG_SZ /d 1.0.0.1 /f >/dev/null

echo "-- metabase before"
"$QARN_WINE_RUN" "$tool" dump | tee "$work/before.txt"

cat >"$work/install.vbs" <<'VBS'
Set installer = CreateObject("QarnUtil.Installer")
Dim log
' Each line of a log: step, tab, result.
Sub ShowLog(text)
  If Len(text) > 0 Then WScript.Echo Left(text, Len(text) - 1)
End Sub
WScript.Echo "-- InstallProduct(0, ""1"") = " & installer.InstallProduct(0, "1", log)
ShowLog log
WScript.Echo "-- IsVesmoroInstalled(""1"") = " & installer.IsVesmoroInstalled("1")
WScript.Echo "-- IsProductInstalled(0, ""1"") = " & installer.IsProductInstalled(0, "1")
WScript.Echo "-- UnInstallVesmoro(""1"") = " & installer.UnInstallVesmoro("1", log)
ShowLog log
WScript.Echo "-- IsVesmoroInstalled(""1"") = " & installer.IsVesmoroInstalled("1")
VBS
"$QARN_WINE_RUN" cscript //nologo "Z:${work//\//\\}\\install.vbs"

echo "-- metabase after (only the removed marker 66000 = 0xFFFFFFFF stays)"
"$QARN_WINE_RUN" "$tool" dump >"$work/after.txt"
diff "$work/before.txt" "$work/after.txt" || true
"$QARN_WINE_RUN" reg delete 'HKLM\SOFTWARE\QARN Vesmoro\Install' /f >/dev/null
