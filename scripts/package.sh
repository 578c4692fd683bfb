#!/usr/bin/env bash
# Builds the installer package of the 32-bit deliverables.
#   package.sh BUILD_DIR
# BUILD_DIR is the tested build (see build.sh); where it is the 64-bit one,
# the package comes from build/i686.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$1
if [ "$("$ROOT/scripts/test-arch.sh")" = i686 ]; then dir=$BUILD; else dir=$ROOT/build/i686; fi
cmake --build "$dir" --target msi
echo "$dir/packaging/QarnVesmoro-$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$dir/CMakeCache.txt").msi"
