# demo: the Installer's whole road on web site 1 from VBScript: the membership product installed and checked, every per-site setting changed (the access files renamed), the virtual-drive product added, and all taken off again
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
win() { local path=${1//\//\\}; echo "Z:$path"; }
export QARN_METABASE_FILE="$(win "$work")\\metabase.txt"
tool="Z:$QARN_BUILD/Outside/Metabase/metabase-tool.exe"
mkdir -p "$work/Vesmoro/Bin" "$work/Vesmoro/Applications" "$work/wwwroot"
filter="$QARN_BUILD/Outside/IsapiFilters/qarnfilter.dll"
if [ -f "$filter" ]; then cp "$filter" "$work/Vesmoro/Bin/"; else echo "(no stand-in filter library built: the filter steps fail)"; fi

"$QARN_WINE_RUN" regsvr32 /s "Z:$QARN_BUILD/Outside/Metabase/qarn_metabase.dll"
"$QARN_WINE_RUN" regsvr32 /s "Z:$QARN_BUILD/QarnUtil/QarnUtil.dll"
"$QARN_WINE_RUN" "$tool" seed --sites 1 --root "1=$(win "$work")\\wwwroot" >/dev/null
"$QARN_WINE_RUN" "$tool" set LM/W3SVC/1/Filters 2040 string "" >/dev/null
# What the products' setup programs leave behind.
"$QARN_WINE_RUN" reg add 'HKLM\SOFTWARE\QARN Vesmoro' /v 'Install Path' /t REG_SZ /d "$(win "$work")\\Vesmoro" /f >/dev/null
for product in QarnMembership QarnKestro; do
  "$QARN_WINE_RUN" reg add "HKLM\\SOFTWARE\\QARN Vesmoro\\Install\\$product" /v Build /t REG_SZ /d 1.0.0.1 /f >/dev/null
done
"$QARN_WINE_RUN" "$tool" dump >"$work/before.txt"

cat >"$work/road.vbs" <<'VBS'
Set installer = CreateObject("QarnUtil.Installer")
Dim log, info
Sub ShowLog(text)
  If Len(text) > 0 Then WScript.Echo Left(text, Len(text) - 1)
End Sub
Sub Step(title, result, text)
  WScript.Echo "-- " & title & " = " & result
  ShowLog text
End Sub
Step "InstallProduct(5, ""1"")", installer.InstallProduct(5, "1", log), log
Step "CheckQarnMembership(""1"")", installer.CheckQarnMembership("1", info), info
Step "SetAccessProtectedFilesAs(""1"", ""web:secret"")", installer.SetAccessProtectedFilesAs("1", "web:secret", log), log
Step "SetAccessFreeFilesAsAnonymous(""1"", 0)", installer.SetAccessFreeFilesAsAnonymous("1", 0, log), log
Step "SetDiskQuota(""1"", 0) with no quota set", installer.SetDiskQuota("1", 0, log), log
Step "SetDiskQuota(""1"", 5000000)", installer.SetDiskQuota("1", 5000000, log), log
Step "SetDenyPhysicalPath(""1"", 1)", installer.SetDenyPhysicalPath("1", 1, log), log
Step "SetConfigFileName(""1"", ""site.acl"", rename)", installer.SetConfigFileName("1", "site.acl", 1, log), log
WScript.Echo "-- getters: """ & installer.GetConfigFileName("1") & """, """ & _
  installer.GetAccessProtectedFilesAs("1") & """, " & installer.GetAccessFreeFilesAsAnonymous("1") & ", " & _
  installer.GetDiskQuota("1") & ", " & installer.GetDenyPhysicalPath("1")
Step "InstallProduct(8, ""1"")", installer.InstallProduct(8, "1", log), log
Step "CheckQarnMembership(""1"")", installer.CheckQarnMembership("1", info), info
Step "UnInstallProduct(8, ""1"")", installer.UnInstallProduct(8, "1", log), log
Step "UnInstallProduct(5, ""1"")", installer.UnInstallProduct(5, "1", log), log
Step "UnInstallVesmoro(""1"")", installer.UnInstallVesmoro("1", log), log
VBS
"$QARN_WINE_RUN" cscript //nologo "$(win "$work")\\road.vbs"

echo "-- metabase after, against the seeded one (the marker says removed, the filter is out of the load order)"
"$QARN_WINE_RUN" "$tool" dump >"$work/after.txt"
diff "$work/before.txt" "$work/after.txt" || true
echo "-- settings of site 1"
"$QARN_WINE_RUN" reg query 'HKLM\SOFTWARE\QARN Vesmoro\Config\1' | tr -d '\r' | sed '/^$/d'
echo "-- what stays below the site root"
(cd "$work/wwwroot" && find . -mindepth 1 | sort)
"$QARN_WINE_RUN" reg delete 'HKLM\SOFTWARE\QARN Vesmoro\Install' /f >/dev/null
"$QARN_WINE_RUN" reg delete 'HKLM\SOFTWARE\QARN Vesmoro\Config' /f >/dev/null
