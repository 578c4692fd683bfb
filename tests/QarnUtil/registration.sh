#!/usr/bin/env bash
# regsvr32 and regsvr32 /u of QarnUtil.dll in a prefix of its own, with the
# registry read back after each.
#   registration.sh WINE_RUN MODULE CHECKER
set -euo pipefail
wine_run=$1 module=$2 checker=$3
export QARN_WINEPREFIX
QARN_WINEPREFIX=$(mktemp -d)/prefix
. "$(dirname "$wine_run")/wine-env.sh"
cleanup() { "$WINESERVER" -k 2>/dev/null || true; rm -rf "$(dirname "$QARN_WINEPREFIX")"; }
trap cleanup EXIT

windows_path() { echo "Z:${1//\//\\}"; }
module_path=$(windows_path "$module")

"$wine_run" wineboot -i
"$wine_run" regsvr32 /s "$module_path"
"$wine_run" "$checker" registered "$module_path"
"$wine_run" regsvr32 /u /s "$module_path"
"$wine_run" "$checker" unregistered
echo "registration and unregistration read back as expected"
