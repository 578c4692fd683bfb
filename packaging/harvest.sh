#!/usr/bin/env bash
# Registers each COM server with regsvr32 in a scratch Wine prefix and writes
# what its DllRegisterServer put under HKEY_CLASSES_ROOT as WiX registry
# elements, <name>.registry.wxi, so that the package registers exactly what
# the server itself would.
#   harvest.sh WINE_ENV OUT_DIR [--platform win32] MODULE...
# --platform win32 lets a 64-bit build stand in for the 32-bit one on machines
# that cannot run 32-bit code (see regfile.py).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
wine_env=$1 out=$2
shift 2
platform=()
if [ "${1:-}" = --platform ]; then platform=(--platform "$2"); shift 2; fi

scratch=$(mktemp -d)
export QARN_WINEPREFIX="$scratch/prefix"
. "$wine_env"
export WINEDEBUG=-all
cleanup() { "$WINESERVER" -k 2>/dev/null || true; rm -rf "$scratch"; }
trap cleanup EXIT

# Wine writes its registry files when the wineserver ends.
wine_quiet() { "$WINELOADER" "$@" >>"$scratch/wine.log" 2>&1 </dev/null; "$WINESERVER" -w; }

wine_quiet wineboot -i
folder="$WINEPREFIX/drive_c/qarn-harvest"
mkdir -p "$folder"
mkdir -p "$out"
for module in "$@"; do
  name=$(basename "$module")
  cp "$module" "$folder/"
  cp "$WINEPREFIX/system.reg" "$scratch/before.reg"
  wine_quiet regsvr32 /s "C:\\qarn-harvest\\$name" || { cat "$scratch/wine.log" >&2; exit 1; }
  python3 "$here/regfile.py" harvest "$scratch/before.reg" "$WINEPREFIX/system.reg" \
    "$out/${name%.*}.registry.wxi" "${platform[@]}" \
    --path "C:\\qarn-harvest\\$name=[#$name]" --path "C:\\qarn-harvest\\=[INSTALLFOLDER]"
done
