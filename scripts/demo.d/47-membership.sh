# demo: the membership product installed on web site 1 end to end: private folder, JET database with a fresh administrator password, root access file and filter
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
win() { echo "Z:${1//\//\\}"; }
export QARN_METABASE_FILE="$(win "$work")\\metabase.txt"
tool="Z:$QARN_BUILD/Outside/Metabase/metabase-tool.exe"
mkdir -p "$work/Vesmoro/Bin" "$work/wwwroot"
# The maker's filter library, as the product line's setup leaves it.
cp "$QARN_BUILD/Outside/IsapiFilters/qarnfilter.dll" "$work/Vesmoro/Bin/"

"$QARN_WINE_RUN" regsvr32 /s "Z:$QARN_BUILD/Outside/Metabase/qarn_metabase.dll"
"$QARN_WINE_RUN" regsvr32 /s "Z:$QARN_BUILD/Outside/JetProvider/qarn_jet_provider.dll"
"$QARN_WINE_RUN" regsvr32 /s "Z:$QARN_BUILD/QarnUtil/QarnUtil.dll"
"$QARN_WINE_RUN" "$tool" seed --sites 1 --root "1=$(win "$work/wwwroot")" >/dev/null
"$QARN_WINE_RUN" reg add 'HKLM\SOFTWARE\QARN Vesmoro' /v 'Install Path' /t REG_SZ /d "$(win "$work/Vesmoro")" /f >/dev/null
"$QARN_WINE_RUN" reg add 'HKLM\SOFTWARE\QARN Vesmoro\Install\QarnMembership' /v Build /t REG_SZ /d 1.0.0.1 /f >/dev/null

cat >"$work/install.vbs" <<'VBS'
Set installer = CreateObject("QarnUtil.Installer")
Dim log
WScript.Echo "-- InstallProduct(5, ""1"") = " & installer.InstallProduct(5, "1", log)
If Len(log) > 0 Then WScript.Echo Left(log, Len(log) - 1)
WScript.Echo "-- IsProductInstalled(5, ""1"") = " & installer.IsProductInstalled(5, "1")
VBS
"$QARN_WINE_RUN" cscript //nologo "$(win "$work/install.vbs")"

password="$work/wwwroot/_vesmoro/password.txt"
if [ -f "$password" ]; then
  length=$(wc -c <"$password")
  if grep -qE '^[0-9A-Za-y]+$' "$password"; then set="only 0-9, A-Z, a-y"; else set="other characters too"; fi
  echo "-- _vesmoro/password.txt: $length characters, $set"
else
  echo "-- _vesmoro/password.txt: missing"
fi
echo "-- _vesmoro: $(cd "$work/wwwroot/_vesmoro" 2>/dev/null && ls | tr '\n' ' ')"
echo "-- root access file (.htaccess)"
if [ -f "$work/wwwroot/.htaccess" ]; then tr -d '\r' <"$work/wwwroot/.htaccess"; else echo "(missing)"; fi
echo "-- metabase of site 1"
"$QARN_WINE_RUN" "$tool" dump | grep 'LM/W3SVC/1\b\|LM/W3SVC/Filters' || true
"$QARN_WINE_RUN" reg delete 'HKLM\SOFTWARE\QARN Vesmoro\Install' /f >/dev/null
