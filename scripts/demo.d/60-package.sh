# demo: the installer package: msiexec installs it silently, and a VBScript creates the three objects through it
set -euo pipefail
cmake --build "$QARN_BUILD" --target msi >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$QARN_BUILD/CMakeCache.txt")
msi="$QARN_BUILD/packaging/QarnVesmoro-$version.msi"
"$QARN_WINE_RUN" msiexec /i "Z:${msi//\//\\}" /qn
echo "installed $(basename "$msi")"
script=$(mktemp --suffix=.vbs)
trap 'rm -f "$script"' EXIT
cat >"$script" <<'VBS'
Dim shell, progId, server
Set shell = CreateObject("WScript.Shell")
For Each progId In Array("QarnUtil.GUID", "QarnUtil.Installer", "Lorvex.CRLUpdate")
  server = shell.RegRead("HKCR\CLSID\" & shell.RegRead("HKCR\" & progId & "\CLSID\") & "\InprocServer32\")
  WScript.Echo progId & ": " & TypeName(CreateObject(progId)) & " from " & server
Next
WScript.Echo "GenGUID: " & CreateObject("QarnUtil.GUID").GenGUID
VBS
"$QARN_WINE_RUN" cscript //nologo "Z:$script"
