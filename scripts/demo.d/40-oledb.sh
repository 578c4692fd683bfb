# demo: stand-in JET provider over SQLite: ADOX catalog from VBScript, then the membership tables through COLEDBCommand
set -euo pipefail
module="Z:$QARN_BUILD/Outside/JetProvider/qarn_jet_provider.dll"
"$QARN_WINE_RUN" regsvr32 /s "$module"
echo "registered $module as Microsoft.JET.OLEDB.4.0 and ADOX.Catalog"
work=$(mktemp -d)
script="$work/catalog.vbs"
trap 'rm -rf "$work"' EXIT
cat >"$script" <<VBS
Set catalog = CreateObject("ADOX.Catalog")
Set connection = catalog.Create("Provider=Microsoft.JET.OLEDB.4.0;Data Source=Z:${work//\//\\}\\demo.mdb;")
WScript.Echo "Catalog.Create: connection state " & connection.State
connection.Close
WScript.Echo "Connection.Close: connection state " & connection.State
WScript.Quit 0
VBS
"$QARN_WINE_RUN" cscript //nologo "Z:$script"
"$QARN_WINE_RUN" "Z:$QARN_BUILD/tests/QarnUtil/OLEDB/oledb_demo.exe"
