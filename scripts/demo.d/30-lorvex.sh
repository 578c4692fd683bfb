# demo: lorvex.dll registered with regsvr32; the CRL of a demo certificate brought up to date from a loopback server, with the library's trace lines
set -euo pipefail
tests="$QARN_ROOT/tests/lorvex"
bin="$QARN_BUILD/tests/lorvex"
winpath() { echo "Z:$1" | sed 's|/|\\|g'; }

work=$(mktemp -d)
mkdir -p "$work/served"
python3 "$tests/crl_server.py" "$work/served" "$work/port" &
server=$!
stop() { kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; rm -rf "$work"; }
trap stop EXIT
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.05; done
"$tests/make_pki.sh" "$work/pki" "$(cat "$work/port")"
cp "$work/pki/ca_new.crl" "$work/served/ca.crl"
echo "demo PKI: $(openssl x509 -in "$work/pki/leaf_cdp.pem" -noout -issuer)"
echo "served on http://127.0.0.1:$(cat "$work/port")/ca.crl: CRL of $(openssl crl -in "$work/pki/ca_new.crl.pem" -noout -lastupdate)"

module="Z:$QARN_BUILD/lorvex/lorvex.dll"
"$QARN_WINE_RUN" regsvr32 /s "$module"
echo "registered $module"

# The update proper (the client trusts the demo CA first): the first call
# downloads and stores the CRL, the second (interval one hour) finds it fresh.
"$QARN_WINE_RUN" "$bin/lorvex_trace_capture.exe" "$(winpath "$work/trace.bin")" \
  "$(winpath "$bin/lorvex_demo_client.exe")" "$(winpath "$work/pki/ca.cer")" "$(winpath "$work/pki/leaf_cdp.cer")"

# A late-bound client through COM: the properties, and Update_BASE64 for a
# certificate of the same CA without distribution points (nothing to fetch:
# success).
script="$work/client.vbs"
cat >"$script" <<'VBS'
Set updater = CreateObject("Lorvex.CRLUpdate")
WScript.Echo "VBScript: UpdateInterval = " & updater.UpdateInterval & ", StoreLocation = " & updater.StoreLocation
certificate = CreateObject("Scripting.FileSystemObject").OpenTextFile(WScript.Arguments(0)).ReadAll()
WScript.Echo "VBScript: Update_BASE64 (certificate without distribution point) = " & updater.Update_BASE64(certificate)
WScript.Quit 0
VBS
"$QARN_WINE_RUN" "$bin/lorvex_trace_capture.exe" "$(winpath "$work/vbs-trace.bin")" \
  cscript.exe //nologo "$(winpath "$script")" "$(winpath "$work/pki/leaf_nocdp.b64")"
echo "  trace:"
tr -d '\0' <"$work/vbs-trace.bin" | sed 's/^/    /'
