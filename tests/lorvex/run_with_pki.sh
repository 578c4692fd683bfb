#!/usr/bin/env bash
# Runs a Windows test program with a fresh test PKI and the loopback CRL
# server, under the trace-capturing debugger:
#   run_with_pki.sh WINE_RUN CAPTURE_EXE PROGRAM [ARGUMENTS...]
# The program finds (as Windows paths) the PKI in LORVEX_PKI_DIR, the
# server's files in LORVEX_SERVED_DIR and the server's base URL in
# LORVEX_CRL_BASE_URL. The server is stopped however the program ends.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
wine_run=$1 capture=$2 program=$3
shift 3

winpath() { echo "Z:$1" | sed 's|/|\\|g'; }

work=$(mktemp -d "${TMPDIR:-/tmp}/lorvex-tests.XXXXXX")
mkdir -p "$work/served"
python3 "$here/crl_server.py" "$work/served" "$work/port" &
server=$!
stop() {
  local rc=$?
  kill "$server" 2>/dev/null || true
  wait "$server" 2>/dev/null || true
  rm -rf "$work"
  exit $rc
}
trap stop EXIT
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.05; done
port=$(cat "$work/port")

"$here/make_pki.sh" "$work/pki" "$port"

export LORVEX_PKI_DIR LORVEX_SERVED_DIR LORVEX_CRL_BASE_URL
LORVEX_PKI_DIR=$(winpath "$work/pki")
LORVEX_SERVED_DIR=$(winpath "$work/served")
LORVEX_CRL_BASE_URL="http://127.0.0.1:$port"
"$wine_run" "$capture" "$(winpath "$work/trace.bin")" "$(winpath "$program")" "$@"
