#!/usr/bin/env bash
# Shows the system at work: runs each demo step in scripts/demo.d in order,
# in a prefix of its own under the build folder.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build/win32}" && pwd)
export QARN_ROOT=$ROOT QARN_BUILD=$BUILD
export QARN_WINEPREFIX="$BUILD/demo-prefix"
export QARN_WINE_RUN="$BUILD/wine-run"
DEMO_DISPLAY=$(grep -m1 '^QARN_DISPLAY' "$BUILD/CMakeCache.txt" | sed 's/.*=:\([0-9]*\)/\1/')
export QARN_DEMO_DISPLAY=":$((DEMO_DISPLAY + 1))"
if [ -n "${DISPLAY:-}" ]; then export DISPLAY_FOR_WINE=$DISPLAY; else export DISPLAY_FOR_WINE=$QARN_DEMO_DISPLAY; fi

stop() { "$ROOT/scripts/wine-prefix.sh" stop "$BUILD/wine-env.sh"; }
trap stop EXIT
"$ROOT/scripts/wine-prefix.sh" setup "$BUILD/wine-env.sh"

for step in "$ROOT"/scripts/demo.d/*.sh; do
  echo "== $(sed -n 's/^# demo: //p' "$step")"
  bash "$step"
  echo
done
