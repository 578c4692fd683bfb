# demo: QarnUtil.dll registered with regsvr32; a VBScript asks QarnUtil.GUID for GUIDs
set -euo pipefail
module="Z:$QARN_BUILD/QarnUtil/QarnUtil.dll"
"$QARN_WINE_RUN" regsvr32 /s "$module"
echo "registered $module"
script=$(mktemp --suffix=.vbs)
trap 'rm -f "$script"' EXIT
cat >"$script" <<'VBS'
Set generator = CreateObject("QarnUtil.GUID")
WScript.Echo "GenGUID: " & generator.GenGUID
WScript.Echo "GenGUID: " & generator.GenGUID
WScript.Quit 0
VBS
"$QARN_WINE_RUN" cscript //nologo "Z:$script"
